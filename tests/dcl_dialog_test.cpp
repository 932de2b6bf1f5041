// Tests of the stand-in's dlg_ functions, and of dialogs/qv.dcl as the stand-in loads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "host/sds.h"
#include "standin/dcl/dcl.h"

namespace standin::dcl {
namespace {

std::string source_dir() {
  const char* dir = std::getenv("QV_SOURCE_DIR");
  return dir != nullptr ? dir : QV_TEST_SOURCE_DIR;
}

std::string fixture(const std::string& name) {
  return source_dir() + "/tests/fixtures/dcl/" + name;
}

// What the test actions saw: C callbacks cannot capture.
struct Calls {
  int count = 0;              // actions run
  sds_hdlg dialog = nullptr;  // the packet's dialog of the last one
  std::string value;          // the packet's value of the last one
  int done_result = 0;        // what dlg_done_dialog returned
} calls;

void accept_action(sds_callback_packet* packet) {
  ++calls.count;
  calls.dialog = packet->dialog;
  calls.value = packet->value != nullptr ? packet->value : "(null)";
  calls.done_result = dlg_done_dialog(packet->dialog, 1);
}

void cancel_action(sds_callback_packet* packet) {
  ++calls.count;
  calls.dialog = packet->dialog;
  calls.done_result = dlg_done_dialog(packet->dialog, 0);
}

void counting_action(sds_callback_packet*) { ++calls.count; }

class DlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset();
    calls = Calls();
  }
  void TearDown() override { reset(); }

  // Loads basic.dcl and creates its dialog "pick".
  sds_hdlg open_pick() {
    int id = 0;
    EXPECT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &id)) << last_error();
    sds_hdlg dialog = nullptr;
    EXPECT_EQ(SDS_NORMAL, dlg_new_dialog("pick", id, nullptr, &dialog)) << last_error();
    return dialog;
  }
};

TEST_F(DlgTest, LoadAssignsANewPositiveIdPerLoad) {
  int first = 0, second = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &first));
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &second));
  EXPECT_GT(first, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ("", last_error());
}

TEST_F(DlgTest, LoadReportsMissingAndMalformedFiles) {
  int id = 7;
  EXPECT_EQ(SDS_ERROR, dlg_load_dialog("no-such-file.dcl", &id));
  EXPECT_EQ("cannot open dialog file \"no-such-file.dcl\": No such file or directory",
            last_error());
  EXPECT_EQ(7, id);
  std::string broken = fixture("broken.dcl");
  EXPECT_EQ(SDS_ERROR, dlg_load_dialog(broken.c_str(), &id));
  EXPECT_EQ(broken + ":4: expected ';' after attribute value", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_load_dialog(nullptr, &id));
}

TEST_F(DlgTest, LoadLooksInSearchDirectories) {
  int id = 0;
  EXPECT_EQ(SDS_ERROR, dlg_load_dialog("basic.dcl", &id));
  set_search_dirs({source_dir() + "/no-such-dir", source_dir() + "/tests/fixtures/dcl"});
  EXPECT_EQ(SDS_NORMAL, dlg_load_dialog("basic.dcl", &id)) << last_error();
}

TEST_F(DlgTest, NewDialogNeedsALoadedIdAndADialogName) {
  int id = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &id));
  sds_hdlg dialog = nullptr;
  EXPECT_EQ(SDS_ERROR, dlg_new_dialog("pick", id + 1, nullptr, &dialog));
  EXPECT_EQ("no dialog file loaded with id " + std::to_string(id + 1), last_error());
  EXPECT_EQ(SDS_ERROR, dlg_new_dialog("shfile", id, nullptr, &dialog));
  EXPECT_EQ(fixture("basic.dcl") + ": no dialog 'shfile'", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_new_dialog("wide_button", id, nullptr, &dialog));
  EXPECT_EQ(fixture("basic.dcl") + ":9: 'wide_button' is not a dialog", last_error());
  EXPECT_EQ(nullptr, dialog);
  EXPECT_EQ(SDS_NORMAL, dlg_new_dialog("pick", id, nullptr, &dialog));
  EXPECT_NE(nullptr, dialog);
}

