#include "cli/balance.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qv {

namespace {

using Kind = BalanceDiagnostic::Kind;

// Bytes the scanner acts on outside strings and comments; all others pass unseen.
constexpr std::array<bool, 256> make_specials() {
  std::array<bool, 256> table{};
  for (unsigned char c : {'"', ';', '(', ')', '\n'}) table[c] = true;
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

// Skips string bytes up to a quote, a backslash or the end, counting newlines.
const char *skip_string(BalanceScanner &s, const char *p, const char *end) {
  while (p < end) {
    char c = *p;
    if (c == '"' || c == '\\') break;
    if (c == '\n') ++s.line;
    ++p;
  }
  return p;
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
