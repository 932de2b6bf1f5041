// qv.dcl: the dialogs of the qv LISP debugging add-on.
//
// shfile lists a LISP source file, one row per line: the parenthesis depth at the end of
// the line (6 columns) followed by up to 80 characters of the line. The application sets
// "::title" to the file name, fills the list "::text" and closes the dialog from the
// action of "accept".

shfile : dialog {
  label = "Parenthesis depth";
  : text {
    key = "::title";
    width = 90;
  }
  : list_box {
    key = "::text";
    width = 90;
    height = 30;
    fixed_width_font = true;
  }
  : button {
    key = "accept";
    label = "OK";
    is_default = true;
    is_cancel = true;
    fixed_width = true;
    alignment = centered;
  }
}
