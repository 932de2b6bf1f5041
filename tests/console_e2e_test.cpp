// End to end: the built icad loads the built qv.so and runs console sessions.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/run_icad.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kLoad = {"SDS_GetGlobals qv",
                     "sds_init 1 \"qv\"",
                     "sds_printf \"\\nLoading QV application.\"",
                     "sds_link 1",
                     "sds_defun qvload 0",
                     "sds_printf \"..\"",
                     "sds_defun c:testlsp 1",
                     "sds_printf \"..\"",
                     "sds_defun testlsp 2",
                     "sds_printf \"..\"",
                     "sds_link 1"};
const Lines kUnload = {"sds_undef qvload 0", "sds_undef c:testlsp 1", "sds_undef testlsp 2"};

// Trace lines from first to last (inclusive) of those starting with "sds_" or "dlg_".
Lines slice(const Lines &trace, std::size_t first, std::size_t last) {
  Lines out;
  for (std::size_t i = first; i <= last && i < trace.size(); ++i) out.push_back(trace[i]);
  return out;
}

TEST(ConsoleSession, StartsLoadsAndUnloadsInOrder) {
  e2e::Run run = e2e::run_icad(e2e::make_work_dir(), "");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\nLoading QV application.......\nCommand: \n");
  EXPECT_EQ(run.err, "");
  Lines expected = kLoad;
  expected.insert(expected.end(), kUnload.begin(), kUnload.end());
  expected.push_back("sds_link 1");
  EXPECT_EQ(run.trace, expected);
}

TEST(ConsoleSession, FailedDefinitionStopsRegistrationAndReportsStatus3) {
  e2e::Run run = e2e::run_icad(e2e::make_work_dir(), "", {"--fail-defun", "c:testlsp"});
  EXPECT_EQ(run.out, "\nLoading QV application...\nCommand: \n");
  EXPECT_EQ(slice(run.trace, 3, 7), (Lines{"sds_link 1", "sds_defun qvload 0", "sds_printf \"..\"",
                                           "sds_defun c:testlsp 1 -> 0", "sds_link 3"}));

  // A later load request defines all three again.
  run = e2e::run_icad(e2e::make_work_dir(), ":fail-defun qvload\n:request 100\n:request 100\n");
  EXPECT_EQ(slice(run.trace, 11, 19),
            (Lines{"sds_defun qvload 0 -> 0", "sds_link 3", "sds_defun qvload 0",
                   "sds_printf \"..\"", "sds_defun c:testlsp 1", "sds_printf \"..\"",
                   "sds_defun testlsp 2", "sds_printf \"..\"", "sds_link 1"}));
}

TEST(ConsoleSession, RequestCodesActOnTheLow16BitsOnly) {
  struct Case {
    const char *request;
    bool deletes;  // the scratch files go
    Lines after;   // trace after the request was sent, before the next sds_link
  } cases[] = {
      {"16", true, {}},  {"65552", true, {}},  // 65536 + 16
      {"17", false, {}}, {"99", false, {}},   {"103", false, {}}, {"101", true, kUnload},
  };
  for (const Case &c : cases) {
    std::string dir = e2e::make_work_dir();
    e2e::write_file(dir + "$work.lsp", "w");
    e2e::write_file(dir + "tmp.$$$", "t");
    // The lost link ends the session before the unload at the end of input.
    e2e::Run run = e2e::run_icad(dir, std::string(":request ") + c.request + "\n:request -1\n");
    Lines expected = c.after;
    expected.push_back("sds_link 1");
    EXPECT_EQ(slice(run.trace, kLoad.size(), kLoad.size() + expected.size() - 1), expected)
        << c.request;
    std::string missing = "<missing>";
    EXPECT_EQ(e2e::read_file(dir + "$work.lsp") == missing, c.deletes) << c.request;
    EXPECT_EQ(e2e::read_file(dir + "tmp.$$$") == missing, c.deletes) << c.request;
  }
}

