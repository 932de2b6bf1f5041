// The handler of the LISP function qvload: (qvload "path") writes the work file
// "$work.lsp" in the current directory, the instrumented copy of the source at path.
#ifndef QV_INSTRUMENT_QVLOAD_H
#define QV_INSTRUMENT_QVLOAD_H

#include "instrument/work_file.h"

namespace qv {

// Fetches the single string argument from the host and instruments that file into
// kWorkFile. 1 on success; 0 after reporting a failure through sds_fail.
int qvload();

}  // namespace qv

#endif  // QV_INSTRUMENT_QVLOAD_H
