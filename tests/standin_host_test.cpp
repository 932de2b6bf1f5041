// The stand-in host's sds_ functions: ownership rules, symbols, lists, file dialog, link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/host/host.h"

namespace standin {
namespace {

class StandinHost : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    set_output([this](const std::string &text) { out_ += text; });
  }
  void TearDown() override { reset(); }
  std::string out_;
};

TEST_F(StandinHost, GetsymHandsOutANewListThatRelrbReleases) {
  set_symbol("::D_ID", Value::make_int(7));
  sds_resbuf *list = nullptr;
  ASSERT_EQ(sds_getsym("::d_id", &list), SDS_NORMAL);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->type, SDS_TYPE_SHORT);
  EXPECT_EQ(list->value.integer, 7);
  EXPECT_EQ(live_lists(), std::vector<std::string>{"#1 from sds_getsym ::d_id"});
  EXPECT_EQ(sds_relrb(list), SDS_NORMAL);
  EXPECT_EQ(live_list_count(), 0u);
  EXPECT_TRUE(violations().empty());

  sds_resbuf *unset = reinterpret_cast<sds_resbuf *>(&out_);
  EXPECT_EQ(sds_getsym("::nothing", &unset), SDS_NORMAL);
  EXPECT_EQ(unset, nullptr);
  EXPECT_EQ(live_list_count(), 0u);
}

TEST_F(StandinHost, PutsymCopiesTheCallersList) {
  sds_resbuf node{};
  char path[] = "a.lsp";
  node.type = SDS_TYPE_STRING;
  node.value.string = path;
  ASSERT_EQ(sds_putsym("::Current_filename", &node), SDS_NORMAL);
  path[0] = 'X';
  EXPECT_EQ(symbol("::CURRENT_FILENAME"), Value::make_string("a.lsp"));
  EXPECT_EQ(live_list_count(), 0u);

  ASSERT_EQ(sds_putsym("::current_filename", nullptr), SDS_NORMAL);
  EXPECT_TRUE(symbol("::current_filename").is_nil());
}

TEST_F(StandinHost, BuildlistMakesLiveListsOfShortsAndStrings) {
  sds_resbuf *list = sds_buildlist(SDS_TYPE_SHORT, 12, SDS_TYPE_STRING, "x", SDS_TYPE_SHORT, -3, 0);
  ASSERT_NE(list, nullptr);
  ASSERT_NE(list->next, nullptr);
  ASSERT_NE(list->next->next, nullptr);
  EXPECT_EQ(list->value.integer, 12);
  EXPECT_STREQ(list->next->value.string, "x");
  EXPECT_EQ(list->next->next->value.integer, -3);
  EXPECT_EQ(list->next->next->next, nullptr);
  EXPECT_EQ(live_list_count(), 1u);
  EXPECT_EQ(trace().back(), "sds_buildlist 5003 12 5005 \"x\" 5003 -3 -> #1");

  ASSERT_EQ(sds_putsym("::_did", list), SDS_NORMAL);
  EXPECT_EQ(symbol("::_did"),
            Value::make_list({Value::make_int(12), Value::make_string("x"), Value::make_int(-3)}));
  EXPECT_EQ(sds_relrb(list), SDS_NORMAL);
  EXPECT_TRUE(violations().empty());

  EXPECT_EQ(sds_buildlist(4242, 0), nullptr);
  EXPECT_EQ(violations(), std::vector<std::string>{"sds_buildlist: unsupported type code 4242"});
}

TEST_F(StandinHost, RelrbRecordsEveryContractViolationWithoutCrashing) {
  set_invocation(0, {Value::make_string("a.lsp")});
  sds_resbuf *args = sds_getargs();
  ASSERT_NE(args, nullptr);
  sds_resbuf *two = sds_buildlist(SDS_TYPE_SHORT, 1, SDS_TYPE_SHORT, 2, 0);
  sds_resbuf *once = sds_buildlist(SDS_TYPE_SHORT, 3, 0);
  ASSERT_EQ(sds_relrb(once), SDS_NORMAL);
  sds_resbuf foreign{};

  EXPECT_EQ(sds_relrb(args), SDS_ERROR);
  EXPECT_EQ(sds_relrb(two->next), SDS_ERROR);
  EXPECT_EQ(sds_relrb(once), SDS_ERROR);
  EXPECT_EQ(sds_relrb(&foreign), SDS_ERROR);
  EXPECT_EQ(sds_relrb(nullptr), SDS_NORMAL);
  EXPECT_EQ(violations(), (std::vector<std::string>{
                              "sds_relrb: the argument list belongs to the host",
                              "sds_relrb: pointer to a node inside list #1, not its head",
                              "sds_relrb: list #2 was already released",
                              "sds_relrb: pointer to no list the host handed out",
                          }));
  EXPECT_EQ(live_lists(), std::vector<std::string>{"#1 from sds_buildlist"});
  EXPECT_EQ(sds_relrb(two), SDS_NORMAL);
  end_invocation();
  EXPECT_EQ(sds_getargs(), nullptr);
  EXPECT_EQ(sds_getfuncode(), -1);
}

