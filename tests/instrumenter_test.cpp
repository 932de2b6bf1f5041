#include "instrument/instrumenter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

struct Case {
  const char *name;
  std::string source;
  std::string work;
};

// Source text (as read the Windows way) and the work file text it must give.
const Case kCases[] = {
    {"defun line with comment", "(defun c:hi (/ msg) (setq msg 1) (princ msg)) ; greet\n",
     "((: 1 defun) c:hi (/ msg) ((: 1 setq) msg 1) ((: 1 princ) msg)) \n"},
    {"lambda parameters unmarked", "(lambda (x) (* x 2))", "((: 1 lambda) (x) ((: 1 *) x 2))"},
    {"apostrophe quotes a list", "(setq lst '(a b c))", "((: 1 setq) lst '(a b c))"},
    {"quote token quotes its list", "(quote (f y))", "((: 1 quote) (f y))"},
    {"space after parenthesis", "( f x)", "( f x)"},
    {"head token ending its line", "(cond\n(a b))", "((: 1 cond)\n((: 2 a) b))"},
    {"line 7 and 8", "\n\n\n\n\n\n(cond\n(x))", "\n\n\n\n\n\n((: 7 cond)\n((: 8 x)))"},
    {"newline in string counts", "(princ \"a\nb\") (f)", "((: 1 princ) \"a\nb\") ((: 2 f))"},
    {"string content inert", "(f \"(g) ; 'x\" (h))", "((: 1 f) \"(g) ; 'x\" ((: 1 h)))"},
    {"escaped quote in string", "(f \"a\\\"(b)\" (g))", "((: 1 f) \"a\\\"(b)\" ((: 1 g)))"},
    {"escaped newline in string", "(f \"a\\\nb\")\n(g)", "((: 1 f) \"a\\\nb\")\n((: 3 g))"},
    {"comment removed, newline stays", "(f) ; (g)\n(h)", "((: 1 f)) \n((: 2 h))"},
    {"comment at end without newline", "(f) ; x", "((: 1 f)) "},
    {"leading token is marked", "foo\n", "(: 1 foo)\n"},
    {"last token without delimiter", "(a b", "((: 1 a) b"},
    {"last head token without delimiter", "(abc", "((: 1 abc)"},
    {"backslash last in string", "(f \"ab\\", "((: 1 f) \"ab\\"},
    {"source ends in string", "(f \"abc", "((: 1 f) \"abc"},
    {"empty source", "", ""},
    {"marker case follows source", "(DeFun f () nil)", "((: 1 DeFun) f () nil)"},
    {"LAMBDA upper case", "(LAMBDA (x) x)", "((: 1 LAMBDA) (x) x)"},
    {"defun prefix is no keyword", "(defunx (a) (b))", "((: 1 defunx) ((: 1 a)) ((: 1 b)))"},
    {"longer than keyword", "(quotes (a))", "((: 1 quotes) ((: 1 a)))"},
    {"quoted nested list ends after depth 0 token", "(f '((a b) c) (g))",
     "((: 1 f) '((a b) c) ((: 1 g)))"},
    {"quoted symbol", "(f 'a (g))", "((: 1 f) 'a ((: 1 g)))"},
    {"carriage return is a token byte", "(f\r x)", "((: 1 f\r) x)"},
    {"tab and comma are delimiter/token", "(f\t,a)", "((: 1 f)\t,a)"},
    {"string directly after paren ends head", "(\"s\" g)", "(\"s\" g)"},
    {"nul byte is data", std::string("(f\0g x)", 7), std::string("((: 1 f\0g) x)", 13)},
    {"defun name then params", "(defun f (a b) (g a))", "((: 1 defun) f (a b) ((: 1 g) a))"},
    // Quoting ends with the first token flushed at quote depth 0; a quoted symbol right
    // before a closing parenthesis is flushed below 0, so quoting lasts into what follows.
    {"quoting outlasts a quoted symbol before )", "(setq a (quote b)) (c)\n(d e)(h)",
     "((: 1 setq) a ((: 1 quote) b)) (c)\n(d e)(h)"},
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class InstrumenterCases : public ::testing::TestWithParam<Case> {};

TEST_P(InstrumenterCases, WholeText) {
  EXPECT_EQ(qv::instrument_text(GetParam().source), GetParam().work);
}

// The same bytes whatever the pieces the input arrives in.
TEST_P(InstrumenterCases, BytePieces) {
  qv::Instrumenter state;
  qv::instrument_begin(state);
  std::string out;
  for (char c : GetParam().source) qv::instrument_feed(state, std::string_view(&c, 1), out);
  qv::instrument_end(state, out);
  EXPECT_EQ(out, GetParam().work);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstrumenterCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &param) {
                           std::string name;
                           for (const char *p = param.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(Instrumenter, LongTokensAreWrittenWhole) {
  std::string name(100000, 'x');
  EXPECT_EQ(qv::instrument_text("(" + name + " " + name + ")"),
            "((: 1 " + name + ") " + name + ")");
}

TEST(Instrumenter, QuotingDeeperThan127Levels) {
  // 256 levels down the quoted data is still quoted: a depth that wraps at 8 bits would
  // read 0 there, end the quoting and mark (g).
  std::string quoted = "'" + std::string(256, '(') + "a (g)" + std::string(256, ')');
  EXPECT_EQ(qv::instrument_text(quoted), quoted);
}

TEST(Instrumenter, EachConversionStartsFresh) {
  qv::Instrumenter state;
  qv::instrument_begin(state);
  std::string out;
  qv::instrument_feed(state, "(defun\n'(\"abc", out);  // leaves flags, quoting, a string open
  out.clear();
  qv::instrument_begin(state);
  qv::instrument_feed(state, "(f)", out);
  qv::instrument_end(state, out);
  EXPECT_EQ(out, "((: 1 f))");
}

}  // namespace
