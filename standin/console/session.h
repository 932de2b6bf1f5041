// A console session: the link driver that turns command-line input into the host's
// requests to the application, and shows the results the way a CAD command line does.
//
// The application's request loop calls sds_link; the stand-in host passes each call to
// Session::on_link, which answers with the next request:
// - the first call: 100 (load);
// - then, reading input: a call of a function the application defined becomes 102
//   (invoke) with the evaluated arguments; directives may send any code raw;
// - at the end of input: 101 (unload); the call after it ends the session through the
//   finish function with 0, or 1 when any "; error:" line was shown.
// A call is complete when sds_link is called again: a failure shows as "; error: MESSAGE"
// on a line of its own, otherwise "nil" unless the function called sds_retvoid.
//
// Evaluation is minimal: literals, quoted data, symbols (read from the host's symbol
// table), (setq SYM VALUE ...), calls of the application's functions at the top level of a
// form. "!FORM" at the start of a line prints the form's value. A line holding a single
// symbol NAME is the command form: it calls "c:NAME". Lines starting with ':' and a letter
// are directives (see kDirectiveHelp).
#ifndef QV_STANDIN_CONSOLE_SESSION_H
#define QV_STANDIN_CONSOLE_SESSION_H

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "standin/console/terminal.h"
#include "standin/host/value.h"

namespace standin::console {

// The directives, as --help lists them.
extern const char kDirectiveHelp[];

class Session {
 public:
  // finish ends the session (normally the process) with an exit status.
  Session(LineInput *input, Output *out, std::function<void(int status)> finish);

  // The link driver: completes the request in progress, returns the next request.
  int on_link(int status);
  // The exit handler: ends the session with status 1, or returns when the :exit-returns
  // directive was given.
  void on_exit(int status);
  // Records a trace line (sds_ or dlg_) for the :trace directive.
  void add_trace(const std::string &line) { trace_.push_back(line); }
  // Whether any "; error:" line was shown.
  bool any_error() const { return any_error_; }

 private:
  enum class Pending { kNone, kCall, kRaw, kUnload };

  // Reads input until it makes a request; returns its code.
  int next_request();
  // Runs one directive line; returns a request code to send, or 0.
  int run_directive(const std::string &line);
  // Runs a top-level form; returns 102 when it invokes the application, else 0.
  int run_form(const Value &form);
  // Starts an invocation of code with the argument forms; returns 102, or 0 on an error.
  int invoke(int code, const std::vector<Value> &arg_forms);
  // Evaluates a form that may not call the application; false with *error on failure.
  bool eval(const Value &form, Value *result, std::string *error);
  // Shows the outcome of the completed invocation.
  void complete_call();
  // Reports on standard error the lists the application left unreleased and the ownership
  // rules it broke since the last check; either makes the session's exit status 1.
  void check_contract();
  void show_error(const std::string &message);
  void show_value(const Value &value);

  LineInput *input_;                      // command lines, directives, dialog answers
  Output *out_;                           // the command line's output
  std::function<void(int)> finish_;       // ends the session
  bool started_ = false;                  // the load request was sent
  Pending pending_ = Pending::kNone;      // the request in progress
  std::string buffer_;                    // input read but not yet run
  bool any_error_ = false;                // an "; error:" line was shown
  bool contract_broken_ = false;          // the application leaked a list or broke ownership
  std::size_t violations_seen_ = 0;       // violations() already reported
  std::set<std::string> leaks_reported_;  // live lists already reported
  bool exit_returns_ = false;             // sds_exit returns instead of ending the session
  std::vector<std::string> trace_;        // trace lines, sds_ and dlg_
  std::size_t trace_mark_ = 0;            // trace_ index at the last directive
};

struct Options {
  std::string app_path;                  // --app PATH; empty: qv.so next to the program
  std::string script;                    // SCRIPT; empty: standard input
  std::string trace_file;                // --trace FILE; empty: no trace file
  std::vector<std::string> fail_defuns;  // --fail-defun NAME: the first load's defun fails
  bool help = false;                     // --help
};

// Parses the command line; false with *error (e.g. "unknown option: --x") on a mistake.
bool parse_options(int argc, char **argv, Options *options, std::string *error);

// The --help text.
std::string usage();

}  // namespace standin::console

#endif  // QV_STANDIN_CONSOLE_SESSION_H
