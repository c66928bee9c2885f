#include <gtest/gtest.h>

#include "app_fixture.h"
#include "folderdlg/folder_browse_dialog.h"
#include "tests/extract/test_payload.h"

namespace qvx {
namespace {

TEST(DefaultTargetFolderTest, DriveOfTheWindowsDirectoryOrTheWholeDirectory) {
  struct Case {
    const char* windows;
    const char* folder;
  } cases[] = {
      {"c:\\windows", "C:\\Program Files\\Kelvane\\Quorvex"},
      {"D:\\WINNT", "D:\\Program Files\\Kelvane\\Quorvex"},
      {"z:", "Z:\\Program Files\\Kelvane\\Quorvex"},
      {"\\\\server\\share\\win", "\\\\server\\share\\win\\Kelvane\\Quorvex"},
      {"windows", "windows\\Kelvane\\Quorvex"},  // no colon: used whole, case kept
      {"1:\\win", "1:\\win\\Kelvane\\Quorvex"},
      {"c", "c\\Kelvane\\Quorvex"},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultTargetFolder(c.windows), c.folder) << c.windows;
}

TEST(SetupDialogTest, InitialisesTheAskingState) {
  Machine m;
  m.sim.system.SetWindowsDirectory("c:\\winnt");
  m.Run([&](sim::SimDialogDriver& user, SetupDialog& dialog) {
    EXPECT_EQ(user.Caption(), "Setup Quorvex");
    EXPECT_EQ(user.Text(kIdFolderEdit), kDefaultFolder);
    EXPECT_EQ(dialog.TargetFolder, kDefaultFolder);
    EXPECT_EQ(user.Text(kIdPrompt), kPrompt);
    EXPECT_EQ(m.sim.ui.focus(), user.Item(kOk));
    const sim::SimWindow* frame = m.sim.ui.Window(user.hwnd());
    EXPECT_EQ(frame->bigIconId, kDialogIcon);
    EXPECT_EQ(frame->smallIconId, kDialogIcon);

    // The browse button covers the hidden placeholder, 2 pixels wider on each
    // side and 4 higher at top and bottom, in screen terms.
    const sim::SimWindow* placeholder = m.sim.ui.Window(user.Item(kIdBrowse));
    const sim::SimWindow* browse = m.sim.ui.Window(dialog.browseButton);
    ASSERT_NE(browse, nullptr);
    EXPECT_FALSE(placeholder->visible());
    EXPECT_TRUE(browse->visible());
    EXPECT_EQ(browse->id, kIdBrowse);
    EXPECT_EQ(browse->imageIconId, kBrowseIcon);
    const Rect& p = placeholder->rect;
    EXPECT_EQ(browse->rect, (Rect{p.left - 2, p.top - 4, p.right + 2, p.bottom + 4}));
    user.Close();
  });
  EXPECT_EQ(m.sim.ui.dialogRuns().at(0).result, kIdCancel);
  EXPECT_TRUE(m.sim.ui.messageBoxes().empty());
}

TEST(SetupDialogTest, PreviousInstallationIsAskedAbout) {
  for (int answer : {static_cast<int>(kIdYes), static_cast<int>(kIdNo)}) {
    Machine m;
    m.sim.registry.SetString(kHkeyLocalMachine, kAppPathKey, "Path", "D:\\Apps\\Q");
    std::vector<std::string> before = m.sim.registry.Dump();
    m.sim.ui.QueueMessageBoxAnswer(answer);
    std::string shown;
    m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
      shown = user.Text(kIdFolderEdit);
      user.PressEscape();
    });
    ASSERT_EQ(m.sim.ui.messageBoxes().size(), 1u);
    const sim::SimMessageBox& box = m.sim.ui.messageBoxes()[0];
    EXPECT_EQ(box.text, "A previous installation of a Quorvex product found.\r\n\r\nContinue?");
    EXPECT_EQ(box.type, kMbYesNo | kMbIconExclamation);
    EXPECT_EQ(box.caption, kTitle);
    ASSERT_EQ(m.sim.ui.dialogRuns().size(), 1u);
    EXPECT_EQ(box.owner, m.sim.ui.dialogRuns()[0].hwnd);
    EXPECT_EQ(m.sim.ui.dialogRuns()[0].result, kIdCancel);
    // Yes proposes the folder; No closes before the user sees the dialog.
    EXPECT_EQ(shown, answer == kIdYes ? "D:\\Apps\\Q" : "");
    EXPECT_EQ(m.sim.registry.Dump(), before);
    EXPECT_TRUE(m.sim.files.Calls().empty());
  }
}

