// The sim dialog host's own behaviour: what a scripted user can and cannot
// do, how runs end, message-box answers, nesting, geometry and the records
// tests rely on.
#include "platform/sim/sim_ui.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_templates.h"

namespace qvx::sim {
namespace {

class TestApp : public Application {
 public:
  using Application::Application;
  bool InitInstance() override { return false; }
};

// A dialog whose initialisation and message handling the test supplies; it
// records every message it is given.
class ProbeDialog : public Dialog {
 public:
  ProbeDialog(Application& app, int templateId, WindowHandle owner = 0)
      : Dialog(app, templateId, owner) {}

  std::function<bool(ProbeDialog&)> onInit;
  std::function<bool(const Message&, std::intptr_t*)> onMessage;
  std::vector<Message> seen;

  using Dialog::EndDialog;
  using Dialog::Item;

 protected:
  bool OnInitDialog() override { return onInit ? onInit(*this) : true; }
  bool ProcessMessage(const Message& m, std::intptr_t* result) override {
    seen.push_back(m);
    return onMessage ? onMessage(m, result) : false;
  }
};

std::vector<int> CommandIds(const ProbeDialog& d) {
  std::vector<int> ids;
  for (const Message& m : d.seen) {
    if (m.message == kWmCommand) ids.push_back(m.id);
  }
  return ids;
}

class SimUiTest : public ::testing::Test {
 protected:
  SimPlatform sim;
  Platform platform = sim.platform();
  TestApp app{platform};
  SimUi& ui = sim.ui;
};

TEST_F(SimUiTest, GeometryRoundTripsBetweenScreenAndClient) {
  ProbeDialog d(app, 102);
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    WindowHandle placeholder = user.Item(1000);
    Rect client = ui.ScreenToClient(user.hwnd(), ui.GetWindowRect(placeholder));
    // 233, 23, 22 x 16 dialog units.
    EXPECT_EQ(client, (Rect{349, 37, 382, 63}));
    Size size = ui.GetClientSize(user.hwnd());
    EXPECT_EQ(size.cx, 393);
    EXPECT_EQ(size.cy, 191);

    Rect wanted{347, 33, 384, 67};
    WindowHandle button = ui.CreateIconButton(user.hwnd(), 1000, wanted, 178);
    EXPECT_EQ(ui.ScreenToClient(user.hwnd(), ui.GetWindowRect(button)), wanted);
    EXPECT_EQ(ui.Window(button)->imageIconId, 178);
    // GetDlgItem finds the template's placeholder first, as Windows does.
    EXPECT_EQ(ui.GetDlgItem(user.hwnd(), 1000), placeholder);
    user.PressEscape();
  });
  d.DoModal();
  EXPECT_TRUE(ui.failures().empty());
}

TEST_F(SimUiTest, WhatAUserCanReach) {
  ProbeDialog setup(app, 102);
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    EXPECT_EQ(ui.focus(), user.Item(1));  // the first tab stop
    EXPECT_FALSE(user.Click(1000)) << "the placeholder is hidden and disabled";
    EXPECT_FALSE(user.Type(1002, "x")) << "a static is no edit";
    EXPECT_TRUE(user.Type(1001, "D:\\Apps"));
    EXPECT_EQ(user.Text(1001), "D:\\Apps");

    WindowHandle browse = ui.CreateIconButton(user.hwnd(), 1000, {0, 0, 10, 10}, 178);
    EXPECT_TRUE(user.Click(1000)) << "the icon button carries the same id";
    ui.SetFocus(browse);
    EXPECT_TRUE(user.PressEnter()) << "the icon button never becomes the default";

    ui.SetFocus(user.Item(2));
    EXPECT_TRUE(user.PressEnter()) << "Enter on a focused push button clicks it";

    ui.SetFocus(user.Item(1));
    ui.ShowWindow(user.Item(1), kSwHide);
    EXPECT_EQ(ui.focus(), user.hwnd()) << "hiding the focus hands it to the dialog";
    EXPECT_FALSE(user.Click(1));
    EXPECT_TRUE(user.PressEnter()) << "Enter sends OK even when it is hidden";
    ui.SetWindowStyle(user.Item(2), ui.GetWindowStyle(user.Item(2)) | kWsDisabled);
    EXPECT_FALSE(user.Close()) << "no close box while Cancel is disabled";
    EXPECT_TRUE(user.PressEscape());
  });
  setup.onMessage = [](const Message&, std::intptr_t*) { return true; };  // nothing ends it
  setup.DoModal();
  EXPECT_EQ(CommandIds(setup), (std::vector<int>{1000, 1, 2, 1, 2}));

  sim.ui.InitCommonControls();
  ProbeDialog browser(app, 149);
  ui.ScriptDialog(149, [&](SimDialogDriver& user) {
    EXPECT_FALSE(user.Type(1001, "x")) << "the free-space read-out is read-only";
    EXPECT_TRUE(user.Close());
  });
  EXPECT_EQ(browser.DoModal(), kIdCancel);
  // The script above left the setup dialog open on purpose.
  EXPECT_EQ(ui.failures(), (std::vector<std::string>{"dialog 102 was left open by its script"}));
}

