// The console's LISP reader: text to values, one form at a time. Pure: no host calls.
//
// Reads what a CAD command line accepts: integers (32-bit; larger ones become reals),
// reals (1.5, .5, 1., 2e3, -1.5e-2), strings with the escapes \" \\ \n \t \r \e and \nnn
// octal (up to three digits; any other escaped character stands for itself), symbols,
// nil and T (in any case), lists, 'x for (quote x), ; comments to the end of the line and
// ;| block comments |;. A form is a value; 'x reads as the list (quote x).
#ifndef QV_STANDIN_CONSOLE_READER_H
#define QV_STANDIN_CONSOLE_READER_H

#include <cstddef>
#include <string>

#include "standin/host/value.h"

namespace standin::console {

enum class ReadStatus {
  kForm,        // a form was read
  kEnd,         // only blanks and comments were left
  kIncomplete,  // the text ends inside a form: more input may complete it
  kError        // the text cannot be read, whatever follows
};

struct ReadResult {
  ReadStatus status = ReadStatus::kEnd;
  Value form;         // kForm: the form read
  std::string error;  // kIncomplete, kError: e.g. "malformed input: missing )"
};

// Reads the form that starts at or after text[*pos]. On kForm *pos moves past the form;
// on kEnd to the end of text; on kIncomplete and kError it stays where it was. The error
// texts:
//   "malformed input: missing )"                  (kIncomplete)
//   "malformed input: missing \" at end of string" (kIncomplete)
//   "malformed input: nothing after '"            (kIncomplete)
//   "malformed input: ;| comment without |;"      (kIncomplete)
//   "malformed input: unexpected )"               (kError)
//   "malformed input: lists nested too deeply"    (kError, beyond kMaxDepth levels)
ReadResult read_form(const std::string &text, std::size_t *pos);

// Nesting limit of lists and quotes.
constexpr int kMaxDepth = 1000;

}  // namespace standin::console

#endif  // QV_STANDIN_CONSOLE_READER_H
