// The stand-in host: the sds_ side of the CAD host, with real behaviour, and the C++ API
// that tests and the console program use to drive it and look inside.
//
// The library defines every sds_ function of host/sds.h (and SDS_GetGlobals). They keep
// their state in one process-wide record that reset() returns to its start values. None of
// them lets an exception out.
//
// Ownership, as the CAD host has it:
// - Lists handed to the application by sds_getsym and sds_buildlist are recorded as live
//   until sds_relrb releases them. live_lists() names those still live.
// - The argument list of an invocation belongs to the host: set_invocation() builds it,
//   end_invocation() (or the next set_invocation, or reset) frees it.
// - sds_relrb accepts only the head of a live list (and null, which it ignores). The
//   argument list, a node inside a list, a list released before and any other pointer are
//   contract violations: recorded in violations(), never dereferenced, never a crash;
//   sds_relrb then returns SDS_ERROR.
// - The string that sds_getfiled writes into the caller's node belongs to the host and
//   lives until the next sds_getfiled or reset().
//
// Trace: each sds_ call appends one line to trace() (and passes it to the trace sink):
//   SDS_GetGlobals qv                      the application name written
//   sds_init 1 "qv"                        argc and argv[0]
//   sds_link 1                             the status given (written before the driver runs)
//   sds_exit -1
//   sds_printf "\nLoading QV application."  the formatted text, quoted
//   sds_defun qvload 0                     with " -> 0" appended when the definition failed
//   sds_undef qvload 0
//   sds_getfuncode -> 0
//   sds_getargs -> ("a.lsp")               the argument values, or -> nil
//   sds_fail "file not found in QVLOAD"
//   sds_retvoid
//   sds_getsym ::d_id -> #1 (3)            list number and value, or -> nil
//   sds_putsym ::_did (3)                  the value stored
//   sds_buildlist 5003 3 -> #2             type/value pairs, then the list number
//   sds_relrb #2                           or: sds_relrb ! VIOLATION TEXT
//   sds_getfiled "File to test" null "lsp" 14 -> "a.lsp"   or -> cancel
// Strings are quoted as LISP prints them (standin::quote). List numbers count from 1 after
// reset().
#ifndef QV_STANDIN_HOST_HOST_H
#define QV_STANDIN_HOST_HOST_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/sds.h"
#include "standin/host/value.h"

namespace standin {

// Returns every setting and record to its start: no symbols, no defined functions, no
// invocation, empty trace, printed text, violations; frees all lists still live; restores
// the default sinks and handlers (output to stdout, no link driver, exit handler that ends
// the process, file dialog that cancels); application name "qv".
void reset();

// --- Invocation -------------------------------------------------------------------------

// Starts an invocation: sds_getfuncode returns code, sds_getargs the arguments as a new
// host-owned list (null when args is empty). Clears failure() and returned_void().
void set_invocation(int code, const std::vector<Value> &args);
// Ends it: frees the argument list; sds_getfuncode then returns -1 and sds_getargs null.
// failure() and returned_void() keep their values until the next set_invocation.
void end_invocation();

// Message of the last sds_fail since set_invocation (or reset), empty when none.
const std::string &failure();
// Whether sds_fail was called since set_invocation (a failure may have an empty message).
bool failed();
// Whether sds_retvoid was called since set_invocation.
bool returned_void();

// --- Records ----------------------------------------------------------------------------

const std::vector<std::string> &trace();
// All text printed with sds_printf since reset(); take_printed() returns it and clears it.
const std::string &printed();
std::string take_printed();
// One line per live list: "#N from sds_getsym NAME" or "#N from sds_buildlist".
std::vector<std::string> live_lists();
std::size_t live_list_count();
// Contract violations, one line each, e.g. "sds_relrb: the argument list belongs to the host".
const std::vector<std::string> &violations();
// argv[0] given to sds_init, empty before.
const std::string &init_name();
// Statuses passed to sds_link, in order; sds_exit statuses, in order.
const std::vector<int> &link_statuses();
const std::vector<int> &exit_statuses();

// --- Symbols ----------------------------------------------------------------------------

// Sets a LISP symbol (name case-insensitive); nil unsets it.
void set_symbol(const std::string &name, const Value &value);
// A symbol's value, nil when unset.
Value symbol(const std::string &name);

// --- Functions defined by the application ----------------------------------------------

struct Definition {
  std::string name;  // as given to sds_defun
  int code;          // function code
};
// Defined functions in order of definition.
const std::vector<Definition> &defined();
// The definition of name (case-insensitive), if any.
std::optional<Definition> find_defined(const std::string &name);
// The next sds_defun of name (case-insensitive) fails: returns 0 and defines nothing. The
// hook is used up by that call.
void fail_defun(const std::string &name);

// --- Pluggable parts --------------------------------------------------------------------

// sds_link(status) returns driver(status). Without a driver sds_link returns -1.
void set_link_driver(std::function<int(int status)> driver);
// sds_exit(status) calls handler(status) after recording it; the handler may return, and
// sds_exit then returns. Default: flush stdout and end the process with status 1 (0 when
// the status is 0).
void set_exit_handler(std::function<void(int status)> handler);

struct FileDialogRequest {
  std::string title;
  std::optional<std::string> default_path;  // none when the caller passed null
  std::string extension;
  int flags;
};
// sds_getfiled asks the provider; a path is the user's choice, nullopt a cancel.
// Default: cancel.
void set_file_dialog(
    std::function<std::optional<std::string>(const FileDialogRequest &request)> provider);

// Where sds_printf text goes (besides printed()). Default: stdout, flushed each call.
void set_output(std::function<void(const std::string &text)> sink);
// Called with each trace line as it is recorded. Default: none.
void set_trace_sink(std::function<void(const std::string &line)> sink);

// Name SDS_GetGlobals writes (at most 511 characters are written). Default "qv".
void set_app_name(const std::string &name);

}  // namespace standin

#endif  // QV_STANDIN_HOST_HOST_H
