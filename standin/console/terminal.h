// The console's command line: text out to stdout, lines in from a terminal, a pipe or a
// script file.
//
// Output knows whether the last character written ended a line, so that results, errors
// and prompts start on a line of their own after whatever the application printed.
//
// LineInput reads one line at a time. On a terminal it shows the prompt and edits the line
// with history (libedit, when the build found it). From a pipe or a script it writes the
// prompt and then the line it read, so that a transcript reads like a command line session.
// Lines end at "\n"; a "\r" before it is dropped. Bytes pass unchanged otherwise.
#ifndef QV_STANDIN_CONSOLE_TERMINAL_H
#define QV_STANDIN_CONSOLE_TERMINAL_H

#include <cstdio>
#include <string>

namespace standin::console {

class Output {
 public:
  explicit Output(std::FILE *stream) : stream_(stream) {}
  // Writes text and flushes.
  void write(const std::string &text);
  // Ends the current line unless it is empty.
  void start_line();
  // Notes that the terminal put the cursor at the start of a line (after line editing).
  void at_line_start() { at_start_ = true; }

 private:
  std::FILE *stream_;     // where the text goes
  bool at_start_ = true;  // nothing written since the last "\n"
};

class LineInput {
 public:
  // Reads from stream; interactive when it is a terminal (and the build has line editing
  // or the prompt can be shown plainly).
  LineInput(std::FILE *stream, Output *out);
  // Reads the next line into *line without its end; false at the end of input. The prompt
  // is shown before (and, when not interactive, followed by the echoed line).
  bool read_line(const std::string &prompt, std::string *line);
  bool interactive() const { return interactive_; }

 private:
  std::FILE *stream_;  // the input
  Output *out_;        // where prompts and echoes go
  bool interactive_;   // stream is a terminal
};

}  // namespace standin::console

#endif  // QV_STANDIN_CONSOLE_TERMINAL_H
