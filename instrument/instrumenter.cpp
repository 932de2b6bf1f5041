#include "instrument/instrumenter.h"

#include <array>
#include <cstring>

namespace qv {

namespace {

// Keywords that change the scanner's flags, compared without regard to ASCII case.
constexpr std::array<std::string_view, 3> kKeywords = {"defun", "lambda", "quote"};
constexpr std::uint8_t kDefun = 1, kLambda = 2, kQuote = 4;
constexpr std::uint8_t kAllKeywords = kDefun | kLambda | kQuote;
constexpr std::uint8_t kLongestKeyword = 6;

// Bytes that end a token; every other byte is a token byte.
constexpr std::array<bool, 256> make_delimiters() {
  std::array<bool, 256> table{};
  for (unsigned char c : {'"', '\'', '(', ')', ' ', '\t', '\n', ';'}) table[c] = true;
  return table;
}
constexpr std::array<bool, 256> kDelimiter = make_delimiters();

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Starts a token: decides on its marker now, since nothing that decides it can change
// before the token ends.
void start_token(Instrumenter &s, std::string &out) {
  s.in_token = true;
  s.token_length = 0;
  s.keywords = kAllKeywords;
  s.marked = s.head && !s.params && !s.quoted;
  if (s.marked) {
    out += "(: ";
    out += std::to_string(s.line);
    out += ' ';
  }
}

// Appends a run of token bytes to the pending token.
void token_bytes(Instrumenter &s, const char *p, std::size_t n, std::string &out) {
  for (std::size_t i = 0; i < n && s.token_length <= kLongestKeyword; ++i) {
    char c = fold(p[i]);
    for (std::size_t k = 0; k < kKeywords.size(); ++k) {
      std::string_view word = kKeywords[k];
      if (s.token_length >= word.size() || word[s.token_length] != c) {
        s.keywords = static_cast<std::uint8_t>(s.keywords & ~(1u << k));
      }
    }
    ++s.token_length;
  }
  out.append(p, n);
}

bool token_is(const Instrumenter &s, std::uint8_t keyword) {
  if ((s.keywords & keyword) == 0) return false;
  std::size_t k = keyword == kDefun ? 0 : keyword == kLambda ? 1 : 2;
  return s.token_length == kKeywords[k].size();
}

// Ends the pending token, if any, and moves the flags on.
void flush(Instrumenter &s, std::string &out) {
  if (s.in_token) {
    if (s.marked) out += ')';
    if (s.head) s.params = token_is(s, kDefun) || token_is(s, kLambda);
    if (s.quoted && s.quote_depth == 0) s.quoted = false;
    if (token_is(s, kQuote)) {
      s.quoted = true;
      s.quote_depth = 0;
    }
    s.in_token = false;
  }
  s.head = s.open;
  s.open = false;
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

void instrument_feed(Instrumenter &s, std::string_view in, std::string &out) {
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
        out += *p++;
        s.mode = Instrumenter::Mode::kString;
        break;
      case Instrumenter::Mode::kString: {
        const char *run = p;
        while (p < end && *p != '"' && *p != '\\') {
          if (*p == '\n') ++s.line;
          ++p;
        }
        if (p < end) {
          s.mode = *p == '"' ? Instrumenter::Mode::kCode : Instrumenter::Mode::kStringEscape;
          ++p;
        }
        out.append(run, static_cast<std::size_t>(p - run));
        break;
      }
      case Instrumenter::Mode::kCode: {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!kDelimiter[c]) {
          const char *run = p;
          while (p < end && !kDelimiter[static_cast<unsigned char>(*p)]) ++p;
          if (!s.in_token) start_token(s, out);
          token_bytes(s, run, static_cast<std::size_t>(p - run), out);
          break;
        }
        ++p;
        switch (c) {
          case '"':
            flush(s, out);
            out += '"';
            s.mode = Instrumenter::Mode::kString;
            break;
          case '\'':
            flush(s, out);
            out += '\'';
            s.quoted = true;
            s.quote_depth = 0;
            break;
          case '(':
            s.open = true;
            flush(s, out);
            out += '(';
            ++s.quote_depth;
            break;
          case ')':
            --s.quote_depth;
            flush(s, out);
            out += ')';
            break;
          case '\n':
            flush(s, out);
            out += '\n';
            ++s.line;
            break;
          case ';':
            flush(s, out);
            s.mode = Instrumenter::Mode::kComment;
            break;
          default:  // space, tab
            flush(s, out);
            out += static_cast<char>(c);
            break;
        }
        break;
      }
    }
  }
}

void instrument_end(Instrumenter &s, std::string &out) {
  if (s.mode == Instrumenter::Mode::kCode) flush(s, out);
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
