// Hostile input and file-system faults, end to end: the built icad loads the built qv.so
// and runs (qvload PATH) and (testlsp PATH) on files a user may have on disk.
//
// Every session ends with a lost link, so the work file stays behind to be checked. A
// successful qvload must leave exactly the work file the scanner gives for the source read
// the Windows way; a failed one must report its error and leave no work file that looks
// complete. testlsp must list one row per line with the right depths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "instrument/instrumenter.h"
#include "listing/depth_scanner.h"
#include "tests/e2e/run_icad.h"

namespace {

namespace fs = std::filesystem;

const char kEnd[] = ":request -1\n";  // ends the session without unloading

// A LISP string literal for text.
std::string lisp_string(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Text as the Windows way reads raw bytes: CR LF becomes LF, control-Z ends the text.
std::string windows_read(const std::string &raw) {
  std::string text = raw.substr(0, raw.find('\x1a'));
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// Text as the Windows way writes it: LF becomes CR LF.
std::string windows_write(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The work file qvload must write for a source holding raw.
std::string expected_work(const std::string &raw) {
  return windows_write(qv::instrument_text(windows_read(raw)));
}

// The depths of the listing rows for a source holding raw.
std::vector<long> expected_depths(const std::string &raw) {
  std::vector<long> depths;
  std::string rows = qv::depth_rows(windows_read(raw));
  for (std::size_t at = 0; at < rows.size(); at = rows.find('\n', at) + 1) {
    depths.push_back(std::strtol(rows.c_str() + at, nullptr, 10));
  }
  return depths;
}

// The depths of the rows the listing added, from the trace.
std::vector<long> listed_depths(const e2e::Run &run) {
  const std::string add = "dlg_add_list \"";
  std::vector<long> depths;
  for (const std::string &line : run.trace) {
    if (line.compare(0, add.size(), add) == 0) {
      depths.push_back(std::strtol(line.c_str() + add.size(), nullptr, 10));
    }
  }
  return depths;
}

// The "; error:" lines of the output.
std::vector<std::string> errors(const e2e::Run &run) {
  std::vector<std::string> out;
  for (std::size_t at = run.out.find("; error: "); at != std::string::npos;
       at = run.out.find("; error: ", at + 1)) {
    out.push_back(run.out.substr(at + 9, run.out.find('\n', at) - at - 9));
  }
  return out;
}

// Runs qvload and testlsp on the file at `path` (relative to dir) and checks both.
void expect_converted_and_listed(const std::string &dir, const std::string &path,
                                 const std::string &raw) {
  SCOPED_TRACE(path);
  e2e::Run run = e2e::run_icad(
      dir, "(qvload " + lisp_string(path) + ")\n(testlsp " + lisp_string(path) + ")\n" + kEnd);
  EXPECT_EQ(errors(run), std::vector<std::string>{}) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(e2e::read_file(dir + "$work.lsp") == expected_work(raw)) << "work file differs";
  EXPECT_EQ(listed_depths(run), expected_depths(raw));
}

void remove_dir(const std::string &dir) {
  // rm handles trees deeper than a path can name; std::filesystem does not.
  std::string command = "rm -rf '" + dir + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(FaultInput, HostileContentIsConvertedAndListed) {
  std::mt19937 random(20240611);
  std::string binary(1 << 20, '\0');
  for (char &c : binary) c = static_cast<char>(random() & 0xff);
  std::string binary_no_eof = binary;
  for (char &c : binary_no_eof) {
    if (c == '\x1a') c = '(';
  }
  std::string deep = std::string(1000000, '(') + "f\n" + std::string(1000000, ')') + "\n";
  struct Case {
    const char *name;
    std::string raw;
  } cases[] = {
      {"nul.lsp", std::string("(f \"a\0b\" x\0y)\n(g\0)\n\0", 19)},
      {"ctrlz.lsp", "(f x)\r\n(g \"y\")\x1a(h z)\r\n"},
      {"ctrlz-first.lsp", "\x1a(f x)\n"},
      {"cr-only.lsp", "(f\rx)\r(g)\r\r\n"},
      {"binary.lsp", binary},
      {"binary-no-eof.lsp", binary_no_eof},
      {"deep.lsp", deep},
      {"unclosed-string.lsp", "(f \"abc\n(g)\n"},
      {"unclosed-comment.lsp", "(f) ; no newline"},
      {"closers.lsp", std::string(70000, ')') + "\n(f)"},
      {"empty.lsp", ""},
  };
  std::string dir = e2e::make_work_dir();
  for (const Case &c : cases) {
    e2e::write_file(dir + c.name, c.raw);
    expect_converted_and_listed(dir, c.name, c.raw);
  }
  remove_dir(dir);
}

TEST(FaultInput, AwkwardPathsWork) {
  const std::string raw = "(defun f (a)\n  (g \"x\"))\n";
  std::string dir = e2e::make_work_dir();
  const std::string names[] = {
      "with space.lsp", "quo\"te's.lsp",      "caf\xc3\xa9 \xff\xfe.lsp", "tab\there.lsp",
      "new\nline.lsp",  "semi;colon (p).lsp", "back\\slash.lsp",          "-dash.lsp",
      "$work.lsp.lsp",  " leading space.lsp",
  };
  for (const std::string &name : names) {
    e2e::write_file(dir + name, raw);
    expect_converted_and_listed(dir, name, raw);
  }
  // A path far beyond 259 characters that the system can still open.
  std::string path;
  for (int i = 0; i < 12; ++i) {
    path += std::string(200, static_cast<char>('a' + i)) + "/";
    ASSERT_EQ(mkdir((dir + path).c_str(), 0755), 0);
  }
  path += "x.lsp";
  e2e::write_file(dir + path, raw);
  expect_converted_and_listed(dir, path, raw);
  remove_dir(dir);
}

// Nested directories whose relative path from dir is longer than any path the system can
// open; the file at its end holds (f). Returns the relative path.
std::string make_too_long_path(const std::string &dir) {
  int at = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  EXPECT_GE(at, 0);
  std::string path;
  const std::string name(250, 'd');
  while (path.size() <= 4200) {
    EXPECT_EQ(mkdirat(at, name.c_str(), 0755), 0);
    int next = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(at);
    at = next;
    path += name + "/";
  }
  int file = openat(at, "x.lsp", O_WRONLY | O_CREAT, 0644);
  EXPECT_EQ(write(file, "(f)\n", 4), 4);
  close(file);
  close(at);
  return path + "x.lsp";
}

// Failures that must report the system's message and leave the work file as it was.
TEST(FaultInput, UnreadableSourcesLeaveTheWorkFileAlone) {
  std::string dir = e2e::make_work_dir();
  ASSERT_EQ(mkdir((dir + "folder.lsp").c_str(), 0755), 0);
  std::string too_long = make_too_long_path(dir);
  struct Case {
    std::string path;
  } cases[] = {{"folder.lsp"}, {"missing.lsp"}, {too_long}, {""}, {"."}, {"/"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path.substr(0, 40));
    e2e::write_file(dir + "$work.lsp", "(old work)\r\n");
    e2e::Run run = e2e::run_icad(dir, "(qvload " + lisp_string(c.path) + ")\n(testlsp " +
                                          lisp_string(c.path) + ")\n" + kEnd);
    EXPECT_EQ(errors(run),
              (std::vector<std::string>{"file not found in QVLOAD", "Cannot read file !"}))
        << run.out;
    EXPECT_EQ(e2e::read_file(dir + "$work.lsp"), "(old work)\r\n");
    EXPECT_EQ(listed_depths(run), std::vector<long>{});
  }
  remove_dir(dir);
}

TEST(FaultInput, WorkFileThatCannotBeWritten) {
  struct Case {
    const char *name;
    void (*make)(const std::string &work);  // puts something in the work file's place
    const char *error;
  } cases[] = {
      {"a directory", [](const std::string &work) { ASSERT_EQ(mkdir(work.c_str(), 0755), 0); },
       "cannot open workfile!!!"},
      {"a link to a full device",
       [](const std::string &work) { ASSERT_EQ(symlink("/dev/full", work.c_str()), 0); },
       "cannot write workfile!!!"},
      {"a dangling link into a missing directory",
       [](const std::string &work) { ASSERT_EQ(symlink("nowhere/x.lsp", work.c_str()), 0); },
       "cannot open workfile!!!"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string dir = e2e::make_work_dir();
    // Large enough that the writer has to hand bytes to the device before closing.
    std::string raw;
    for (int i = 0; i < 50000; ++i) raw += "(setq a (list 1 2 3))\n";
    e2e::write_file(dir + "a.lsp", raw);
    c.make(dir + "$work.lsp");
    e2e::Run run =
        e2e::run_icad(dir, "(qvload \"a.lsp\")\n(qvload \"a.lsp\")\n" + std::string(kEnd));
    EXPECT_EQ(errors(run), (std::vector<std::string>{c.error, c.error})) << run.out;
    EXPECT_EQ(run.err, "");
    // Whatever stood in the work file's place is still there, and the source is intact.
    struct stat info;
    EXPECT_EQ(lstat((dir + "$work.lsp").c_str(), &info), 0);
    EXPECT_FALSE(S_ISREG(info.st_mode));
    EXPECT_TRUE(e2e::read_file(dir + "a.lsp") == raw);
    remove_dir(dir);
  }
}

TEST(FaultInput, SourceThatIsTheWorkFileItself) {
  std::string dir = e2e::make_work_dir();
  const std::string raw = "(f x)\r\n(g \"y\") ; c\r\n";
  e2e::write_file(dir + "$work.lsp", raw);
  e2e::Run run = e2e::run_icad(dir, "(qvload \"$work.lsp\")\n" + std::string(kEnd));
  EXPECT_EQ(errors(run), std::vector<std::string>{}) << run.out;
  EXPECT_EQ(e2e::read_file(dir + "$work.lsp"), expected_work(raw));
  remove_dir(dir);
}

}  // namespace
