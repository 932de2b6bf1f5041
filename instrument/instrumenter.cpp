#include "instrument/instrumenter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "text/block_masks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qv {

namespace {

using blocks::count16;
using blocks::count64;

// Keywords that change the scanner's flags, compared without regard to ASCII case.
constexpr std::array<std::string_view, 3> kKeywords = {"defun", "lambda", "quote"};
constexpr std::uint8_t kDefun = 1, kLambda = 2, kQuote = 4;
constexpr std::uint8_t kAllKeywords = kDefun | kLambda | kQuote;
constexpr std::size_t kLongestKeyword = 6;

// Bytes that end a token; every other byte is a token byte.
constexpr std::array<bool, 256> make_delimiters() {
  std::array<bool, 256> table{};
  for (char c : std::string_view("\"'() \t\n;")) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kDelimiter = make_delimiters();

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The output of one call: bytes gather in a local buffer and reach the caller's string in
// large appends, so that single bytes cost no capacity checks of the string.
class Sink {
 public:
  explicit Sink(std::string &out) : out_(out), put_(buffer_) {}
  ~Sink() { drain(); }
  Sink(const Sink &) = delete;
  Sink &operator=(const Sink &) = delete;

  // Makes room for `n` more single bytes (n at most 64).
  void room(std::size_t n) {
    if (static_cast<std::size_t>(buffer_ + sizeof buffer_ - put_) < n) drain();
  }
  // Appends one byte; room() must have been made for it.
  void put(char c) { *put_++ = c; }
  // Appends a run of bytes. An empty run may have a null `p` (the end of the input).
  void put(const char *p, std::size_t n) {
    if (n == 0) return;
    if (n > kDirect) {
      drain();
      out_.append(p, n);
      return;
    }
    room(n);
    copy_short(put_, p, n);
    put_ += n;
  }
  // Appends the opening of a line marker, "(: LINE ". The text is kept for the next markers
  // of the same line.
  void marker(std::uint64_t line) {
    if (line != marker_line_) {
      std::memcpy(marker_, "(: ", 3);
      auto result = std::to_chars(marker_ + 3, marker_ + sizeof marker_ - 1, line);
      *result.ptr++ = ' ';
      marker_length_ = static_cast<std::size_t>(result.ptr - marker_);
      marker_line_ = line;
    }
    room(sizeof marker_);
    std::memcpy(put_, marker_, sizeof marker_);  // whole, to a fixed size: no library call
    put_ += marker_length_;
  }
  void drain() {
    out_.append(buffer_, static_cast<std::size_t>(put_ - buffer_));
    put_ = buffer_;
  }

 private:
  static constexpr std::size_t kDirect = 256;  // longer runs are appended directly

  // Copies n bytes (1 to kDirect) with fixed-size copies, which compile to plain moves:
  // overlapping ones cover the bytes that a whole step leaves over.
  static void copy_short(char *to, const char *from, std::size_t n) {
    if (n >= 16) {
      std::size_t at = 0;
      for (; n - at >= 16; at += 16) std::memcpy(to + at, from + at, 16);
      if (at != n) std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
      std::memcpy(to, from, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  }

  std::string &out_;
  char *put_;  // next free byte of buffer_
  char buffer_[8192];
  std::uint64_t marker_line_ = 0;  // line of the marker text kept, 0 for none
  char marker_[32];                // "(: LINE " of marker_line_
  std::size_t marker_length_ = 0;  // bytes of marker_ in use
};

// Starts a token at `p`: decides on its marker now, since nothing that decides it can change
// before the token ends. `copied` is where the input not yet in the output begins.
void start_token(Instrumenter &s, const char *p, const char *&copied, Sink &out) {
  s.in_token = true;
  s.token_length = 0;
  s.keywords = kAllKeywords;
  s.marked = s.head && !s.params && !s.quoted;
  if (s.marked) {
    out.put(copied, static_cast<std::size_t>(p - copied));
    copied = p;
    out.marker(s.line);
  }
}

// True when `p` folded to lower case is `word`.
bool folds_to(const char *p, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (fold(p[i]) != word[i]) return false;
  }
  return true;
}

// Reads a run of bytes of the pending token. Its first bytes, up to one past the longest
// keyword, decide which keywords the token still matches.
void token_bytes(Instrumenter &s, const char *p, std::size_t n) {
  if (s.token_length > kLongestKeyword) return;
  std::size_t at = s.token_length;
  std::size_t take = std::min(n, kLongestKeyword + 1 - at);
  for (std::size_t k = 0; k < kKeywords.size() && s.keywords != 0; ++k) {
    std::string_view word = kKeywords[k];
    if ((s.keywords & (1u << k)) != 0 &&
        (at + take > word.size() || !folds_to(p, word.substr(at, take)))) {
      s.keywords = static_cast<std::uint8_t>(s.keywords & ~(1u << k));
    }
  }
  s.token_length = static_cast<std::uint8_t>(at + take);
}

bool token_is(const Instrumenter &s, std::uint8_t keyword) {
  if ((s.keywords & keyword) == 0) return false;
  std::size_t k = keyword == kDefun ? 0 : keyword == kLambda ? 1 : 2;
  return s.token_length == kKeywords[k].size();
}

// Ends the pending token, which ends at `p`, and moves the flags on.
void end_token(Instrumenter &s, const char *p, const char *&copied, Sink &out) {
  if (s.marked) {
    out.put(copied, static_cast<std::size_t>(p - copied));
    copied = p;
    out.room(1);
    out.put(')');
  }
  if (s.head) s.params = token_is(s, kDefun) || token_is(s, kLambda);
  if (s.quoted && s.quote_depth == 0) s.quoted = false;
  if (token_is(s, kQuote)) {
    s.quoted = true;
    s.quote_depth = 0;
  }
  s.in_token = false;
}

// Ends the pending token, if any, at `p` and moves the flags on.
inline void flush(Instrumenter &s, const char *p, const char *&copied, Sink &out) {
  if (s.in_token) end_token(s, p, copied, out);
  s.head = s.open;
  s.open = false;
}

// Copies string bytes up to a quote, a backslash or the end, counting newlines; returns
// where it stopped.
const char *string_run(Instrumenter &s, const char *p, const char *end, Sink &out) {
  const char *run = p;
  std::uint64_t lines = 0;
  for (; p < end; ++p) {
    char c = *p;
    if (c == '"' || c == '\\') break;
    lines += c == '\n';
  }
  s.line += lines;
  out.put(run, static_cast<std::size_t>(p - run));
  return p;
}

// True when the scanner is between tokens of unquoted code, after a delimiter other than
// '(': there, plain code changes nothing but the line and the quote depth.
bool plain_state(const Instrumenter &s) {
  return s.mode == Instrumenter::Mode::kCode && !s.quoted && !s.in_token && !s.open && !s.head;
}

// Masks of a block of 16 bytes: bit i is set when byte i is one of the kind.
struct StringBlock {
  unsigned stops;  // '"' or '\'
  unsigned feeds;  // '\n'
};
struct CodeBlock {
  unsigned stops;    // '(', quote, '"', ';', 'q', 'Q': the bytes that may matter
  unsigned feeds;    // '\n'
  unsigned closes;   // ')'
  unsigned blanks;   // ' ', '\t'
  unsigned letters;  // 'q', 'Q': the stops that are no delimiters
};

#if defined(__SSE2__)
unsigned equal_bits(__m128i v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}
StringBlock string_block(const char *p) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  return {equal_bits(v, '"') | equal_bits(v, '\\'), equal_bits(v, '\n')};
}
CodeBlock code_block(const char *p) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  return {equal_bits(v, '(') | equal_bits(v, '\'') | equal_bits(v, '"') | equal_bits(v, ';') |
              equal_bits(v, 'q') | equal_bits(v, 'Q'),
          equal_bits(v, '\n'), equal_bits(v, ')'), equal_bits(v, ' ') | equal_bits(v, '\t'),
          equal_bits(v, 'q') | equal_bits(v, 'Q')};
}
#else
StringBlock string_block(const char *p) {
  StringBlock b{0, 0};
  for (unsigned i = 0; i < 16; ++i) {
    b.stops |= unsigned{p[i] == '"' || p[i] == '\\'} << i;
    b.feeds |= unsigned{p[i] == '\n'} << i;
  }
  return b;
}
CodeBlock code_block(const char *p) {
  CodeBlock b{0, 0, 0, 0, 0};
  for (unsigned i = 0; i < 16; ++i) {
    char c = p[i];
    b.letters |= unsigned{c == 'q' || c == 'Q'} << i;
    b.stops |= unsigned{c == '(' || c == '\'' || c == '"' || c == ';' || c == 'q' || c == 'Q'} << i;
    b.feeds |= unsigned{c == '\n'} << i;
    b.closes |= unsigned{c == ')'} << i;
    b.blanks |= unsigned{c == ' ' || c == '\t'} << i;
  }
  return b;
}
#endif

// The closing quote of the string whose text starts at `p`, counting the newlines in it;
// null, with nothing counted, when the string does not end before `end`.
const char *string_end(Instrumenter &s, const char *p, const char *end) {
  std::uint64_t lines = 0;
  for (;;) {
    while (end - p >= 16) {
      StringBlock b = string_block(p);
      if (b.stops != 0) {
        int k = __builtin_ctz(b.stops);
        lines += static_cast<std::uint64_t>(count16(b.feeds & ((1u << k) - 1)));
        p += k;
        break;
      }
      lines += static_cast<std::uint64_t>(count16(b.feeds));
      p += 16;
    }
    while (p < end && *p != '"' && *p != '\\') lines += *p++ == '\n';
    if (p == end) return nullptr;
    if (*p == '"') break;
    if (++p == end) return nullptr;  // the escaped byte
    lines += *p++ == '\n';
  }
  s.line += lines;
  return p;
}

// Reads past the string or comment that begins with the '"' or ';' at `x`, when it ends in
// this piece: a string is copied whole, a comment is dropped up to its newline (the input up
// to it is copied first, and `copied` moves past it). Returns where code goes on, or null
// when the string or comment runs past the piece and the exact scanner must take it.
const char *skip_string_or_comment(Instrumenter &s, const char *x, const char *end,
                                   const char *&copied, Sink &out) {
  if (*x == '"') {
    const char *y = string_end(s, x + 1, end);
    return y == nullptr ? nullptr : y + 1;
  }
  const char *nl =
      static_cast<const char *>(std::memchr(x + 1, '\n', static_cast<std::size_t>(end - x - 1)));
  if (nl == nullptr) return nullptr;
  out.put(copied, static_cast<std::size_t>(x - copied));
  copied = nl;
  return nl;
}

// Masks of a block of 64 bytes of code, as CodeBlock has them for 16.
struct CodeMasks {
  std::uint64_t stops, feeds, closes, blanks;
  std::uint64_t delimiters;  // every byte that ends a token
};

CodeMasks code_masks(const char *p) {
  CodeMasks m{0, 0, 0, 0, 0};
  for (unsigned k = 0; k < 64; k += 16) {
    CodeBlock b = code_block(p + k);
    m.stops |= std::uint64_t{b.stops} << k;
    m.feeds |= std::uint64_t{b.feeds} << k;
    m.closes |= std::uint64_t{b.closes} << k;
    m.blanks |= std::uint64_t{b.blanks} << k;
    m.delimiters |= std::uint64_t{(b.stops & ~b.letters) | b.feeds | b.closes | b.blanks} << k;
  }
  return m;
}

// The end of the token that starts at `t` (`t` itself when a delimiter is there), found in
// the masks `m` of the block at `base` while it lies in that block.
const char *token_end(const CodeMasks &m, const char *base, const char *t, const char *end) {
  auto at = static_cast<std::size_t>(t - base);
  if (at < 64) {
    std::uint64_t after = m.delimiters >> at;
    if (after != 0) return t + __builtin_ctzll(after);
    t = base + 64;
  }
  while (t < end && !kDelimiter[static_cast<unsigned char>(*t)]) ++t;
  return t;
}

// The end of the head token right after a '(' (its text starts at `t`), found from the
// masks of the block at `base`: `t` itself when a delimiter that only ends what '(' began
// follows; null when the exact scanner must read on from the '(': at the end of the piece,
// before a string, comment or quote, or before a head that may run past the piece or is
// QUOTE.
const char *head_end(const CodeMasks &m, const char *base, const char *t, const char *end) {
  if (t == end) return nullptr;
  unsigned char next = static_cast<unsigned char>(*t);
  if (next == '"' || next == ';' || next == '\'') return nullptr;
  if (kDelimiter[next]) return t;
  const char *j = token_end(m, base, t, end);
  if (j == end || (j - t == 5 && folds_to(t, "quote"))) return nullptr;
  return j;
}

// True when the head token at `t` (n bytes) is DEFUN or LAMBDA: a parameter list follows.
bool opens_parameters(const char *t, std::size_t n) {
  return (n == 5 && folds_to(t, "defun")) || (n == 6 && folds_to(t, "lambda"));
}

// The code from a point on, seen through the masks of the 64 bytes there: a block's masks
// serve every stop in it, and a new block is classified only past its end.
class CodeCursor {
 public:
  CodeCursor(const char *p, const char *end) : end_(end) { move(p); }

