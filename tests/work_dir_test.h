// A test that runs in a fresh, empty temporary working directory, removed afterwards, with
// helpers for the files it makes and the paths of the source and build trees.
#ifndef QV_TESTS_WORK_DIR_TEST_H
#define QV_TESTS_WORK_DIR_TEST_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

class WorkDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qv_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    previous_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }

  void TearDown() override {
    std::filesystem::current_path(previous_dir_);
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }

  // The source tree and the build tree, from the environment CTest sets or as configured.
  static std::string source_dir() { return from_env("QV_SOURCE_DIR", QV_SOURCE_DIR_DEFAULT); }
  static std::string build_dir() { return from_env("QV_BUILD_DIR", QV_BUILD_DIR_DEFAULT); }

  static void write_bytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Whether anything stands at `path`, a dangling link included.
  static bool exists(const std::string &path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
  }

  std::string dir_;  // the working directory of the test

 private:
  static std::string from_env(const char *name, const char *fallback) {
    const char *value = std::getenv(name);
    return value ? value : fallback;
  }

  std::filesystem::path previous_dir_;
};

#endif  // QV_TESTS_WORK_DIR_TEST_H
