// The terminal presenter: draws a dialog as a text frame and waits for Enter.
#include "standin/dcl/terminal.h"

#include <algorithm>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define QV_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define QV_ISATTY(fd) isatty(fd)
#endif

namespace standin::dcl {
namespace {

// The narrowest inner width of the frame.
constexpr size_t kMinWidth = 40;

// The most rounds the presenter answers "accept" before it closes the dialog.
constexpr int kMaxPresses = 16;

void rule(std::ostream& out, size_t width, const std::string& caption) {
  std::string line = "+";
  if (!caption.empty()) line += "- " + caption + " ";
  while (line.size() < width + 3) line += '-';
  out << line << "+\n";
}

void row(std::ostream& out, size_t width, const std::string& text) {
  out << "| " << text;
  for (size_t n = text.size(); n < width; ++n) out << ' ';
  out << " |\n";
}

bool is_button(const TileView& t) { return t.type == "button"; }
bool is_list(const TileView& t) { return t.type == "list_box" || t.type == "popup_list"; }

}  // namespace

void draw_dialog(const DialogView& view, std::ostream& out) {
  size_t width = std::max(kMinWidth, view.label.size() + 2);
  for (const TileView& t : view.tiles) {
    width = std::max(width, static_cast<size_t>(std::max(t.width, 0)));
  }
  std::string buttons;
  for (const TileView& t : view.tiles) {
    if (!is_button(t)) continue;
    if (!buttons.empty()) buttons += "  ";
    buttons += "[ " + (t.label.empty() ? t.key : t.label) + " ]";
  }
  width = std::max(width, buttons.size());
  rule(out, width, view.label);
  bool section_open = false;  // lines were written since the last rule
  for (const TileView& t : view.tiles) {
    if (is_button(t)) continue;
    if (is_list(t)) {
      if (section_open) rule(out, width, "");
      for (const std::string& item : t.items) row(out, width, item);
      rule(out, width, "");
      section_open = false;
    } else {
      std::string text = t.value.empty()   ? t.label
                         : t.label.empty() ? t.value
                                           : t.label + " " + t.value;
      row(out, width, text);
      section_open = true;
    }
  }
  if (!buttons.empty()) {
    if (section_open) rule(out, width, "");
    row(out, width, std::string((width - buttons.size()) / 2, ' ') + buttons);
  }
  rule(out, width, "");
}

std::string present_in_terminal(const DialogView& view, std::ostream& out, std::istream& in,
                                bool interactive) {
  if (view.round >= kMaxPresses) return "";
  if (view.round == 0) draw_dialog(view, out);
  if (interactive) {
    out << "Press Enter to close the dialog." << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) out << '\n';
  }
  out.flush();
  return "accept";
}

Presenter terminal_presenter() {
  return [](const DialogView& view) {
    return present_in_terminal(view, std::cout, std::cin, QV_ISATTY(0) != 0);
  };
}

}  // namespace standin::dcl