TEST_F(DlgTest, TileCallsCheckHandleAndKey) {
  sds_hdlg dialog = open_pick();
  int not_a_dialog = 0;
  for (sds_hdlg handle : {static_cast<sds_hdlg>(nullptr), static_cast<sds_hdlg>(&not_a_dialog)}) {
    EXPECT_EQ(SDS_ERROR, dlg_action_tile(handle, "accept", accept_action));
    EXPECT_EQ(SDS_ERROR, dlg_set_tile(handle, "::title", "x"));
    EXPECT_EQ(SDS_ERROR, dlg_start_list(handle, "::text", 3, 0));
    EXPECT_EQ("no such dialog", last_error());
    int status = 0;
    EXPECT_EQ(SDS_ERROR, dlg_start_dialog(handle, &status));
    EXPECT_EQ(SDS_ERROR, dlg_done_dialog(handle, 1));
  }
  EXPECT_EQ(SDS_ERROR, dlg_action_tile(dialog, "::nope", accept_action));
  EXPECT_EQ("dialog 'pick' has no tile \"::nope\"", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_set_tile(dialog, "::nope", "x"));
  EXPECT_EQ(SDS_ERROR, dlg_start_list(dialog, "::nope", 3, 0));
  EXPECT_EQ(SDS_ERROR, dlg_set_tile(dialog, nullptr, "x"));
  EXPECT_EQ(SDS_ERROR, dlg_start_list(dialog, "accept", 3, 0));
  EXPECT_EQ("\"accept\" is not a list tile", last_error());
  EXPECT_EQ(SDS_NORMAL, dlg_set_tile(dialog, "::title", "a.lsp"));
  EXPECT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", accept_action));
}

// A list operation: dlg_start_list(operation, index), then dlg_add_list for each item.
struct ListStep {
  int operation;
  int index;
  std::vector<std::string> items;
};

struct ListCase {
  const char* what;
  std::vector<ListStep> steps;
  std::vector<std::string> list;  // the list when the dialog is shown
};

TEST_F(DlgTest, BuildsLists) {
  const ListCase cases[] = {
      {"new list", {{3, 0, {"a", "b", "c"}}}, {"a", "b", "c"}},
      {"new list replaces", {{3, 0, {"a", "b"}}, {3, 0, {"c"}}}, {"c"}},
      {"empty new list", {{3, 0, {"a"}}, {3, 0, {}}}, {}},
      {"append", {{3, 0, {"a"}}, {2, 0, {"b", "c"}}}, {"a", "b", "c"}},
      {"change from an index", {{3, 0, {"a", "b", "c"}}, {1, 1, {"B"}}}, {"a", "B", "c"}},
      {"change past the end appends", {{3, 0, {"a", "b"}}, {1, 1, {"B", "C"}}}, {"a", "B", "C"}},
      {"items as they are",
       {{3, 0, {"   1  (defun f (a)", "", "\t\"x\""}}},
       {"   1  (defun f (a)", "", "\t\"x\""}},
  };
  for (const ListCase& c : cases) {
    reset();
    sds_hdlg dialog = open_pick();
    for (const ListStep& s : c.steps) {
      ASSERT_EQ(SDS_NORMAL, dlg_start_list(dialog, "::text", s.operation, s.index))
          << c.what << ": " << last_error();
      for (const std::string& item : s.items) ASSERT_EQ(SDS_NORMAL, dlg_add_list(item.c_str()));
      ASSERT_EQ(SDS_NORMAL, dlg_end_list());
    }
    std::vector<std::string> shown = {"(not shown)"};
    set_presenter([&shown](const DialogView& view) {
      for (const TileView& t : view.tiles) {
        if (t.key == "::text") shown = t.items;
      }
      return std::string();
    });
    int status = -1;
    ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status)) << c.what;
    EXPECT_EQ(c.list, shown) << c.what;
    EXPECT_EQ(c.list, last_shown().lists.at("::text")) << c.what;
  }
}

TEST_F(DlgTest, RejectsListCallsOutOfOrder) {
  sds_hdlg dialog = open_pick();
  EXPECT_EQ(SDS_ERROR, dlg_add_list("orphan"));
  EXPECT_EQ("no list started", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_end_list());
  EXPECT_EQ("no list started", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_start_list(dialog, "::text", 1, 0));
  EXPECT_EQ("index 0 is outside the list", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_start_list(dialog, "::text", 4, 0));
  EXPECT_EQ("unknown list operation 4", last_error());
  ASSERT_EQ(SDS_NORMAL, dlg_start_list(dialog, "::text", 3, 0));
  EXPECT_EQ(SDS_ERROR, dlg_add_list(nullptr));
  EXPECT_EQ(SDS_ERROR, dlg_start_list(dialog, "::text", 2, 0));
  EXPECT_EQ("the list \"::text\" is not ended", last_error());
  int status = 0;
  EXPECT_EQ(SDS_ERROR, dlg_start_dialog(dialog, &status));
  EXPECT_EQ("the list \"::text\" is not ended", last_error());
  ASSERT_EQ(SDS_NORMAL, dlg_end_list());
  EXPECT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status));
}