TEST(ConsoleSession, LostLinkPrintsTheCodeAndExits) {
  e2e::Run run =
      e2e::run_icad(e2e::make_work_dir(), ":exit-returns\n:request -5\n:request 131071\n(foo)\n");
  EXPECT_NE(run.out.find("Command: :request -5\n\nERROR: Unable to link with IntelliCAD - -5\n"
                         "Command: :request 131071\n\nERROR: Unable to link with "
                         "IntelliCAD - -1\nCommand: (foo)\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(slice(run.trace, kLoad.size(), kLoad.size() + 5),
            (Lines{"sds_printf \"\\nERROR: Unable to link with IntelliCAD - -5\"", "sds_exit -1",
                   "sds_link 1", "sds_printf \"\\nERROR: Unable to link with IntelliCAD - -1\"",
                   "sds_exit -1", "sds_link 1"}));

  // Without :exit-returns the exit ends the session at once.
  run = e2e::run_icad(e2e::make_work_dir(), ":request -1\n(foo)\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.trace.back(), "sds_exit -1");
  EXPECT_EQ(run.out.find("(foo)"), std::string::npos);
}

TEST(ConsoleSession, TraceDirectiveShowsTheCallsSinceTheLastDirective) {
  e2e::Run run = e2e::run_icad(e2e::make_work_dir(), ":request 17\n:trace\n:trace\n");
  EXPECT_NE(run.out.find("Command: :trace\nsds_link 1\nCommand: :trace\nCommand: \n"),
            std::string::npos)
      << run.out;
}

TEST(ConsoleSession, CallsShowResultsAndErrorsAndSetTheLinkStatus) {
  std::string dir = e2e::make_work_dir();
  e2e::write_file(dir + "a.lsp", "(defun c:hi (/ msg) (setq msg 1) (princ msg)) ; greet\n");
  e2e::Run run = e2e::run_icad(dir,
                               "(qvload \"a.lsp\")\n"
                               "(qvload \"none.lsp\")\n"
                               "(setq f \"a.lsp\") (qvload f)\n"
                               "(qvload 1 2)\n"
                               "(foo 1)\n"
                               "(qvload \"a.lsp\"\n"
                               ")\n"
                               "(qvload \"a.lsp\"))\n"
                               "nothing\n"
                               "!f\n"
                               ":invoke 0 \"a.lsp\"\n"
                               ":bogus\n"
                               ":request -1\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "\nLoading QV application.......\n"
            "Command: (qvload \"a.lsp\")\nnil\n"
            "Command: (qvload \"none.lsp\")\n; error: file not found in QVLOAD\n"
            "Command: (setq f \"a.lsp\") (qvload f)\n\"a.lsp\"\nnil\n"
            "Command: (qvload 1 2)\n; error: wrong args. in call to QVLOAD\n"
            "Command: (foo 1)\n; error: no function definition: foo\n"
            "Command: (qvload \"a.lsp\"\n)\nnil\n"
            "Command: (qvload \"a.lsp\"))\nnil\n; error: malformed input: unexpected )\n"
            "Command: nothing\n; error: unknown command: nothing\n"
            "Command: !f\n\"a.lsp\"\n"
            "Command: :invoke 0 \"a.lsp\"\nnil\n"
            "Command: :bogus\n; error: unknown directive: :bogus\n"
            "Command: :request -1\n\nERROR: Unable to link with IntelliCAD - -1\n");
  EXPECT_EQ(e2e::read_file(dir + "$work.lsp"),
            "((: 1 defun) c:hi (/ msg) ((: 1 setq) msg 1) ((: 1 princ) msg)) \r\n");
  // The status given to sds_link after each call: 1 after success, 3 after a failure.
  Lines links;
  for (const std::string &line : run.trace) {
    if (line.rfind("sds_link", 0) == 0) links.push_back(line);
  }
  EXPECT_EQ(links, (Lines{"sds_link 1", "sds_link 1", "sds_link 1", "sds_link 3", "sds_link 1",
                          "sds_link 3", "sds_link 1", "sds_link 1", "sds_link 1"}));
}

TEST(ConsoleSession, InputEndingInsideAFormIsAnErrorAndStillUnloads) {
  e2e::Run run = e2e::run_icad(e2e::make_work_dir(), "(qvload \"a.lsp\"\n  \"b");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "\nLoading QV application.......\n"
            "Command: (qvload \"a.lsp\"\n  \"b\n"
            "; error: malformed input: missing \" at end of string\n"
            "Command: \n");
  EXPECT_EQ(slice(run.trace, kLoad.size(), kLoad.size() + 2), kUnload);
}

TEST(ConsoleSession, ListingCommandAsksForTheFileAndRemembersIt) {
  std::string dir = e2e::make_work_dir();
  e2e::write_file(dir + "a.lsp", "(defun f (a)\n  (g \")\"))\n");
  e2e::Run run = e2e::run_icad(dir, "testlsp\na.lsp\ntestlsp\n\n!::Current_filename\ntestlsp\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Command: testlsp\nFile to test: a.lsp\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Command: testlsp\nFile to test <a.lsp>: \n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Command: !::Current_filename\n\"a.lsp\"\n"), std::string::npos);
  EXPECT_NE(run.out.find("|    1  (defun f (a)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("|    0    (g \")\"))"), std::string::npos) << run.out;
  // The last call meets the end of input: the file dialog is cancelled, quietly.
  EXPECT_NE(run.out.find("Command: testlsp\nFile to test <a.lsp>: \nnil\nCommand: \n"),
            std::string::npos)
      << run.out;
  Lines getfiled;
  for (const std::string &line : run.trace) {
    if (line.rfind("sds_getfiled", 0) == 0) getfiled.push_back(line);
  }
  EXPECT_EQ(getfiled, (Lines{"sds_getfiled \"File to test\" null \"lsp\" 14 -> \"a.lsp\"",
                             "sds_getfiled \"File to test\" \"a.lsp\" \"lsp\" 14 -> \"a.lsp\"",
                             "sds_getfiled \"File to test\" \"a.lsp\" \"lsp\" 14 -> cancel"}));
}

TEST(ConsoleProgram, RefusesWhatItCannotRun) {
  std::string dir = e2e::make_work_dir();
  struct Case {
    Lines options;
    std::string err;
  } cases[] = {
      {{"--app", dir + "missing.so"},
       "icad: cannot load application " + dir + "missing.so: " + dir +
           "missing.so: cannot open shared object file: No such file or directory\n"},
      {{"--app", "libm.so.6"}, "icad: no SDS_EntryPoint in libm.so.6\n"},
      {{"--bogus"}, "icad: unknown option: --bogus\nTry 'icad --help'.\n"},
      {{"extra.txt"}, "icad: more than one script: session.txt\nTry 'icad --help'.\n"},
  };
  for (const Case &c : cases) {
    e2e::Run run = e2e::run_icad(dir, "", c.options);
    EXPECT_EQ(run.status, 2) << c.options[0];
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
}

TEST(ConsoleProgram, ReportsListsLeakedOrReleasedAgainstTheRules) {
  std::string dir = e2e::make_work_dir();
  e2e::Run run = e2e::run_icad(dir, "(setq kept 5)\n(keep)\n(keep)\n(free-args 1)\n",
                               {"--app", QV_CARELESS_APP});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "icad: the application left a list unreleased: #1 from sds_getsym kept\n"
            "icad: the application left a list unreleased: #2 from sds_getsym kept\n"
            "icad: the application broke a list ownership rule: sds_relrb: the argument "
            "list belongs to the host\n");
}

}  // namespace

namespace {

TEST(ConsoleExamples, SessionRunsCleanly) {
  const char *source = std::getenv("QV_SOURCE_DIR");
  if (source == nullptr) source = QV_SOURCE_DIR_DEFAULT;
  std::string dir = e2e::make_work_dir();
  std::string examples = std::string(source) + "/examples/";
  ASSERT_EQ(mkdir((dir + "examples").c_str(), 0755), 0);
  e2e::write_file(dir + "examples/hello.lsp", e2e::read_file(examples + "hello.lsp"));
  e2e::Run run = e2e::run_icad(dir, e2e::read_file(examples + "session.txt"));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find("; error:"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("|    1  (defun greet (name / msg)"), std::string::npos) << run.out;
}

}  // namespace