TEST_F(SimUiTest, HowRunsEnd) {
  struct Case {
    const char* name;
    std::function<bool(ProbeDialog&)> init;
    SimUi::DialogScript script;  // null: none registered
    std::intptr_t result;
    std::vector<std::string> failures;
    bool scriptRan;
  };
  bool ran = false;
  const Case cases[] = {
      {"OK ends it", {}, [&](SimDialogDriver& u) { ran = true, u.Click(1); }, kIdOk, {}, true},
      {"ended during initialisation: no user",
       [](ProbeDialog& d) {
         d.EndDialog(kIdCancel);
         return true;
       },
       [&](SimDialogDriver&) { ran = true; },
       kIdCancel,
       {},
       false},
      {"the first result stands",
       [](ProbeDialog& d) {
         d.EndDialog(7);
         d.EndDialog(8);
         return true;
       },
       {},
       7,
       {},
       false},
      {"left open",
       {},
       [&](SimDialogDriver&) { ran = true; },
       kIdCancel,
       {"dialog 102 was left open by its script"},
       true},
      {"no script",
       {},
       {},
       kIdCancel,
       {"dialog 102 opened without a script", "dialog 102 was left open by its script"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimPlatform fresh;
    Platform p = fresh.platform();
    TestApp a(p);
    ProbeDialog d(a, 102);
    d.onInit = c.init;
    if (c.script) fresh.ui.ScriptDialog(102, c.script);
    ran = false;
    EXPECT_EQ(d.DoModal(), c.result);
    EXPECT_EQ(ran, c.scriptRan);
    EXPECT_EQ(fresh.ui.failures(), c.failures);
    ASSERT_EQ(fresh.ui.dialogRuns().size(), 1u);
    EXPECT_EQ(fresh.ui.dialogRuns()[0].leftOpenByScript,
              c.name == std::string("left open") || c.name == std::string("no script"));
    EXPECT_TRUE(fresh.ui.runningDialogs().empty());
  }
}

TEST_F(SimUiTest, ScriptsQueuePerRunThenFallBack) {
  std::vector<std::string> order;
  ui.ScriptDialog(102, [&](SimDialogDriver& u) { order.push_back("first"), u.Click(1); });
  ui.ScriptDialog(102, [&](SimDialogDriver& u) { order.push_back("second"), u.Click(2); });
  ui.ScriptEveryDialog(102, [&](SimDialogDriver& u) { order.push_back("every"), u.Close(); });
  std::vector<std::intptr_t> results;
  for (int i = 0; i < 3; ++i) {
    ProbeDialog d(app, 102);
    results.push_back(d.DoModal());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "every"}));
  EXPECT_EQ(results, (std::vector<std::intptr_t>{kIdOk, kIdCancel, kIdCancel}));
}

