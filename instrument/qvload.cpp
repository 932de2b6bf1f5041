#include "instrument/qvload.h"

#include "host/sds.h"

namespace qv {

int qvload() {
  const sds_resbuf *args = sds_getargs();
  if (args == nullptr || args->next != nullptr || args->type != SDS_TYPE_STRING ||
      args->value.string == nullptr) {
    sds_fail(kQvloadWrongArgs);
    return 0;
  }
  if (const char *failure = instrument_file(args->value.string, kWorkFile)) {
    sds_fail(failure);
    return 0;
  }
  return 1;
}

}  // namespace qv
