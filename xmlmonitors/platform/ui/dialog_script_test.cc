// The toolkit driven by the script front-end: the messages a dialog procedure receives, the
// list's sorting and tick states, item deletion at destroy, help to the host window, sizing,
// script errors and the none front-end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/dialog.h"
#include "platform/ui/test_dialog.h"

namespace platform::ui {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ui_testing::TestDialog;
using ui_testing::TestTemplate;

class ScriptedDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = (std::filesystem::temp_directory_path() / "feedprobe-ui-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder_.data()), nullptr);
    script_ = folder_ + "/actions.txt";
    setenv("FEEDPROBE_UI", ("script:" + script_).c_str(), 1);
    setenv("FEEDPROBE_DEBUG_OUTPUT", (folder_ + "/debug.txt").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("FEEDPROBE_UI");
    unsetenv("FEEDPROBE_DEBUG_OUTPUT");
    std::filesystem::remove_all(folder_);
  }
  void WriteScript(const std::string& text) { std::ofstream(script_) << text; }
  std::string DebugText() const {
    std::stringstream text;
    text << std::ifstream(folder_ + "/debug.txt").rdbuf();
    return text.str();
  }

  std::string folder_, script_;
};

TEST_F(ScriptedDialog, MessagesArriveInOrderWithTheirData) {
  WriteScript(
      "# pick component B and two of its counters\n"
      "select Root > B\n"
      "tick zeta\n"
      "  tick alpha\n"
      "untick alpha\n"
      "pick Mid\n"
      "type Name: = hello world\n"
      "press ok\n");
  TestDialog dialog;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, dialog.Procedure(), 42), 1);
  EXPECT_THAT(dialog.log,
              ElementsAre("init 42", "tree-selected none->B", "list-changed zeta 1000->2000",
                          "list-changed alpha 1000->2000", "list-changed alpha 2000->1000",
                          "list-changed Mid 1000->1003", "command 12 768", "command 1 0", "destroy",
                          "tree-deleted A", "tree-deleted B", "tree-deleted Root",
                          "list-deleted alpha", "list-deleted Mid", "list-deleted zeta"));
  // Sorted ascending without regard to case; ticks are state images 2 and 1.
  EXPECT_THAT(dialog.labels_at_ok, ElementsAre("alpha 1000", "Mid 1000", "zeta 2000"));
  EXPECT_EQ(dialog.name_at_ok, "hello world");
  EXPECT_EQ(dialog.live_data, 0);
  EXPECT_EQ(DebugText(), "");
}

TEST_F(ScriptedDialog, SelectingAnotherItemReplacesTheListAndFreesItsData) {
  WriteScript("select Root > B\nselect Root > A\nexpand Root\ncollapse Root\nclose\n");
  TestDialog dialog;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, dialog.Procedure(), 0), 0);
  // Collapsing the parent of the selection selects the parent.
  EXPECT_THAT(dialog.log,
              ElementsAre("init 0", "tree-selected none->B", "tree-selected B->A",
                          "list-deleted alpha", "list-deleted Mid", "list-deleted zeta",
                          "tree-selected A->Root", "list-deleted one", "command 2 0", "destroy",
                          "tree-deleted A", "tree-deleted B", "tree-deleted Root"));
  EXPECT_EQ(dialog.live_data, 0);
}

struct HelpCall {
  uint32_t message;
  uintptr_t wparam;
  intptr_t lparam;
};

TEST_F(ScriptedDialog, HelpReachesTheHostWindowAndANullParentReceivesNothing) {
  std::vector<HelpCall> calls;
  FeedprobeHostWindow host{
      FEEDPROBE_HOST_WINDOW_MARKER, &calls,
      [](void* context, uint32_t message, uintptr_t wparam, intptr_t lparam) {
        static_cast<std::vector<HelpCall>*>(context)->push_back({message, wparam, lparam});
        return intptr_t{0};
      }};
  WriteScript("help\npress Help\nclose\n");
  TestDialog with_host;
  EXPECT_EQ(RunDialog(TestTemplate(), &host, with_host.Procedure(), 0), 0);
  ASSERT_EQ(calls.size(), 2u);
  for (const HelpCall& call : calls) {
    EXPECT_EQ(call.message, 869u);
    EXPECT_EQ(call.wparam, 7u);
    EXPECT_EQ(call.lparam, 0);
  }

  WriteScript("help\nF1\nclose\n");
  TestDialog without_host;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, without_host.Procedure(), 0), 0);
  EXPECT_THAT(without_host.log, ::testing::Contains("help 0"));
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(ScriptedDialog, SizingDeliversTheProposalAndKeepsTheProceduresChange) {
  const DialogTemplate t = TestTemplate();
  const PixelRect created{0, 0, UnitsToPixelsX(t.width) + kFrameLeft + kFrameRight,
                          UnitsToPixelsY(t.height) + kFrameTop + kFrameBottom};
  const PixelRect ok_created = UnitsToPixels(t.controls[6].rect);

  WriteScript("resize 100 20\nclose\n");
  TestDialog wider;
  RunDialog(t, nullptr, wider.Procedure(), 0);
  EXPECT_EQ(wider.log[1], "sizing 0,0," + std::to_string(created.right + 100) + "," +
                              std::to_string(created.bottom + 20));
  EXPECT_EQ(wider.window_at_end.width(), created.width() + 100);
  EXPECT_EQ(wider.ok_rect_at_end.left, ok_created.left + 100);
  EXPECT_EQ(wider.ok_rect_at_end.top, ok_created.top + 20);

  // Below the created size the procedure snaps back, and the window takes its rectangle.
  WriteScript("resize 100 0\nresize -300 -50\nclose\n");
  TestDialog narrower;
  RunDialog(t, nullptr, narrower.Procedure(), 0);
  EXPECT_EQ(narrower.log[2], "sizing 0,0," + std::to_string(created.right - 200) + "," +
                                 std::to_string(created.bottom - 50));
  EXPECT_EQ(narrower.window_at_end, created);
  EXPECT_EQ(narrower.ok_rect_at_end, ok_created);
}

