// Runs the folder browser on the simulated platform with a scripted user, over
// a disk laid out for each test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "folderdlg/browse_target_folder.h"
#include "folderdlg/folder_browse_dialog.h"
#include "platform/sim/sim_platform.h"

namespace qvx {

class TestApp : public Application {
 public:
  using Application::Application;
  bool InitInstance() override { return false; }
};

// A stand-in for the setup dialog: the owner of the browser, with the edit
// control the result goes to.
class OwnerDialog : public Dialog {
 public:
  explicit OwnerDialog(Application& app) : Dialog(app, 102, 0) {}
  std::string targetFolder;
  Control edit;
  void Browse(int platformKind) {
    BrowseTargetFolder(app(), hwnd(), platformKind, targetFolder, edit);
  }

 protected:
  void DoDataExchange() override { Bind(edit, 1001); }
};

class BrowserTest : public ::testing::Test {
 protected:
  using Script = std::function<void(sim::SimDialogDriver&)>;

  void SetUp() override {
    sim.system.SetModuleFileName("C:\\Temp\\QvxSetup.exe");
    sim.ui.InitCommonControls();  // start-up does this before any dialog
  }
  void TearDown() override {
    EXPECT_THAT(sim.ui.failures(), ::testing::IsEmpty());
    EXPECT_EQ(sim.ui.waitCursorDepth(), 0);
    EXPECT_EQ(sim.files.OpenFindHandles(), 0);
    EXPECT_EQ(sim.treeView.LiveImageLists(), 0);
  }

  // Runs the browser from start; the script acts while it is open and
  // Escape closes it if the script did not. tree is the run's tree window.
  std::intptr_t Run(const std::string& start, const Script& script = {}, int platformKind = 2) {
    FolderBrowseDialog dialog(app, 0, platformKind);
    dialog.selectedFolder = start;
    browser = &dialog;
    sim.ui.ScriptDialog(kFolderBrowseTemplateId, [&](sim::SimDialogDriver& driver) {
      tree = driver.Item(kFolderTreeId);
      if (script) script(driver);
      if (!driver.ended()) driver.PressEscape();
    });
    std::intptr_t result = dialog.DoModal();
    selectedFolder = dialog.selectedFolder;
    browser = nullptr;
    return result;
  }

  // The item at a path of item texts ("C:\\Windows").
  TreeItem At(const std::string& path) const { return sim.treeView.FindItem(tree, path); }
  const sim::SimTreeItem& ItemAt(const std::string& path) const {
    static const sim::SimTreeItem kMissing;
    const sim::SimTreeItem* item = sim.treeView.Item(tree, At(path));
    return item ? *item : kMissing;
  }
  // What a user does with the mouse.
  void Open(const std::string& path) { sim.treeView.Expand(tree, At(path), kTveExpand); }
  void Close(const std::string& path) { sim.treeView.Expand(tree, At(path), kTveCollapse); }
  void Pick(const std::string& path) { sim.treeView.SelectItem(tree, At(path), kTvgnCaret); }

  sim::SimPlatform sim;
  Platform platform = sim.platform();
  TestApp app{platform};
  FolderBrowseDialog* browser = nullptr;
  WindowHandle tree = 0;
  std::string selectedFolder;
};

}  // namespace qvx
