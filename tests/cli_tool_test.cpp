// The qv program end to end: run as a subprocess in a temporary directory, its outputs
// compared byte for byte with what the add-on's own code gives for the same files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "instrument/work_file.h"
#include "listing/depth_scanner.h"
#include "text/textfile.h"
#include "work_dir_test.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class ToolTest : public WorkDirTest {
 protected:
  void SetUp() override {
    tool_ = build_dir() + "/cli/qv";
    sample_ = source_dir() + "/tests/fixtures/cli/sample.lsp";
    WorkDirTest::SetUp();
  }

  // Runs the tool with `args` in the test directory; standard output may go to `out_path`.
  Outcome run(const std::vector<std::string> &args, const std::string &out_path = "out") {
    std::string command = "'" + tool_ + "'";
    for (const std::string &arg : args) command += " '" + arg + "'";
    command += " >'" + out_path + "' 2>err";
    int raw = std::system(command.c_str());
    Outcome result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", read_bytes("err")};
    if (out_path == "out") result.out = read_bytes("out");
    return result;
  }

  // The listing rows the dialog shows for `path`.
  static std::string rows_of(const std::string &path) {
    std::string text;
    EXPECT_TRUE(qv::read_text_file(path, text));
    return qv::depth_rows(text);
  }
  // The bytes qvload writes for `path`.
  static std::string instrumented(const std::string &path) {
    EXPECT_EQ(qv::instrument_file(path, "expected.lsp"), nullptr);
    return read_bytes("expected.lsp");
  }

  std::string tool_;
  std::string sample_;
};

TEST_F(ToolTest, InstrumentWritesWhatQvloadWrites) {
  std::string expected = instrumented(sample_);
  ASSERT_NE(expected.find("(: 2 defun)"), std::string::npos);

  Outcome to_work_file = run({"instrument", sample_});
  EXPECT_EQ(to_work_file.status, 0);
  EXPECT_EQ(to_work_file.out + to_work_file.err, "");
  EXPECT_EQ(read_bytes("$work.lsp"), expected);

  EXPECT_EQ(run({"instrument", sample_, "-o", "named.lsp"}).status, 0);
  EXPECT_EQ(read_bytes("named.lsp"), expected);

  Outcome to_stdout = run({"instrument", "--output", "-", sample_});
  EXPECT_EQ(to_stdout.status, 0);
  EXPECT_EQ(to_stdout.out, expected);
  EXPECT_EQ(to_stdout.err, "");
}

TEST_F(ToolTest, InstrumentFailures) {
  write_bytes("a.lsp", "(f)\n");
  std::filesystem::create_directory("folder");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  std::vector<Case> cases = {
      {{"instrument", "missing.lsp"}, "qv: missing.lsp: file not found in QVLOAD\n"},
      {{"instrument", "folder", "-o", "-"}, "qv: folder: file not found in QVLOAD\n"},
      {{"instrument", "a.lsp", "-o", "folder"}, "qv: folder: cannot open workfile!!!\n"},
  };
  for (const Case &c : cases) {
    Outcome result = run(c.args);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists("$work.lsp"));
}

TEST_F(ToolTest, InstrumentToFullOutput) {
  struct stat info;
  if (stat("/dev/full", &info) != 0) GTEST_SKIP() << "no /dev/full";
  write_bytes("a.lsp", "(f)\n");
  Outcome result = run({"instrument", "a.lsp", "-o", "-"}, "/dev/full");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "qv: standard output: cannot write workfile!!!\n");
}

TEST_F(ToolTest, DepthPrintsTheListingRows) {
  std::string long_line = "(a " + std::string(100, 'x') + ")";
  write_bytes("odd.lsp",
              "(f \"s\r\n(\" ; )\r\n" + long_line + "\r\n" + std::string("(a\0b)", 5) + "\r\n(");
  for (const std::string &file : {sample_, std::string("odd.lsp")}) {
    Outcome result = run({"depth", file});
    EXPECT_EQ(result.status, 0) << file;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, rows_of(file)) << file;
  }
  EXPECT_EQ(run({"depth", "odd.lsp"}).out, "   1  (f \"s\n   1  (\" ; )\n   1  " +
                                               long_line.substr(0, 80) + "\n   1  (a\n   2  (\n");
}

