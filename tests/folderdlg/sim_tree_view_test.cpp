// The simulated tree view behaves as the real control where the browser
// relies on it: notification order, when notifications come, sorting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"

namespace qvx {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TestApp : public Application {
 public:
  using Application::Application;
  bool InitInstance() override { return false; }
};

// A dialog on the browser's template that records the tree's notifications.
class RecordingDialog : public Dialog {
 public:
  explicit RecordingDialog(Application& app) : Dialog(app, 149, 0) {}
  std::vector<Message> notes;
  std::function<std::intptr_t(const Message&)> onNotify;

 protected:
  bool ProcessMessage(const Message& message, std::intptr_t* result) override {
    if (message.message != kWmNotify) return false;
    notes.push_back(message);
    *result = onNotify ? onNotify(message) : 0;
    return true;
  }
};

class SimTreeViewTest : public ::testing::Test {
 protected:
  // Runs body with the dialog open and its tree window.
  void WithTree(const std::function<void(WindowHandle)>& body) {
    sim.ui.InitCommonControls();
    sim.ui.ScriptDialog(149, [&](sim::SimDialogDriver& driver) {
      body(driver.Item(1013));
      driver.PressEscape();
    });
    dialog.DoModal();
  }

  sim::SimPlatform sim;
  Platform platform = sim.platform();
  TestApp app{platform};
  RecordingDialog dialog{app};
  sim::SimTreeView& tv = sim.treeView;
};

TEST_F(SimTreeViewTest, SortedInsertionIgnoresLetterCaseAndKeepsEqualTextsInOrder) {
  WithTree([&](WindowHandle tree) {
    for (const char* text : {"beta", "Alpha", "Gamma", "ALPHA"}) {
      tv.InsertItem(tree, kNoItem, InsertAt::Sorted, text, 0, 0);
    }
    tv.InsertItem(tree, kNoItem, InsertAt::Last, "aaa", 0, 0);
    EXPECT_THAT(tv.ChildTexts(tree, kNoItem),
                ElementsAre("Alpha", "ALPHA", "beta", "Gamma", "aaa"));
  });
  EXPECT_THAT(sim.ui.failures(), IsEmpty());
}

TEST_F(SimTreeViewTest, ExpandNotifiesFirstOnlyForItemsWithChildrenAndOnlyOnChange) {
  WithTree([&](WindowHandle tree) {
    TreeItem parent = tv.InsertItem(tree, kNoItem, InsertAt::Last, "P", 0, 0);
    TreeItem child = tv.InsertItem(tree, parent, InsertAt::Last, "c", 0, 0);
    EXPECT_FALSE(tv.Expand(tree, child, kTveExpand));  // no children: nothing happens
    EXPECT_THAT(dialog.notes, IsEmpty());

    dialog.onNotify = [&](const Message&) {
      EXPECT_FALSE(tv.Item(tree, parent)->expanded);  // the state changes afterwards
      return 0;
    };
    EXPECT_TRUE(tv.Expand(tree, parent, kTveExpand));
    tv.Expand(tree, parent, kTveExpand);
    ASSERT_EQ(dialog.notes.size(), 1u);
    EXPECT_EQ(dialog.notes[0].code, kTvnItemExpandingA);
    EXPECT_EQ(dialog.notes[0].id, 1013);
    EXPECT_EQ(dialog.notes[0].item, parent);
    EXPECT_EQ(dialog.notes[0].action, kTveExpand);
    EXPECT_TRUE(tv.Item(tree, parent)->expanded);

    dialog.onNotify = [](const Message&) { return 1; };  // the owner refuses
    EXPECT_FALSE(tv.Expand(tree, parent, kTveCollapse));
    EXPECT_TRUE(tv.Item(tree, parent)->expanded);
  });
}

TEST_F(SimTreeViewTest, SelectionRevealsTheItemThenNotifiesAndCollapseTakesItBack) {
  WithTree([&](WindowHandle tree) {
    TreeItem parent = tv.InsertItem(tree, kNoItem, InsertAt::Last, "P", 0, 0);
    TreeItem child = tv.InsertItem(tree, parent, InsertAt::Last, "c", 0, 0);
    dialog.onNotify = [&](const Message& m) {
      if (m.code == kTvnSelChangedA) {
        EXPECT_EQ(tv.GetNextItem(tree, kNoItem, kTvgnCaret), m.item);
      }
      return 0;
    };
    tv.SelectItem(tree, child, kTvgnCaret);
    tv.SelectItem(tree, child, kTvgnCaret);  // already selected: no notification
    tv.Expand(tree, parent, kTveCollapse);
    ASSERT_EQ(dialog.notes.size(), 4u);
    EXPECT_EQ(dialog.notes[0].code, kTvnItemExpandingA);
    EXPECT_EQ(dialog.notes[1].code, kTvnSelChangedA);
    EXPECT_EQ(dialog.notes[1].item, child);
    EXPECT_EQ(dialog.notes[2].action, kTveCollapse);
    EXPECT_EQ(dialog.notes[3].item, parent);
    EXPECT_EQ(tv.Caret(tree), parent);
  });
}

TEST_F(SimTreeViewTest, UsingADeletedItemIsRecordedAsAFault) {
  WithTree([&](WindowHandle tree) {
    TreeItem item = tv.InsertItem(tree, kNoItem, InsertAt::Last, std::string(300, 'x'), 0, 0);
    EXPECT_EQ(tv.GetItemText(tree, item).size(), 259u);
    tv.DeleteItem(tree, item);
    tv.GetItemText(tree, item);
  });
  EXPECT_EQ(sim.ui.failures().size(), 1u);
}

}  // namespace
}  // namespace qvx