struct ErrorCase {
  const char* script;
  bool resizable;
  const char* debug_line;  // what the debugger output must say
};

TEST_F(ScriptedDialog, AScriptErrorCancelsTheDialogAndSaysWhy) {
  const ErrorCase cases[] = {
      {"select Root > Nope\npress OK\n", true, ":1: no tree item \"Root > Nope\""},
      {"select Root > B\ntick omega\npress OK\n", true, ":2: no list item \"omega\""},
      {"frobnicate\n", true, ":1: unknown command \"frobnicate\""},
      {"press Hidden\n", true, ":1: control 4 is hidden"},
      {"press Apply\n", true, ":1: no button \"Apply\""},
      {"type 13 = text\n", true, ":1: edit box 13 is read-only"},
      {"type Surname: = x\n", true, ":1: no edit box \"Surname:\""},
      {"resize 10 10\n", false, ":1: dialog 300 is not resizable"},
      {"resize ten 10\n", true, ":1: resize needs two numbers"},
      {"# for another dialog\ndialog 203\npress OK\n", true,
       ":2: this section is for dialog 203, but dialog 300 is shown"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.script);
    std::filesystem::remove(folder_ + "/debug.txt");
    WriteScript(c.script);
    TestDialog dialog;
    EXPECT_EQ(RunDialog(TestTemplate(300, c.resizable), nullptr, dialog.Procedure(), 0), 0);
    EXPECT_THAT(dialog.log, ::testing::Contains("command 2 0"));
    EXPECT_THAT(dialog.log, ::testing::Not(::testing::Contains("command 1 0")));
    EXPECT_EQ(dialog.live_data, 0);
    EXPECT_THAT(DebugText(), HasSubstr(script_ + std::string(c.debug_line)));
  }
}

TEST_F(ScriptedDialog, AScriptThatEndsWithTheDialogOpenCancelsIt) {
  WriteScript("select Root > A\ntick one\n");
  TestDialog dialog;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, dialog.Procedure(), 0), 0);
  EXPECT_EQ(dialog.log[3], "command 2 0");
  EXPECT_EQ(DebugText(), "");
}

TEST_F(ScriptedDialog, ConsecutiveDialogsTakeConsecutiveSections) {
  DialogTemplate login;
  login.id = 203;
  login.width = 186;
  login.height = 66;
  login.controls = {
      {kUnaddressedId, ControlKind::kStatic, "Username:", UnitRect{7, 9, 35, 8}, 0},
      {207, ControlKind::kEdit, "", UnitRect{50, 7, 107, 14}, 0},
      {kUnaddressedId, ControlKind::kStatic, "Password:", UnitRect{7, 29, 34, 8}, 0},
      {208, ControlKind::kEdit, "", UnitRect{50, 27, 107, 14}, kStylePassword},
      {kIdOk, ControlKind::kPushButton, "&OK", UnitRect{34, 46, 50, 14}, kStyleDefaultButton},
      {kIdCancel, ControlKind::kPushButton, "&Cancel", UnitRect{100, 46, 50, 14}, 0}};
  std::string user, password;
  const DialogProcedure login_procedure = [&](Dialog& dialog, Message& message) {
    if (message.kind != MessageKind::kCommand || message.code != kButtonClicked) return false;
    if (message.control_id == kIdOk) {
      user = dialog.ControlText(207);
      password = dialog.ControlText(208);
    }
    dialog.EndDialog(message.control_id == kIdOk ? 1 : 0);
    return true;
  };
  WriteScript(
      "dialog 203\n"
      "type Username = alice\n"
      "type 208 = \" s=cret \"\n"
      "enter\n"
      "dialog 300\n"
      "select Root > A\n"
      "press 1\n"
      "tick one\n");
  EXPECT_EQ(RunDialog(login, nullptr, login_procedure, 0), 1);
  EXPECT_EQ(user, "alice");
  EXPECT_EQ(password, " s=cret ");
  TestDialog browse;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, browse.Procedure(), 0), 1);
  EXPECT_THAT(browse.labels_at_ok, ElementsAre("one 1000"));
  EXPECT_THAT(DebugText(), HasSubstr(":8: the dialog has closed"));
  // The script is used up: a further dialog is cancelled.
  TestDialog third;
  EXPECT_EQ(RunDialog(TestTemplate(), nullptr, third.Procedure(), 0), 0);
  EXPECT_THAT(third.log, ::testing::Contains("command 2 0"));
  // Writing the script again starts it from the top.
  WriteScript("dialog 203\nenter\n");
  EXPECT_EQ(RunDialog(login, nullptr, login_procedure, 0), 1);
}

TEST_F(ScriptedDialog, NothingIsShownWithNoneOrAnUnreadableScript) {
  for (const std::string ui : {"none", "script:/nonexistent/feedprobe-script"}) {
    SCOPED_TRACE(ui);
    setenv("FEEDPROBE_UI", ui.c_str(), 1);
    TestDialog dialog;
    EXPECT_EQ(RunDialog(TestTemplate(), nullptr, dialog.Procedure(), 0), 0);
    EXPECT_TRUE(dialog.log.empty());
    ShowMessageBox(nullptr, "text", "caption");
  }
}

}  // namespace
}  // namespace platform::ui
