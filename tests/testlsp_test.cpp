#include "listing/testlsp.h"

#include <optional>

#include "handler_fixture.h"

namespace {

using standin::Value;

class TestlspTest : public HandlerTest {
 protected:
  void SetUp() override {
    HandlerTest::SetUp();
    standin::set_file_dialog([this](const standin::FileDialogRequest &request) {
      requests_.push_back(request);
      return answer_;
    });
  }

  std::vector<std::string> shown_rows() {
    const auto &lists = standin::dcl::last_shown().lists;
    auto it = lists.find("::text");
    return it == lists.end() ? std::vector<std::string>{} : it->second;
  }

  std::vector<standin::FileDialogRequest> requests_;
  std::optional<std::string> answer_;
};

TEST_F(TestlspTest, ListsTheFileGivenAsArgument) {
  write_bytes("a.lsp", "(defun f (a)\r\n  (g \"(\" a)) ; )\r\n)");
  EXPECT_EQ(call(qv::testlsp, {str("a.lsp")}), 1);
  EXPECT_FALSE(standin::failed()) << standin::failure();
  EXPECT_TRUE(standin::returned_void());
  const auto &shown = standin::dcl::last_shown();
  ASSERT_TRUE(shown.shown);
  EXPECT_EQ(shown.name, "shfile");
  EXPECT_EQ(shown.values.at("::title"), "a.lsp");
  EXPECT_EQ(shown.status, 1) << "closed by the accept action";
  EXPECT_EQ(shown_rows(), (std::vector<std::string>{"   1  (defun f (a)",
                                                    "   0    (g \"(\" a)) ; )", "  -1  )"}));
  EXPECT_TRUE(requests_.empty()) << "no file dialog with an argument";
  EXPECT_TRUE(standin::symbol("::Current_filename").is_nil());
  EXPECT_EQ(standin::symbol("::_did").kind, Value::Kind::kInt);
}

TEST_F(TestlspTest, DialogFileIdFromDdidOrLoadedAgain) {
  write_bytes("a.lsp", "(a)");
  ASSERT_EQ(call(qv::testlsp, {str("a.lsp")}), 1);
  Value first = standin::symbol("::_did");
  ASSERT_EQ(first.kind, Value::Kind::kInt);
  // Without ::d_id every listing loads the file again under a new id.
  ASSERT_EQ(call(qv::testlsp, {str("a.lsp")}), 1);
  Value second = standin::symbol("::_did");
  EXPECT_NE(second, first);
  // A ::d_id that is no integer is passed over.
  standin::set_symbol("::d_id", str("1"));
  ASSERT_EQ(call(qv::testlsp, {str("a.lsp")}), 1);
  EXPECT_NE(standin::symbol("::_did"), second);
  // An integer in ::d_id is used as it is: nothing is loaded, ::_did stays.
  standin::set_symbol("::d_id", first);
  standin::set_symbol("::_did", Value::nil());
  EXPECT_EQ(call(qv::testlsp, {str("a.lsp")}), 1);
  EXPECT_TRUE(standin::symbol("::_did").is_nil());
  EXPECT_EQ(shown_rows(), std::vector<std::string>{"   0  (a)"});
}

TEST_F(TestlspTest, InvalidArguments) {
  write_bytes("a.lsp", "(a)");
  const std::vector<std::vector<Value>> cases = {
      {num(7)}, {Value::make_list({str("a.lsp")})}, {str("a.lsp"), str("a.lsp")}, {Value::t()}};
  for (const auto &args : cases) {
    EXPECT_EQ(call(qv::testlsp, args), 0);
    EXPECT_EQ(standin::failure(), "Invalid agrument !\n");
    EXPECT_FALSE(standin::dcl::last_shown().shown);
  }
}

TEST_F(TestlspTest, FileThatCannotBeRead) {
  std::filesystem::create_directory("folder.lsp");
  for (const char *path : {"missing.lsp", "folder.lsp"}) {
    EXPECT_EQ(call(qv::testlsp, {str(path)}), 0);
    EXPECT_EQ(standin::failure(), "Cannot read file !");
    EXPECT_FALSE(standin::dcl::last_shown().shown);
  }
}

TEST_F(TestlspTest, FileDialogOffersTheLastChoice) {
  write_bytes("a.lsp", "(a)\n");
  // The first time there is no default; a cancel ends the call quietly.
  EXPECT_EQ(call(qv::testlsp), 1);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].title, "File to test");
  EXPECT_EQ(requests_[0].extension, "lsp");
  EXPECT_EQ(requests_[0].flags, 14);
  EXPECT_FALSE(requests_[0].default_path.has_value());
  EXPECT_FALSE(standin::failed());
  EXPECT_FALSE(standin::returned_void());
  EXPECT_TRUE(standin::symbol("::Current_filename").is_nil());

  answer_ = "a.lsp";
  EXPECT_EQ(call(qv::testlsp), 1);
  EXPECT_EQ(standin::symbol("::Current_filename"), str("a.lsp"));
  EXPECT_EQ(shown_rows(), std::vector<std::string>{"   0  (a)"});

  answer_.reset();
  EXPECT_EQ(call(qv::testlsp), 1);
  ASSERT_EQ(requests_.size(), 3u);
  EXPECT_EQ(requests_[2].default_path, std::optional<std::string>("a.lsp"));
  EXPECT_EQ(standin::symbol("::Current_filename"), str("a.lsp")) << "a cancel keeps it";

  // A value of another type is no default.
  standin::set_symbol("::Current_filename", num(3));
  call(qv::testlsp);
  EXPECT_FALSE(requests_.back().default_path.has_value());
}

TEST_F(TestlspTest, ChosenFileThatCannotBeOpenedIsStillKept) {
  answer_ = "gone.lsp";
  EXPECT_EQ(call(qv::testlsp), 0);
  EXPECT_EQ(standin::failure(), "Cannot read file !");
  EXPECT_EQ(standin::symbol("::Current_filename"), str("gone.lsp"));
}

TEST_F(TestlspTest, DialogThatCannotBeSetUp) {
  write_bytes("a.lsp", "(a)");
  standin::dcl::set_search_dirs({});  // qv.dcl is nowhere
  EXPECT_EQ(call(qv::testlsp, {str("a.lsp")}), 0);
  EXPECT_EQ(standin::failure(), "Cannot start dialog !");
  EXPECT_TRUE(standin::returned_void());
  EXPECT_TRUE(standin::symbol("::_did").is_nil());
  // A dialog file without the dialog, or without the button that closes it.
  const char *broken[] = {
      "other : dialog { : list_box { key = \"::text\"; } ok_only; }",
      "shfile : dialog { : text { key = \"::title\"; } : list_box { key = \"::text\"; } }",
      "shfile : dialog { : list_box { key = \"::text\" ",
  };
  for (const char *dcl : broken) {
    write_bytes("qv.dcl", dcl);
    EXPECT_EQ(call(qv::testlsp, {str("a.lsp")}), 0) << dcl;
    EXPECT_EQ(standin::failure(), "Cannot start dialog !") << dcl;
    EXPECT_FALSE(standin::dcl::last_shown().shown) << dcl;
  }
}

}  // namespace
