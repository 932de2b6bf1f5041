#include "listing/depth_scanner.h"

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

using blocks::below;
using blocks::classify64;
using blocks::count16;
using blocks::count64;
using blocks::first;
using blocks::LispMasks;

// Bytes the scanner acts on outside strings and comments; all others only fill the row.
constexpr std::array<bool, 256> make_specials() {
  std::array<bool, 256> table{};
  for (char c : std::string_view("\";()\n")) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kSpecial = make_specials();

// Passes a run of characters other than newlines to the row builder.
void keep(DepthScanner &s, const char *p, std::size_t n) {
  if (n == 0) return;
  s.row_open = true;
  std::size_t take = std::min(n, kRowWidth - s.row_length);
  std::memcpy(s.row + s.row_length, p, take);
  s.row_length += take;
}

// Reads the code bytes of the 16 at `p` that come before any newline, string or comment at
// once: the depth moves by their parentheses, the row keeps them. Returns the bytes read.
std::size_t code_block(DepthScanner &s, const char *p) {
  unsigned open = 0, close = 0, stop = 0;
#if defined(__SSE2__)
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
  auto eq = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  open = static_cast<unsigned>(_mm_movemask_epi8(eq('(')));
  close = static_cast<unsigned>(_mm_movemask_epi8(eq(')')));
  stop = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(eq('\n'), eq('"')), eq(';'))));
#else
  for (unsigned i = 0; i < 16; ++i) {
    char c = p[i];
    open |= unsigned{c == '('} << i;
    close |= unsigned{c == ')'} << i;
    stop |= unsigned{c == '\n' || c == '"' || c == ';'} << i;
  }
#endif
  unsigned n = stop == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(stop));
  unsigned before = (1u << n) - 1;
  s.depth += count16(open & before) - count16(close & before);
  keep(s, p, n);
  return n;
}

// The first quote, backslash or newline from `p` on, or `end`.
const char *string_run(const char *p, const char *end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
  const __m128i newline = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                     _mm_cmpeq_epi8(v, newline))));
    if (stops != 0) return p + __builtin_ctz(stops);
  }
#endif
  while (p < end && *p != '"' && *p != '\\' && *p != '\n') ++p;
  return p;
}

// Passes a newline to the row builder: the row is complete.
void end_row(DepthScanner &s, std::string &rows) {
  // The row as format_row() makes it, built here and appended at once.
  char line[24 + 2 + kRowWidth + 1];
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, s.depth);
  std::size_t width = static_cast<std::size_t>(result.ptr - digits);
  char *put = line;
  if (width < 4) {
    std::memset(put, ' ', 4 - width);
    put += 4 - width;
  }
  std::memcpy(put, digits, width);
  put += width;
  *put++ = ' ';
  *put++ = ' ';
  std::size_t kept = s.row_length;
  if (const void *nul = std::memchr(s.row, '\0', kept)) {
    kept = static_cast<std::size_t>(static_cast<const char *>(nul) - s.row);
  }
  std::memcpy(put, s.row, kept);
  put += kept;
  *put++ = '\n';
  rows.append(line, static_cast<std::size_t>(put - line));
  s.row_length = 0;
  s.row_open = false;
}

// Rows of one call: formatted straight into a local buffer that reaches the caller's
// string in large appends.
class RowSink {
 public:
  explicit RowSink(std::string &rows) : rows_(rows), put_(buffer_) {}
  ~RowSink() { drain(); }
  RowSink(const RowSink &) = delete;
  RowSink &operator=(const RowSink &) = delete;

  // Appends the row of `depth` and `text` (n bytes, any length) and its line feed. A text
  // known to hold no NUL byte (`nul_free`) is not searched for one.
  void row(std::int64_t depth, const char *text, std::size_t n, bool nul_free) {
    if (static_cast<std::size_t>(buffer_ + sizeof buffer_ - put_) < kLongestRow) drain();
    if (depth >= 0 && depth < 10000) {  // "%4d" of a small depth: four columns
      char *digit = put_ + 4;
      std::memset(put_, ' ', 4);
      auto value = static_cast<unsigned>(depth);
      do {
        *--digit = static_cast<char>('0' + value % 10);
        value /= 10;
      } while (value != 0);
      put_ += 4;
    } else {
      char digits[24];
      auto result = std::to_chars(digits, digits + sizeof digits, depth);
      std::size_t width = static_cast<std::size_t>(result.ptr - digits);
      if (width < 4) {
        std::memset(put_, ' ', 4 - width);
        put_ += 4 - width;
      }
      std::memcpy(put_, digits, width);
      put_ += width;
    }
    *put_++ = ' ';
    *put_++ = ' ';
    std::size_t kept = std::min(n, kRowWidth);
    if (const void *nul = nul_free ? nullptr : std::memchr(text, '\0', kept)) {
      kept = static_cast<std::size_t>(static_cast<const char *>(nul) - text);
    }
    std::memcpy(put_, text, kept);
    put_ += kept;
    *put_++ = '\n';
  }
  void drain() {
    rows_.append(buffer_, static_cast<std::size_t>(put_ - buffer_));
    put_ = buffer_;
  }

 private:
  static constexpr std::size_t kLongestRow = 24 + 2 + kRowWidth + 1;

  std::string &rows_;
  char *put_;  // next free byte of buffer_
  char buffer_[16384];
};

