// A synthetic LISP source for the benchmarks: top-level DEFUNs with nested calls, quoted
// lists, LAMBDAs, strings (some with parentheses, escapes and semicolons), full-line and
// trailing comments, indented CRLF lines. Deterministic: the same calls give the same bytes.
#ifndef QV_BENCH_LISP_GENERATOR_H
#define QV_BENCH_LISP_GENERATOR_H

#include <cstdint>
#include <string>

namespace qv_bench {

// Small fast generator (xorshift64*), fixed seed.
struct Random {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  std::uint32_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<std::uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
  }
  std::uint32_t below(std::uint32_t n) { return next() % n; }
};

inline const char *const kFunctions[] = {
    "setq",  "princ", "if", "cond",  "foreach", "strcat", "command", "entget", "cdr",
    "assoc", "nth",   "+",  "while", "progn",   "list",   "car",     "ssget",  "getpoint"};
inline const char *const kSymbols[] = {"pt", "ent", "ss", "i", "n", "lst", "name", "x", "y", "acc"};
inline const char *const kStrings[] = {
    "\"Hello, world\"",      "\"(not a list\"",         "\"a;b\"",
    "\"quote \\\" inside\"", "\"\\\\server\\\\share\"", "\"_.LINE\"",
    "\"Select objects: \""};

template <std::size_t N>
inline const char *pick(Random &r, const char *const (&list)[N]) {
  return list[r.below(static_cast<std::uint32_t>(N))];
}

// Appends generated source text to a string; the caller drains it as it likes.
class Generator {
 public:
  explicit Generator(std::string &out) : out_(out) {}

  // One top-level form with its leading comment.
  void defun(std::uint64_t number) {
    line(0, ";;; Function " + std::to_string(number) + " -- generated (for benchmarks)");
    line(0, "(defun c:cmd" + std::to_string(number) + " (/ " + pick(r_, kSymbols) + " " +
                pick(r_, kSymbols) + ")");
    int statements = 3 + static_cast<int>(r_.below(6));
    for (int i = 0; i < statements; ++i) statement(1, i + 1 == statements ? ")" : "");
  }

  std::uint64_t written() const { return written_; }

 private:
  void statement(int indent, const std::string &close) {
    switch (r_.below(5)) {
      case 0: {  // a block with nested statements
        line(indent, std::string("(") + (r_.below(2) ? "while" : "if") + " " + call(2));
        statement(indent + 1, "");
        statement(indent + 1, ")" + close);
        break;
      }
      case 1:
        line(indent, "(setq " + std::string(pick(r_, kSymbols)) + " '(1 2 (3 4) \"x\"))" + close);
        break;
      case 2:
        line(indent, "(mapcar '(lambda (a) " + call(1) + ") lst)" + close +
                         " ; trailing comment with (parens)");
        break;
      default:
        line(indent, call(3) + close);
        break;
    }
  }

  std::string call(int depth) {
    std::string text = "(";
    text += pick(r_, kFunctions);
    int args = 1 + static_cast<int>(r_.below(3));
    for (int i = 0; i < args; ++i) {
      text += ' ';
      std::uint32_t kind = r_.below(6);
      if (depth > 0 && kind < 2) {
        text += call(depth - 1);
      } else if (kind < 4) {
        text += pick(r_, kSymbols);
      } else if (kind == 4) {
        text += pick(r_, kStrings);
      } else {
        text += std::to_string(r_.below(1000)) + ".5";
      }
    }
    return text + ")";
  }

  void line(int indent, const std::string &text) {
    std::size_t before = out_.size();
    out_.append(static_cast<std::size_t>(indent) * 2, ' ');
    out_ += text;
    out_ += "\r\n";
    written_ += out_.size() - before;
  }

  std::string &out_;
  Random r_;
  std::uint64_t written_ = 0;
};

// Generated text of at least `bytes` bytes, whole top-level forms only.
inline std::string generate_lisp(std::uint64_t bytes) {
  std::string text;
  Generator generator(text);
  for (std::uint64_t n = 1; generator.written() < bytes; ++n) generator.defun(n);
  return text;
}

}  // namespace qv_bench

#endif  // QV_BENCH_LISP_GENERATOR_H
