// The simulated tree view behaves as the real control where the browser
// relies on it: sorting, and which notifications come, in which order.
#include "browser_fixture.h"

namespace qvx {
namespace {

using ::testing::ElementsAre;

// A dialog on the browser's template that logs the tree's notifications.
class RecordingDialog : public Dialog {
 public:
  explicit RecordingDialog(Application& app) : Dialog(app, kFolderBrowseTemplateId, 0) {}
  std::vector<std::string> log;
  std::intptr_t answer = 0;
  sim::SimTreeView* tv = nullptr;

 protected:
  bool ProcessMessage(const Message& m, std::intptr_t* result) override {
    if (m.message != kWmNotify) return false;
    WindowHandle tree = Item(kFolderTreeId);
    const sim::SimTreeItem* item = tv->Item(tree, m.item);
    if (m.code == kTvnItemExpandingA) {  // the state has not changed yet
      log.push_back("expanding " + item->text + (item->expanded ? " open " : " shut ") +
                    std::to_string(m.action));
    } else {  // the caret has moved already
      log.push_back("selected " + item->text + (tv->Caret(tree) == m.item ? "" : " late"));
    }
    *result = answer;
    return true;
  }
};

TEST_F(BrowserTest, SimTreeSortsIgnoringCaseAndNotifiesAsTheControlDoes) {
  RecordingDialog dialog(app);
  dialog.tv = &sim.treeView;
  sim::SimTreeView& tv = sim.treeView;
  sim.ui.ScriptDialog(kFolderBrowseTemplateId, [&](sim::SimDialogDriver& driver) {
    WindowHandle tree = driver.Item(kFolderTreeId);
    for (const char* text : {"beta", "Alpha", "Gamma", "ALPHA"}) {
      tv.InsertItem(tree, kNoItem, InsertAt::Sorted, text, 0, 0);
    }
    tv.InsertItem(tree, kNoItem, InsertAt::Last, "aaa", 0, 0);
    EXPECT_THAT(tv.ChildTexts(tree, kNoItem),
                ElementsAre("Alpha", "ALPHA", "beta", "Gamma", "aaa"));

    TreeItem parent = tv.FindItem(tree, "beta");
    TreeItem child = tv.InsertItem(tree, parent, InsertAt::Last, "c", 0, 0);
    EXPECT_FALSE(tv.Expand(tree, child, kTveExpand));  // no children: nothing at all
    tv.SelectItem(tree, child, kTvgnCaret);            // opens the parent first
    tv.SelectItem(tree, child, kTvgnCaret);            // already selected
    tv.Expand(tree, parent, kTveExpand);               // already open
    tv.Expand(tree, parent, kTveCollapse);             // takes the selection back
    dialog.answer = 1;                                 // the owner refuses
    EXPECT_FALSE(tv.Expand(tree, parent, kTveExpand));
    EXPECT_FALSE(tv.Item(tree, parent)->expanded);
    driver.PressEscape();
  });
  dialog.DoModal();
  EXPECT_THAT(dialog.log,
              ElementsAre("expanding beta shut 2", "selected c", "expanding beta open 1",
                          "selected beta", "expanding beta shut 2"));
}

}  // namespace
}  // namespace qvx
