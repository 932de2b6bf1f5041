// A deliberately careless application for the console host's tests: (keep) reads a symbol
// and never releases the list; (free-args) releases the host's argument list. The console
// must report both and end with status 1.
#include "host/sds.h"

namespace {

void keep() {
  sds_resbuf *value = nullptr;
  sds_getsym("kept", &value);  // never released
}

void free_args() { sds_relrb(sds_getargs()); }

}  // namespace

extern "C" __attribute__((visibility("default"))) int SDS_EntryPoint(void) {
  char name[512];
  SDS_GetGlobals(name, nullptr, nullptr);
  int status = SDS_LINK_OK;
  for (;;) {
    int request = static_cast<short>(sds_link(status));
    if (request < 0) {
      sds_exit(-1);
      continue;
    }
    if (request == SDS_REQ_LOAD) {
      sds_defun("keep", 0);
      sds_defun("free-args", 1);
    } else if (request == SDS_REQ_INVOKE) {
      if (sds_getfuncode() == 0) {
        keep();
      } else {
        free_args();
      }
    }
  }
}