// The prompt names the product's expanded size from the entry headers, in
// megabytes of 1,048,576 bytes rounded up, and never less than 2.
TEST(SetupDialogTest, ThePromptNamesTheProductsSize) {
  constexpr std::uint32_t kMiB = 1 << 20;
  const struct {
    std::vector<std::uint32_t> sizes;
    const char* megabytes;
  } cases[] = {
      {{1363968, 90899, 741, 122880, 2126, 2317}, "2"},
      {{2 * kMiB}, "2"},
      {{kMiB, kMiB, 1}, "3"},
      {{24 * kMiB + 7}, "25"},
      {std::vector<std::uint32_t>(6, 0x7FFFFFFF), "12288"},  // past 32 bits in all
      {std::vector<std::uint32_t>(7, 100 * kMiB), "600"},    // a seventh entry is never installed
  };
  for (const auto& c : cases) {
    std::vector<testing::Bytes> bodies;
    for (std::uint32_t size : c.sizes) bodies.push_back(testing::StoredBody({'x'}, size));
    Machine m;
    m.sim.system.SetResource(129, testing::PayloadOfBodies(bodies));
    m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
      EXPECT_EQ(user.Text(kIdPrompt), std::string("Install Quorvex?\r\n\r\n(requires ") +
                                          c.megabytes + " MB of free disk space)");
      user.Close();
    });
  }
}

TEST(SetupDialogTest, PaintsOnlyWhileMinimisedAndGivesTheDragIcon) {
  Machine m;
  Size client;
  m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
    EXPECT_FALSE(user.Paint());
    user.SetIconic(true);
    client = m.sim.ui.GetClientSize(user.hwnd());
    EXPECT_TRUE(user.Paint());
    EXPECT_EQ(user.QueryDragIcon(), sim::SimUi::IconHandle(kDialogIcon));
    user.SetIconic(false);
    user.Close();
  });
  ASSERT_EQ(m.sim.ui.iconPaints().size(), 1u);
  const sim::SimIconPaint& paint = m.sim.ui.iconPaints()[0];
  Size icon = m.sim.ui.GetSystemIconSize();
  EXPECT_EQ(paint.iconId, kDialogIcon);
  EXPECT_EQ(paint.x, (client.cx - icon.cx + 1) / 2);
  EXPECT_EQ(paint.y, (client.cy - icon.cy + 1) / 2);
}

TEST(SetupDialogTest, BrowseStartsFromTargetFolderNotTheTypedText) {
  Machine m;
  m.sim.ui.ScriptDialog(kFolderBrowseTemplateId, [&](sim::SimDialogDriver& browser) {
    browser.Click(kOk);  // no selection: the start folder comes back
  });
  m.Run([&](sim::SimDialogDriver& user, SetupDialog& dialog) {
    user.Type(kIdFolderEdit, "D:\\Typed");
    EXPECT_TRUE(user.ClickWindow(dialog.browseButton));
    EXPECT_EQ(user.Text(kIdFolderEdit), kDefaultFolder);
    user.Close();
  });
  ASSERT_EQ(m.sim.ui.dialogRuns().size(), 2u);
  EXPECT_EQ(m.sim.ui.dialogRuns()[0].templateId, kFolderBrowseTemplateId);
  EXPECT_EQ(m.sim.ui.dialogRuns()[0].owner, m.sim.ui.dialogRuns()[1].hwnd);
}

}  // namespace
}  // namespace qvx
