// The console's LISP reader (see reader.h).
#include "standin/console/reader.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <utility>

namespace standin::console {
namespace {

constexpr int kEnd = -1;  // current() at the end of the text

// Reader state over one text.
struct Reader {
  const std::string *text;  // the input
  std::size_t pos;          // index of the current character
  int depth;                // lists and quotes open around the form being read
  ReadStatus status;        // kForm until a problem is found
  std::string error;        // the problem's message
};

int current(const Reader &r) {
  return r.pos < r.text->size() ? static_cast<unsigned char>((*r.text)[r.pos]) : kEnd;
}

int peek(const Reader &r) {
  return r.pos + 1 < r.text->size() ? static_cast<unsigned char>((*r.text)[r.pos + 1]) : kEnd;
}

void fail(Reader *r, ReadStatus status, const char *what) {
  if (r->status != ReadStatus::kForm) return;
  r->status = status;
  r->error = std::string("malformed input: ") + what;
}

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool is_delimiter(int c) {
  return c == kEnd || is_blank(c) || c == '(' || c == ')' || c == '"' || c == '\'' || c == ';';
}

// Skips blanks and comments; false when a block comment does not end.
bool skip_blanks(Reader *r) {
  for (;;) {
    int c = current(*r);
    if (is_blank(c)) {
      ++r->pos;
    } else if (c == ';' && peek(*r) == '|') {
      std::size_t end = r->text->find("|;", r->pos + 2);
      if (end == std::string::npos) {
        fail(r, ReadStatus::kIncomplete, ";| comment without |;");
        return false;
      }
      r->pos = end + 2;
    } else if (c == ';') {
      while (current(*r) != kEnd && current(*r) != '\n') ++r->pos;
    } else {
      return true;
    }
  }
}

Value read_string(Reader *r) {
  ++r->pos;  // the opening quote
  std::string out;
  for (;;) {
    int c = current(*r);
    switch (c) {
      case kEnd:
        fail(r, ReadStatus::kIncomplete, "missing \" at end of string");
        return Value::nil();
      case '"':
        ++r->pos;
        return Value::make_string(std::move(out));
      case '\\': {
        ++r->pos;
        int e = current(*r);
        if (e == kEnd) break;  // reported as a missing quote above
        ++r->pos;
        switch (e) {
          case 'n':
            out += '\n';
            break;
          case 't':
            out += '\t';
            break;
          case 'r':
            out += '\r';
            break;
          case 'e':
            out += '\x1b';
            break;
          default:
            if (e >= '0' && e <= '7') {
              int code = e - '0';
              for (int i = 0; i < 2 && current(*r) >= '0' && current(*r) <= '7'; ++i) {
                code = code * 8 + (current(*r) - '0');
                ++r->pos;
              }
              out += static_cast<char>(code & 0xff);
            } else {
              out += static_cast<char>(e);  // \" \\ and any other: the character itself
            }
        }
        break;
      }
      default:
        out += static_cast<char>(c);
        ++r->pos;
    }
  }
}

bool all_digits(const std::string &s, std::size_t from, std::size_t to) {
  if (from >= to) return false;
  for (std::size_t i = from; i < to; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

// The value of an atom's text: a number when it reads as one, else nil, T or a symbol.
Value atom(const std::string &s) {
  std::size_t start = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  if (all_digits(s, start, s.size())) {
    errno = 0;
    long long n = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == 0 && n >= std::numeric_limits<std::int32_t>::min() &&
        n <= std::numeric_limits<std::int32_t>::max())
      return Value::make_int(static_cast<std::int32_t>(n));
    return Value::make_real(std::strtod(s.c_str(), nullptr));
  }
  // Mantissa digits[.digits] or .digits, then an optional exponent.
  std::size_t i = start;
  std::size_t int_digits = 0, frac_digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++int_digits;
  bool point = i < s.size() && s[i] == '.';
  if (point) {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++frac_digits;
  }
  bool number = int_digits + frac_digits > 0;
  if (number && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t e = i + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    number = all_digits(s, e, s.size());
    i = s.size();
  }
  if (number && i == s.size() && (point || int_digits > 0))
    return Value::make_real(std::strtod(s.c_str(), nullptr));
  std::string folded = fold_case(s);
  if (folded == "nil") return Value::nil();
  if (folded == "t") return Value::t();
  return Value::make_symbol(s);
}

Value read_value(Reader *r);

Value read_list(Reader *r) {
  ++r->pos;  // the opening parenthesis
  std::vector<Value> items;
  for (;;) {
    if (!skip_blanks(r)) return Value::nil();
    int c = current(*r);
    if (c == kEnd) {
      fail(r, ReadStatus::kIncomplete, "missing )");
      return Value::nil();
    }
    if (c == ')') {
      ++r->pos;
      return Value::make_list(std::move(items));
    }
    items.push_back(read_value(r));
    if (r->status != ReadStatus::kForm) return Value::nil();
  }
}

// Reads one value at the current character, which is not a blank.
Value read_value(Reader *r) {
  if (r->depth >= kMaxDepth) {
    fail(r, ReadStatus::kError, "lists nested too deeply");
    return Value::nil();
  }
  int c = current(*r);
  switch (c) {
    case '(': {
      ++r->depth;
      Value v = read_list(r);
      --r->depth;
      return v;
    }
    case ')':
      fail(r, ReadStatus::kError, "unexpected )");
      return Value::nil();
    case '"':
      return read_string(r);
    case '\'': {
      ++r->pos;
      if (!skip_blanks(r)) return Value::nil();
      if (current(*r) == kEnd) {
        fail(r, ReadStatus::kIncomplete, "nothing after '");
        return Value::nil();
      }
      ++r->depth;
      Value quoted = read_value(r);
      --r->depth;
      return Value::make_list({Value::make_symbol("quote"), std::move(quoted)});
    }
    default: {
      std::size_t start = r->pos;
      while (!is_delimiter(current(*r))) ++r->pos;
      return atom(r->text->substr(start, r->pos - start));
    }
  }
}

}  // namespace

ReadResult read_form(const std::string &text, std::size_t *pos) {
  Reader r{&text, *pos, 0, ReadStatus::kForm, std::string()};
  ReadResult result;
  if (skip_blanks(&r) && current(r) == kEnd) {
    *pos = r.pos;
    result.status = ReadStatus::kEnd;
    return result;
  }
  Value form;
  if (r.status == ReadStatus::kForm) form = read_value(&r);
  result.status = r.status;
  if (r.status == ReadStatus::kForm) {
    *pos = r.pos;
    result.form = std::move(form);
  } else {
    result.error = std::move(r.error);
  }
  return result;
}

}  // namespace standin::console
