#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
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

// The Windows rules, byte by byte: the reference the block-wise conversions must match.
std::string reference_read(const std::string &raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size() && raw[i] != '\x1a'; ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text += raw[i];
  }
  return text;
}

std::string reference_write(const std::string &text) {
  std::string raw;
  for (char c : text) {
    if (c == '\n') raw += '\r';
    raw += c;
  }
  return raw;
}

TEST(TextFiles, RandomTextMatchesTheByteByByteRules) {
  // Bytes drawn mostly from CR and LF, in files that cross the block size, so that every
  // arrangement of CR, LF and block edge turns up.
  std::mt19937 random(20261211);
  const char alphabet[] = {'\r', '\n', '\r', '\n', 'a', ' ', '\0'};
  std::string path = temp_path("random");
  for (int round = 0; round < 24; ++round) {
    std::size_t size = round < 12 ? random() % 200 : (1u << 18) - 64 + random() % 300000;
    std::string raw;
    for (std::size_t i = 0; i < size; ++i) raw += alphabet[random() % sizeof alphabet];
    if (round % 4 == 3 && !raw.empty()) raw[random() % raw.size()] = '\x1a';
    write_bytes(path, raw);
    std::string text;
    ASSERT_TRUE(qv::read_text_file(path, text));
    ASSERT_EQ(text, reference_read(raw)) << "round " << round;

    qv::TextWriter writer;
    ASSERT_TRUE(writer.open(path));
    std::size_t cut = raw.size() / 3;
    writer.write(std::string_view(raw).substr(0, cut));
    writer.write(std::string_view(raw).substr(cut));
    ASSERT_TRUE(writer.close());
    ASSERT_EQ(read_bytes(path), reference_write(raw)) << "round " << round;
  }
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