TEST_F(StandinHost, InvocationRecordsFailureAndVoidResult) {
  set_invocation(2, {Value::make_int(70000), Value::make_list({Value::make_string("s")})});
  EXPECT_EQ(sds_getfuncode(), 2);
  sds_resbuf *args = sds_getargs();
  ASSERT_NE(args, nullptr);
  EXPECT_EQ(args->type, 5071);
  EXPECT_EQ(trace().back(), "sds_getargs -> (70000 (\"s\"))");
  EXPECT_FALSE(failed());
  sds_fail("Invalid agrument !\n");
  sds_retvoid();
  EXPECT_TRUE(failed());
  EXPECT_EQ(failure(), "Invalid agrument !\n");
  EXPECT_TRUE(returned_void());
  set_invocation(1, {});
  EXPECT_EQ(sds_getargs(), nullptr);
  EXPECT_FALSE(failed());
  EXPECT_EQ(failure(), "");
  EXPECT_FALSE(returned_void());
  EXPECT_TRUE(violations().empty());
}

TEST_F(StandinHost, GetfiledAsksTheProviderAndKeepsTheStringAlive) {
  std::vector<FileDialogRequest> asked;
  std::optional<std::string> answer = "chosen.lsp";
  set_file_dialog([&](const FileDialogRequest &r) {
    asked.push_back(r);
    return answer;
  });
  sds_resbuf result{};
  result.next = &result;  // garbage the host must overwrite
  ASSERT_EQ(sds_getfiled("File to test", nullptr, "lsp", 14, &result), SDS_NORMAL);
  EXPECT_EQ(result.next, nullptr);
  EXPECT_EQ(result.type, SDS_TYPE_STRING);
  EXPECT_STREQ(result.value.string, "chosen.lsp");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].title, "File to test");
  EXPECT_FALSE(asked[0].default_path.has_value());
  EXPECT_EQ(asked[0].extension, "lsp");
  EXPECT_EQ(asked[0].flags, 14);
  EXPECT_EQ(live_list_count(), 0u);

  answer.reset();
  sds_resbuf cancelled{};
  EXPECT_EQ(sds_getfiled("File to test", "chosen.lsp", "lsp", 14, &cancelled), SDS_ERROR);
  EXPECT_EQ(asked.back().default_path, std::optional<std::string>("chosen.lsp"));
  EXPECT_EQ(trace().back(), "sds_getfiled \"File to test\" \"chosen.lsp\" \"lsp\" 14 -> cancel");
}

TEST_F(StandinHost, DefunTableAndFailHook) {
  fail_defun("TESTLSP");
  EXPECT_EQ(sds_defun("qvload", 0), 1);
  EXPECT_EQ(sds_defun("testlsp", 2), 0);
  EXPECT_EQ(sds_defun("testlsp", 2), 1);  // the hook is used up
  ASSERT_EQ(defined().size(), 2u);
  EXPECT_EQ(find_defined("QVLOAD")->code, 0);
  EXPECT_EQ(sds_undef("qvload", 0), SDS_NORMAL);
  EXPECT_FALSE(find_defined("qvload").has_value());
  EXPECT_EQ(trace(), (std::vector<std::string>{"sds_defun qvload 0", "sds_defun testlsp 2 -> 0",
                                               "sds_defun testlsp 2", "sds_undef qvload 0"}));
}

TEST_F(StandinHost, PrintfFormatsAnyLengthToTheSink) {
  std::string long_text(5000, 'x');
  sds_printf("\nERROR: Unable to link with IntelliCAD - %d", -1);
  sds_printf("%s|", long_text.c_str());
  EXPECT_EQ(out_, "\nERROR: Unable to link with IntelliCAD - -1" + long_text + "|");
  EXPECT_EQ(printed(), out_);
  EXPECT_EQ(trace().front(), "sds_printf \"\\nERROR: Unable to link with IntelliCAD - -1\"");
}

TEST_F(StandinHost, LinkAsksTheDriverAndExitMayReturn) {
  std::vector<int> given;
  set_link_driver([&](int status) {
    given.push_back(status);
    return given.size() == 1 ? 100 : 65536 + 16;
  });
  int exits = 0;
  set_exit_handler([&](int) { ++exits; });
  EXPECT_EQ(sds_link(1), 100);
  EXPECT_EQ(sds_link(3), 65552);
  sds_exit(-1);
  EXPECT_EQ(given, (std::vector<int>{1, 3}));
  EXPECT_EQ(link_statuses(), given);
  EXPECT_EQ(exit_statuses(), std::vector<int>{-1});
  EXPECT_EQ(exits, 1);

  char name[512];
  void *h1 = &exits, *h2 = &exits;
  set_app_name("qv");
  SDS_GetGlobals(name, &h1, &h2);
  EXPECT_STREQ(name, "qv");
  EXPECT_EQ(h1, nullptr);
  char *argv[] = {name, nullptr};
  sds_init(1, argv);
  EXPECT_EQ(init_name(), "qv");
}

}  // namespace
}  // namespace standin