  // Moves on to `p`: within the current block, or to a new block there.
  void move(const char *p) {
    if (has_block_ && p >= base_ && p - base_ < 64) {
      at_ = static_cast<unsigned>(p - base_);
      return;
    }
    base_ = p;
    at_ = 0;
    has_block_ = end_ - p >= 64;
    if (has_block_) masks_ = code_masks(p);
  }
  // False when fewer than 64 bytes are left from the block's start: the caller stops there.
  bool has_block() const { return has_block_; }
  const char *here() const { return base_ + at_; }
  // The bytes from here to the next stop of the block (or its end): their masks, and where
  // they end. Moves here to that point.
  std::uint64_t run(const char *&stop) {
    std::uint64_t from = ~((std::uint64_t{1} << at_) - 1);
    std::uint64_t after = masks_.stops & from;
    unsigned k = after == 0 ? 64 : static_cast<unsigned>(__builtin_ctzll(after));
    std::uint64_t upto = k == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << k) - 1;
    stop = after == 0 ? nullptr : base_ + k;
    std::uint64_t range = from & upto;
    if (after == 0) {
      move(base_ + 64);
    } else {
      at_ = k;
    }
    return range;
  }
  const CodeMasks &masks() const { return masks_; }
  const char *base() const { return base_; }

