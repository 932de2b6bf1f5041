#include "app/request_loop.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "app/function_table.h"
#include "host/sds.h"

namespace qv {

int register_functions() {
  for (std::size_t code = 0; code < kFunctionCount; ++code) {
    if (sds_defun(kFunctions[code].name, static_cast<short>(code)) == 0) return SDS_ERROR;
    sds_printf("..");
  }
  return SDS_NORMAL;
}

int unregister_functions() {
  for (std::size_t code = 0; code < kFunctionCount; ++code) {
    sds_undef(kFunctions[code].name, static_cast<short>(code));
  }
  return SDS_NORMAL;
}

int invoke_function() {
  int code = sds_getfuncode();
  if (code < 0 || static_cast<std::size_t>(code) >= kFunctionCount) return SDS_ERROR;
  int result = 0;
  try {
    result = kFunctions[code].handler();
  } catch (const std::bad_alloc &) {
    sds_fail("out of memory");
  } catch (...) {
    sds_fail("internal error");
  }
  return result == 1 ? 1 : 3;
}

void delete_scratch_files() {
  std::remove("tmp.$$$");
  std::remove("$work.lsp");
}

int handle_request(int code) {
  switch (code) {
    case SDS_REQ_LOAD:
      return register_functions() == SDS_NORMAL ? SDS_LINK_OK : SDS_LINK_FAILED;
    case SDS_REQ_UNLOAD:
      unregister_functions();
      delete_scratch_files();
      return SDS_LINK_OK;
    case SDS_REQ_INVOKE:
      return invoke_function() == 1 ? SDS_LINK_OK : SDS_LINK_FAILED;
    case SDS_REQ_END:
      delete_scratch_files();
      return SDS_LINK_OK;
    default:
      return SDS_LINK_OK;
  }
}

void run_application() {
  static char appname[512];
  void *handle1 = nullptr;
  void *handle2 = nullptr;
  SDS_GetGlobals(appname, &handle1, &handle2);
  char *argv[] = {appname, nullptr};
  sds_init(1, argv);
  sds_printf("\nLoading QV application.");

  int status = SDS_LINK_OK;
  for (;;) {
    // The request code is the low 16 bits of the host's answer, signed.
    auto code = static_cast<std::int16_t>(static_cast<std::uint16_t>(sds_link(status)));
    if (code < 0) {
      sds_printf("\nERROR: Unable to link with IntelliCAD - %d", static_cast<int>(code));
      sds_exit(-1);
      status = SDS_LINK_OK;
      continue;
    }
    status = handle_request(code);
  }
}

}  // namespace qv
