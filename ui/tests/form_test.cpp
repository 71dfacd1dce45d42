#include "ui/form.h"

#include <gtest/gtest.h>

#include "ui/event_log.h"

using namespace nimbra::ui;

TEST(Form, LooksUpControlsAndPagesWithoutRegardToCase) {
  Form form("TSetupForm", "NimbraPost Auto Setup");
  form.AddPage("TabSheet12", "NimbraPost Password");
  form.Add("UserName", ControlKind::Edit, "TabSheet12", "UserName");
  EXPECT_EQ(form.At("username").text, "UserName");
  EXPECT_EQ(form.FindPage("tabsheet12")->title, "NimbraPost Password");
  EXPECT_THROW(form.At("Missing"), UiError);
  EXPECT_THROW(form.Add("USERNAME", ControlKind::Edit, "TabSheet12"), UiError);
  EXPECT_THROW(form.Add("X", ControlKind::Edit, "NoSuchPage"), UiError);
  EXPECT_EQ(form.ControlsOf("TABSHEET12").size(), 1u);
}

TEST(Form, RadioGroupKeepsOneChecked) {
  Form form("F");
  form.AddPage("P", "");
  auto& a = form.Add("Strong", ControlKind::RadioButton, "P");
  auto& b = form.Add("Extreme", ControlKind::RadioButton, "P");
  int changes = 0;
  a.onChange = [&] { ++changes; };
  form.SetChecked("Strong", true);
  form.SetChecked("Extreme", true);
  EXPECT_FALSE(a.checked);
  EXPECT_TRUE(b.checked);
  EXPECT_EQ(changes, 2);
}

TEST(Form, ClickReachesOnlyVisibleEnabledButtons) {
  Form form("F");
  auto& next = form.Add("Next", ControlKind::Button, "", "&Next");
  int clicks = 0;
  next.onClick = [&] { ++clicks; };
  EXPECT_TRUE(form.Click("Next"));
  next.enabled = false;
  EXPECT_FALSE(form.Click("Next"));
  next.enabled = true;
  next.visible = false;
  EXPECT_FALSE(form.Click("Next"));
  EXPECT_EQ(clicks, 1);
}

TEST(Form, ActivePageReportsEachShow) {
  Form form("F");
  form.AddPage("TabSheet1", "");
  std::vector<std::string> shown;
  form.onPageShown = [&](const std::string& p) { shown.push_back(p); };
  form.SetActivePage("tabsheet1");
  EXPECT_EQ(form.ActivePage(), "TabSheet1");
  EXPECT_THROW(form.SetActivePage("TabSheet99"), UiError);
  EXPECT_EQ(shown, std::vector<std::string>{"TabSheet1"});
}

TEST(Control, ListsMemoLinesAndGridCells) {
  Control list("EmailAddrs", ControlKind::ListBox, "");
  list.items = {{"a@x.com", false}, {"B@x.com", true}};
  EXPECT_EQ(list.IndexOf("b@X.com", true), 1);
  EXPECT_EQ(list.IndexOf("b@X.com"), -1);
  EXPECT_EQ(list.Selected(), "");
  list.itemIndex = 7;  // stale selection reads as none
  EXPECT_EQ(list.Selected(), "");
  EXPECT_EQ(list.CheckedItems(), std::vector<std::string>{"B@x.com"});

  Control memo("InstallSet", ControlKind::Memo, "");
  memo.SetLines({"a", " ", "b"});
  EXPECT_EQ(memo.Lines(), "a\r\n \r\nb");

  Control grid("NimbraAccounts", ControlKind::Grid, "");
  grid.SetGridSize(3, 2);
  grid.SetCell(1, 3, "x@y");
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(grid.Cell(1, 3), "x@y");
  EXPECT_EQ(grid.Cell(9, 9), "");
  EXPECT_THROW(grid.SetCell(-1, 0, ""), UiError);
}

TEST(EventLog, EscapesLineBreaksAndKeepsBackslashes) {
  EXPECT_EQ(EventLog::Escape("a\r\nb\tc\\d"), "a\\r\\nb\\x09c\\d");
}