 private:
  const char *end_;
  const char *base_ = nullptr;  // start of the block classified
  unsigned at_ = 0;             // offset of the current point in the block
  bool has_block_ = false;      // 64 bytes from base_ are in the input and classified
  CodeMasks masks_{0, 0, 0, 0, 0};
};

// The byte after the last bit of `read` in the block at `base`.
const char *after_last(const char *base, std::uint64_t read) {
  return base + (64 - __builtin_clzll(read));
}

// Reads unquoted code from a plain state at `p`, the common case, without going byte by
// byte: blocks of 64 bytes are searched for the bytes that may matter ('(', quote, '"', ';'
// and Q, which may begin QUOTE); newlines and ')' between them are only counted. A '('
// followed by a token is a head: its marker is written here. Whatever else needs the
// exact scanner (strings, comments, quoting, QUOTE, a head at the end of the input) is
// left to it: returns where it takes over, with the state there exact and plain (a token
// before that point, never a head or QUOTE, needs no flush). Input not yet in the output
// starts at `copied`; `cursor` holds the masks of the block at `p` if it has them.
const char *plain_code(Instrumenter &s, const char *p, const char *end, CodeCursor &cursor,
                       const char *&copied, Sink &out) {
  cursor.move(p);
  const char *plain = p;  // after the last delimiter read: only token bytes lie from here on
  for (;;) {
    if (!cursor.has_block()) return plain;  // fewer than 64 bytes left
    CodeMasks m = cursor.masks();           // a copy: run() may move on to the next block
    const char *base = cursor.base();
    const char *x = nullptr;  // the next byte that may matter
    std::uint64_t range = cursor.run(x);
    s.line += static_cast<std::uint64_t>(count64(m.feeds & range));
    s.quote_depth -= count64(m.closes & range);
    // Newlines and ')' are delimiters: none lie between the last one read and a stop.
    std::uint64_t read = (m.feeds | m.closes | m.blanks) & range;
    if (read != 0) plain = after_last(base, read);
    if (x == nullptr) continue;
    unsigned char c = static_cast<unsigned char>(*x);
    if (c == 'q' || c == 'Q') {
      if (plain != x) {  // inside a token
        cursor.move(x + 1);
        continue;
      }
      const char *j = token_end(m, base, x, end);
      if (j == end || (j - x == 5 && folds_to(x, "quote"))) return x;
      cursor.move(plain = j);
      continue;
    }
    if (c == '"' || c == ';') {
      const char *next = skip_string_or_comment(s, x, end, copied, out);
      if (next == nullptr) return x;
      cursor.move(plain = next);
      continue;
    }
    if (c == '\'') {  // quoting begins: quoted_code() reads on from after the quote
      s.quoted = true;
      s.quote_depth = 0;
      return x + 1;
    }
    if (c != '(') return x;
    const char *t = x + 1;
    const char *j = head_end(m, base, t, end);
    if (j == nullptr) return x;
    ++s.quote_depth;
    if (j == t) {  // no head: the next delimiter ends what '(' began
      cursor.move(plain = t);
      continue;
    }
    std::size_t n = static_cast<std::size_t>(j - t);
    if (!s.params) {
      out.put(copied, static_cast<std::size_t>(t - copied));
      out.marker(s.line);
      out.put(t, n);
      out.room(1);
      out.put(')');
      copied = j;
    }
    s.params = opens_parameters(t, n);
    cursor.move(plain = j);
  }
}

