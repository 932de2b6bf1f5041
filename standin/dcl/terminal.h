// A presenter that draws the dialog in the terminal, for the console program.
//
// The dialog is drawn as a frame: the dialog's label in the top border, the values of its
// text tiles, each list tile's rows as they are (one per line, padded to the list's width),
// and a line with its buttons ("[ OK ]"). When the input is a terminal the presenter then
// waits for Enter; either way it presses "accept".
#ifndef QV_STANDIN_DCL_TERMINAL_H
#define QV_STANDIN_DCL_TERMINAL_H

#include <iosfwd>
#include <string>

#include "standin/dcl/dcl.h"

namespace standin::dcl {

// Writes the frame of `view` to `out`.
void draw_dialog(const DialogView& view, std::ostream& out);

// Draws `view` on `out` when it is first shown (round 0). If `interactive`, prompts and
// reads a line from `in`. Returns "accept", or "" after 16 rounds (a dialog that does not
// close on "accept" is closed instead of asked forever).
std::string present_in_terminal(const DialogView& view, std::ostream& out, std::istream& in,
                                bool interactive);

// present_in_terminal on standard output and standard input; interactive when standard
// input is a terminal.
Presenter terminal_presenter();

}  // namespace standin::dcl

#endif  // QV_STANDIN_DCL_TERMINAL_H
