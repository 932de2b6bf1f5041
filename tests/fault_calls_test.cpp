// Calls and requests a careless LISP program or a confused host may send, end to end: wrong
// argument types and counts for every function, and requests out of order. Each gives the
// system's message or the correct result, and the session goes on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/run_icad.h"

namespace {

using Lines = std::vector<std::string>;

const char kEnd[] = ":request -1\n";  // ends the session without unloading

// The trace lines that start with prefix.
Lines traced(const e2e::Run &run, const std::string &prefix) {
  Lines out;
  for (const std::string &line : run.trace) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  }
  return out;
}

// What follows each "Command: " prompt up to the next one, prompt line excluded.
Lines answers(const e2e::Run &run) {
  Lines out;
  const std::string prompt = "Command: ";
  for (std::size_t at = run.out.find(prompt); at != std::string::npos;) {
    std::size_t body = run.out.find('\n', at);
    std::size_t next = run.out.find(prompt, body);
    if (body == std::string::npos) break;
    out.push_back(
        run.out.substr(body + 1, (next == std::string::npos ? run.out.size() : next) - body - 1));
    at = next;
  }
  return out;
}

// A new working directory, removed with everything in it when the test ends.
class WorkDir {
 public:
  WorkDir() : path_(e2e::make_work_dir()) {}
  ~WorkDir() { std::filesystem::remove_all(path_); }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

TEST(FaultCalls, WrongArgumentsGiveEachFunctionsMessage) {
  const std::string args[] = {
      "1",
      "1.5",
      "'a",
      "nil",
      "T",
      "'(\"a.lsp\")",
      "\"a.lsp\" \"a.lsp\"",
      "\"a.lsp\" 1",
      "1 \"a.lsp\"",
      "\"a.lsp\" nil",
  };
  struct Function {
    const char *name;
    const char *message;
  } functions[] = {{"qvload", "; error: wrong args. in call to QVLOAD\n"},
                   {"testlsp", "; error: Invalid agrument !\n"},
                   {"c:testlsp", "; error: Invalid agrument !\n"}};
  WorkDir work;
  const std::string &dir = work.path();
  e2e::write_file(dir + "a.lsp", "(f)\n");
  for (const Function &f : functions) {
    std::string script;
    Lines expected;
    for (const std::string &a : args) {
      script += std::string("(") + f.name + " " + a + ")\n";
      expected.push_back(f.message);
    }
    if (f.name == std::string("qvload")) {
      script += "(qvload)\n";
      expected.push_back(f.message);
    }
    e2e::write_file(dir + "$work.lsp", "old");
    e2e::Run run = e2e::run_icad(dir, script + kEnd);
    Lines got = answers(run);
    got.resize(expected.size());
    EXPECT_EQ(got, expected) << f.name;
    EXPECT_EQ(e2e::read_file(dir + "$work.lsp"), "old") << f.name;
    EXPECT_EQ(traced(run, "dlg_"), Lines{}) << f.name;
    EXPECT_EQ(run.err, "");
  }
}

TEST(FaultCalls, HugeArgumentsAreRefusedOrServed) {
  WorkDir work;
  const std::string &dir = work.path();
  std::string many = "(qvload";
  for (int i = 0; i < 5000; ++i) many += " \"a.lsp\"";
  many += ")\n";
  std::string long_name(100000, 'n');
  e2e::Run run = e2e::run_icad(
      dir, many + "(qvload \"" + long_name + "\")\n(testlsp \"" + long_name + "\")\n" + kEnd);
  Lines got = answers(run);
  got.resize(3);
  EXPECT_EQ(got, (Lines{"; error: wrong args. in call to QVLOAD\n",
                        "; error: file not found in QVLOAD\n", "; error: Cannot read file !\n"}));
  EXPECT_EQ(run.err, "");
}

TEST(FaultCalls, FunctionCodesOutsideTheTableRunNothing) {
  WorkDir work;
  const std::string &dir = work.path();
  e2e::write_file(dir + "a.lsp", "(f)\n");
  e2e::Run run =
      e2e::run_icad(dir,
                    ":invoke 3 \"a.lsp\"\n:invoke -1 \"a.lsp\"\n:invoke 32767\n:invoke 65536\n"
                    ":invoke -32768\n:request 102\n" +
                        std::string(kEnd));
  EXPECT_EQ(traced(run, "sds_getargs"), Lines{});
  EXPECT_EQ(traced(run, "sds_fail"), Lines{});
  EXPECT_EQ(e2e::read_file(dir + "$work.lsp"), "<missing>");
  // Each is a failed invocation; the loop goes on.
  Lines links = traced(run, "sds_link");
  ASSERT_EQ(links.size(), 8u);
  EXPECT_EQ(Lines(links.begin() + 2, links.end()), Lines(6, "sds_link 3"));
}

TEST(FaultCalls, RequestsOutOfOrder) {
  WorkDir work;
  const std::string &dir = work.path();
  e2e::write_file(dir + "a.lsp", "(f x)\n");
  e2e::Run run = e2e::run_icad(dir,
                               ":request 101\n"         // unload at once
                               ":request 101\n"         // and again
                               "(qvload \"a.lsp\")\n"   // no longer defined
                               ":invoke 0 \"a.lsp\"\n"  // the host insists anyway
                               ":request 16\n"
                               ":request 16\n"
                               ":request 100\n"  // load twice
                               ":request 100\n"
                               "(qvload \"a.lsp\")\n"
                               "(testlsp \"a.lsp\")\n" +
                                   std::string(kEnd));
  Lines got = answers(run);
  ASSERT_GE(got.size(), 10u) << run.out;
  EXPECT_EQ(got[2], "; error: no function definition: qvload\n");
  EXPECT_EQ(got[3], "nil\n");  // the handler ran: it does not depend on the names
  EXPECT_EQ(got[6], "......\n");
  EXPECT_EQ(got[7], "......\n");
  EXPECT_EQ(got[8], "nil\n");
  EXPECT_NE(got[9].find("|    0  (f x)"), std::string::npos) << got[9];
  EXPECT_EQ(traced(run, "sds_undef").size(), 6u);
  EXPECT_EQ(traced(run, "sds_defun").size(), 9u);
  EXPECT_EQ(e2e::read_file(dir + "$work.lsp"), "((: 1 f) x)\r\n");
  EXPECT_EQ(run.err, "");
}

TEST(FaultCalls, ScratchFilesThatCannotBeDeletedArePassedOver) {
  WorkDir work;
  const std::string &dir = work.path();
  e2e::write_file(dir + "a.lsp", "(f)\n");
  ASSERT_EQ(mkdir((dir + "$work.lsp").c_str(), 0755), 0);
  e2e::write_file(dir + "$work.lsp/keep", "data");
  ASSERT_EQ(mkdir((dir + "tmp.$$$").c_str(), 0755), 0);
  e2e::Run run =
      e2e::run_icad(dir, ":request 16\n:request 101\n:request 100\n(testlsp \"a.lsp\")\n");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("|    0  (f)"), std::string::npos) << run.out;
  EXPECT_EQ(e2e::read_file(dir + "$work.lsp/keep"), "data");
}

}  // namespace
