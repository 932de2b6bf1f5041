// The host's file dialog on the console (see file_dialog.h).
#include "standin/console/file_dialog.h"

namespace standin::console {

std::optional<std::string> ask_file(LineInput *input, const FileDialogRequest &request) {
  std::string prompt = request.title;
  if (request.default_path) prompt += " <" + *request.default_path + ">";
  prompt += ": ";
  std::string answer;
  if (!input->read_line(prompt, &answer)) return std::nullopt;
  if (!answer.empty()) return answer;
  return request.default_path;
}

}  // namespace standin::console
