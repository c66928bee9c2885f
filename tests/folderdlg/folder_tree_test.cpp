// The drive-and-folder tree: which drives and folders are listed, lazy
// reading, read failures, and the walk to the starting folder.
#include <set>

#include "browser_fixture.h"
#include "platform/sim/sim_templates.h"

namespace qvx {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FolderTreeTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    // Created out of sorted order, so the tree must sort them itself.
    sim.files.SetListingOrder(sim::SimFileSystem::ListingOrder::ByCreation);
    sim.files.AddDrive('C', kDriveFixed);
    // Listings that end with a file after their one sub-folder.
    sim.files.AddFolder("C:\\Windows\\System32");
    sim.files.AddFile("C:\\Windows\\win.ini", "");
    sim.files.AddFolder("C:\\Program Files\\Kelvane");
    sim.files.AddFile("C:\\Program Files\\desktop.ini", "");
    sim.files.AddFolder("C:\\beta");
    sim.files.AddFolder("C:\\Alpha\\RECYCLER", kFileAttributeSystem);
    sim.files.AddFile("C:\\Alpha\\readme.txt", "text");
    sim.files.AddFolder("C:\\hidden", kFileAttributeHidden);
    sim.files.AddFolder("C:\\System Volume Information", kFileAttributeSystem);
    sim.files.AddFile("C:\\autoexec.bat", "");
    sim.files.AddFolder("C:\\\xC9t\xE9");
  }

  // Paths of the items that are expanded, and of those showing image 1.
  void Collect(TreeItem item, const std::string& path, std::set<std::string>* expanded,
               std::set<std::string>* open) const {
    for (const std::string& text : sim.treeView.ChildTexts(tree, item)) {
      std::string childPath = path.empty() ? text : path + "\\" + text;
      TreeItem child = At(childPath);
      if (sim.treeView.Item(tree, child)->expanded) expanded->insert(childPath);
      if (sim.treeView.Item(tree, child)->image == kOpenFolderImage) open->insert(childPath);
      Collect(child, childPath, expanded, open);
    }
  }
};

TEST_F(FolderTreeTest, ListsOnlyRemovableAndFixedDrivesInLetterOrderUnread) {
  sim.files.AddDrive('G', kDriveFixed);
  sim.files.AddDrive('A', kDriveRemovable, /*mediumPresent=*/false);
  sim.files.AddDrive('B', kDriveUnknown);
  sim.files.AddDrive('D', kDriveCdrom);
  sim.files.AddDrive('E', kDriveRemote);
  sim.files.AddDrive('F', kDriveRamdisk);
  sim.files.AddDrive('Z', kDriveRemovable);
  Run("");
  EXPECT_THAT(sim.treeView.ChildTexts(tree, kNoItem), ElementsAre("A:", "C:", "G:", "Z:"));
  for (const char* drive : {"A:", "C:", "G:", "Z:"}) {
    EXPECT_TRUE(sim.treeView.HasExpandButton(tree, At(drive))) << drive;
    EXPECT_EQ(ItemAt(drive).image, kClosedFolderImage) << drive;
  }
  EXPECT_THAT(sim.files.Calls("FindFirstFileA"), IsEmpty());  // no drive was read
  EXPECT_EQ(sim.treeView.Caret(tree), kNoItem);
  EXPECT_THAT(sim.treeView.EnsureVisibleCalls(tree), IsEmpty());
  EXPECT_THAT(sim.ui.messageBoxes(), IsEmpty());
}

TEST_F(FolderTreeTest, InitialisationTitlesDialogAddsTreeStylesAndFolderImages) {
  Run("", [&](sim::SimDialogDriver& driver) {
    EXPECT_EQ(driver.Caption(), "Setup Folder");
    EXPECT_EQ(sim.ui.focus(), tree);
  });
  const std::uint32_t style = sim.ui.dialogRuns().back().Control(kFolderTreeId)->style;
  const std::uint32_t wanted = sim::kTvsDisableDragDrop | sim::kTvsShowSelAlways | sim::kWsTabStop |
                               kTvsHasButtons | kTvsHasLines | kTvsLinesAtRoot;
  EXPECT_EQ(style & wanted, wanted);
  EXPECT_THAT(sim.treeView.Icons(sim.treeView.AttachedImageList(tree)),
              ElementsAre(kClosedFolderIconId, kOpenFolderIconId));
  EXPECT_EQ(sim.treeView.ImageSize(sim.treeView.AttachedImageList(tree)), std::make_pair(16, 16));
  EXPECT_THAT(sim.system.Beeps(), IsEmpty());

  sim.treeView.FailImageListCreate(true);  // one beep, and the tree works without images
  Run("C:\\Windows\\");
  EXPECT_THAT(sim.system.Beeps(), ElementsAre(std::make_pair(99u, 99u)));
  EXPECT_EQ(sim.treeView.AttachedImageList(tree), kNoImageList);
  EXPECT_EQ(sim.treeView.Caret(tree), At("C:\\Windows"));
}

