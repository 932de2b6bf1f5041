// The handler of the LISP function qvload: (qvload "path") writes the work file
// "$work.lsp" in the current directory, the instrumented copy of the source at path.
#ifndef QV_INSTRUMENT_QVLOAD_H
#define QV_INSTRUMENT_QVLOAD_H

#include <string>

namespace qv {

// Name of the work file, relative to the current directory.
extern const char kWorkFile[];

// Failure messages, as the host shows them.
extern const char kQvloadWrongArgs[];     // not exactly one string argument
extern const char kQvloadNotFound[];      // the source cannot be opened (or is a directory)
extern const char kQvloadCannotRead[];    // reading the source failed part way
extern const char kQvloadCannotCreate[];  // the work file cannot be created
extern const char kQvloadCannotWrite[];   // the work file could not be written completely

// Writes the instrumented copy of `source` to `target`. Returns null on success, else the
// failure message; after a failure no partial target is left behind as if complete.
const char *instrument_file(const std::string &source, const std::string &target);

// The handler: fetches the single string argument from the host and instruments that file
// into kWorkFile. 1 on success; 0 after reporting a failure through sds_fail.
int qvload();

}  // namespace qv

#endif  // QV_INSTRUMENT_QVLOAD_H
