// The dlg_ functions of the stand-in host: loaded dialog files, live dialogs, the list being
// built, and the modal loop that asks the presenter which tile was pressed.
#include "standin/dcl/dcl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "standin/dcl/dcl_reader.h"

namespace standin::dcl {
namespace {

// A dialog created by dlg_new_dialog; its address is the handle.
struct Dialog {
  DialogLayout layout;                                    // name, label and keyed tiles
  std::map<std::string, std::string> values;              // key -> current value
  std::map<std::string, std::vector<std::string>> lists;  // list key -> items
  std::map<std::string, sds_callback> actions;            // key -> action
  sds_callback default_action = nullptr;  // runs for a pressed tile without an action
  bool running = false;                   // inside dlg_start_dialog
  bool done = false;                      // dlg_done_dialog was called while running
  int status = 0;                         // the status passed to dlg_done_dialog
};

// The list that dlg_start_list began and dlg_end_list ends.
struct ListInProgress {
  Dialog* dialog;   // the dialog the list tile belongs to
  std::string key;  // the list tile
  size_t next;      // where the next item goes
};

struct State {
  std::map<int, std::shared_ptr<const DclFile>> files;     // dialog-file id -> parsed file
  int next_id = 1;                                         // id of the next file loaded
  std::map<const void*, std::unique_ptr<Dialog>> dialogs;  // handle -> live dialog
  std::optional<ListInProgress> list;                      // the list being built
  std::string error;                                       // why the last call failed
  Presenter presenter;                                     // empty: the default one
  std::vector<std::string> search_dirs;                    // where relative files are looked up
  std::function<void(const std::string&)> trace;           // one line per call, or empty
  ShownDialog shown;                                       // the last dialog shown
};

State& state() {
  static State s;
  return s;
}

// `s` as a quoted string with C escapes, or null.
std::string quote(const char* s) {
  if (s == nullptr) return "null";
  std::string out = "\"";
  for (const char* p = s; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

Dialog* find_dialog(sds_hdlg handle) {
  auto it = state().dialogs.find(handle);
  return it == state().dialogs.end() ? nullptr : it->second.get();
}

// A handle as the trace shows it: the dialog's name in angle brackets.
std::string describe(sds_hdlg handle) {
  if (handle == nullptr) return "<null>";
  Dialog* d = find_dialog(handle);
  return d == nullptr ? "<?>" : "<" + d->layout.name + ">";
}

// Ends a dlg_ call: traces `line` and returns `SDS_NORMAL`.
int succeed(const std::string& line) {
  State& s = state();
  s.error.clear();
  if (s.trace) s.trace(line);
  return SDS_NORMAL;
}

// Ends a dlg_ call: records `message`, traces `line` with the failure, returns SDS_ERROR.
int failed(const std::string& line, const std::string& message) {
  State& s = state();
  s.error = message;
  if (s.trace) s.trace(line + " -> " + std::to_string(SDS_ERROR) + " (" + message + ")");
  return SDS_ERROR;
}

// Runs `body` so that no exception leaves a dlg_ function.
template <typename F>
int guarded(const std::string& line, F body) {
  try {
    return body();
  } catch (const std::exception& e) {
    return failed(line, std::string("internal error: ") + e.what());
  } catch (...) {
    return failed(line, "internal error");
  }
}

bool read_file(const std::string& path, std::string* text) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buf[4096];
  size_t n;
  text->clear();
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool is_relative(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
  return !(path.size() >= 2 && path[1] == ':');
}

DialogView make_view(const Dialog& d, int round) {
  DialogView v;
  v.name = d.layout.name;
  v.label = d.layout.label;
  v.round = round;
  for (const KeyedTile& t : d.layout.tiles) {
    TileView tv;
    tv.key = t.key;
    tv.type = t.type;
    tv.label = t.label;
    auto value = d.values.find(t.key);
    tv.value = value != d.values.end() ? value->second : t.value;
    auto list = d.lists.find(t.key);
    if (list != d.lists.end()) tv.items = list->second;
    tv.width = t.width;
    tv.height = t.height;
    tv.fixed_width_font = t.fixed_width_font;
    tv.has_action = d.actions.count(t.key) != 0 || d.default_action != nullptr;
    v.tiles.push_back(std::move(tv));
  }
  return v;
}

void record_shown(const Dialog& d, std::vector<std::string> pressed) {
  ShownDialog& r = state().shown;
  r.shown = true;
  r.name = d.layout.name;
  r.values.clear();
  for (const KeyedTile& t : d.layout.tiles) {
    auto value = d.values.find(t.key);
    r.values[t.key] = value != d.values.end() ? value->second : t.value;
  }
  r.lists = d.lists;
  r.pressed = std::move(pressed);
  r.status = d.status;
}

bool is_list_type(const std::string& type) { return type == "list_box" || type == "popup_list"; }

}  // namespace

void reset() { state() = State(); }

const std::string& last_error() { return state().error; }

void set_presenter(Presenter presenter) { state().presenter = std::move(presenter); }

std::string default_presenter(const DialogView& view) { return view.round < 16 ? "accept" : ""; }

void set_search_dirs(std::vector<std::string> dirs) { state().search_dirs = std::move(dirs); }

void set_trace(std::function<void(const std::string&)> trace) { state().trace = std::move(trace); }

const ShownDialog& last_shown() { return state().shown; }

}  // namespace standin::dcl

using namespace standin::dcl;

extern "C" int dlg_load_dialog(const char* file, int* id) {
  std::string line = std::string("dlg_load_dialog ") + quote(file);
  return guarded(line, [&] {
    if (file == nullptr || id == nullptr) return failed(line, "null argument");
    State& s = state();
    std::string path = file;
    std::string text;
    bool found = read_file(path, &text);
    int open_errno = errno;
    if (!found && is_relative(path)) {
      for (const std::string& dir : s.search_dirs) {
        std::string candidate = dir.empty() ? path : dir + "/" + path;
        if (read_file(candidate, &text)) {
          path = candidate;
          found = true;
          break;
        }
      }
    }
    if (!found) {
      return failed(line,
                    "cannot open dialog file " + quote(file) + ": " + std::strerror(open_errno));
    }
    auto parsed = std::make_shared<DclFile>();
    std::string err;
    if (!parse_dcl(text, path, parsed.get(), &err)) return failed(line, err);
    int new_id = s.next_id++;
    s.files[new_id] = std::move(parsed);
    *id = new_id;
    return succeed(line + " -> id " + std::to_string(new_id));
  });
}

extern "C" int dlg_new_dialog(const char* name, int id, sds_callback default_action,
                              sds_hdlg* dialog) {
  std::string line = std::string("dlg_new_dialog ") + quote(name) + " " + std::to_string(id);
  return guarded(line, [&] {
    if (name == nullptr || dialog == nullptr) return failed(line, "null argument");
    State& s = state();
    auto file = s.files.find(id);
    if (file == s.files.end()) {
      return failed(line, "no dialog file loaded with id " + std::to_string(id));
    }
    auto d = std::make_unique<Dialog>();
    std::string err;
    if (!collect_dialog(*file->second, name, &d->layout, &err)) return failed(line, err);
    d->default_action = default_action;
    for (const KeyedTile& t : d->layout.tiles) {
      if (is_list_type(t.type)) d->lists[t.key];
    }
    void* handle = d.get();
    s.dialogs[handle] = std::move(d);
    *dialog = handle;
    return succeed(line);
  });
}

extern "C" int dlg_action_tile(sds_hdlg dialog, const char* key, sds_callback action) {
  std::string line = "dlg_action_tile " + describe(dialog) + " " + quote(key);
  return guarded(line, [&] {
    Dialog* d = find_dialog(dialog);
    if (d == nullptr) return failed(line, "no such dialog");
    if (key == nullptr) return failed(line, "null key");
    if (d->layout.find(key) == nullptr) {
      return failed(line, "dialog '" + d->layout.name + "' has no tile " + quote(key));
    }
    if (action == nullptr) {
      d->actions.erase(key);
    } else {
      d->actions[key] = action;
    }
    return succeed(line);
  });
}

extern "C" int dlg_set_tile(sds_hdlg dialog, const char* key, const char* value) {
  std::string line = "dlg_set_tile " + describe(dialog) + " " + quote(key) + " " + quote(value);
  return guarded(line, [&] {
    Dialog* d = find_dialog(dialog);
    if (d == nullptr) return failed(line, "no such dialog");
    if (key == nullptr || value == nullptr) return failed(line, "null argument");
    if (d->layout.find(key) == nullptr) {
      return failed(line, "dialog '" + d->layout.name + "' has no tile " + quote(key));
    }
    d->values[key] = value;
    return succeed(line);
  });
}

extern "C" int dlg_start_list(sds_hdlg dialog, const char* key, int operation, int index) {
  std::string line = "dlg_start_list " + describe(dialog) + " " + quote(key) + " " +
                     std::to_string(operation) + " " + std::to_string(index);
  return guarded(line, [&] {
    State& s = state();
    Dialog* d = find_dialog(dialog);
    if (d == nullptr) return failed(line, "no such dialog");
    if (key == nullptr) return failed(line, "null key");
    const KeyedTile* tile = d->layout.find(key);
    if (tile == nullptr) {
      return failed(line, "dialog '" + d->layout.name + "' has no tile " + quote(key));
    }
    if (!is_list_type(tile->type)) return failed(line, quote(key) + " is not a list tile");
    if (s.list) return failed(line, "the list " + quote(s.list->key.c_str()) + " is not ended");
    std::vector<std::string>& items = d->lists[key];
    size_t next = 0;
    switch (operation) {
      case 1:  // change the items from `index` on
        if (index < 0 || static_cast<size_t>(index) >= items.size()) {
          return failed(line, "index " + std::to_string(index) + " is outside the list");
        }
        next = static_cast<size_t>(index);
        break;
      case 2:  // append
        next = items.size();
        break;
      case 3:  // new list
        items.clear();
        break;
      default:
        return failed(line, "unknown list operation " + std::to_string(operation));
    }
    s.list = ListInProgress{d, key, next};
    return succeed(line);
  });
}

extern "C" int dlg_add_list(const char* item) {
  std::string line = "dlg_add_list " + quote(item);
  return guarded(line, [&] {
    State& s = state();
    if (!s.list) return failed(line, "no list started");
    if (item == nullptr) return failed(line, "null item");
    std::vector<std::string>& items = s.list->dialog->lists[s.list->key];
    if (s.list->next < items.size()) {
      items[s.list->next] = item;
    } else {
      items.push_back(item);
    }
    ++s.list->next;
    return succeed(line);
  });
}

extern "C" int dlg_end_list(void) {
  std::string line = "dlg_end_list";
  return guarded(line, [&] {
    State& s = state();
    if (!s.list) return failed(line, "no list started");
    s.list.reset();
    return succeed(line);
  });
}

extern "C" int dlg_start_dialog(sds_hdlg dialog, int* status) {
  std::string line = "dlg_start_dialog " + describe(dialog);
  return guarded(line, [&] {
    State& s = state();
    Dialog* d = find_dialog(dialog);
    if (d == nullptr) return failed(line, "no such dialog");
    if (status == nullptr) return failed(line, "null status");
    if (d->running) return failed(line, "the dialog is already shown");
    if (s.list && s.list->dialog == d) {
      return failed(line, "the list " + quote(s.list->key.c_str()) + " is not ended");
    }
    d->running = true;
    std::vector<std::string> pressed;
    // Frees the dialog when the call ends, whichever way.
    struct Release {
      sds_hdlg handle;
      ~Release() {
        State& st = state();
        if (st.list && st.list->dialog == find_dialog(handle)) st.list.reset();
        st.dialogs.erase(handle);
      }
    } release{dialog};
    for (int round = 0; round < kMaxRounds; ++round) {
      DialogView view = make_view(*d, round);
      std::string key = s.presenter ? s.presenter(view) : default_presenter(view);
      if (key.empty()) {
        d->status = 0;
        *status = 0;
        record_shown(*d, std::move(pressed));
        return succeed(line + " -> status 0");
      }
      pressed.push_back(key);
      const KeyedTile* tile = d->layout.find(key);
      if (tile == nullptr) continue;
      auto action = d->actions.find(key);
      sds_callback cb = action != d->actions.end() ? action->second : d->default_action;
      if (cb == nullptr) continue;
      std::string current = view.tiles[static_cast<size_t>(tile - d->layout.tiles.data())].value;
      std::vector<char> value(current.begin(), current.end());
      value.push_back('\0');
      sds_callback_packet packet{dialog, const_cast<KeyedTile*>(tile), value.data(), nullptr, 1};
      cb(&packet);
      if (find_dialog(dialog) != d) return failed(line, "the dialog vanished during its action");
      if (d->done) {
        *status = d->status;
        record_shown(*d, std::move(pressed));
        return succeed(line + " -> status " + std::to_string(d->status));
      }
    }
    record_shown(*d, std::move(pressed));
    return failed(line,
                  "the dialog was not closed after " + std::to_string(kMaxRounds) + " presses");
  });
}

extern "C" int dlg_done_dialog(sds_hdlg dialog, int status) {
  std::string line = "dlg_done_dialog " + describe(dialog) + " " + std::to_string(status);
  return guarded(line, [&] {
    Dialog* d = find_dialog(dialog);
    if (d == nullptr) return failed(line, "no such dialog");
    if (!d->running) return failed(line, "the dialog is not shown");
    d->done = true;
    d->status = status;
    return succeed(line);
  });
}
