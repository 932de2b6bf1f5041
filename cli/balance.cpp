#include "cli/balance.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/block_masks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

namespace {

using blocks::below;
using blocks::classify64;
using blocks::count16;
using blocks::count64;
using blocks::first;
using blocks::LispMasks;

using Kind = BalanceDiagnostic::Kind;

// Bytes the scanner acts on outside strings and comments; all others pass unseen.
constexpr std::array<bool, 256> make_specials() {
  std::array<bool, 256> table{};
  for (char c : std::string_view("\";()\n")) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kSpecial = make_specials();

void open_paren(BalanceScanner &s) {
  if (s.line_start && s.depth > 0) {
    bool deeper = s.note_count == 0 || s.notes[s.note_count - 1].depth < s.depth;
    if (deeper && s.note_count < kMaxBalanceNotes) s.notes[s.note_count++] = {s.line, s.depth};
  }
  if (s.depth == 0) s.outer_line = s.line;
  ++s.depth;
}

void close_paren(BalanceScanner &s, std::vector<BalanceDiagnostic> &out) {
  if (s.depth == 0) {
    out.push_back({Kind::kStrayClose, s.line, 0});
    return;
  }
  --s.depth;
  while (s.note_count > 0 && s.notes[s.note_count - 1].depth > s.depth) --s.note_count;
}

// Bit i set where byte i of the 16 at `p` is a parenthesis, newline or opens a string or
// comment: the masks of one block of code.
struct Block {
  unsigned open, close, newline, mode;  // '(' / ')' / '\n' / '"' or ';'
};

Block classify(const char *p) {
#if defined(__SSE2__)
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  auto eq = [v](char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
  };
  return {eq('('), eq(')'), eq('\n'), eq('"') | eq(';')};
#else
  Block b{0, 0, 0, 0};
  for (unsigned i = 0; i < 16; ++i) {
    char c = p[i];
    b.open |= unsigned{c == '('} << i;
    b.close |= unsigned{c == ')'} << i;
    b.newline |= unsigned{c == '\n'} << i;
    b.mode |= unsigned{c == '"' || c == ';'} << i;
  }
  return b;
#endif
}

// Reads the code bytes of the block at `p` that come before any string or comment at once,
// when nothing among them can give a diagnostic or a note: no '(' in a first column and
// fewer ')' than open forms. Returns the bytes read, 0 when a string or comment starts at
// `p`, or -1 when the block must be read byte by byte.
int code_block(BalanceScanner &s, const char *p) {
  Block b = classify(p);
  int n = b.mode == 0 ? 16 : __builtin_ctz(b.mode);
  unsigned keep = (1u << n) - 1;
  unsigned open = b.open & keep, close = b.close & keep, newline = b.newline & keep;
  int closes = count16(close);
  if (s.depth <= closes) return -1;
  if (s.note_count > 0 && s.notes[s.note_count - 1].depth > s.depth - closes) return -1;
  unsigned first_column = (newline << 1) | unsigned{s.line_start};
  if ((first_column & open) != 0) return -1;
  s.depth += count16(open) - closes;
  s.line += static_cast<std::uint64_t>(count16(newline));
  if (n > 0) s.line_start = ((newline >> (n - 1)) & 1u) != 0;
  return n;
}

// Skips string bytes up to a quote, a backslash or the end, counting newlines.
const char *skip_string(BalanceScanner &s, const char *p, const char *end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  const __m128i newline = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    unsigned stop = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash))));
    unsigned lines = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)));
    if (stop != 0) {
      int n = __builtin_ctz(stop);
      s.line += static_cast<std::uint64_t>(count16(lines & ((1u << n) - 1)));
      return p + n;
    }
    s.line += static_cast<std::uint64_t>(count16(lines));
    p += 16;
  }
#endif
  while (p < end) {
    char c = *p;
    if (c == '"' || c == '\\') break;
    if (c == '\n') ++s.line;
    ++p;
  }
  return p;
}

