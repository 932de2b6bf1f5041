// The depth listing's scanner: turns a LISP source into rows, one per line, each the
// nesting depth of parentheses after that line and the first 80 characters of the line.
//
// A row is formatted as "%4d  %s": the depth right-aligned in at least four columns, two
// spaces, the kept characters (up to the first NUL byte, as a C string would show them).
// Parentheses inside string literals and comments do not count; the depth may go below 0
// and is never cut. The scanner is pure and streams: input may arrive in pieces of any
// size, and its memory does not grow with the input.
#ifndef QV_LISTING_DEPTH_SCANNER_H
#define QV_LISTING_DEPTH_SCANNER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Characters of a line that a row keeps.
constexpr std::size_t kRowWidth = 80;

// Scanner state; depth_begin() sets every field to its start value.
struct DepthScanner {
  enum class Mode : std::uint8_t {
    kCode,          // outside strings and comments
    kString,        // inside a string literal
    kStringEscape,  // inside a string literal, right after a backslash
    kComment        // inside a comment, up to the end of its line
  };
  Mode mode;
  std::int64_t depth;      // opening minus closing parentheses so far
  char row[kRowWidth];     // the first characters of the current line
  std::size_t row_length;  // characters held in row
  bool row_open;           // a character of the current line has been seen, kept or not
};

// Resets the scanner for a new listing.
void depth_begin(DepthScanner &state);
// Scans the next piece of text (read the Windows way), appending each row it completes to
// `rows`, every row followed by a line feed.
void depth_feed(DepthScanner &state, std::string_view in, std::string &rows);
// Ends the listing: completes the last row if the text did not end with a line feed.
void depth_end(DepthScanner &state, std::string &rows);

// Appends the row text for `depth` and `text` ("%4d  %s") to `out`, without a line feed.
void format_row(std::int64_t depth, std::string_view text, std::string &out);

// Convenience for whole texts: every row, each followed by a line feed.
std::string depth_rows(std::string_view source);

}  // namespace qv

#endif  // QV_LISTING_DEPTH_SCANNER_H
