#include "instrument/qvload.h"

#include <sys/stat.h>

#include "handler_fixture.h"

namespace {

using QvloadTest = HandlerTest;
using standin::Value;

TEST_F(QvloadTest, WritesTheWorkFileTheWindowsWay) {
  write_bytes(
      "a.lsp",
      "(defun c:hi (/ msg) ; greet\r\n  (setq msg \"a;b\")\r\n  (princ msg))\r\n\x1a(junk)");
  EXPECT_EQ(call(qv::qvload, {str("a.lsp")}), 1);
  EXPECT_FALSE(standin::failed());
  EXPECT_EQ(read_bytes("$work.lsp"),
            "((: 1 defun) c:hi (/ msg) \r\n  ((: 2 setq) msg \"a;b\")\r\n  ((: 3 princ) msg))\r\n");
}

TEST_F(QvloadTest, WrongArguments) {
  const std::vector<std::vector<Value>> cases = {
      {},
      {num(1)},
      {str("a.lsp"), str("b.lsp")},
      {Value::make_list({str("a.lsp")})},
      {Value::nil()},
  };
  write_bytes("a.lsp", "(f)");
  for (const auto &args : cases) {
    EXPECT_EQ(call(qv::qvload, args), 0);
    EXPECT_EQ(standin::failure(), "wrong args. in call to QVLOAD");
    EXPECT_FALSE(exists("$work.lsp"));
  }
}

TEST_F(QvloadTest, SourceThatCannotBeOpenedLeavesTheWorkFileAlone) {
  write_bytes("$work.lsp", "previous");
  std::filesystem::create_directory("folder.lsp");
  for (const char *path : {"missing.lsp", "folder.lsp", ""}) {
    EXPECT_EQ(call(qv::qvload, {str(path)}), 0) << path;
    EXPECT_EQ(standin::failure(), "file not found in QVLOAD") << path;
    EXPECT_EQ(read_bytes("$work.lsp"), "previous");
  }
}

TEST_F(QvloadTest, WorkFileThatCannotBeCreated) {
  write_bytes("a.lsp", "(f)");
  std::filesystem::create_directory("$work.lsp");
  EXPECT_EQ(call(qv::qvload, {str("a.lsp")}), 0);
  EXPECT_EQ(standin::failure(), "cannot open workfile!!!");
  EXPECT_TRUE(std::filesystem::is_directory("$work.lsp"));
}

TEST_F(QvloadTest, WorkFileThatCannotBeWrittenIsAFailure) {
  struct stat info;
  if (stat("/dev/full", &info) != 0) GTEST_SKIP() << "no /dev/full";
  write_bytes("a.lsp", "(f)\n");
  std::filesystem::create_symlink("/dev/full", "$work.lsp");
  EXPECT_EQ(call(qv::qvload, {str("a.lsp")}), 0);
  EXPECT_EQ(standin::failure(), "cannot write workfile!!!");
  EXPECT_TRUE(std::filesystem::is_symlink("$work.lsp")) << "the user's link stays";
}

TEST_F(QvloadTest, InstrumentingTheWorkFileItselfKeepsItsText) {
  write_bytes("$work.lsp", "(f x)\r\n(g)\r\n");
  EXPECT_EQ(call(qv::qvload, {str("$work.lsp")}), 1);
  EXPECT_EQ(read_bytes("$work.lsp"), "((: 1 f) x)\r\n((: 2 g))\r\n");
  // The same file reached through another name.
  std::filesystem::create_symlink("$work.lsp", "alias.lsp");
  EXPECT_EQ(call(qv::qvload, {str("alias.lsp")}), 1);
  EXPECT_EQ(read_bytes("$work.lsp"), "(((: 1 :) 1 f) x)\r\n(((: 2 :) 2 g))\r\n");
}

TEST_F(QvloadTest, LongPathsAreUsedWhole) {
  std::string relative;
  for (int i = 0; i < 12; ++i) {
    relative += std::string(40, static_cast<char>('a' + i)) + "/";
  }
  std::filesystem::create_directories(relative);
  std::string path = relative + "source with spaces 'and' \"quotes\" \xC3\xA9.lsp";
  ASSERT_GT(path.size(), 300u);
  write_bytes(path, "(f)");
  EXPECT_EQ(call(qv::qvload, {str(path)}), 1) << standin::failure();
  EXPECT_EQ(read_bytes("$work.lsp"), "((: 1 f))");
}

}  // namespace
