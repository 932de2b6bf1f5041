// The stand-in host's sds_ functions and the API that drives them (see host.h).
#include "standin/host/host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace standin {
namespace {

// A result-buffer list the host allocated: its nodes and strings, freed by the host.
struct ListRecord {
  int id = 0;                       // list number shown in the trace (#N)
  std::string origin;               // call that handed it out, for live_lists()
  std::vector<sds_resbuf *> nodes;  // every node, head first
  std::vector<char *> strings;      // strings the nodes pointed to when built
};

// The whole host. One instance, reset() replaces it.
struct HostState {
  std::map<std::string, Value> symbols;           // folded name -> value (never nil)
  std::vector<Definition> definitions;            // defined functions, in order
  std::vector<std::string> failing_defuns;        // folded names whose next defun fails
  std::map<const sds_resbuf *, ListRecord> live;  // head -> live application-owned list
  std::map<const sds_resbuf *, int> inner;        // non-head node of a live list -> list id
  std::map<const sds_resbuf *, int> released;     // head of a released list -> its id
  int next_list_id = 1;                           // number of the next list handed out
  std::unique_ptr<ListRecord> args;               // argument list of the invocation, or null
  bool invoking = false;                          // an invocation is in progress
  int funcode = -1;                               // code of the function invoked
  std::string failure;                            // message of sds_fail in this invocation
  bool failed = false;                            // sds_fail was called in this invocation
  bool returned_void = false;                     // sds_retvoid was called in this invocation
  std::vector<std::string> trace;                 // one line per sds_ call
  std::string printed;                            // all sds_printf text
  std::vector<std::string> violations;            // contract violations, one line each
  std::string init_name;                          // argv[0] given to sds_init
  std::vector<int> link_statuses;                 // statuses given to sds_link
  std::vector<int> exit_statuses;                 // statuses given to sds_exit
  std::string app_name = "qv";                    // written by SDS_GetGlobals
  std::unique_ptr<char[]> dialog_choice;          // string of the last getfiled result
  std::function<int(int)> link_driver;            // answers sds_link
  std::function<void(int)> exit_handler;          // runs on sds_exit
  std::function<std::optional<std::string>(const FileDialogRequest &)> file_dialog;
  std::function<void(const std::string &)> output;      // sds_printf text
  std::function<void(const std::string &)> trace_sink;  // trace lines as they come
};

void free_record(ListRecord *record) {
  for (char *s : record->strings) delete[] s;
  for (sds_resbuf *node : record->nodes) delete node;
  record->strings.clear();
  record->nodes.clear();
}

void free_all(HostState *state) {
  for (auto &entry : state->live) free_record(&entry.second);
  state->live.clear();
  state->inner.clear();
  if (state->args) free_record(state->args.get());
  state->args.reset();
}

HostState &state() {
  static HostState *instance = new HostState();  // never destroyed: sds_ calls may come late
  return *instance;
}

void add_trace(const std::string &line) {
  HostState &s = state();
  s.trace.push_back(line);
  if (s.trace_sink) s.trace_sink(line);
}

void add_violation(const std::string &text) { state().violations.push_back(text); }

// Records the nodes and strings of a freshly built list.
ListRecord make_record(sds_resbuf *head) {
  ListRecord record;
  for (sds_resbuf *node = head; node != nullptr; node = node->next) {
    record.nodes.push_back(node);
    if ((node->type == kTypeString || node->type == kTypeSymbol) && node->value.string)
      record.strings.push_back(node->value.string);
  }
  return record;
}

// Hands a list to the application: records it as live; returns its number.
int hand_out(sds_resbuf *head, const std::string &origin) {
  HostState &s = state();
  ListRecord record = make_record(head);
  record.id = s.next_list_id++;
  record.origin = origin;
  for (std::size_t i = 0; i < record.nodes.size(); ++i) {
    s.released.erase(record.nodes[i]);  // the address is in use again
    if (i > 0) s.inner[record.nodes[i]] = record.id;
  }
  int id = record.id;
  s.live.emplace(head, std::move(record));
  return id;
}

std::string values_text(const std::vector<Value> &values) {
  return to_lisp(Value::make_list(values));
}

// The value a symbol takes from a result-buffer list: one node gives its value, several
// give a list of them, none gives nil.
Value symbol_value(const std::vector<Value> &values) {
  if (values.empty()) return Value::nil();
  if (values.size() == 1) return values[0];
  return Value::make_list(values);
}

void default_output(const std::string &text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void default_exit(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status == 0 ? 0 : 1);
}

std::string format_text(const char *format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string name_text(const char *name) { return name == nullptr ? "null" : name; }

std::string string_text(const char *text) { return text == nullptr ? "null" : quote(text); }

}  // namespace

void reset() {
  HostState &s = state();
  free_all(&s);
  s = HostState();
}

void set_invocation(int code, const std::vector<Value> &args) {
  HostState &s = state();
  end_invocation();
  sds_resbuf *head = to_resbuf_list(args);
  if (head != nullptr) {
    s.args = std::make_unique<ListRecord>(make_record(head));
    for (sds_resbuf *node : s.args->nodes) s.released.erase(node);
  }
  s.invoking = true;
  s.funcode = code;
  s.failure.clear();
  s.failed = false;
  s.returned_void = false;
}

void end_invocation() {
  HostState &s = state();
  if (s.args) free_record(s.args.get());
  s.args.reset();
  s.invoking = false;
  s.funcode = -1;
}

const std::string &failure() { return state().failure; }
bool failed() { return state().failed; }
bool returned_void() { return state().returned_void; }
const std::vector<std::string> &trace() { return state().trace; }
const std::string &printed() { return state().printed; }

std::string take_printed() {
  std::string out;
  out.swap(state().printed);
  return out;
}

std::vector<std::string> live_lists() {
  std::vector<std::string> out;
  for (const auto &entry : state().live)
    out.push_back("#" + std::to_string(entry.second.id) + " from " + entry.second.origin);
  return out;
}

std::size_t live_list_count() { return state().live.size(); }
const std::vector<std::string> &violations() { return state().violations; }
const std::string &init_name() { return state().init_name; }
const std::vector<int> &link_statuses() { return state().link_statuses; }
const std::vector<int> &exit_statuses() { return state().exit_statuses; }

void set_symbol(const std::string &name, const Value &value) {
  HostState &s = state();
  if (value.is_nil()) {
    s.symbols.erase(fold_case(name));
  } else {
    s.symbols[fold_case(name)] = value;
  }
}

Value symbol(const std::string &name) {
  HostState &s = state();
  auto it = s.symbols.find(fold_case(name));
  return it == s.symbols.end() ? Value::nil() : it->second;
}

const std::vector<Definition> &defined() { return state().definitions; }

std::optional<Definition> find_defined(const std::string &name) {
  std::string folded = fold_case(name);
  for (const Definition &d : state().definitions) {
    if (fold_case(d.name) == folded) return d;
  }
  return std::nullopt;
}

void fail_defun(const std::string &name) { state().failing_defuns.push_back(fold_case(name)); }

void set_link_driver(std::function<int(int)> driver) { state().link_driver = std::move(driver); }
void set_exit_handler(std::function<void(int)> handler) {
  state().exit_handler = std::move(handler);
}
void set_file_dialog(
    std::function<std::optional<std::string>(const FileDialogRequest &)> provider) {
  state().file_dialog = std::move(provider);
}
void set_output(std::function<void(const std::string &)> sink) { state().output = std::move(sink); }
void set_trace_sink(std::function<void(const std::string &)> sink) {
  state().trace_sink = std::move(sink);
}
void set_app_name(const std::string &name) { state().app_name = name; }

}  // namespace standin

