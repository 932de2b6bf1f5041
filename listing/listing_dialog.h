// The depth listing dialog: shows an open LISP file in the host's modal dialog "shfile"
// (from the dialog file "qv.dcl"), one row per line with the nesting depth after it.
#ifndef QV_LISTING_LISTING_DIALOG_H
#define QV_LISTING_LISTING_DIALOG_H

#include <string>

#include "text/textfile.h"

namespace qv {

// Messages, as the host shows them.
extern const char kCannotStartDialog[];  // "qv.dcl" or its dialog could not be set up
extern const char kCannotReadFile[];     // the file cannot be opened or read

// Fills the dialog with the rows of `file`, titled `name`, and shows it until the user
// presses the button keyed "accept". The dialog-file id is taken from the LISP symbol
// "::d_id" when that holds an integer; otherwise "qv.dcl" is loaded and its id stored in
// "::_did". Returns 1 after the dialog was shown and closed; 0 after reporting a failure
// through sds_fail (the dialog could not be set up, or reading the file failed part way).
// The file is closed on return, on every path.
int show_listing(TextReader &file, const std::string &name);

}  // namespace qv

#endif  // QV_LISTING_LISTING_DIALOG_H
