// The stand-in's dialog library: the dlg_ functions of host/sds.h, and the C++ controls that
// the console and the tests use to drive it.
//
// dlg_load_dialog reads and parses a dialog file (the path as given, then relative to each
// search directory) and assigns it a new positive id. dlg_new_dialog creates a dialog
// object from a dialog of a loaded file; the handle is the object's address and is checked
// against the live dialogs on every call, so a stale or made-up handle is an error, never a
// crash. dlg_start_dialog shows the dialog through the presenter, which answers with the key
// of the tile the user pressed; the tile's action (or the dialog's default action) runs
// with a packet whose first field is the dialog handle. When an action calls
// dlg_done_dialog the dialog closes and dlg_start_dialog returns SDS_NORMAL with its status.
// Otherwise the presenter is asked again; a presenter that answers "" closes the dialog
// with status 0. The dialog object is freed when dlg_start_dialog returns.
//
// Every dlg_ function returns SDS_NORMAL or SDS_ERROR; after SDS_ERROR, last_error() says
// why. No exception leaves a dlg_ function.
#ifndef QV_STANDIN_DCL_DCL_H
#define QV_STANDIN_DCL_DCL_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/sds.h"

namespace standin::dcl {

// A tile of the dialog being shown, as the presenter sees it.
struct TileView {
  std::string key;                 // the tile's key
  std::string type;                // its predefined type, e.g. "list_box", "button"
  std::string label;               // its label, or empty
  std::string value;               // its current value (dlg_set_tile, or the file's value)
  std::vector<std::string> items;  // the list contents of a list tile
  int width = 0;                   // the width in the file, or 0
  int height = 0;                  // the height in the file, or 0
  bool fixed_width_font = false;   // its text is shown in a fixed-width font
  bool has_action = false;         // pressing it runs an action
};

// The dialog being shown.
struct DialogView {
  std::string name;             // the dialog's name in its file
  std::string label;            // the dialog's label, or empty
  std::vector<TileView> tiles;  // keyed tiles in file order
  int round = 0;                // 0 when first shown, then how often the presenter was asked
};

// Shows the dialog and returns the key of the tile the user pressed, or "" to close the
// dialog without an action (status 0).
using Presenter = std::function<std::string(const DialogView&)>;

// The record of the last dialog that dlg_start_dialog showed.
struct ShownDialog {
  bool shown = false;                                     // a dialog was shown since reset()
  std::string name;                                       // its name
  std::map<std::string, std::string> values;              // key -> value when it closed
  std::map<std::string, std::vector<std::string>> lists;  // list key -> items when it closed
  std::vector<std::string> pressed;                       // keys the presenter answered, in order
  int status = 0;                                         // the status it closed with
};

// Forgets every loaded file, dialog, list in progress, the last error and the record of the
// last dialog; restores the default presenter, no trace and no search directories. Ids
// start again at 1.
void reset();

// Why the last dlg_ call failed; empty after a call that succeeded.
const std::string& last_error();

// Sets the presenter; an empty function restores the default one, which presses "accept"
// at once and, when asked again, up to 16 times in all before it closes the dialog.
void set_presenter(Presenter presenter);

// The default presenter described above.
std::string default_presenter(const DialogView& view);

// Directories where dlg_load_dialog looks for a relative file name not found as given.
void set_search_dirs(std::vector<std::string> dirs);

// Called with one line per dlg_ call, e.g. `dlg_add_list "   1  (defun f (a)"`; a call that
// fails ends with ` -> -5001 (<reason>)`. An empty function turns the trace off.
void set_trace(std::function<void(const std::string&)> trace);

// The record of the last dialog shown.
const ShownDialog& last_shown();

// The most rounds dlg_start_dialog asks a presenter before it gives up with SDS_ERROR.
constexpr int kMaxRounds = 10000;

}  // namespace standin::dcl

#endif  // QV_STANDIN_DCL_DCL_H
