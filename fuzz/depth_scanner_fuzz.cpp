// Fuzz target for the depth listing's scanner.
//
// Checks, for every input:
// - the rows equal those of a small reference model that follows the listing's rules one
//   character at a time;
// - there is one row per line, and each row shows the first 80 characters of its line
//   (up to a NUL byte);
// - feeding the text in pieces gives the same rows as feeding it whole.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/pieces.h"
#include "listing/depth_scanner.h"

namespace {

std::string model(std::string_view src) {
  std::string rows;
  std::string row;
  bool row_open = false;
  std::int64_t depth = 0;
  auto pass = [&](char c) {
    if (c == '\n') {
      char number[32];
      std::snprintf(number, sizeof number, "%4" PRId64, depth);
      rows += number;
      rows += "  ";
      rows += row.c_str();
      rows += '\n';
      row.clear();
      row_open = false;
    } else {
      row_open = true;
      if (row.size() < 80) row += c;
    }
  };
  std::size_t i = 0;
  while (i < src.size()) {
    char c = src[i++];
    switch (c) {
      case '"':
        pass(c);
        while (i < src.size()) {
          char d = src[i++];
          pass(d);
          if (d == '"') break;
          if (d == '\\' && i < src.size()) pass(src[i++]);
        }
        break;
      case ';':
        pass(c);
        while (i < src.size() && src[i] != '\n') pass(src[i++]);
        if (i < src.size()) ++i;
        pass('\n');
        break;
      case '(':
        ++depth;
        pass(c);
        break;
      case ')':
        --depth;
        pass(c);
        break;
      default:
        pass(c);
        break;
    }
  }
  if (row_open) pass('\n');
  return rows;
}

using qv_fuzz::check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qv_fuzz::Pieces input = qv_fuzz::take_pieces(data, size);
  const std::string &src = input.text;

  std::string rows = qv::depth_rows(src);
  check(rows == model(src));

  // One row per line, showing the line's first characters.
  std::string_view rest(rows);
  std::size_t start = 0;
  while (start < src.size()) {
    std::size_t end = src.find('\n', start);
    if (end == std::string::npos) end = src.size();
    std::string_view line = std::string_view(src).substr(start, end - start);
    std::string shown(line.substr(0, 80));
    shown = shown.c_str();
    std::size_t row_end = rest.find('\n');
    check(row_end != std::string_view::npos);
    std::string_view row = rest.substr(0, row_end);
    std::size_t gap = row.find("  ", row.find_first_not_of(' '));
    check(gap != std::string_view::npos && gap >= 4 && row.substr(gap + 2) == shown);
    rest.remove_prefix(row_end + 1);
    start = end + 1;
  }
  check(rest.empty());

  // The same rows in pieces.
  qv::DepthScanner state;
  qv::depth_begin(state);
  std::string streamed;
  for (std::string_view piece : input.split()) qv::depth_feed(state, piece, streamed);
  qv::depth_end(state, streamed);
  check(streamed == rows);
  return 0;
}
