// The library's only export: the host calls it once after loading the library.
#include "app/request_loop.h"

#if defined(_WIN32)
#define QV_EXPORT __declspec(dllexport)
#else
#define QV_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QV_EXPORT int SDS_EntryPoint(void) {
  try {
    qv::run_application();
  } catch (...) {
    // Nothing may cross into the host; the loop only ends when the host stops answering.
  }
  return 0;
}
