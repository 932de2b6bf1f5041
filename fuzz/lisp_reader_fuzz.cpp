// Fuzz target for the console's LISP reader.
//
// Reads every form of the input in turn. Checks that reading always moves on or stops,
// that a failure leaves the position where it was and gives one of the reader's own
// messages, that a form printed and read again is the same form (forms without reals,
// whose printed text is rounded), and that a form survives the trip through a result
// buffer list and back (unless it holds a NUL byte, which a C string cannot).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/pieces.h"
#include "standin/console/reader.h"
#include "standin/host/value.h"

namespace {

using standin::Value;
using standin::console::ReadResult;
using standin::console::ReadStatus;

using qv_fuzz::check;

bool has_real(const Value &v) {
  if (v.kind == Value::Kind::kReal) return true;
  for (const Value &item : v.items) {
    if (has_real(item)) return true;
  }
  return false;
}

// Strings and symbols reach the application as C strings: a NUL byte ends them there.
bool has_nul(const Value &v) {
  if (v.text.find('\0') != std::string::npos) return true;
  for (const Value &item : v.items) {
    if (has_nul(item)) return true;
  }
  return false;
}

bool known_error(const ReadResult &r) {
  static const char *const kIncomplete[] = {
      "malformed input: missing )", "malformed input: missing \" at end of string",
      "malformed input: nothing after '", "malformed input: ;| comment without |;"};
  static const char *const kError[] = {"malformed input: unexpected )",
                                       "malformed input: lists nested too deeply"};
  if (r.status == ReadStatus::kIncomplete) {
    for (const char *e : kIncomplete) {
      if (r.error == e) return true;
    }
  } else {
    for (const char *e : kError) {
      if (r.error == e) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  std::size_t pos = 0;
  for (;;) {
    std::size_t before = pos;
    ReadResult r = standin::console::read_form(text, &pos);
    if (r.status == ReadStatus::kEnd) {
      check(pos == text.size());
      break;
    }
    if (r.status != ReadStatus::kForm) {
      check(pos == before && known_error(r));
      break;
    }
    check(pos > before && pos <= text.size());

    if (!has_real(r.form)) {
      std::string printed = standin::to_lisp(r.form);
      std::size_t again_pos = 0;
      ReadResult again = standin::console::read_form(printed, &again_pos);
      check(again.status == ReadStatus::kForm && again.form == r.form);
    }
    if (has_nul(r.form)) continue;
    std::vector<Value> values{r.form};
    sds_resbuf *list = standin::to_resbuf_list(values);
    std::vector<Value> back;
    std::string error;
    bool ok = standin::from_resbuf_list(list, &back, &error);
    standin::free_resbuf_list(list);
    check(ok && back.size() == 1 && back[0] == r.form);
  }
  return 0;
}
