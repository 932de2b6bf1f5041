#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/textfile.h"

namespace {

std::string temp_path(const char *name) { return ::testing::TempDir() + "qv_text_" + name; }

void write_bytes(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ReadCase {
  const char *name;
  std::string raw;
  std::string text;
};

TEST(TextReader, ConvertsTheWindowsWay) {
  const ReadCase cases[] = {
      {"crlf", "a\r\nb\r\n", "a\nb\n"},
      {"lone cr kept", "a\rb\r", "a\rb\r"},
      {"cr cr lf", "a\r\r\n", "a\r\n"},
      {"ctrl-z ends input", std::string("ab\x1a\r\ncd", 7), "ab"},
      {"cr before ctrl-z kept", "a\r\x1a", "a\r"},
      {"nul is data", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"empty", "", ""},
  };
  for (const ReadCase &c : cases) {
    std::string path = temp_path(c.name);
    write_bytes(path, c.raw);
    std::string text;
    EXPECT_TRUE(qv::read_text_file(path, text)) << c.name;
    EXPECT_EQ(text, c.text) << c.name;
    std::remove(path.c_str());
  }
}

TEST(TextReader, CrLfAcrossBlockBoundaries) {
  // Lines of varying length so that CR and LF straddle every block edge at some point.
  std::string raw, text;
  for (int i = 0; raw.size() < 3u << 20; ++i) {
    std::string line(static_cast<std::size_t>(i % 97), 'x');
    raw += line + "\r\n";
    text += line + "\n";
    if (i % 13 == 0) {
      raw += "\r";
      text += "\r";
    }
  }
  std::string path = temp_path("blocks");
  write_bytes(path, raw);
  std::string got;
  EXPECT_TRUE(qv::read_text_file(path, got));
  EXPECT_EQ(got, text);
  std::remove(path.c_str());
}

TEST(TextReader, MissingFileAndDirectoryDoNotOpen) {
  qv::TextReader reader;
  EXPECT_FALSE(reader.open(temp_path("does-not-exist")));
  EXPECT_FALSE(reader.open(::testing::TempDir()));
}

TEST(TextWriter, WritesLineFeedsAsCrLf) {
  std::string path = temp_path("out");
  qv::TextWriter writer;
  ASSERT_TRUE(writer.open(path));
  std::string big(600000, 'y');
  writer.write("a\nb\r\n");
  writer.write(big + "\n");
  writer.write("\n");
  EXPECT_TRUE(writer.close());
  EXPECT_EQ(read_bytes(path), "a\r\nb\r\r\n" + big + "\r\n\r\n");
  std::remove(path.c_str());
}

TEST(TextWriter, ReportsAFullDevice) {
  std::FILE *probe = std::fopen("/dev/full", "wb");
  if (probe == nullptr) GTEST_SKIP() << "no /dev/full";
  std::fclose(probe);
  qv::TextWriter writer;
  ASSERT_TRUE(writer.open("/dev/full"));
  writer.write("(f)\n");
  EXPECT_FALSE(writer.close());
}

}  // namespace