// True when the scanner is between tokens of quoted data, after a delimiter other than '('.
bool quoted_state(const Instrumenter &s) {
  return s.mode == Instrumenter::Mode::kCode && s.quoted && !s.in_token && !s.open && !s.head;
}

// Reads quoted data from a quoted state at `p` the way plain_code() reads plain code. Inside
// quoted data no marker is written, and a token changes the state only when it is QUOTE,
// when it follows '(' directly (it sets `params`), or when it ends with the quote depth at
// 0 (quoting ends). So blocks are searched for '(', quote, '"', ';' and Q; between them the
// depth only falls (at ')'), and the bytes up to a stop are read from the masks unless a
// token among them ends with the depth at 0. A head token is read here unless it is QUOTE
// or ends quoting. Whatever else needs the exact scanner is left to it: returns where it
// takes over, with the state there exact and quoted (a token before that point ends at a
// depth other than 0, never a head or QUOTE, and needs no flush). Input not yet in the
// output starts at `copied`; `cursor` as for plain_code().
const char *quoted_code(Instrumenter &s, const char *p, const char *end, CodeCursor &cursor,
                        const char *&copied, Sink &out) {
  cursor.move(p);
  const char *plain = p;  // after the last delimiter read: only token bytes lie from here on
  for (;;) {
    if (!cursor.has_block()) return plain;  // fewer than 64 bytes left
    CodeMasks m = cursor.masks();           // a copy: run() may move on to the next block
    const char *base = cursor.base();
    const char *here = cursor.here();
    const char *x = nullptr;  // the next byte that may matter
    std::uint64_t range = cursor.run(x);
    std::int64_t closes = count64(m.closes & range);
    std::uint64_t read = (m.feeds | m.closes | m.blanks) & range;
    if (s.quote_depth - closes <= 0) {  // a token ending here may end quoting: look
      std::uint64_t tokens = range & ~read;
      std::uint64_t first = range & (~range + 1);  // the first byte here
      std::uint64_t ends = read & ((tokens << 1) | (plain != here ? first : 0));
      for (; ends != 0; ends &= ends - 1) {
        std::uint64_t through = ((ends & (~ends + 1)) << 1) - 1;  // up to the token's end
        if (s.quote_depth - count64(m.closes & range & through) == 0) return plain;
      }
    }
    s.line += static_cast<std::uint64_t>(count64(m.feeds & range));
    s.quote_depth -= closes;
    if (read != 0) plain = after_last(base, read);
    if (x == nullptr) continue;
    unsigned char c = static_cast<unsigned char>(*x);
    if (c == 'q' || c == 'Q') {
      if (plain != x) {  // inside a token
        cursor.move(x + 1);
        continue;
      }
      const char *j = token_end(m, base, x, end);
      if (j == end || (j - x == 5 && folds_to(x, "quote"))) return x;
      if (s.quote_depth - (*j == ')') == 0) {  // the token ends quoting
        s.quoted = false;
        return j;
      }
      cursor.move(plain = j);
      continue;
    }
    // Every other stop is a delimiter: a token pending before it ends there.
    if (plain != x && s.quote_depth == 0) {  // it ends quoting
      s.quoted = false;
      return x;
    }
    if (c == '"' || c == ';') {
      const char *next = skip_string_or_comment(s, x, end, copied, out);
      if (next == nullptr) return x;
      cursor.move(plain = next);
      continue;
    }
    if (c == '\'') {  // quoting begins again
      s.quote_depth = 0;
      cursor.move(plain = x + 1);
      continue;
    }
    const char *t = x + 1;  // after '('
    const char *j = head_end(m, base, t, end);
    if (j == nullptr) return x;
    ++s.quote_depth;
    if (j == t) {  // no head: the next delimiter ends what '(' began
      cursor.move(plain = t);
      continue;
    }
    s.params = opens_parameters(t, static_cast<std::size_t>(j - t));
    if (s.quote_depth - (*j == ')') == 0) {  // the head ends quoting; it has no marker
      s.quoted = false;
      return j;
    }
    cursor.move(plain = j);
  }
}