TEST_F(SimUiTest, NothingReachesADialogAfterItEnded) {
  ProbeDialog d(app, 102);
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    EXPECT_TRUE(user.Click(2));
    EXPECT_TRUE(user.ended());
    EXPECT_FALSE(user.Click(1));
    EXPECT_FALSE(user.PressEnter());
    EXPECT_FALSE(user.Type(1001, "late"));
    EXPECT_EQ(user.Notify(1001, kTvnSelChangedA), 0);
  });
  EXPECT_EQ(d.DoModal(), kIdCancel);
  EXPECT_EQ(CommandIds(d), (std::vector<int>{2}));
}

TEST_F(SimUiTest, MessageBoxAnswers) {
  ProbeDialog d(app, 102);
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    WindowHandle self = user.hwnd();
    EXPECT_EQ(ui.MessageBoxA(self, "plain", "t", kMbOk), kIdOk) << "OK needs no queued answer";
    EXPECT_EQ(ui.MessageBoxA(self, "unanswered?", "t", kMbYesNo), kIdNo);
    ui.QueueMessageBoxAnswer(kIdYes);
    EXPECT_EQ(ui.MessageBoxA(self, "answered?", "t", kMbYesNo | kMbIconExclamation), kIdYes);
    ui.QueueMessageBoxAnswer(kIdYes);
    EXPECT_EQ(ui.MessageBoxA(self, "impossible", "t", kMbOk), kIdYes);
    EXPECT_EQ(ui.MessageBoxA(0x999, "stale owner", "t", kMbOk), 0);
    user.Click(2);
  });
  d.DoModal();
  ASSERT_EQ(ui.messageBoxes().size(), 4u);
  EXPECT_EQ(ui.messageBoxes()[0].owner, ui.dialogRuns()[0].hwnd);
  EXPECT_EQ(ui.messageBoxes()[2].type, kMbYesNo | kMbIconExclamation);
  EXPECT_EQ(ui.failures(), (std::vector<std::string>{
                               "MessageBoxA \"unanswered?\" asked a question nobody answered",
                               "MessageBoxA \"impossible\" cannot be answered 6",
                               "MessageBoxA \"stale owner\" owned by 0x999, which is no window"}));
}

// A handler showing a message box can be re-entered through the box: the hook
// presses OK on the dialog again while the first OK is still being handled.
TEST_F(SimUiTest, HookActsWhileABoxIsOpen) {
  ProbeDialog d(app, 102);
  int depth = 0;
  int deepest = 0;
  d.onMessage = [&](const Message& m, std::intptr_t*) {
    if (m.message != kWmCommand || m.id != kIdOk) return false;
    ++depth;
    deepest = std::max(deepest, depth);
    if (depth == 1) app.MessageBox("busy");
    --depth;
    return true;
  };
  ui.QueueMessageBoxAnswer(
      kIdOk, [&](const SimMessageBox& box) { EXPECT_TRUE(ui.DriverFor(box.owner).Click(1)); });
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    user.Click(1);
    user.Click(2);
  });
  d.DoModal();
  EXPECT_EQ(deepest, 2);
  EXPECT_EQ(CommandIds(d), (std::vector<int>{1, 1, 2}));
}