// Reads the 64 bytes at `p` in every mode, from their masks: code moves the depth by its
// parentheses a stretch at a time, up to the next newline, quote or semicolon; strings and
// comments are skipped from one stop to the next. A row is the first bytes of its line
// whatever their mode, so at each newline the row is taken from the input directly: from
// `line` on, or, when the line began in an earlier piece (`line` null), from the row held
// with the bytes of this piece before the newline added. `piece` is where this piece began;
// `nul_free` tells that it holds no NUL byte.
void block64(DepthScanner &s, const char *p, const char *piece, bool nul_free, const char *&line,
             RowSink &out) {
  using Mode = DepthScanner::Mode;
  LispMasks m = classify64(p);
  auto end_line = [&](unsigned j) {
    const char *nl = p + j;
    if (line != nullptr) {
      out.row(s.depth, line, static_cast<std::size_t>(nl - line), nul_free);
    } else {
      keep(s, piece, static_cast<std::size_t>(nl - piece));
      out.row(s.depth, s.row, s.row_length, false);
      s.row_length = 0;
      s.row_open = false;
    }
    line = nl + 1;
  };
  unsigned i = 0;
  while (i < 64) {
    switch (s.mode) {
      case Mode::kComment: {
        unsigned j = first(m.newline & ~below(i));
        if (j == 64) return;
        end_line(j);
        s.mode = Mode::kCode;
        i = j + 1;
        break;
      }
      case Mode::kStringEscape:
        if (p[i] == '\n') end_line(i);
        s.mode = Mode::kString;
        ++i;
        break;
      case Mode::kString: {
        unsigned j = first((m.quote | m.backslash | m.newline) & ~below(i));
        if (j == 64) return;
        if (p[j] == '\n') {
          end_line(j);
        } else {
          s.mode = p[j] == '"' ? Mode::kCode : Mode::kStringEscape;
        }
        i = j + 1;
        break;
      }
      case Mode::kCode: {
        unsigned j = first((m.quote | m.semicolon | m.newline) & ~below(i));
        std::uint64_t range = below(j) & ~below(i);
        s.depth += count64(m.open & range) - count64(m.close & range);
        if (j == 64) return;
        if (p[j] == '\n') {
          end_line(j);
        } else {
          s.mode = p[j] == '"' ? Mode::kString : Mode::kComment;
        }
        i = j + 1;
        break;
      }
    }
  }
}

}  // namespace

void format_row(std::int64_t depth, std::string_view text, std::string &out) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, depth);
  std::size_t width = static_cast<std::size_t>(result.ptr - digits);
  if (width < 4) out.append(4 - width, ' ');
  out.append(digits, width);
  out += "  ";
  out.append(text.substr(0, std::min(text.size(), text.find('\0'))));
}

void depth_begin(DepthScanner &s) {
  s.mode = DepthScanner::Mode::kCode;
  s.depth = 0;
  s.row_length = 0;
  s.row_open = false;
}

void depth_feed(DepthScanner &s, std::string_view in, std::string &rows) {
  const char *p = in.data();
  const char *end = p + in.size();
  if (end - p >= 64) {
    const char *line = nullptr;  // start of the current line, when it began in this piece
    bool nul_free = std::memchr(p, '\0', in.size()) == nullptr;
    {
      RowSink out(rows);
      for (; end - p >= 64; p += 64) block64(s, p, in.data(), nul_free, line, out);
    }
    // The bytes of the open line read so far go to the row, for the bytes still to come.
    if (line != nullptr) {
      s.row_length = 0;
      s.row_open = false;
      keep(s, line, static_cast<std::size_t>(p - line));
    } else {
      keep(s, in.data(), static_cast<std::size_t>(p - in.data()));
    }
  }
  while (p < end) {
    switch (s.mode) {
      case DepthScanner::Mode::kComment: {
        const char *nl =
            static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char *stop = nl ? nl : end;
        keep(s, p, static_cast<std::size_t>(stop - p));
        p = stop;
        if (nl) {
          end_row(s, rows);
          ++p;
          s.mode = DepthScanner::Mode::kCode;
        }
        break;
      }
      case DepthScanner::Mode::kStringEscape:
        if (*p == '\n') {
          end_row(s, rows);
        } else {
          keep(s, p, 1);
        }
        ++p;
        s.mode = DepthScanner::Mode::kString;
        break;
      case DepthScanner::Mode::kString: {
        const char *run = p;
        p = string_run(p, end);
        keep(s, run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        if (*p == '\n') {
          end_row(s, rows);
        } else {
          keep(s, p, 1);
          s.mode = *p == '"' ? DepthScanner::Mode::kCode : DepthScanner::Mode::kStringEscape;
        }
        ++p;
        break;
      }
      case DepthScanner::Mode::kCode: {
        if (end - p >= 16) {
          std::size_t n = code_block(s, p);
          p += n;
          if (n == 16) break;
        }
        const char *run = p;
        while (p < end && !kSpecial[static_cast<unsigned char>(*p)]) ++p;
        keep(s, run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        switch (*p) {
          case '"':
            s.mode = DepthScanner::Mode::kString;
            break;
          case ';':
            s.mode = DepthScanner::Mode::kComment;
            break;
          case '(':
            ++s.depth;
            break;
          case ')':
            --s.depth;
            break;
          default:  // newline
            end_row(s, rows);
            ++p;
            continue;
        }
        keep(s, p, 1);
        ++p;
        break;
      }
    }
  }
}

void depth_end(DepthScanner &s, std::string &rows) {
  // A comment open at the end is ended by a newline; any other open row is ended too.
  if (s.mode == DepthScanner::Mode::kComment || s.row_open) end_row(s, rows);
  s.mode = DepthScanner::Mode::kCode;
}

std::string depth_rows(std::string_view source) {
  DepthScanner state;
  depth_begin(state);
  std::string rows;
  depth_feed(state, source, rows);
  depth_end(state, rows);
  return rows;
}

}  // namespace qv