TEST_F(FolderTreeTest, OpeningListsPlainAndHiddenFoldersSortedWithButtonsWhereTheyHaveAny) {
  sim.files.AddFolder("C:\\Locked\\Inside");
  sim.files.FailNext("FindFirstFileA", kErrorAccessDenied, "C:\\Locked\\*.*");  // its probe
  Run("", [&](sim::SimDialogDriver&) {
    Open("C:");
    EXPECT_EQ(browser->GetItemPath(At("C:")), "C:\\");
    EXPECT_EQ(browser->GetItemPath(At("C:\\Program Files")), "C:\\Program Files\\");
    EXPECT_EQ(browser->GetItemPath(kNoItem), "");
  });
  EXPECT_THAT(
      sim.treeView.ChildTexts(tree, At("C:")),
      ElementsAre("Alpha", "beta", "hidden", "Locked", "Program Files", "Windows", "\xC9t\xE9"));
  EXPECT_EQ(ItemAt("C:").image, kOpenFolderImage);
  EXPECT_EQ(ItemAt("C:").selectedImage, kOpenFolderImage);
  EXPECT_TRUE(sim.treeView.HasExpandButton(tree, At("C:\\Windows")));
  EXPECT_TRUE(sim.treeView.HasExpandButton(tree, At("C:\\Program Files")));
  // Only a system folder and a file inside, nothing at all, or a failed probe.
  for (const char* leaf : {"C:\\Alpha", "C:\\beta", "C:\\hidden", "C:\\Locked"}) {
    EXPECT_FALSE(sim.treeView.HasExpandButton(tree, At(leaf))) << leaf;
  }
  EXPECT_THAT(sim.ui.messageBoxes(), IsEmpty());
}