TEST_F(DlgTest, AcceptActionGetsTheHandleAndClosesTheDialog) {
  sds_hdlg dialog = open_pick();
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", accept_action));
  ASSERT_EQ(SDS_NORMAL, dlg_set_tile(dialog, "::title", "a.lsp"));
  int status = -1;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status)) << last_error();
  EXPECT_EQ(1, status);
  EXPECT_EQ(1, calls.count);
  EXPECT_EQ(dialog, calls.dialog);
  EXPECT_EQ(SDS_NORMAL, calls.done_result);
  const ShownDialog& shown = last_shown();
  EXPECT_TRUE(shown.shown);
  EXPECT_EQ("pick", shown.name);
  EXPECT_EQ("a.lsp", shown.values.at("::title"));
  EXPECT_EQ(std::vector<std::string>{"accept"}, shown.pressed);
  EXPECT_EQ(1, shown.status);
  // The dialog is gone once shown.
  EXPECT_EQ(SDS_ERROR, dlg_set_tile(dialog, "::title", "b.lsp"));
  EXPECT_EQ(SDS_ERROR, dlg_start_dialog(dialog, &status));
}

TEST_F(DlgTest, TheValueOfATileIsItsFileValueUntilSet) {
  sds_hdlg dialog = open_pick();
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "::title", accept_action));
  set_presenter([](const DialogView&) { return std::string("::title"); });
  int status = -1;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status));
  EXPECT_EQ("untitled", calls.value);
  EXPECT_EQ("untitled", last_shown().values.at("::title"));
}

TEST_F(DlgTest, AsksAgainUntilAnActionClosesTheDialog) {
  sds_hdlg dialog = open_pick();
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", accept_action));
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "::title", counting_action));
  const std::vector<std::string> presses = {"cancel", "::nope", "::title", "accept", "cancel"};
  set_presenter(
      [&presses](const DialogView& view) { return presses.at(static_cast<size_t>(view.round)); });
  int status = -1;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status));
  EXPECT_EQ(1, status);
  EXPECT_EQ(2, calls.count);  // ::title's action, then accept's
  EXPECT_EQ((std::vector<std::string>{"cancel", "::nope", "::title", "accept"}),
            last_shown().pressed);
}

TEST_F(DlgTest, DefaultActionRunsForTilesWithoutTheirOwn) {
  int id = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &id));
  sds_hdlg dialog = nullptr;
  ASSERT_EQ(SDS_NORMAL, dlg_new_dialog("pick", id, cancel_action, &dialog));
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", accept_action));
  set_presenter([](const DialogView&) { return std::string("cancel"); });
  int status = -1;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status));
  EXPECT_EQ(0, status);
  EXPECT_EQ(1, calls.count);
  EXPECT_EQ(dialog, calls.dialog);
}

TEST_F(DlgTest, DefaultPresenterGivesUpOnADialogThatDoesNotClose) {
  sds_hdlg dialog = open_pick();
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", counting_action));
  int status = -1;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status));
  EXPECT_EQ(0, status);
  EXPECT_EQ(16, calls.count);
}

TEST_F(DlgTest, GivesUpOnAPresenterThatNeverCloses) {
  sds_hdlg dialog = open_pick();
  set_presenter([](const DialogView&) { return std::string("accept"); });
  int status = -1;
  EXPECT_EQ(SDS_ERROR, dlg_start_dialog(dialog, &status));
  EXPECT_EQ("the dialog was not closed after 10000 presses", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_set_tile(dialog, "::title", "x"));  // freed all the same
}

TEST_F(DlgTest, APresenterExceptionIsAnError) {
  sds_hdlg dialog = open_pick();
  set_presenter([](const DialogView&) -> std::string { throw std::runtime_error("no screen"); });
  int status = -1;
  EXPECT_EQ(SDS_ERROR, dlg_start_dialog(dialog, &status));
  EXPECT_EQ("internal error: no screen", last_error());
  EXPECT_EQ(SDS_ERROR, dlg_set_tile(dialog, "::title", "x"));
}

