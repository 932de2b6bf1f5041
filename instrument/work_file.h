// Writing work files: the instrumented copy of a LISP source file, read and written the
// Windows way. Used by the qvload handler and by the command-line tool; no host calls.
#ifndef QV_INSTRUMENT_WORK_FILE_H
#define QV_INSTRUMENT_WORK_FILE_H

#include <cstdio>
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

// Writes the instrumented copy of `source` to the file `target`, created or truncated.
// Returns null on success, else the failure message; after a failure part way no partial
// target is left behind (a regular file is removed; a link or device in its place stays).
// A source that is the target itself, under any name, is read whole before the target is
// truncated.
const char *instrument_file(const std::string &source, const std::string &target);

// The same onto an open stream (standard output, say), which is flushed but not closed.
const char *instrument_to_stream(const std::string &source, std::FILE *stream);

}  // namespace qv

#endif  // QV_INSTRUMENT_WORK_FILE_H
