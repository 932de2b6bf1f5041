// The balance checker: reads LISP source text and reports parentheses and strings that do
// not balance, as diagnostics with the line they point at.
//
// Strings, escapes and comments follow the depth listing's rules: a string runs from '"' to
// the next '"' not escaped by a backslash (newlines included), a backslash in a string
// escapes the byte after it (a newline too), and ';' outside strings starts a comment that
// ends at the line's end. Parentheses inside strings and comments do not count.
//
// Diagnostics:
// - kStrayClose: a ')' with nothing open, at its line; it is then ignored.
// - kUnclosedString: a string still open at the end of the text, at the line where it began.
// - kUnclosedParen: parentheses still open at the end, at the line of the outermost one.
// - kNewForm: with kUnclosedParen only; a line starting with '(' in its first column was met
//   while a form was open, so the form above it probably lacks a ')'. One note per depth at
//   which that happened (the first such line), for the forms still open at the end; at most
//   kMaxBalanceNotes of them.
//
// The scanner is pure and streams: input may arrive in pieces of any size, the diagnostics
// are those of the whole text, and its memory is fixed whatever the input's size. Stray
// closes are reported as they are read; the others at the end, in line order.
#ifndef QV_CLI_BALANCE_H
#define QV_CLI_BALANCE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Notes a scanner keeps at most.
constexpr std::size_t kMaxBalanceNotes = 16;

struct BalanceDiagnostic {
  enum class Kind : std::uint8_t { kStrayClose, kUnclosedString, kUnclosedParen, kNewForm };
  Kind kind;
  std::uint64_t line;  // line the diagnostic points at, from 1
  std::int64_t open;   // kUnclosedParen: parentheses open at the end; else 0
};

// Scanner state; balance_begin() sets every field to its start value.
struct BalanceScanner {
  enum class Mode : std::uint8_t {
    kCode,          // outside strings and comments
    kString,        // inside a string literal
    kStringEscape,  // inside a string literal, right after a backslash
    kComment        // inside a comment, up to the end of its line
  };
  struct Note {
    std::uint64_t line;  // line whose first column holds the '('
    std::int64_t depth;  // parentheses open before that '('
  };
  Mode mode;
  std::uint64_t line;            // number of the line being read
  std::int64_t depth;            // parentheses open now, never below 0
  std::uint64_t outer_line;      // line of the outermost open '(' (depth > 0)
  std::uint64_t string_line;     // line where the open string began
  bool line_start;               // the next byte is in the first column of its line
  Note notes[kMaxBalanceNotes];  // column-1 '(' met inside open forms, depths increasing
  std::size_t note_count;        // notes in use
};

// Resets the scanner for a new text.
void balance_begin(BalanceScanner &state);
// Scans the next piece of text (read the Windows way), appending diagnostics to `out`.
void balance_feed(BalanceScanner &state, std::string_view in, std::vector<BalanceDiagnostic> &out);
// Ends the text: appends the diagnostics of what is still open, in line order.
void balance_end(BalanceScanner &state, std::vector<BalanceDiagnostic> &out);

// The message of a diagnostic, without file or line.
std::string balance_message(const BalanceDiagnostic &diagnostic);
// Appends "FILE:LINE: error: MESSAGE\n" (or "note:") to `out`.
void format_diagnostic(std::string_view file, const BalanceDiagnostic &diagnostic,
                       std::string &out);

// Convenience for whole texts: every diagnostic.
std::vector<BalanceDiagnostic> balance_check(std::string_view source);

}  // namespace qv

#endif  // QV_CLI_BALANCE_H
