// The host's file dialog on the console: asks for a path on the command line.
//
// Shows "TITLE <DEFAULT>: " (without the part in angle brackets when there is no default)
// and reads one line. A non-empty answer is the chosen path; an empty answer takes the
// default, or cancels when there is none; the end of input cancels.
#ifndef QV_STANDIN_CONSOLE_FILE_DIALOG_H
#define QV_STANDIN_CONSOLE_FILE_DIALOG_H

#include <optional>
#include <string>

#include "standin/console/terminal.h"
#include "standin/host/host.h"

namespace standin::console {

std::optional<std::string> ask_file(LineInput *input, const FileDialogRequest &request);

}  // namespace standin::console

#endif  // QV_STANDIN_CONSOLE_FILE_DIALOG_H
