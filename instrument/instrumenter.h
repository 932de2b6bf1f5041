// The work-file instrumenter: turns LISP source text into the work file's text.
//
// Every call whose function name follows its opening parenthesis directly has that name
// wrapped in a line marker "(: LINE NAME)"; comments are dropped; every other byte is
// copied, newlines included, so line N of the output holds the code of line N of the
// source. The scanner is pure (text in, text out, no files) and streams: input may arrive
// in pieces of any size, and the output is the same as for the whole text at once. Its
// memory does not grow with the input: tokens of any length pass through unbuffered.
#ifndef QV_INSTRUMENT_INSTRUMENTER_H
#define QV_INSTRUMENT_INSTRUMENTER_H

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Scanner state; instrument_begin() sets every field to its start value.
struct Instrumenter {
  enum class Mode : std::uint8_t {
    kCode,          // between tokens or inside a token
    kString,        // inside a string literal
    kStringEscape,  // inside a string literal, right after a backslash
    kComment        // inside a comment, dropping bytes up to the newline
  };
  Mode mode;
  std::uint64_t line;         // number of the source line being read
  std::int64_t quote_depth;   // opening minus closing parentheses since quoting last began
  bool in_token;              // a token is pending (the token buffer is not empty)
  bool marked;                // the pending token was written inside an open marker
  bool head;                  // the pending token follows an opening parenthesis directly
  bool open;                  // an opening parenthesis was read since the last flush
  bool params;                // the last token flushed in head position was DEFUN or LAMBDA
  bool quoted;                // inside quoted data: no markers
  std::uint8_t token_length;  // bytes of the pending token, counted up to 7
  std::uint8_t keywords;      // keywords the pending token still matches (bit set)
};

// Resets the scanner for a new conversion.
void instrument_begin(Instrumenter &state);
// Converts the next piece of source text (read the Windows way: line feeds end lines),
// appending the work file's text for it to `out`.
void instrument_feed(Instrumenter &state, std::string_view in, std::string &out);
// Ends the conversion: writes what is still pending to `out`.
void instrument_end(Instrumenter &state, std::string &out);

// Convenience for whole texts: the work file's text for `source`.
std::string instrument_text(std::string_view source);

}  // namespace qv

#endif  // QV_INSTRUMENT_INSTRUMENTER_H
