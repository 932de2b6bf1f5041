// The listing dialog on the console (see dialog_presenter.h).
#include "standin/console/dialog_presenter.h"

#include <sstream>

#include "standin/dcl/terminal.h"

namespace standin::console {

std::string present_dialog(LineInput *input, Output *out, const dcl::DialogView &view) {
  if (view.round == 0) {
    std::ostringstream frame;
    dcl::draw_dialog(view, frame);
    out->start_line();
    out->write(frame.str());
  }
  if (view.round >= 16) return "";
  if (input->interactive()) {
    std::string ignored;
    input->read_line("Press Enter to close the dialog: ", &ignored);
  }
  return "accept";
}

}  // namespace standin::console
