#include "listing/depth_scanner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

struct Case {
  const char *name;
  std::string source;
  std::string rows;  // each row followed by a line feed
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

const std::string k100 = "(a " + std::string(76, 'x') + "(((())" + std::string(14, 'y') + ")";

const Case kCases[] = {
    {"depth after each line", "(defun f (a)\n  (g a))\n", "   1  (defun f (a)\n   0    (g a))\n"},
    {"80 characters kept, parens past them count", k100 + "\n",
     "   2  " + k100.substr(0, 80) + "\n"},
    {"string and comment parens inert", "(f \"(((\" ; )))\n)\n",
     "   1  (f \"(((\" ; )))\n   0  )\n"},
    {"escaped quote keeps the string open", "(f \"a\\\"(\")\n", "   0  (f \"a\\\"(\")\n"},
    {"string over three lines", "(f \"a\nb\nc\")\n", "   1  (f \"a\n   1  b\n   0  c\")\n"},
    {"lone closing parenthesis", ")\n", "  -1  )\n"},
    {"five-digit depth widens", std::string(12345, '(') + "\n",
     "12345  " + std::string(80, '(') + "\n"},
    {"last line without newline", "(a)\n(b", "   0  (a)\n   1  (b\n"},
    {"no row after final newline", "(a)\n", "   0  (a)\n"},
    {"empty lines are rows", "(\n\n)\n", "   1  (\n   1  \n   0  )\n"},
    {"empty file", "", ""},
    {"ends inside a comment", "(a ; note", "   1  (a ; note\n"},
    {"comment alone at end", "(a\n;", "   1  (a\n   1  ;\n"},
    {"ends inside a string", "(a \"bc", "   1  (a \"bc\n"},
    {"tabs and control characters stay", "(a\tb\x01)\n", "   0  (a\tb\x01)\n"},
    {"nul ends the shown text", std::string("(a\0b)\n", 6), "   0  (a\n"},
    {"carriage return is a character", "(a)\r\n", "   0  (a)\r\n"},
    {"backslash escapes newline in string", "(f \"a\\\nb\")\n", "   1  (f \"a\\\n   0  b\")\n"},
};

class DepthCases : public ::testing::TestWithParam<Case> {};

TEST_P(DepthCases, WholeText) { EXPECT_EQ(qv::depth_rows(GetParam().source), GetParam().rows); }

TEST_P(DepthCases, BytePieces) {
  qv::DepthScanner state;
  qv::depth_begin(state);
  std::string rows;
  for (char c : GetParam().source) qv::depth_feed(state, std::string_view(&c, 1), rows);
  qv::depth_end(state, rows);
  EXPECT_EQ(rows, GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Cases, DepthCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &param) {
                           std::string name;
                           for (const char *p = param.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(DepthScanner, EachListingStartsFresh) {
  qv::DepthScanner state;
  qv::depth_begin(state);
  std::string rows;
  qv::depth_feed(state, "((( \"open string", rows);
  rows.clear();
  qv::depth_begin(state);
  qv::depth_feed(state, "(a)", rows);
  qv::depth_end(state, rows);
  EXPECT_EQ(rows, "   0  (a)\n");
}

}  // namespace
