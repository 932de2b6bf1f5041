// The console's command line (see terminal.h).
#include "standin/console/terminal.h"

#include <cstdlib>

#include "win/platform.h"

#ifdef QV_HAVE_LIBEDIT
#include <editline/readline.h>
#endif

namespace standin::console {

void Output::write(const std::string &text) {
  if (text.empty()) return;
  std::fwrite(text.data(), 1, text.size(), stream_);
  std::fflush(stream_);
  at_start_ = text.back() == '\n';
}

void Output::start_line() {
  if (!at_start_) write("\n");
}

LineInput::LineInput(std::FILE *stream, Output *out)
    : stream_(stream), out_(out), interactive_(qv_platform::is_terminal(stream)) {}

namespace {

// Reads a line from stream without its end; false at the end of input with nothing read.
bool plain_line(std::FILE *stream, std::string *line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(stream)) != EOF) {
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return any;
}

}  // namespace

bool LineInput::read_line(const std::string &prompt, std::string *line) {
  out_->start_line();
  if (interactive_) {
#ifdef QV_HAVE_LIBEDIT
    if (stream_ == stdin) {
      char *text = readline(prompt.c_str());
      out_->at_line_start();
      if (text == nullptr) return false;
      *line = text;
      std::free(text);
      if (!line->empty()) add_history(line->c_str());
      return true;
    }
#endif
    out_->write(prompt);
    bool ok = plain_line(stream_, line);
    out_->at_line_start();
    return ok;
  }
  out_->write(prompt);
  if (!plain_line(stream_, line)) return false;
  out_->write(*line + "\n");
  return true;
}

}  // namespace standin::console
