// A console session (see session.h).
#include "standin/console/session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "standin/console/reader.h"
#include "standin/host/host.h"

namespace standin::console {

const char kDirectiveHelp[] =
    "Directives (a line starting with ':'):\n"
    "  :request N           send request code N raw (any int: negative, beyond 16 bits)\n"
    "  :invoke CODE [ARG..] invoke function code CODE with the LISP arguments ARG..\n"
    "  :fail-defun NAME     the next sds_defun of NAME fails\n"
    "  :exit-returns        from now on sds_exit returns and the session goes on\n"
    "  :trace               print the sds_/dlg_ calls since the previous directive\n";

namespace {

constexpr char kPrompt[] = "Command: ";

bool is_symbol(const Value &v) { return v.kind == Value::Kind::kSymbol; }

// Parses a whole int (decimal, or 0x hexadecimal, with a sign); false when it is not one.
bool parse_int(const std::string &text, int *value) {
  if (text.empty()) return false;
  errno = 0;
  char *end = nullptr;
  long long n = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || n < -2147483648LL || n > 2147483647LL) return false;
  *value = static_cast<int>(n);
  return true;
}

std::string trim(const std::string &s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

Session::Session(LineInput *input, Output *out, std::function<void(int)> finish)
    : input_(input), out_(out), finish_(std::move(finish)) {}

int Session::on_link(int /*status*/) {
  if (!started_) {
    started_ = true;
    pending_ = Pending::kRaw;
    return SDS_REQ_LOAD;
  }
  Pending done = pending_;
  pending_ = Pending::kNone;
  if (done == Pending::kCall) complete_call();
  if (done == Pending::kUnload) {
    check_contract();
    out_->start_line();
    finish_(any_error_ || contract_broken_ ? 1 : 0);
  }
  return next_request();
}

void Session::on_exit(int status) {
  if (exit_returns_) return;
  out_->start_line();
  finish_(status == 0 && !any_error_ && !contract_broken_ ? 0 : 1);
}

int Session::next_request() {
  for (;;) {
    if (!buffer_.empty()) {
      std::size_t pos = 0;
      ReadResult r = read_form(buffer_, &pos);
      switch (r.status) {
        case ReadStatus::kForm: {
          buffer_.erase(0, pos);
          int code = run_form(r.form);
          if (code != 0) return code;
          continue;
        }
        case ReadStatus::kEnd:
          buffer_.clear();
          break;
        case ReadStatus::kError:
          buffer_.clear();
          show_error(r.error);
          continue;
        case ReadStatus::kIncomplete: {
          std::string more;
          if (!input_->read_line("", &more)) {
            buffer_.clear();
            show_error(r.error);
            break;  // the end of input: the next read_line says so again
          }
          buffer_ += more + "\n";
          continue;
        }
      }
    }
    std::string line;
    if (!input_->read_line(kPrompt, &line)) {
      pending_ = Pending::kUnload;
      return SDS_REQ_UNLOAD;
    }
    std::string text = trim(line);
    if (text.size() > 1 && text[0] == ':' && text[1] != ':') {
      int code = run_directive(text);
      trace_mark_ = trace_.size();
      if (code != 0) return code;
      continue;
    }
    if (!text.empty() && text[0] == '!') {
      std::string rest = text.substr(1);
      std::size_t pos = 0;
      ReadResult r = read_form(rest, &pos);
      Value value;
      std::string error;
      if (r.status == ReadStatus::kEnd) {
        show_error("malformed input: nothing after !");
      } else if (r.status != ReadStatus::kForm) {
        show_error(r.error);
      } else if (!eval(r.form, &value, &error)) {
        show_error(error);
      } else {
        show_value(value);
      }
      continue;
    }
    std::size_t pos = 0;
    ReadResult r = read_form(text, &pos);
    if (r.status == ReadStatus::kForm && is_symbol(r.form) &&
        read_form(text, &pos).status == ReadStatus::kEnd) {
      // The command form: NAME alone calls c:NAME.
      auto command = find_defined("c:" + r.form.text);
      if (!command) {
        show_error("unknown command: " + r.form.text);
        continue;
      }
      return invoke(command->code, {});
    }
    buffer_ = line + "\n";
  }
}

int Session::run_directive(const std::string &line) {
  std::size_t space = line.find_first_of(" \t");
  std::string name = line.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : trim(line.substr(space));
  int code = 0;
  if (name == ":request") {
    if (!parse_int(rest, &code)) {
      show_error(":request needs an integer, got: " + rest);
      return 0;
    }
    pending_ = Pending::kRaw;
    return code;
  }
  if (name == ":invoke") {
    std::size_t pos = 0;
    ReadResult r = read_form(rest, &pos);
    if (r.status != ReadStatus::kForm || r.form.kind != Value::Kind::kInt) {
      show_error(":invoke needs a function code");
      return 0;
    }
    code = r.form.integer;
    std::vector<Value> args;
    for (;;) {
      ReadResult a = read_form(rest, &pos);
      if (a.status == ReadStatus::kEnd) break;
      if (a.status != ReadStatus::kForm) {
        show_error(a.error);
        return 0;
      }
      args.push_back(a.form);
    }
    return invoke(code, args);
  }
  if (name == ":fail-defun" && !rest.empty()) {
    fail_defun(rest);
    return 0;
  }
  if (name == ":exit-returns" && rest.empty()) {
    exit_returns_ = true;
    return 0;
  }
  if (name == ":trace" && rest.empty()) {
    out_->start_line();
    for (std::size_t i = trace_mark_; i < trace_.size(); ++i) out_->write(trace_[i] + "\n");
    return 0;
  }
  show_error("unknown directive: " + line);
  return 0;
}

int Session::run_form(const Value &form) {
  if (form.kind == Value::Kind::kList && is_symbol(form.items[0])) {
    auto def = find_defined(form.items[0].text);
    if (def) return invoke(def->code, {form.items.begin() + 1, form.items.end()});
  }
  Value value;
  std::string error;
  if (eval(form, &value, &error)) {
    show_value(value);
  } else {
    show_error(error);
  }
  return 0;
}

int Session::invoke(int code, const std::vector<Value> &arg_forms) {
  std::vector<Value> args;
  for (const Value &form : arg_forms) {
    Value value;
    std::string error;
    if (!eval(form, &value, &error)) {
      show_error(error);
      return 0;
    }
    args.push_back(std::move(value));
  }
  set_invocation(code, args);
  pending_ = Pending::kCall;
  return SDS_REQ_INVOKE;
}

bool Session::eval(const Value &form, Value *result, std::string *error) {
  switch (form.kind) {
    case Value::Kind::kSymbol:
      *result = symbol(form.text);
      return true;
    case Value::Kind::kList:
      break;
    default:
      *result = form;
      return true;
  }
  const Value &head = form.items[0];
  std::size_t argc = form.items.size() - 1;
  if (!is_symbol(head)) {
    *error = "bad function: " + to_lisp(head);
    return false;
  }
  std::string name = fold_case(head.text);
  if (name == "quote") {
    if (argc != 1) {
      *error = argc == 0 ? "too few arguments" : "too many arguments";
      return false;
    }
    *result = form.items[1];
    return true;
  }
  if (name == "setq") {
    if (argc == 0 || argc % 2 != 0) {
      *error = "too few arguments";
      return false;
    }
    for (std::size_t i = 1; i < form.items.size(); i += 2) {
      const Value &target = form.items[i];
      if (!is_symbol(target)) {
        *error = "bad argument type: symbolp " + to_lisp(target);
        return false;
      }
      if (!eval(form.items[i + 1], result, error)) return false;
      set_symbol(target.text, *result);
    }
    return true;
  }
  if (find_defined(head.text)) {
    *error = head.text + ": the console calls application functions only at the top level";
    return false;
  }
  *error = "no function definition: " + head.text;
  return false;
}

void Session::check_contract() {
  const std::vector<std::string> &broken = violations();
  for (; violations_seen_ < broken.size(); ++violations_seen_) {
    std::fprintf(stderr, "icad: the application broke a list ownership rule: %s\n",
                 broken[violations_seen_].c_str());
    contract_broken_ = true;
  }
  for (const std::string &list : live_lists()) {
    if (!leaks_reported_.insert(list).second) continue;
    std::fprintf(stderr, "icad: the application left a list unreleased: %s\n", list.c_str());
    contract_broken_ = true;
  }
  std::fflush(stderr);
}

void Session::complete_call() {
  end_invocation();
  check_contract();
  if (failed()) {
    show_error(failure());
  } else if (!returned_void()) {
    show_value(Value::nil());
  }
}

void Session::show_error(const std::string &message) {
  any_error_ = true;
  out_->start_line();
  out_->write("; error: " + message);
  out_->start_line();
}

void Session::show_value(const Value &value) {
  out_->start_line();
  out_->write(to_lisp(value) + "\n");
}

bool parse_options(int argc, char **argv, Options *options, std::string *error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string *slot) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *slot = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--app") {
      if (!value(&options->app_path)) return false;
    } else if (arg == "--trace") {
      if (!value(&options->trace_file)) return false;
    } else if (arg == "--fail-defun") {
      std::string name;
      if (!value(&name)) return false;
      options->fail_defuns.push_back(name);
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option: " + arg;
      return false;
    } else if (options->script.empty()) {
      options->script = arg;
    } else {
      *error = "more than one script: " + arg;
      return false;
    }
  }
  return true;
}

std::string usage() {
  return std::string(
             "Usage: icad [--app PATH] [--trace FILE] [--fail-defun NAME] [SCRIPT]\n"
             "\n"
             "The stand-in CAD host: loads the application library, sends it the load\n"
             "request, then runs LISP input from SCRIPT (or standard input) one form at a\n"
             "time, and unloads it at the end of input. Exit status: 0, or 1 when any call\n"
             "failed; 2 when the application cannot be started.\n"
             "\n"
             "  --app PATH        the application library (default: qv.so next to icad)\n"
             "  --trace FILE      write every sds_/dlg_ call to FILE as it happens\n"
             "  --fail-defun NAME the first load's sds_defun of NAME fails\n"
             "  --help            this text\n"
             "\n"
             "Input: (NAME ARG..) calls a function the application defined; (setq SYM VALUE);\n"
             "!FORM prints the value of FORM; NAME alone on a line calls c:NAME.\n"
             "\n") +
         kDirectiveHelp;
}

}  // namespace standin::console