TEST_F(FolderTreeTest, UnreadableFolderTellsUserItsDriveAndStaysEmptyButOpen) {
  struct Case {
    const char* start;
    std::vector<std::string> opens;
    const char* item;
    const char* drive;
    int image;  // only an expansion shows the open folder; the start walk has none to show
  };
  sim.files.AddDrive('A', kDriveRemovable, /*mediumPresent=*/false);
  // The probe while C: is read passes; opening Windows then fails.
  sim.files.InjectFault({"FindFirstFileA", kErrorAccessDenied, "C:\\Windows\\*.*", 1});
  const Case cases[] = {
      {"", {"A:"}, "A:", "A:", kOpenFolderImage},
      {"", {"C:", "C:\\Windows"}, "C:\\Windows", "C:", kOpenFolderImage},
      {"A:\\Data\\", {}, "A:", "A:", kClosedFolderImage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    const std::size_t before = sim.ui.messageBoxes().size();
    int depthWhileShown = -1;
    sim.ui.QueueMessageBoxAnswer(
        kIdOk, [&](const sim::SimMessageBox&) { depthWhileShown = sim.ui.waitCursorDepth(); });
    WindowHandle dialog = 0;
    Run(c.start, [&](sim::SimDialogDriver& driver) {
      dialog = driver.hwnd();
      for (const std::string& path : c.opens) Open(path);
    });
    ASSERT_EQ(sim.ui.messageBoxes().size(), before + 1);
    const sim::SimMessageBox& box = sim.ui.messageBoxes().back();
    EXPECT_EQ(box.text, std::string("Error Drive: ") + c.drive + "\r\nCorrect and try again");
    EXPECT_EQ(box.caption, "QvxSetup");
    EXPECT_EQ(box.type, kMbOk | kMbIconExclamation);
    EXPECT_EQ(box.owner, dialog);
    EXPECT_EQ(depthWhileShown, 1);
    EXPECT_FALSE(sim.treeView.HasExpandButton(tree, At(c.item)));
    EXPECT_EQ(ItemAt(c.item).image, c.image);
  }
}

TEST_F(FolderTreeTest, CollapseAndReopenReadNothingAgain) {
  Run("", [&](sim::SimDialogDriver&) {
    Open("C:");
    const std::size_t reads = sim.files.Calls("FindFirstFileA").size();
    Close("C:");
    EXPECT_EQ(ItemAt("C:").image, kClosedFolderImage);
    sim.files.AddFolder("C:\\Added Meanwhile");
    Open("C:");
    EXPECT_EQ(ItemAt("C:").image, kOpenFolderImage);
    EXPECT_EQ(sim.files.Calls("FindFirstFileA").size(), reads);
  });
  EXPECT_EQ(At("C:\\Added Meanwhile"), kNoItem);
}

// In a double-byte code page a name's second bytes may be 0x5C or letters:
// neither splits a path nor folds.
TEST_F(FolderTreeTest, StartFolderOpensItsPathAndSelectsItsLastComponent) {
  struct Case {
    const char* start;
    const char* selected;  // empty: nothing selected
    std::set<std::string> opened;
    std::uint32_t codePage = 1252;
  };
  sim.files.AddDrive('D', kDriveCdrom);
  sim.files.AddFolder("D:\\Data");
  sim.files.AddFolder("C:\\Program Files\\Fizz");
  const std::string software = "C:\\\x83\x5c\x83\x74\x83\x67";  // 932
  const std::string big5 = "C:\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c";
  ASSERT_TRUE(sim.SetCodePage(932));
  sim.files.AddFolder(software + "\\\x90\x7d\x95\x5c");
  sim.files.AddFolder("C:\\\x83\x41");  // differ in a letter-valued second byte only
  sim.files.AddFolder("C:\\\x83\x61");
  ASSERT_TRUE(sim.SetCodePage(950));
  sim.files.AddFolder(big5);
  const Case cases[] = {
      {"c:\\program files\\", "C:\\Program Files", {"C:"}},
      {"C:\\WINDOWS\\system32\\", "C:\\Windows\\System32", {"C:", "C:\\Windows"}},
      {"C:\\Program Files\\Kelvane\\", "C:\\Program Files\\Kelvane", {"C:", "C:\\Program Files"}},
      {"C:\\PROGRAM FILES\\FIZZ\\", "C:\\Program Files\\Fizz", {"C:", "C:\\Program Files"}},
      {"C:\\Program Files\\Kelvane\\Quorvex\\", "", {"C:", "C:\\Program Files"}},
      {"C:\\Program Files\\Missing\\Quorvex\\", "", {"C:", "C:\\Program Files"}},
      {"C:\\\xE9t\xE9\\", "", {"C:"}},  // only A to Z match either case
      {"", "", {}},
      {"\\", "", {}},
      {"D:\\Data\\", "", {}},  // a drive that is not listed
      {"C:\\\x83\x61\\", "C:\\\x83\x61", {"C:"}, 932},
      {"C:\\\x83\x61\\", "C:\\\x83\x61", {"C:"}, 949},
      {"C:\\\x83\x61\\", "C:\\\x83\x41", {"C:"}, 1252},  // single-byte: the same name
      {"C:\\\x83\x5c\x83\x74\x83\x67\\\x90\x7d\x95\x5c\\", "C:\\\x83\x5c\x83\x74\x83\x67\\\x90\x7d\x95\x5c",
       {"C:", "C:\\\x83\x5c\x83\x74\x83\x67"}, 932},
      {"C:\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c\\", "C:\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c",
       {"C:", "C:\\\xa5\x5c", "C:\\\xa5\x5c\\b\xa7\x5c"}, 950},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    ASSERT_TRUE(sim.SetCodePage(c.codePage));
    Run(c.start);
    const std::string folderText = sim.ui.dialogRuns().back().Control(kFolderStaticId)->text;
    if (*c.selected != '\0') {
      TreeItem item = At(c.selected);
      ASSERT_NE(item, kNoItem);
      EXPECT_EQ(sim.treeView.Caret(tree), item);
      EXPECT_TRUE(ItemAt(c.selected).selectedState);
      EXPECT_THAT(sim.treeView.EnsureVisibleCalls(tree), ElementsAre(item));
      EXPECT_EQ(folderText, std::string(c.selected) + "\\");
      EXPECT_EQ(selectedFolder, std::string(c.selected) + "\\");
    } else {
      EXPECT_EQ(sim.treeView.Caret(tree), kNoItem);
      EXPECT_THAT(sim.treeView.EnsureVisibleCalls(tree), IsEmpty());
      EXPECT_EQ(folderText, "");
      EXPECT_EQ(selectedFolder, c.start);
    }
    std::set<std::string> expanded, open;
    Collect(kNoItem, "", &expanded, &open);
    EXPECT_EQ(expanded, c.opened);
    EXPECT_EQ(open, c.opened);
  }
}

}  // namespace
}  // namespace qvx
