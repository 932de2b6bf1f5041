// A fixture for running the application's handlers in process against the stand-in host:
// a fresh host and dialog library per test, run in an empty temporary working directory.
#ifndef QV_TESTS_HANDLER_FIXTURE_H
#define QV_TESTS_HANDLER_FIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "standin/dcl/dcl.h"
#include "standin/host/host.h"

class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::reset();
    standin::set_output([](const std::string &) {});
    standin::set_exit_handler([](int) {});
    standin::dcl::reset();
    const char *source = std::getenv("QV_SOURCE_DIR");
    source_dir_ = source ? source : QV_SOURCE_DIR_DEFAULT;
    standin::dcl::set_search_dirs({source_dir_ + "/dialogs"});
    char pattern[] = "/tmp/qv_handler_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    previous_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }

  void TearDown() override {
    std::filesystem::current_path(previous_dir_);
    std::filesystem::remove_all(dir_);
    EXPECT_EQ(standin::live_list_count(), 0u) << "lists handed to the application leaked";
    EXPECT_TRUE(standin::violations().empty()) << standin::violations().front();
  }

  // Calls a handler as the host does: with its code, arguments, then the end of the call.
  int call(int (*handler)(), std::vector<standin::Value> args = {}) {
    standin::set_invocation(0, args);
    int result = handler();
    standin::end_invocation();
    return result;
  }

  static void write_bytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool exists(const std::string &path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
  }

  std::string source_dir_;
  std::string dir_;
  std::filesystem::path previous_dir_;
};

inline standin::Value str(const std::string &s) { return standin::Value::make_string(s); }
inline standin::Value num(int n) { return standin::Value::make_int(n); }

#endif  // QV_TESTS_HANDLER_FIXTURE_H
