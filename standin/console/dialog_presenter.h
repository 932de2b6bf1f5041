// The listing dialog on the console: draws the dialog the application shows through the
// stand-in dialog library, and presses its OK button.
//
// The frame is drawn once, when the dialog is first shown, on the console's output. When
// the input is interactive the presenter waits for Enter before it presses "accept"; from a
// script or a pipe it presses "accept" at once and reads nothing. A dialog that is still
// open after 16 rounds is closed without an action.
#ifndef QV_STANDIN_CONSOLE_DIALOG_PRESENTER_H
#define QV_STANDIN_CONSOLE_DIALOG_PRESENTER_H

#include <string>

#include "standin/console/terminal.h"
#include "standin/dcl/dcl.h"

namespace standin::console {

std::string present_dialog(LineInput *input, Output *out, const dcl::DialogView &view);

}  // namespace standin::console

#endif  // QV_STANDIN_CONSOLE_DIALOG_PRESENTER_H
