// The selection read-outs, the free-space text and the hand-back of the
// chosen folder to the setup dialog.
#include "browser_fixture.h"
#include "folderdlg/free_space.h"

namespace qvx {
namespace {

using ::testing::IsEmpty;

class SelectionTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    sim.files.AddDrive('A', kDriveRemovable, /*mediumPresent=*/false);
    sim.files.AddDrive('C', kDriveFixed);
    sim.files.AddFolder("C:\\Windows\\System32");
    sim.files.AddFolder("C:\\Program Files");
    sim.SetCodePage(932);
    sim.files.AddFolder("C:\\\x83\x5c\x83\x74\x83\x67\\\x90\x7d\x95\x5c");
    // Katakana ME, 83 81: its second byte is also a lead byte.
    sim.files.AddFolder(kKatakanaMe);
    // 130 two-byte characters: the tree's 259-byte read-back ends inside the last.
    for (int i = 0; i < 130; ++i) longName += "\x83\x41";
    ASSERT_TRUE(sim.files.AddFolder(longName));
    sim.SetCodePage(1252);
  }
  std::string longName = "C:\\";
  static constexpr const char* kKatakanaMe = "C:\\\x83\x81";
};

TEST_F(SelectionTest, FreeSpaceTextFollowsTheKilobyteThresholds) {
  struct Case {
    std::uint32_t sectorsPerCluster, bytesPerSector, freeClusters;
    const char* text;
  };
  const Case cases[] = {
      {2, 512, 0, "0KB free"},
      {2, 512, 8191, "8191KB free"},
      {2, 512, 8192, "8MB free"},
      {2, 512, 9215, "8MB free"},
      {2, 512, 10'000'000, "9765MB free"},
      {1, 512, 1000, "500KB free"},
      {1, 1024, 4294901759u, "4194239MB free"},
      {1, 1024, 4294901760u, ""},
      {64, 4096, 4294967295u, ""},
      // The product of the three exceeds 64 bits; wrapped, it would read 12287MB.
      {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, ""},
  };
  for (const Case& c : cases) {
    sim.files.SetDiskFreeSpace('C', {c.sectorsPerCluster, c.bytesPerSector, c.freeClusters, 0});
    EXPECT_EQ(FormatFreeSpace(sim.files, "C:\\Program Files\\"), c.text)
        << c.sectorsPerCluster << " x " << c.bytesPerSector << " x " << c.freeClusters;
  }
}

TEST_F(SelectionTest, FreeSpaceAsksTheDriveRootAndIsEmptyWhenTheDriveCannotTell) {
  sim.files.SetDiskFreeSpace('C', {1, 512, 1000, 0});
  EXPECT_EQ(FormatFreeSpace(sim.files, "C:\\Program Files\\"), "500KB free");
  EXPECT_EQ(FormatFreeSpace(sim.files, "C:\\"), "500KB free");
  EXPECT_EQ(FormatFreeSpace(sim.files, "A:\\"), "");  // no medium
  EXPECT_EQ(FormatFreeSpace(sim.files, "Q:\\"), "");  // no such drive
  const auto calls = sim.files.Calls("GetDiskFreeSpaceA");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].path, "C:\\");
  EXPECT_EQ(calls[1].path, "C:\\");
}

TEST_F(SelectionTest, ReadOutsFollowTheSelectionFreeSpaceOnlyOnNt) {
  sim.files.SetDiskFreeSpace('C', {1, 512, 1000, 0});
  for (int platformKind : {1, 2}) {
    SCOPED_TRACE(platformKind);
    const bool nt = platformKind == 2;
    sim.files.ClearCalls();
    Run(
        "C:\\Windows\\",
        [&](sim::SimDialogDriver& driver) {
          EXPECT_EQ(driver.Text(kFolderStaticId), "C:\\Windows\\");
          EXPECT_EQ(driver.Text(kFreeSpaceEditId), nt ? "500KB free" : "");
          Pick("C:\\Program Files");
          EXPECT_EQ(driver.Text(kFolderStaticId), "C:\\Program Files\\");
          EXPECT_EQ(driver.Text(kFreeSpaceEditId), nt ? "500KB free" : "");
          // A drive that cannot tell its free space shows none, not the last figure.
          Pick("A:");
          EXPECT_EQ(driver.Text(kFolderStaticId), "A:\\");
          EXPECT_EQ(driver.Text(kFreeSpaceEditId), "");
        },
        platformKind);
    EXPECT_EQ(selectedFolder, "A:\\");
    if (!nt) {
      EXPECT_THAT(sim.files.Calls("GetDiskFreeSpaceA"), IsEmpty());
    }
  }
}

TEST_F(SelectionTest, BrowseHandsBackTheChosenFolderOnlyOnOk) {
  const char* const kSoftware = "C:\\\x83\x5c\x83\x74\x83\x67\\\x90\x7d\x95\x5c";  // 932
  const std::string cutName = longName.substr(0, 3 + 2 * 129);
  enum Action { kOk, kCancel, kEscape };
  struct Case {
    const char* target;
    std::vector<std::string> picks;
    Action end;
    const char* resultTarget;  // null: target and edit unchanged
    std::uint32_t codePage = 1252;
  };
  const Case cases[] = {
      {"C:\\Windows", {"C:\\Program Files"}, kOk, "C:\\Program Files"},
      {"C:\\Windows", {"C:"}, kOk, "C:"},
      {"C:\\Windows", {}, kOk, "C:\\Windows"},
      {"Z:\\Nowhere", {}, kOk, "Z:\\Nowhere"},  // nothing selected at all
      {"", {}, kOk, "\\"},                      // one character is never shortened
      {"C:\\Windows", {"C:\\Program Files", "C:", "A:"}, kCancel, nullptr},
      {"C:\\Windows", {"C:\\Program Files"}, kEscape, nullptr},
      {kSoftware, {"C:", kSoftware}, kOk, kSoftware, 932},
      {"C:\\Windows", {longName}, kOk, cutName.c_str(), 932},
      {"C:\\Windows", {kKatakanaMe}, kOk, kKatakanaMe, 932},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    ASSERT_TRUE(sim.SetCodePage(c.codePage));
    OwnerDialog owner(app);
    owner.targetFolder = c.target;
    std::string edit;
    sim.ui.ScriptDialog(102, [&](sim::SimDialogDriver& driver) {
      owner.edit.SetText("D:\\Typed");  // the browser starts from targetFolder, not this
      owner.Browse(2);
      edit = driver.Text(1001);
      driver.PressEscape();
    });
    sim.ui.ScriptDialog(kFolderBrowseTemplateId, [&](sim::SimDialogDriver& driver) {
      tree = driver.Item(kFolderTreeId);
      if (At(c.target) != kNoItem) {
        EXPECT_EQ(sim.treeView.Caret(tree), At(c.target));
      }
      for (const std::string& pick : c.picks) Pick(pick);
      if (c.end == kOk) driver.Click(kIdOk);
      if (c.end == kCancel) driver.Click(kIdCancel);
      if (c.end == kEscape) driver.PressEscape();
    });
    owner.DoModal();
    EXPECT_EQ(owner.targetFolder, c.resultTarget ? c.resultTarget : c.target);
    EXPECT_EQ(edit, c.resultTarget ? c.resultTarget : "D:\\Typed");
    EXPECT_EQ(sim.ui.dialogRuns().end()[-2].owner, sim.ui.dialogRuns().back().hwnd);
  }
}

}  // namespace
}  // namespace qvx