// Converts code bytes until the mode changes or the input ends; returns where it stopped.
// The output is the input with markers added, so input bytes are copied in spans, up to
// each marker, and at the end.
const char *code_run(Instrumenter &s, const char *p, const char *end, Sink &out) {
  const char *copied = p;
  CodeCursor cursor(p, end);   // the blocks' masks, kept from one fast stretch to the next
  const char *plain_from = p;  // where plain code may be read in blocks again
  while (p < end) {
    if (p >= plain_from) {
      // The fast readers hand over to each other where quoting begins or ends, and to the
      // exact scanner below where neither may read on.
      const char *from = p;
      for (;;) {
        const char *stop = plain_state(s)    ? plain_code(s, p, end, cursor, copied, out)
                           : quoted_state(s) ? quoted_code(s, p, end, cursor, copied, out)
                                             : p;
        if (stop == p) break;
        p = stop;
      }
      // The byte at the stop goes alone; where quoting may end, a block goes byte by byte.
      plain_from = p == from ? p + 16 : p + 1;
      if (p == end) break;
    }
    unsigned char c = static_cast<unsigned char>(*p);
    if (!kDelimiter[c]) {
      const char *run = p;
      do ++p;
      while (p < end && !kDelimiter[static_cast<unsigned char>(*p)]);
      if (!s.in_token) start_token(s, run, copied, out);
      token_bytes(s, run, static_cast<std::size_t>(p - run));
      continue;
    }
    switch (c) {
      case '"':
        flush(s, p, copied, out);
        s.mode = Instrumenter::Mode::kString;
        ++p;
        out.put(copied, static_cast<std::size_t>(p - copied));
        return p;
      case '\'':
        flush(s, p, copied, out);
        s.quoted = true;
        s.quote_depth = 0;
        break;
      case '(':
        s.open = true;
        flush(s, p, copied, out);
        ++s.quote_depth;
        break;
      case ')':
        --s.quote_depth;
        flush(s, p, copied, out);
        break;
      case '\n':
        flush(s, p, copied, out);
        ++s.line;
        break;
      case ';':  // the comment is dropped: the input up to it is copied
        flush(s, p, copied, out);
        s.mode = Instrumenter::Mode::kComment;
        out.put(copied, static_cast<std::size_t>(p - copied));
        return p + 1;
      default:  // space, tab
        flush(s, p, copied, out);
        break;
    }
    ++p;
  }
  out.put(copied, static_cast<std::size_t>(p - copied));
  return p;
}

}  // namespace

