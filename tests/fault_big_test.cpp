// A source of 1 GB that is a single line, end to end: one call whose head token is the
// whole gigabyte. qvload must stream it into a work file of the right size and bytes, and
// testlsp must list it as one row.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/run_icad.h"

namespace {

constexpr off_t kSize = off_t{1} << 30;

// The bytes of path at [offset, offset + n).
std::string read_at(const std::string &path, off_t offset, std::size_t n) {
  std::string out(n, '\0');
  int fd = open(path.c_str(), O_RDONLY);
  ssize_t got = fd < 0 ? -1 : pread(fd, &out[0], n, offset);
  if (fd >= 0) close(fd);
  out.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return out;
}

TEST(FaultBig, OneGigabyteLine) {
  std::string dir = e2e::make_work_dir();
  std::string source = dir + "big.lsp";
  // "(", then NUL bytes (a hole, so the source takes no disk space), then " x)".
  int fd = open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, kSize), 0);
  ASSERT_EQ(pwrite(fd, "(", 1, 0), 1);
  ASSERT_EQ(pwrite(fd, " x)", 3, kSize - 3), 3);
  close(fd);

  e2e::Run run = e2e::run_icad(dir, "(qvload \"big.lsp\")\n(testlsp \"big.lsp\")\n:request -1\n");
  EXPECT_EQ(run.out.find("; error:"), std::string::npos) << run.out.substr(0, 2000);
  EXPECT_EQ(run.err, "");

  // "(" "(: 1 " token ")" " x)": the token, every byte between, unchanged.
  std::string work = dir + "$work.lsp";
  struct stat info;
  ASSERT_EQ(stat(work.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, kSize + 6);
  EXPECT_EQ(read_at(work, 0, 8), std::string("((: 1 \0\0", 8));
  EXPECT_EQ(read_at(work, kSize - 2, 8), std::string("\0\0\0\0) x)", 8));
  EXPECT_EQ(read_at(work, kSize / 2, 4), std::string(4, '\0'));

  int rows = 0;
  for (const std::string &line : run.trace) {
    if (line.rfind("dlg_add_list", 0) == 0) {
      ++rows;
      EXPECT_EQ(line, "dlg_add_list \"   0  (\"");
    }
  }
  EXPECT_EQ(rows, 1);

  std::string command = "rm -rf '" + dir + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