TEST_F(DlgTest, DoneDialogOnlyWhileShown) {
  sds_hdlg dialog = open_pick();
  EXPECT_EQ(SDS_ERROR, dlg_done_dialog(dialog, 1));
  EXPECT_EQ("the dialog is not shown", last_error());
}

TEST_F(DlgTest, TracesEveryCall) {
  std::vector<std::string> lines;
  set_trace([&lines](const std::string& line) { lines.push_back(line); });
  int id = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog(fixture("basic.dcl").c_str(), &id));
  sds_hdlg dialog = nullptr;
  dlg_new_dialog("pick", id, nullptr, &dialog);
  dlg_action_tile(dialog, "accept", accept_action);
  dlg_set_tile(dialog, "::title", "C:\\lisp\\a.lsp");
  dlg_set_tile(dialog, "::nope", "x");
  dlg_start_list(dialog, "::text", 3, 0);
  dlg_add_list("   1  (defun f (a)");
  dlg_add_list("   0  \"q\"\t");
  dlg_end_list();
  int status = 0;
  dlg_start_dialog(dialog, &status);
  const std::vector<std::string> expected = {
      "dlg_load_dialog \"" + fixture("basic.dcl") + "\" -> id 1",
      "dlg_new_dialog \"pick\" 1",
      "dlg_action_tile <pick> \"accept\"",
      "dlg_set_tile <pick> \"::title\" \"C:\\\\lisp\\\\a.lsp\"",
      "dlg_set_tile <pick> \"::nope\" \"x\" -> -5001 (dialog 'pick' has no tile \"::nope\")",
      "dlg_start_list <pick> \"::text\" 3 0",
      "dlg_add_list \"   1  (defun f (a)\"",
      "dlg_add_list \"   0  \\\"q\\\"\\t\"",
      "dlg_end_list",
      "dlg_done_dialog <pick> 1",
      "dlg_start_dialog <pick> -> status 1",
  };
  EXPECT_EQ(expected, lines);
}

// The project's dialog file provides what the listing relies on.
TEST_F(DlgTest, QvDialogFileHasTheListingDialog) {
  std::vector<TileView> tiles;
  set_presenter([&tiles](const DialogView& view) {
    tiles = view.tiles;
    return std::string("accept");
  });
  int id = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_load_dialog((source_dir() + "/dialogs/qv.dcl").c_str(), &id))
      << last_error();
  sds_hdlg dialog = nullptr;
  ASSERT_EQ(SDS_NORMAL, dlg_new_dialog("shfile", id, nullptr, &dialog)) << last_error();
  // The calls the listing makes, in its order.
  ASSERT_EQ(SDS_NORMAL, dlg_action_tile(dialog, "accept", accept_action)) << last_error();
  ASSERT_EQ(SDS_NORMAL, dlg_set_tile(dialog, "::title", "a.lsp")) << last_error();
  ASSERT_EQ(SDS_NORMAL, dlg_start_list(dialog, "::text", 3, 0)) << last_error();
  ASSERT_EQ(SDS_NORMAL, dlg_add_list(("   1  " + std::string(80, 'x')).c_str()));
  ASSERT_EQ(SDS_NORMAL, dlg_end_list());
  int status = 0;
  ASSERT_EQ(SDS_NORMAL, dlg_start_dialog(dialog, &status)) << last_error();
  EXPECT_EQ(1, status);
  EXPECT_EQ(dialog, calls.dialog);

  auto tile = [&tiles](const std::string& key) -> const TileView* {
    for (const TileView& t : tiles) {
      if (t.key == key) return &t;
    }
    return nullptr;
  };
  ASSERT_NE(nullptr, tile("::title"));
  EXPECT_EQ("a.lsp", tile("::title")->value);
  ASSERT_NE(nullptr, tile("::text"));
  EXPECT_EQ("list_box", tile("::text")->type);
  EXPECT_GE(tile("::text")->width, 86);  // "%4d  " and 80 characters
  EXPECT_GE(tile("::text")->height, 10);
  EXPECT_TRUE(tile("::text")->fixed_width_font);
  ASSERT_NE(nullptr, tile("accept"));
  EXPECT_EQ("button", tile("accept")->type);
}

}  // namespace
}  // namespace standin::dcl