// True when a stretch of code that starts at `depth` and holds the '(' and ')' of `open`
// and `close` stays at `floor` or deeper after each of its ')'.
bool stays_at_least(std::int64_t depth, std::uint64_t open, std::uint64_t close,
                    std::int64_t floor) {
  if (depth - count64(close) >= floor) return true;  // even with every ')' first
  for (std::uint64_t bits = close; bits != 0; bits &= bits - 1) {
    std::uint64_t upto = (bits & (~bits + 1)) - 1;  // the bytes before this ')'
    if (depth + count64(open & upto) - count64(close & upto) - 1 < floor) return false;
  }
  return depth >= floor;
}

// The depth of the deepest note, 0 without notes: a ')' that ends below it ends the note.
std::int64_t top_note(const BalanceScanner &s) {
  return s.note_count == 0 ? 0 : s.notes[s.note_count - 1].depth;
}

// Reads a stretch of code, bits `range` of a block with masks `m`, one parenthesis at a
// time: each is read with the line and line_start it has, and the bytes between them only
// move those two.
void code_parens(BalanceScanner &s, const LispMasks &m, std::uint64_t range,
                 std::vector<BalanceDiagnostic> &out) {
  std::uint64_t line = s.line;
  bool start = s.line_start;
  std::uint64_t newline = m.newline & range;
  std::uint64_t low = range & (~range + 1);  // the stretch's first byte
  for (std::uint64_t bits = (m.open | m.close) & range; bits != 0; bits &= bits - 1) {
    std::uint64_t bit = bits & (~bits + 1);
    s.line = line + static_cast<std::uint64_t>(count64(newline & (bit - 1)));
    s.line_start = bit == low ? start : (m.newline & (bit >> 1)) != 0;
    if ((m.open & bit) != 0) {
      open_paren(s);
    } else {
      close_paren(s, out);
    }
  }
  s.line = line + static_cast<std::uint64_t>(count64(newline));
}

// Reads the 64 bytes at `p` in every mode, from their masks: strings and comments are
// skipped from one stop to the next (quote or backslash; newline), code is read a stretch
// at a time up to the next quote or semicolon. A stretch of code whose parentheses cannot
// give a diagnostic, a note or a new outermost form (no '(' in a first column, at least one
// form and every note still open after each ')') only moves the depth, the line and line_start, so
// it is counted from the masks; any other stretch is read one parenthesis at a time, which is
// exact.
void block64(BalanceScanner &s, const char *p, std::vector<BalanceDiagnostic> &out) {
  using Mode = BalanceScanner::Mode;
  LispMasks m = classify64(p);
  unsigned i = 0;
  while (i < 64) {
    switch (s.mode) {
      case Mode::kComment: {
        unsigned j = first(m.newline & ~below(i));
        if (j == 64) return;
        s.mode = Mode::kCode;  // the newline is read next, as code
        i = j;
        break;
      }
      case Mode::kStringEscape:
        if (p[i] == '\n') ++s.line;
        s.mode = Mode::kString;
        ++i;
        break;
      case Mode::kString: {
        unsigned j = first((m.quote | m.backslash) & ~below(i));
        s.line += static_cast<std::uint64_t>(count64(m.newline & below(j) & ~below(i)));
        if (j == 64) return;
        s.mode = p[j] == '"' ? Mode::kCode : Mode::kStringEscape;
        i = j + 1;
        break;
      }
      case Mode::kCode: {
        unsigned j = first((m.quote | m.semicolon) & ~below(i));
        std::uint64_t range = below(j) & ~below(i);
        std::uint64_t open = m.open & range, close = m.close & range;
        std::uint64_t newline = m.newline & range;
        std::uint64_t first_column =
            ((m.newline << 1) | (std::uint64_t{s.line_start} << i)) & range;
        if ((first_column & open) == 0 &&
            stays_at_least(s.depth, open, close, std::max<std::int64_t>(1, top_note(s)))) {
          s.depth += count64(open) - count64(close);
          s.line += static_cast<std::uint64_t>(count64(newline));
        } else {
          code_parens(s, m, range, out);
        }
        if (j > i) s.line_start = ((m.newline >> (j - 1)) & 1u) != 0;
        if (j == 64) return;
        if (p[j] == '"') {
          s.string_line = s.line;
          s.mode = Mode::kString;
        } else {
          s.mode = Mode::kComment;
        }
        s.line_start = false;
        i = j + 1;
        break;
      }
    }
  }
}

}  // namespace

