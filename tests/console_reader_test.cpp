// The console's LISP reader: text to values, and the exact error texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/console/reader.h"

namespace standin::console {
namespace {

// Reads every form of text; stops at the first problem and returns its status and error.
struct ReadAll {
  std::vector<std::string> forms;  // to_lisp of each form read
  ReadStatus status;               // kEnd, or the problem
  std::string error;
};

ReadAll read_all(const std::string &text) {
  ReadAll out;
  std::size_t pos = 0;
  for (;;) {
    ReadResult r = read_form(text, &pos);
    if (r.status != ReadStatus::kForm) {
      out.status = r.status;
      out.error = r.error;
      return out;
    }
    out.forms.push_back(to_lisp(r.form));
  }
}

TEST(ConsoleReader, ReadsForms) {
  struct Case {
    const char *text;
    std::vector<std::string> forms;
  } cases[] = {
      {"42 -7 +3 2147483647", {"42", "-7", "3", "2147483647"}},
      {"2147483648", {"2.14748e+09"}},  // too big for an integer: a real
      {"1.5 .5 1. 2e3 -1.5e-2", {"1.5", "0.5", "1.0", "2000.0", "-0.015"}},
      {"nil NIL t T", {"nil", "nil", "T", "T"}},
      {"qvload c:testlsp ::d_id 1e 1.5x - .",
       {"qvload", "c:testlsp", "::d_id", "1e", "1.5x", "-", "."}},
      {R"("a\"b" "\\" "x\ny\tz\r" "\e" "\101\0" "\q")",
       {R"("a\"b")", R"("\\")", R"("x\ny\tz\r")", R"("\e")", R"("A\000")", R"("q")"}},
      {"(qvload \"a.lsp\")", {"(qvload \"a.lsp\")"}},
      {"()", {"nil"}},
      {"'(a (b 1)) 'x", {"(quote (a (b 1)))", "(quote x)"}},
      {"(setq a; comment ) \n 1)", {"(setq a 1)"}},
      {";| block ) |; (f) ; tail", {"(f)"}},
      {"(a\"s\"b)", {"(a \"s\" b)"}},
      {"   \n ; only a comment", {}},
  };
  for (const Case &c : cases) {
    ReadAll r = read_all(c.text);
    EXPECT_EQ(r.status, ReadStatus::kEnd) << c.text << ": " << r.error;
    EXPECT_EQ(r.forms, c.forms) << c.text;
  }
}

TEST(ConsoleReader, ReportsWhatIsWrong) {
  struct Case {
    std::string text;
    ReadStatus status;
    const char *error;
  } cases[] = {
      {"(qvload \"a.lsp\"", ReadStatus::kIncomplete, "malformed input: missing )"},
      {"((a)", ReadStatus::kIncomplete, "malformed input: missing )"},
      {"\"abc", ReadStatus::kIncomplete, "malformed input: missing \" at end of string"},
      {"\"abc\\", ReadStatus::kIncomplete, "malformed input: missing \" at end of string"},
      {"(f '", ReadStatus::kIncomplete, "malformed input: nothing after '"},
      {";| open", ReadStatus::kIncomplete, "malformed input: ;| comment without |;"},
      {")", ReadStatus::kError, "malformed input: unexpected )"},
      {"(a))", ReadStatus::kError, "malformed input: unexpected )"},
      {std::string(kMaxDepth + 1, '('), ReadStatus::kError,
       "malformed input: lists nested too deeply"},
      {std::string(kMaxDepth + 1, '\'') + "x", ReadStatus::kError,
       "malformed input: lists nested too deeply"},
  };
  for (const Case &c : cases) {
    ReadAll r = read_all(c.text);
    EXPECT_EQ(r.status, c.status) << c.text;
    EXPECT_EQ(r.error, c.error) << c.text;
  }
}

TEST(ConsoleReader, PositionMovesOnlyPastWholeForms) {
  std::string text = "(a) (b";
  std::size_t pos = 0;
  EXPECT_EQ(read_form(text, &pos).status, ReadStatus::kForm);
  EXPECT_EQ(pos, 3u);
  EXPECT_EQ(read_form(text, &pos).status, ReadStatus::kIncomplete);
  EXPECT_EQ(pos, 3u);
  text += ")";
  ReadResult r = read_form(text, &pos);
  ASSERT_EQ(r.status, ReadStatus::kForm);
  EXPECT_EQ(to_lisp(r.form), "(b)");
  EXPECT_EQ(r.form.items[0], Value::make_symbol("B"));
}

}  // namespace
}  // namespace standin::console