TEST_F(ToolTest, DepthOfUnreadableFile) {
  std::filesystem::create_directory("folder");
  for (const char *file : {"missing.lsp", "folder"}) {
    Outcome result = run({"depth", file});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, std::string("qv: ") + file + ": cannot read file\n");
  }
}

TEST_F(ToolTest, CheckReportsEachKindAtItsLine) {
  write_bytes("good.lsp", "(defun f (a)\r\n  (g \")\" a)) ; (\r\n");
  write_bytes("stray.lsp", "(a)\r\n  (b))\r\n");
  write_bytes("string.lsp", "(a)\r\n(princ \"hello)\r\n(b)\r\n");
  write_bytes("open.lsp", "(defun a ()\r\n  (f)\r\n\r\n(defun b ()\r\n  (g))\r\n");
  struct Case {
    std::vector<std::string> files;
    int status;
    std::string out;
  };
  std::vector<Case> cases = {
      {{"good.lsp"}, 0, ""},
      {{"stray.lsp"}, 1, "stray.lsp:2: error: ')' with nothing open\n"},
      {{"string.lsp"},
       1,
       "string.lsp:2: error: string never closed\n"
       "string.lsp:2: error: '(' never closed (1 open at end of file)\n"},
      {{"open.lsp"},
       1,
       "open.lsp:1: error: '(' never closed (1 open at end of file)\n"
       "open.lsp:4: note: '(' in column 1 inside an open form: the form above probably lacks "
       "a ')'\n"},
      {{"good.lsp", "stray.lsp", "good.lsp"}, 1, "stray.lsp:2: error: ')' with nothing open\n"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = {"check"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    Outcome result = run(args);
    EXPECT_EQ(result.status, c.status) << c.files[0];
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
  }
  EXPECT_EQ(run({"check", sample_}).status, 0);
}

TEST_F(ToolTest, CheckGoesOnPastUnreadableFiles) {
  write_bytes("stray.lsp", ")\n");
  Outcome result = run({"check", "missing.lsp", "stray.lsp"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "qv: missing.lsp: cannot read file\n");
  EXPECT_EQ(result.out, "stray.lsp:1: error: ')' with nothing open\n");
}

TEST_F(ToolTest, HelpAndVersion) {
  Outcome help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: qv"), std::string::npos);
  for (const char *command : {"instrument", "depth", "check"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  Outcome sub_help = run({"instrument", "--help"});
  EXPECT_EQ(sub_help.status, 0);
  EXPECT_NE(sub_help.out.find("-o,--output"), std::string::npos);

  Outcome version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qv " QV_TEST_VERSION "\n");
}

TEST_F(ToolTest, UsageErrors) {
  write_bytes("a.lsp", "(f)\n");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "A subcommand is required"},
      {{"frobnicate", "a.lsp"}, "unknown command: frobnicate"},
      {{"check"}, "FILE is required"},
      {{"depth"}, "FILE is required"},
      {{"depth", "a.lsp", "a.lsp"}, "The following argument was not expected: a.lsp"},
      {{"instrument"}, "SOURCE is required"},
      {{"instrument", "a.lsp", "-o"}, "--output: 1 required TEXT missing"},
      {{"instrument", "a.lsp", "--bogus"}, "The following argument was not expected: --bogus"},
  };
  for (const Case &c : cases) {
    Outcome result = run(c.args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_EQ(result.out, "") << c.message;
    EXPECT_EQ(result.err, "qv: " + c.message + "\nRun 'qv --help' for more information.\n");
  }
  EXPECT_FALSE(std::filesystem::exists("$work.lsp"));
}

}  // namespace