TEST_F(SimUiTest, NestedDialogsAndNotifications) {
  ui.InitCommonControls();
  ProbeDialog outer(app, 102);
  WindowHandle innerTree = 0;
  WindowHandle innerHwnd = 0;
  outer.onMessage = [&](const Message& m, std::intptr_t*) {
    if (m.message != kWmCommand || m.id != 1) return false;
    ProbeDialog inner(app, 149, outer.hwnd());
    inner.onMessage = [](const Message& n, std::intptr_t* result) {
      *result = n.message == kWmNotify ? 42 : 0;
      return n.message == kWmNotify;
    };
    ui.ScriptDialog(149, [&](SimDialogDriver& user) {
      innerHwnd = user.hwnd();
      innerTree = user.Item(1013);
      EXPECT_EQ(ui.runningDialogs().size(), 2u);
      EXPECT_EQ(app.ActiveWindow(), user.hwnd());
      EXPECT_EQ(ui.DialogOf(innerTree), &inner);
      EXPECT_EQ(ui.FindControl(user.hwnd(), 1013, "SysTreeView32"), innerTree);
      EXPECT_EQ(ui.SendNotify(innerTree, Message{0, kTvnItemExpandingA, 0, 0x55, kTveExpand}), 42);
      user.Click(1);
    });
    EXPECT_EQ(inner.DoModal(), kIdOk);
    const Message& n = inner.seen.at(0);
    EXPECT_EQ(n.message, kWmNotify);
    EXPECT_EQ(n.id, 1013) << "the id comes from the control";
    EXPECT_EQ(n.item, 0x55u);
    EXPECT_EQ(n.action, kTveExpand);
    return true;
  };
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    user.Click(1);
    EXPECT_EQ(ui.runningDialogs().size(), 1u);
    EXPECT_EQ(ui.Window(innerHwnd), nullptr) << "the inner dialog's windows are gone";
    EXPECT_EQ(ui.GetWindowTextA(innerTree), "");
    user.Close();
  });
  outer.DoModal();
  ASSERT_EQ(ui.dialogRuns().size(), 2u);
  EXPECT_EQ(ui.dialogRuns()[0].owner, ui.dialogRuns()[1].hwnd);
  EXPECT_EQ(ui.failures().size(), 1u);  // the stale GetWindowTextA
}

TEST_F(SimUiTest, TreeTemplateNeedsCommonControls) {
  ProbeDialog d(app, 149);
  EXPECT_EQ(d.DoModal(), -1);
  EXPECT_EQ(ui.failures(),
            (std::vector<std::string>{
                "DialogBoxParamA: template 149 holds a SysTreeView32 before InitCommonControls"}));
}

TEST_F(SimUiTest, BusyCursorMustBalance) {
  {
    WaitCursor outer(ui);
    WaitCursor inner(ui);
    EXPECT_EQ(ui.waitCursorDepth(), 2);
  }
  EXPECT_EQ(ui.waitCursorDepth(), 0);
  EXPECT_TRUE(ui.failures().empty());
  ui.SetWaitCursor(false);
  EXPECT_EQ(ui.waitCursorLog(), (std::vector<bool>{true, true, false, false, false}));
  EXPECT_EQ(ui.failures().size(), 1u);
}

TEST_F(SimUiTest, IconsAndMinimisedPainting) {
  ProbeDialog d(app, 102);
  d.onMessage = [&](const Message& m, std::intptr_t* result) {
    if (m.message == kWmQueryDragIcon) {
      *result = ui.QueryDragIcon(128);
      return true;
    }
    if (m.message == kWmPaint && ui.IsIconic(d.hwnd())) {
      ui.PaintIcon(d.hwnd(), 128, 1, 2);
      return true;
    }
    return false;
  };
  d.onInit = [&](ProbeDialog& self) {
    ui.SetDialogIcon(self.hwnd(), 128);
    return true;
  };
  ui.ScriptDialog(102, [&](SimDialogDriver& user) {
    EXPECT_FALSE(user.Paint()) << "not minimised: standard painting";
    user.SetIconic(true);
    EXPECT_TRUE(user.Paint());
    EXPECT_EQ(user.QueryDragIcon(), SimUi::IconHandle(128));
    ui.PaintIcon(user.hwnd(), 128, 0, 0);  // outside WM_PAINT
    user.Close();
  });
  d.DoModal();
  EXPECT_EQ(ui.dialogRuns()[0].window.bigIconId, 128);
  EXPECT_EQ(ui.dialogRuns()[0].window.smallIconId, 128);
  ASSERT_EQ(ui.iconPaints().size(), 2u);
  EXPECT_EQ(ui.iconPaints()[0].x, 1);
  EXPECT_EQ(ui.failures(), (std::vector<std::string>{"PaintIcon outside WM_PAINT"}));
}

TEST_F(SimUiTest, OperationsOnNoWindowAreRecorded) {
  ui.SetWindowTextA(0, "x");
  ui.ShowWindow(0x123, kSwShow);
  EXPECT_EQ(ui.GetWindowTextA(0x123), "");
  ui.EndDialog(0, kIdOk);
  EXPECT_EQ(ui.failures().size(), 4u);
}

}  // namespace
}  // namespace qvx::sim
