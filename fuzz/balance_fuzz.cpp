// Fuzz target for the balance checker of the qv tool.
//
// Checks, for every input:
// - the stray ')' diagnostics, the unclosed string and the unclosed '(' (its line and the
//   count still open) equal those of a small reference model that reads the text one
//   character at a time by the listing's rules for strings and comments;
// - notes come only with an unclosed '(', at most kMaxBalanceNotes of them, each at a line
//   whose first byte is '(';
// - feeding the text in pieces gives the same diagnostics as feeding it whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/balance.h"
#include "fuzz/pieces.h"

namespace {

using Kind = qv::BalanceDiagnostic::Kind;

struct Expected {
  std::vector<std::uint64_t> strays;  // lines of ')' with nothing open, in order
  std::uint64_t string_line = 0;      // line of a string open at the end, or 0
  std::uint64_t outer_line = 0;       // line of the outermost '(' open at the end, or 0
  std::int64_t open = 0;              // '(' open at the end
};

Expected model(std::string_view src) {
  enum { kCode, kString, kEscape, kComment } mode = kCode;
  Expected e;
  std::uint64_t line = 1;
  std::uint64_t string_line = 0;
  for (char c : src) {
    switch (mode) {
      case kCode:
        if (c == '"') {
          mode = kString;
          string_line = line;
        } else if (c == ';') {
          mode = kComment;
        } else if (c == '(') {
          if (e.open++ == 0) e.outer_line = line;
        } else if (c == ')') {
          if (e.open == 0) {
            e.strays.push_back(line);
          } else {
            --e.open;
          }
        } else if (c == '\n') {
          ++line;
        }
        break;
      case kString:
        if (c == '"') mode = kCode;
        if (c == '\\') mode = kEscape;
        if (c == '\n') ++line;
        break;
      case kEscape:
        if (c == '\n') ++line;
        mode = kString;
        break;
      case kComment:
        if (c == '\n') {
          ++line;
          mode = kCode;
        }
        break;
    }
  }
  if (mode == kString || mode == kEscape) e.string_line = string_line;
  if (e.open == 0) e.outer_line = 0;
  return e;
}

using qv_fuzz::check;

bool same(const std::vector<qv::BalanceDiagnostic> &a,
          const std::vector<qv::BalanceDiagnostic> &b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].line != b[i].line || a[i].open != b[i].open) return false;
  }
  return true;
}

// Whether line `n` (from 1) of `src` begins with '('.
bool starts_with_paren(std::string_view src, std::uint64_t n) {
  std::size_t at = 0;
  for (std::uint64_t i = 1; i < n; ++i) {
    at = src.find('\n', at);
    if (at == std::string_view::npos) return false;
    ++at;
  }
  return at < src.size() && src[at] == '(';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  qv_fuzz::Pieces input = qv_fuzz::take_pieces(data, size);
  const std::string &src = input.text;
  std::vector<qv::BalanceDiagnostic> found = qv::balance_check(src);
  Expected expected = model(src);

  std::vector<std::uint64_t> strays;
  std::size_t notes = 0;
  std::uint64_t string_line = 0, outer_line = 0;
  std::int64_t open = 0;
  for (const qv::BalanceDiagnostic &d : found) {
    switch (d.kind) {
      case Kind::kStrayClose:
        strays.push_back(d.line);
        break;
      case Kind::kUnclosedString:
        check(string_line == 0);
        string_line = d.line;
        break;
      case Kind::kUnclosedParen:
        check(outer_line == 0);
        outer_line = d.line;
        open = d.open;
        break;
      case Kind::kNewForm:
        ++notes;
        check(starts_with_paren(src, d.line));
        break;
    }
  }
  check(strays == expected.strays);
  check(string_line == expected.string_line);
  check(outer_line == expected.outer_line && open == expected.open);
  check(notes <= qv::kMaxBalanceNotes && (notes == 0 || outer_line != 0));

  qv::BalanceScanner state;
  qv::balance_begin(state);
  std::vector<qv::BalanceDiagnostic> streamed;
  for (std::string_view piece : input.split()) qv::balance_feed(state, piece, streamed);
  qv::balance_end(state, streamed);
  check(same(streamed, found));
  return 0;
}
