// Fuzz target for the work-file instrumenter.
//
// Checks, for every input:
// - the scanner gives the same bytes as a small reference model that follows the
//   instrumenter's rules one character at a time;
// - the work text has exactly as many line feeds as the source;
// - every marker carries the number of the line it stands on;
// - taking the markers out again gives the source with its comments removed, as an
//   independent comment remover computes it;
// - feeding the source in pieces gives the same bytes as feeding it whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/pieces.h"
#include "instrument/instrumenter.h"

namespace {

// A marker the model wrote: "(: N " at `open`, the token, then ')' at `close`.
struct Marker {
  std::size_t open;    // offset of "(: " in the work text
  std::size_t prefix;  // length of "(: N "
  std::size_t close;   // offset of the marker's ')'
  std::uint64_t line;  // N
};

bool same_word(std::string_view token, std::string_view word) {
  if (token.size() != word.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char c = token[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// The reference model: one character at a time, a token buffer without a length limit.
std::string model(std::string_view src, std::vector<Marker> &markers) {
  std::string out;
  std::string token;
  std::uint64_t line = 1;
  bool head = true, open = false, params = false, quoted = false;
  std::int64_t quote_depth = 0;
  auto flush = [&] {
    if (!token.empty()) {
      if (head) {
        if (!params && !quoted) {
          Marker m;
          m.open = out.size();
          out += "(: " + std::to_string(line) + " ";
          m.prefix = out.size() - m.open;
          out += token;
          m.close = out.size();
          out += ')';
          m.line = line;
          markers.push_back(m);
        } else {
          out += token;
        }
        params = same_word(token, "defun") || same_word(token, "lambda");
      } else {
        out += token;
      }
      if (quoted && quote_depth == 0) quoted = false;
      if (same_word(token, "quote")) {
        quoted = true;
        quote_depth = 0;
      }
    }
    head = open;
    open = false;
    token.clear();
  };
  std::size_t i = 0;
  while (i < src.size()) {
    char c = src[i++];
    switch (c) {
      case '"':
        flush();
        out += '"';
        while (i < src.size()) {
          char d = src[i++];
          out += d;
          if (d == '\n') ++line;
          if (d == '\\') {
            if (i >= src.size()) break;
            char e = src[i++];
            out += e;
            if (e == '\n') ++line;
            continue;
          }
          if (d == '"') break;
        }
        break;
      case '\'':
        flush();
        out += '\'';
        quoted = true;
        quote_depth = 0;
        break;
      case '(':
        open = true;
        flush();
        out += '(';
        ++quote_depth;
        break;
      case ')':
        --quote_depth;
        flush();
        out += ')';
        break;
      case ' ':
      case '\t':
        flush();
        out += c;
        break;
      case '\n':
        flush();
        out += '\n';
        ++line;
        break;
      case ';':
        flush();
        while (i < src.size() && src[i] != '\n') ++i;
        break;
      default:
        token += c;
        break;
    }
  }
  flush();
  return out;
}

// The source without its comments: string literals (with backslash escapes) are kept
// whole, a semicolon outside them drops the rest of its line but not the line feed.
std::string without_comments(std::string_view src) {
  std::string out;
  std::size_t i = 0;
  bool in_string = false;
  while (i < src.size()) {
    char c = src[i];
    if (in_string) {
      out += c;
      ++i;
      if (c == '\\' && i < src.size()) {
        out += src[i++];
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == ';') {
      while (i < src.size() && src[i] != '\n') ++i;
    } else {
      if (c == '"') in_string = true;
      out += c;
      ++i;
    }
  }
  return out;
}

std::size_t line_feeds(std::string_view text, std::size_t end) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < end; ++i) n += text[i] == '\n';
  return n;
}

using qv_fuzz::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qv_fuzz::Pieces input = qv_fuzz::take_pieces(data, size);
  const std::string &src = input.text;

  std::string whole = qv::instrument_text(src);
  std::vector<Marker> markers;
  std::string expected = model(src, markers);
  check(whole == expected);
  check(line_feeds(whole, whole.size()) == line_feeds(src, src.size()));

  // Markers out again; each carries the line it stands on.
  std::string unmarked;
  std::size_t from = 0;
  for (const Marker &m : markers) {
    check(line_feeds(whole, m.open) + 1 == m.line);
    check(whole.compare(m.open, 3, "(: ") == 0 && whole[m.close] == ')');
    unmarked.append(whole, from, m.open - from);
    unmarked.append(whole, m.open + m.prefix, m.close - m.open - m.prefix);
    from = m.close + 1;
  }
  unmarked.append(whole, from, std::string::npos);
  check(unmarked == without_comments(src));

  // The same bytes in pieces.
  qv::Instrumenter state;
  qv::instrument_begin(state);
  std::string streamed;
  for (std::string_view piece : input.split()) qv::instrument_feed(state, piece, streamed);
  qv::instrument_end(state, streamed);
  check(streamed == whole);
  return 0;
}
