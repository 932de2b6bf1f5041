// A fixture for running the application's handlers in process against the stand-in host:
// a fresh host and dialog library per test, run in an empty temporary working directory.
#ifndef QV_TESTS_HANDLER_FIXTURE_H
#define QV_TESTS_HANDLER_FIXTURE_H

#include <string>
#include <vector>

#include "standin/dcl/dcl.h"
#include "standin/host/host.h"
#include "work_dir_test.h"

class HandlerTest : public WorkDirTest {
 protected:
  void SetUp() override {
    standin::reset();
    standin::set_output([](const std::string &) {});
    standin::set_exit_handler([](int) {});
    standin::dcl::reset();
    standin::dcl::set_search_dirs({source_dir() + "/dialogs"});
    WorkDirTest::SetUp();
  }

  void TearDown() override {
    WorkDirTest::TearDown();
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
};

inline standin::Value str(const std::string &s) { return standin::Value::make_string(s); }
inline standin::Value num(int n) { return standin::Value::make_int(n); }

#endif  // QV_TESTS_HANDLER_FIXTURE_H