void balance_begin(BalanceScanner &s) {
  s.mode = BalanceScanner::Mode::kCode;
  s.line = 1;
  s.depth = 0;
  s.outer_line = 0;
  s.string_line = 0;
  s.line_start = true;
  s.note_count = 0;
}

void balance_feed(BalanceScanner &s, std::string_view in, std::vector<BalanceDiagnostic> &out) {
  const char *p = in.data();
  const char *end = p + in.size();
  for (; end - p >= 64; p += 64) block64(s, p, out);
  const char *bytewise = p;  // code before this is read byte by byte
  while (p < end) {
    switch (s.mode) {
      case BalanceScanner::Mode::kComment: {
        const void *nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (nl == nullptr) return;
        p = static_cast<const char *>(nl);  // the newline is read next, as code
        s.mode = BalanceScanner::Mode::kCode;
        break;
      }
      case BalanceScanner::Mode::kStringEscape:
        if (*p++ == '\n') ++s.line;
        s.mode = BalanceScanner::Mode::kString;
        break;
      case BalanceScanner::Mode::kString:
        p = skip_string(s, p, end);
        if (p < end) {
          s.mode = *p++ == '"' ? BalanceScanner::Mode::kCode : BalanceScanner::Mode::kStringEscape;
        }
        break;
      case BalanceScanner::Mode::kCode: {
        if (p >= bytewise && end - p >= 16) {
          int n = code_block(s, p);
          if (n > 0) {
            p += n;
            break;
          }
          if (n < 0) bytewise = p + 16;
        }
        unsigned char c = static_cast<unsigned char>(*p++);
        if (!kSpecial[c]) {
          s.line_start = false;
          while (p < end && !kSpecial[static_cast<unsigned char>(*p)]) ++p;
          break;
        }
        switch (c) {
          case '(':
            open_paren(s);
            break;
          case ')':
            close_paren(s, out);
            break;
          case '\n':
            ++s.line;
            s.line_start = true;
            continue;
          case '"':
            s.string_line = s.line;
            s.mode = BalanceScanner::Mode::kString;
            break;
          default:  // ';'
            s.mode = BalanceScanner::Mode::kComment;
            break;
        }
        s.line_start = false;
        break;
      }
    }
  }
}

void balance_end(BalanceScanner &s, std::vector<BalanceDiagnostic> &out) {
  std::size_t first = out.size();
  if (s.mode == BalanceScanner::Mode::kString || s.mode == BalanceScanner::Mode::kStringEscape) {
    out.push_back({Kind::kUnclosedString, s.string_line, 0});
  }
  if (s.depth > 0) {
    out.push_back({Kind::kUnclosedParen, s.outer_line, s.depth});
    for (std::size_t i = 0; i < s.note_count; ++i)
      out.push_back({Kind::kNewForm, s.notes[i].line, 0});
  }
  std::stable_sort(
      out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
      [](const BalanceDiagnostic &a, const BalanceDiagnostic &b) { return a.line < b.line; });
  balance_begin(s);
}

std::string balance_message(const BalanceDiagnostic &d) {
  switch (d.kind) {
    case Kind::kStrayClose:
      return "')' with nothing open";
    case Kind::kUnclosedString:
      return "string never closed";
    case Kind::kUnclosedParen:
      return "'(' never closed (" + std::to_string(d.open) + " open at end of file)";
    case Kind::kNewForm:
      return "'(' in column 1 inside an open form: the form above probably lacks a ')'";
  }
  return {};
}

void format_diagnostic(std::string_view file, const BalanceDiagnostic &d, std::string &out) {
  out.append(file);
  out += ':';
  out += std::to_string(d.line);
  out += d.kind == Kind::kNewForm ? ": note: " : ": error: ";
  out += balance_message(d);
  out += '\n';
}

std::vector<BalanceDiagnostic> balance_check(std::string_view source) {
  BalanceScanner state;
  balance_begin(state);
  std::vector<BalanceDiagnostic> out;
  balance_feed(state, source, out);
  balance_end(state, out);
  return out;
}

}  // namespace qv
