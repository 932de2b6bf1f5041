// The host calls of the qvload handler, for a program that runs without a host.
//
// The tool uses instrument_file(), which shares its object file with the qvload handler;
// linking it brings the handler's two host calls along. The tool never calls the handler,
// so these definitions only satisfy the linker: no arguments, and failures go nowhere.
#include "host/sds.h"

extern "C" {

struct sds_resbuf *sds_getargs(void) {
  return nullptr;
}

int sds_fail(const char *) { return SDS_ERROR; }

}  // extern "C"
