#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "cli/balance.h"

namespace {

struct Case {
  const char *name;
  std::string source;
  std::string report;  // the formatted diagnostics for file "f.lsp"
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

const char kStray[] = ": error: ')' with nothing open\n";
const char kString[] = ": error: string never closed\n";
const char kNote[] =
    ": note: '(' in column 1 inside an open form: the form above probably lacks a ')'\n";
std::string unclosed(int open) {
  return ": error: '(' never closed (" + std::to_string(open) + " open at end of file)\n";
}

// Text of 18 lines, each opening a form in column 1 that stays open: more notes than kept.
std::string staircase() {
  std::string text;
  for (int i = 0; i < 18; ++i) text += "(f\n";
  return text;
}
std::string staircase_report() {
  std::string report = "f.lsp:1" + unclosed(18);
  for (int line = 2; line <= 17; ++line) report += "f.lsp:" + std::to_string(line) + kNote;
  return report;
}

const Case kCases[] = {
    {"balanced", "(defun f (a)\n  (g a \"(\") ; )\n)\n", ""},
    {"empty", "", ""},
    {"parens in strings and comments are inert", "(a \"((\" ; ((\n)\n;)\n", ""},
    {"escaped quote keeps the string open", "(a \"\\\")\")\n", ""},
    {"escaped newline in a string", "(a \"x\\\ny\")\n", ""},
    {"string over lines counts them", "(a \"x\ny\")\n)\n", std::string("f.lsp:3") + kStray},
    {"stray close at its line", "(a)\n)\n(b)\n", std::string("f.lsp:2") + kStray},
    {"each stray close reported", "))\n", std::string("f.lsp:1") + kStray + "f.lsp:1" + kStray},
    {"stray close is ignored afterwards", ")(a)\n", std::string("f.lsp:1") + kStray},
    {"unclosed string at the line it began", "(a)\n(b \"x)\n\n",
     "f.lsp:2" + std::string(kString) + "f.lsp:2" + unclosed(1)},
    {"unclosed string after an escape", "\"\\", std::string("f.lsp:1") + kString},
    {"quote in a comment starts no string", "(a) ; \"x\n", ""},
    {"outermost open paren", "(a\n  (b\n    (c))\n", "f.lsp:1" + unclosed(1)},
    {"count of open parens", "(a (b\n(c\n", "f.lsp:1" + unclosed(3) + "f.lsp:2" + kNote},
    {"note at column-1 form inside an open one", "(defun a ()\n  (f)\n(defun b ()\n  (g))\n",
     "f.lsp:1" + unclosed(1) + "f.lsp:3" + kNote},
    {"only the first column-1 form per depth", "(a\n(b)\n(c)\n",
     "f.lsp:1" + unclosed(1) + "f.lsp:2" + kNote},
    {"a note per deeper level", "(a\n(b\n(c))\n", "f.lsp:1" + unclosed(1) + "f.lsp:2" + kNote},
    {"notes of two missing parens", "(a\n(b\n(c\n",
     "f.lsp:1" + unclosed(3) + "f.lsp:2" + kNote + "f.lsp:3" + kNote},
    {"no note for indented forms", "(a\n (b)\n", "f.lsp:1" + unclosed(1)},
    {"no note when the form was closed", "(a\n(b))\n(c\n", "f.lsp:3" + unclosed(1)},
    {"no note for column-1 paren in a string", "(a \"\n(b\"\n", "f.lsp:1" + unclosed(1)},
    {"notes are bounded", staircase(), staircase_report()},
    {"carriage return is a plain byte", "(a\r\n(b)\r\n",
     "f.lsp:1" + unclosed(1) + "f.lsp:2" + kNote},
    {"stray close, then unclosed form", "(a))\n(b\n",
     std::string("f.lsp:1") + kStray + "f.lsp:2" + unclosed(1)},
};

std::string report(const std::vector<qv::BalanceDiagnostic> &found) {
  std::string text;
  for (const auto &d : found) qv::format_diagnostic("f.lsp", d, text);
  return text;
}

class BalanceCases : public ::testing::TestWithParam<Case> {};

TEST_P(BalanceCases, WholeText) {
  EXPECT_EQ(report(qv::balance_check(GetParam().source)), GetParam().report);
}

TEST_P(BalanceCases, BytePieces) {
  qv::BalanceScanner state;
  qv::balance_begin(state);
  std::vector<qv::BalanceDiagnostic> found;
  for (char c : GetParam().source) qv::balance_feed(state, std::string_view(&c, 1), found);
  qv::balance_end(state, found);
  EXPECT_EQ(report(found), GetParam().report);
}

INSTANTIATE_TEST_SUITE_P(Cases, BalanceCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &param) {
                           std::string name;
                           for (const char *p = param.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

// Long texts cross the fast paths' block edges: pieces of every size give the same result.
TEST(BalanceScanner, PiecesOfAnySizeAgree) {
  std::string text;
  for (int i = 0; i < 40; ++i) {
    text += "(defun f" + std::to_string(i) + " (a / b) ; note (\n  (setq b \"x(\\\"y\")\n";
    text += i % 7 == 3 ? "  (g a)\n" : "  (g a))\n";
  }
  text += "))\n(\"open";
  std::string whole = report(qv::balance_check(text));
  ASSERT_NE(whole, "");
  for (std::size_t size : {1u, 3u, 15u, 16u, 17u, 63u, 64u, 65u, 1000u}) {
    qv::BalanceScanner state;
    qv::balance_begin(state);
    std::vector<qv::BalanceDiagnostic> found;
    for (std::size_t at = 0; at < text.size(); at += size) {
      qv::balance_feed(state, std::string_view(text).substr(at, size), found);
    }
    qv::balance_end(state, found);
    EXPECT_EQ(report(found), whole) << "pieces of " << size;
  }
}

TEST(BalanceScanner, EndStartsAFreshText) {
  qv::BalanceScanner state;
  qv::balance_begin(state);
  std::vector<qv::BalanceDiagnostic> found;
  qv::balance_feed(state, "((\"x", found);
  qv::balance_end(state, found);
  found.clear();
  qv::balance_feed(state, "(a)\n", found);
  qv::balance_end(state, found);
  EXPECT_EQ(report(found), "");
}

}  // namespace