void instrument_begin(Instrumenter &s) {
  s.mode = Instrumenter::Mode::kCode;
  s.line = 1;
  s.quote_depth = 0;
  s.in_token = false;
  s.marked = false;
  s.head = true;
  s.open = false;
  s.params = false;
  s.quoted = false;
  s.token_length = 0;
  s.keywords = 0;
}

void instrument_feed(Instrumenter &s, std::string_view in, std::string &text) {
  Sink out(text);
  const char *p = in.data();
  const char *end = p + in.size();
  while (p < end) {
    switch (s.mode) {
      case Instrumenter::Mode::kComment: {
        // Dropped up to the newline, which is read next as code.
        const void *nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (nl == nullptr) return;
        p = static_cast<const char *>(nl);
        s.mode = Instrumenter::Mode::kCode;
        break;
      }
      case Instrumenter::Mode::kStringEscape:
        if (*p == '\n') ++s.line;
        out.room(1);
        out.put(*p++);
        s.mode = Instrumenter::Mode::kString;
        break;
      case Instrumenter::Mode::kString:
        p = string_run(s, p, end, out);
        if (p < end) {
          s.mode = *p == '"' ? Instrumenter::Mode::kCode : Instrumenter::Mode::kStringEscape;
          out.room(1);
          out.put(*p++);
        }
        break;
      case Instrumenter::Mode::kCode:
        p = code_run(s, p, end, out);
        break;
    }
  }
}

void instrument_end(Instrumenter &s, std::string &text) {
  if (s.mode == Instrumenter::Mode::kCode) {
    Sink out(text);
    const char *copied = nullptr;
    flush(s, nullptr, copied, out);
  }
}

std::string instrument_text(std::string_view source) {
  Instrumenter state;
  instrument_begin(state);
  std::string out;
  instrument_feed(state, source, out);
  instrument_end(state, out);
  return out;
}

}  // namespace qv
