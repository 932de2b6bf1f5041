// Tests of the terminal presenter: the frame it draws and when it presses "accept".
#include <gtest/gtest.h>

#include <sstream>

#include "standin/dcl/terminal.h"

namespace standin::dcl {
namespace {

DialogView listing_view() {
  DialogView view;
  view.name = "shfile";
  view.label = "Depth";
  TileView title;
  title.key = "::title";
  title.type = "text";
  title.value = "a.lsp";
  TileView list;
  list.key = "::text";
  list.type = "list_box";
  list.width = 44;
  list.items = {"   1  (defun f (a)", "   0    a)", "   0  " + std::string(38, 'x')};
  TileView ok;
  ok.key = "accept";
  ok.type = "button";
  ok.label = "OK";
  view.tiles = {title, list, ok};
  return view;
}

TEST(TerminalPresenter, DrawsTitleRowsAndButton) {
  std::ostringstream out;
  draw_dialog(listing_view(), out);
  EXPECT_EQ(
      "+- Depth --------------------------------------+\n"
      "| a.lsp                                        |\n"
      "+----------------------------------------------+\n"
      "|    1  (defun f (a)                           |\n"
      "|    0    a)                                   |\n"
      "|    0  xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx |\n"
      "+----------------------------------------------+\n"
      "|                    [ OK ]                    |\n"
      "+----------------------------------------------+\n",
      out.str());
}

TEST(TerminalPresenter, PrintsLongRowsAsTheyAre) {
  DialogView view = listing_view();
  view.tiles[1].width = 0;
  view.tiles[1].items = {std::string(50, 'y')};
  std::ostringstream out;
  draw_dialog(view, out);
  EXPECT_NE(std::string::npos, out.str().find("| " + std::string(50, 'y') + " |\n")) << out.str();
}

TEST(TerminalPresenter, PressesAcceptAtOnceWithoutATerminal) {
  std::ostringstream out;
  std::istringstream in("never read\n");
  EXPECT_EQ("accept", present_in_terminal(listing_view(), out, in, false));
  EXPECT_NE(std::string::npos, out.str().find("[ OK ]"));
  EXPECT_EQ(std::string::npos, out.str().find("Enter"));
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ("never read", rest);
}

TEST(TerminalPresenter, WaitsForEnterOnATerminal) {
  std::ostringstream out;
  std::istringstream in("\nsecond\n");
  EXPECT_EQ("accept", present_in_terminal(listing_view(), out, in, true));
  EXPECT_NE(std::string::npos, out.str().find("Press Enter to close the dialog."));
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ("second", rest);
}

TEST(TerminalPresenter, DrawsOnceAndClosesADialogThatStaysOpen) {
  DialogView view = listing_view();
  std::ostringstream out;
  std::istringstream in;
  view.round = 1;
  EXPECT_EQ("accept", present_in_terminal(view, out, in, false));
  EXPECT_EQ("", out.str());
  view.round = 16;
  EXPECT_EQ("", present_in_terminal(view, out, in, false));
}

}  // namespace
}  // namespace standin::dcl