// --- The host's exports -----------------------------------------------------------------
//
// Each catches every exception: none may reach the application.

using standin::HostState;
using standin::state;

extern "C" {

void SDS_GetGlobals(char *appname, void **handle1, void **handle2) {
  try {
    HostState &s = state();
    if (appname != nullptr) {
      std::size_t n = s.app_name.size() < 511 ? s.app_name.size() : 511;
      std::memcpy(appname, s.app_name.data(), n);
      appname[n] = '\0';
    }
    if (handle1 != nullptr) *handle1 = nullptr;
    if (handle2 != nullptr) *handle2 = nullptr;
    standin::add_trace("SDS_GetGlobals " + s.app_name);
  } catch (...) {
  }
}

int sds_init(int argc, char *argv[]) {
  try {
    HostState &s = state();
    s.init_name = (argc > 0 && argv != nullptr && argv[0] != nullptr) ? argv[0] : "";
    standin::add_trace("sds_init " + std::to_string(argc) + " " +
                       standin::string_text(argc > 0 && argv ? argv[0] : nullptr));
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_link(int status) {
  try {
    HostState &s = state();
    s.link_statuses.push_back(status);
    standin::add_trace("sds_link " + std::to_string(status));
    if (!s.link_driver) return -1;
    auto driver = s.link_driver;  // the driver may replace itself
    return driver(status);
  } catch (...) {
    return -1;
  }
}

void sds_exit(int status) {
  try {
    HostState &s = state();
    s.exit_statuses.push_back(status);
    standin::add_trace("sds_exit " + std::to_string(status));
    if (s.exit_handler) {
      auto handler = s.exit_handler;
      handler(status);
    } else {
      standin::default_exit(status);
    }
  } catch (...) {
  }
}

int sds_printf(const char *format, ...) {
  try {
    if (format == nullptr) {
      standin::add_violation("sds_printf: null format");
      return SDS_ERROR;
    }
    va_list args;
    va_start(args, format);
    std::string text = standin::format_text(format, args);
    va_end(args);
    HostState &s = state();
    s.printed += text;
    standin::add_trace("sds_printf " + standin::quote(text));
    if (s.output) {
      s.output(text);
    } else {
      standin::default_output(text);
    }
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_defun(const char *name, short code) {
  try {
    HostState &s = state();
    std::string line = "sds_defun " + standin::name_text(name) + " " + std::to_string(code);
    if (name == nullptr || *name == '\0') {
      standin::add_trace(line + " -> 0");
      standin::add_violation("sds_defun: no name");
      return 0;
    }
    std::string folded = standin::fold_case(name);
    for (auto it = s.failing_defuns.begin(); it != s.failing_defuns.end(); ++it) {
      if (*it == folded) {
        s.failing_defuns.erase(it);
        standin::add_trace(line + " -> 0");
        return 0;
      }
    }
    standin::add_trace(line);
    for (standin::Definition &d : s.definitions) {
      if (standin::fold_case(d.name) == folded) {
        d.code = code;
        return 1;
      }
    }
    s.definitions.push_back({name, code});
    return 1;
  } catch (...) {
    return 0;
  }
}

int sds_undef(const char *name, short code) {
  try {
    HostState &s = state();
    standin::add_trace("sds_undef " + standin::name_text(name) + " " + std::to_string(code));
    if (name == nullptr) return SDS_ERROR;
    std::string folded = standin::fold_case(name);
    for (auto it = s.definitions.begin(); it != s.definitions.end(); ++it) {
      if (standin::fold_case(it->name) == folded) {
        s.definitions.erase(it);
        return SDS_NORMAL;
      }
    }
    return SDS_ERROR;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_getfuncode(void) {
  try {
    HostState &s = state();
    standin::add_trace("sds_getfuncode -> " + std::to_string(s.funcode));
    return s.funcode;
  } catch (...) {
    return -1;
  }
}

struct sds_resbuf *sds_getargs(void) {
  try {
    HostState &s = state();
    sds_resbuf *head = s.args ? s.args->nodes.front() : nullptr;
    std::vector<standin::Value> values;
    std::string error;
    standin::from_resbuf_list(head, &values, &error);
    standin::add_trace("sds_getargs -> " + standin::values_text(values));
    return head;
  } catch (...) {
    return nullptr;
  }
}

int sds_fail(const char *message) {
  try {
    HostState &s = state();
    s.failed = true;
    s.failure = message == nullptr ? "" : message;
    standin::add_trace("sds_fail " + standin::string_text(message));
    if (!s.invoking) standin::add_violation("sds_fail: no function is being invoked");
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_retvoid(void) {
  try {
    HostState &s = state();
    s.returned_void = true;
    standin::add_trace("sds_retvoid");
    if (!s.invoking) standin::add_violation("sds_retvoid: no function is being invoked");
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_getsym(const char *name, struct sds_resbuf **value) {
  try {
    std::string line = "sds_getsym " + standin::name_text(name);
    if (name == nullptr || value == nullptr) {
      standin::add_trace(line + " -> error");
      standin::add_violation("sds_getsym: null name or value slot");
      return SDS_ERROR;
    }
    standin::Value v = standin::symbol(name);
    if (v.is_nil()) {
      *value = nullptr;
      standin::add_trace(line + " -> nil");
      return SDS_NORMAL;
    }
    sds_resbuf *head = standin::to_resbuf_list({v});
    int id = standin::hand_out(head, "sds_getsym " + std::string(name));
    *value = head;
    standin::add_trace(line + " -> #" + std::to_string(id) + " " + standin::to_lisp(v));
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_putsym(const char *name, struct sds_resbuf *value) {
  try {
    std::vector<standin::Value> values;
    std::string error;
    bool ok = standin::from_resbuf_list(value, &values, &error);
    standin::Value v = standin::symbol_value(values);
    standin::add_trace("sds_putsym " + standin::name_text(name) + " " + standin::to_lisp(v));
    if (name == nullptr) {
      standin::add_violation("sds_putsym: null name");
      return SDS_ERROR;
    }
    if (!ok) {
      standin::add_violation("sds_putsym " + std::string(name) + ": " + error);
      return SDS_ERROR;
    }
    standin::set_symbol(name, v);
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

struct sds_resbuf *sds_buildlist(int type, ...) {
  sds_resbuf *head = nullptr;
  try {
    std::string line = "sds_buildlist";
    sds_resbuf **tail = &head;
    va_list args;
    va_start(args, type);
    std::string error;
    for (int t = type; t != 0 && error.empty(); t = va_arg(args, int)) {
      line += " " + std::to_string(t);
      auto *node = new sds_resbuf{};
      node->type = static_cast<short>(t);
      *tail = node;
      tail = &node->next;
      switch (t) {
        case standin::kTypeShort: {
          int n = va_arg(args, int);
          node->value.integer = static_cast<short>(n);
          line += " " + std::to_string(node->value.integer);
          break;
        }
        case standin::kTypeLong: {
          auto n = static_cast<std::int32_t>(va_arg(args, int));
          std::memcpy(node->value.room, &n, sizeof n);
          line += " " + std::to_string(n);
          break;
        }
        case standin::kTypeReal:
          node->value.room[0] = va_arg(args, double);
          line += " " + standin::to_lisp(standin::Value::make_real(node->value.room[0]));
          break;
        case standin::kTypeString:
        case standin::kTypeSymbol: {
          const char *text = va_arg(args, const char *);
          line += " " + standin::string_text(text);
          if (text == nullptr) {
            node->type = standin::kTypeNil;
            error = "null string for type " + std::to_string(t);
            break;
          }
          std::size_t n = std::strlen(text);
          node->value.string = new char[n + 1];
          std::memcpy(node->value.string, text, n + 1);
          break;
        }
        case standin::kTypeListBegin:
        case standin::kTypeListEnd:
        case standin::kTypeNil:
        case standin::kTypeT:
          break;
        default:
          node->type = standin::kTypeNil;
          error = "unsupported type code " + std::to_string(t);
      }
    }
    va_end(args);
    if (!error.empty()) {
      standin::add_trace(line + " -> error");
      standin::add_violation("sds_buildlist: " + error);
      standin::free_resbuf_list(head);
      return nullptr;
    }
    int id = standin::hand_out(head, "sds_buildlist");
    standin::add_trace(line + " -> #" + std::to_string(id));
    return head;
  } catch (...) {
    return nullptr;  // a partly built list leaks rather than risk a double free
  }
}

int sds_relrb(struct sds_resbuf *list) {
  try {
    HostState &s = state();
    if (list == nullptr) {
      standin::add_trace("sds_relrb null");
      return SDS_NORMAL;
    }
    auto live = s.live.find(list);
    if (live != s.live.end()) {
      standin::add_trace("sds_relrb #" + std::to_string(live->second.id));
      for (std::size_t i = 1; i < live->second.nodes.size(); ++i)
        s.inner.erase(live->second.nodes[i]);
      s.released[list] = live->second.id;
      standin::free_record(&live->second);
      s.live.erase(live);
      return SDS_NORMAL;
    }
    std::string problem;
    bool in_args = false;
    if (s.args) {
      for (sds_resbuf *node : s.args->nodes) in_args = in_args || node == list;
    }
    auto inner = s.inner.find(list);
    auto released = s.released.find(list);
    if (in_args) {
      problem = "the argument list belongs to the host";
    } else if (inner != s.inner.end()) {
      problem =
          "pointer to a node inside list #" + std::to_string(inner->second) + ", not its head";
    } else if (released != s.released.end()) {
      problem = "list #" + std::to_string(released->second) + " was already released";
    } else {
      problem = "pointer to no list the host handed out";
    }
    standin::add_trace("sds_relrb ! " + problem);
    standin::add_violation("sds_relrb: " + problem);
    return SDS_ERROR;
  } catch (...) {
    return SDS_ERROR;
  }
}

int sds_getfiled(const char *title, const char *default_path, const char *extension, int flags,
                 struct sds_resbuf *result) {
  try {
    HostState &s = state();
    std::string line = "sds_getfiled " + standin::string_text(title) + " " +
                       standin::string_text(default_path) + " " + standin::string_text(extension) +
                       " " + std::to_string(flags);
    std::optional<std::string> choice;
    if (s.file_dialog) {
      standin::FileDialogRequest request{
          title ? title : "",
          default_path ? std::optional<std::string>(default_path) : std::nullopt,
          extension ? extension : "", flags};
      auto provider = s.file_dialog;
      choice = provider(request);
    }
    if (!choice) {
      standin::add_trace(line + " -> cancel");
      return SDS_ERROR;
    }
    standin::add_trace(line + " -> " + standin::quote(*choice));
    if (result == nullptr) {
      standin::add_violation("sds_getfiled: null result buffer");
      return SDS_ERROR;
    }
    s.dialog_choice = std::make_unique<char[]>(choice->size() + 1);
    std::memcpy(s.dialog_choice.get(), choice->c_str(), choice->size() + 1);
    result->next = nullptr;
    result->type = SDS_TYPE_STRING;
    result->value.string = s.dialog_choice.get();
    return SDS_NORMAL;
  } catch (...) {
    return SDS_ERROR;
  }
}

}  // extern "C"
