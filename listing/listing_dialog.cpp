#include "listing/listing_dialog.h"

#include "host/sds.h"
#include "listing/depth_scanner.h"

namespace qv {

const char kCannotStartDialog[] = "Cannot start dialog !";
const char kCannotReadFile[] = "Cannot read file !";

namespace {

// Closes the dialog when its button is pressed; the host calls it during the modal run.
extern "C" void accept_action(sds_callback_packet *packet) { dlg_done_dialog(packet->dialog, 1); }

// The id under which the host holds "qv.dcl": from "::d_id" when it holds an integer,
// else from loading the file (the new id is kept in "::_did"). False when loading failed.
bool dialog_file_id(int &id) {
  sds_resbuf *value = nullptr;
  sds_getsym("::d_id", &value);
  if (value != nullptr && value->type == SDS_TYPE_SHORT) {
    id = value->value.integer;
    sds_relrb(value);
    return true;
  }
  if (value != nullptr) sds_relrb(value);
  if (dlg_load_dialog("qv.dcl", &id) != SDS_NORMAL) return false;
  sds_resbuf *stored = sds_buildlist(SDS_TYPE_SHORT, static_cast<short>(id), 0);
  if (stored != nullptr) {
    sds_putsym("::_did", stored);
    sds_relrb(stored);
  }
  return true;
}

// Creates the dialog and prepares its tiles. False when any step failed: a dialog that
// cannot be closed or filled is never shown.
bool set_up_dialog(const std::string &name, sds_hdlg &dialog) {
  int id = 0;
  return dialog_file_id(id) && dlg_new_dialog("shfile", id, nullptr, &dialog) == SDS_NORMAL &&
         dlg_action_tile(dialog, "accept", accept_action) == SDS_NORMAL &&
         dlg_set_tile(dialog, "::title", name.c_str()) == SDS_NORMAL &&
         dlg_start_list(dialog, "::text", 3, 0) == SDS_NORMAL;
}

// Hands each line-feed-ended row of `rows` to the list being built.
void add_rows(const std::string &rows) {
  std::size_t start = 0;
  for (std::size_t nl = rows.find('\n'); nl != std::string::npos; nl = rows.find('\n', start)) {
    std::string row = rows.substr(start, nl - start);
    dlg_add_list(row.c_str());
    start = nl + 1;
  }
}

}  // namespace

int show_listing(TextReader &file, const std::string &name) {
  DepthScanner scanner;
  depth_begin(scanner);
  sds_hdlg dialog = nullptr;
  if (!set_up_dialog(name, dialog)) {
    file.close();
    sds_fail(kCannotStartDialog);
    return 0;
  }
  std::string rows;
  for (std::string_view piece = file.next(); !piece.empty(); piece = file.next()) {
    rows.clear();
    depth_feed(scanner, piece, rows);
    add_rows(rows);
  }
  rows.clear();
  depth_end(scanner, rows);
  add_rows(rows);
  dlg_end_list();
  bool read_failed = file.failed();
  file.close();
  if (read_failed) {
    sds_fail(kCannotReadFile);
    return 0;
  }
  int status = 0;
  dlg_start_dialog(dialog, &status);
  return 1;
}

}  // namespace qv
