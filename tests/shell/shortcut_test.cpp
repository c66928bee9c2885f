#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_shell_link.h"
#include "platform/win_values.h"
#include "registry_fixture.h"
#include "shell/product_shortcut.h"
#include "shell/registration.h"
#include "shell/shell_folders.h"

namespace qvx::test {
namespace {

const std::string kDesktop = "C:\\Documents and Settings\\Ann Lee\\Desktop";
const std::string kPrograms = "C:\\Documents and Settings\\Ann Lee\\Start Menu\\Programs";
const std::string kTarget = "C:\\Program Files\\Kelvane\\Quorvex\\QVX.exe";

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files.AddDrive('C');
    files.AddFolder(kDesktop);
    files.AddFolder(kPrograms);
    link.CoInitialize();
  }

  std::optional<sim::SimShellLink::LinkFile> LinkAt(const std::string& path) const {
    std::optional<std::string> text = files.ReadText(path);
    if (!text) return std::nullopt;
    return sim::SimShellLink::ParseLinkFile(*text);
  }

  sim::SimFileSystem files;
  sim::SimShellLink link{files};
};

TEST_F(ShortcutTest, WritesQvxLnkInTheFolderWithTargetAndDescriptionUnquoted) {
  EXPECT_EQ(CreateProductShortcut(link, kTarget, kDesktop), kSOk);
  ASSERT_EQ(link.calls().size(), 1u);
  EXPECT_EQ(link.calls()[0].target, kTarget);
  EXPECT_EQ(link.calls()[0].linkPath, kDesktop + "\\QVX.lnk");
  EXPECT_EQ(link.calls()[0].description, "Quorvex");

  auto saved = LinkAt(kDesktop + "\\QVX.lnk");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->target, kTarget);
  EXPECT_EQ(saved->description, "Quorvex");
  EXPECT_EQ(files.OpenFileHandles(), 0);
}

TEST_F(ShortcutTest, AnUnknownFolderWritesNoLinkAtTheDriveRoot) {
  EXPECT_LT(CreateProductShortcut(link, kTarget, ""), 0);
  EXPECT_TRUE(link.calls().empty());
  EXPECT_FALSE(files.Exists("C:\\QVX.lnk"));
  EXPECT_FALSE(files.Exists("\\QVX.lnk"));
}

TEST_F(ShortcutTest, ASecondInstallationSavesTheLinkAgainWithTheNewTarget) {
  CreateProductShortcut(link, kTarget, kDesktop);
  CreateProductShortcut(link, "D:\\Tools\\Quorvex\\QVX.exe", kDesktop);
  auto saved = LinkAt(kDesktop + "\\QVX.lnk");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->target, "D:\\Tools\\Quorvex\\QVX.exe");
}

// The installation's closing steps as the run performs them: whatever happens
// to one shortcut, the other and the registration still go ahead.
TEST_F(ShortcutTest, OneShortcutFailingStopsNeitherTheOtherNorTheRegistration) {
  struct Case {
    const char* what;
    std::string desktop;
    bool failDesktop;
    bool failPrograms;
    bool desktopLink;
    bool programsLink;
  };
  const Case cases[] = {
      {"desktop refused", kDesktop, true, false, false, true},
      {"desktop unknown", "", false, false, false, true},
      {"both refused", kDesktop, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimFileSystem fs;
    fs.AddDrive('C');
    fs.AddFolder(kDesktop);
    fs.AddFolder(kPrograms);
    sim::SimShellLink shell(fs);
    sim::SimRegistry registry;
    registry.SeedStandardKeys(c.desktop, kPrograms);
    if (c.failDesktop) shell.FailLink(kDesktop + "\\QVX.lnk", kEFail);
    if (c.failPrograms) shell.FailLink(kPrograms + "\\QVX.lnk", kEFail);

    ShellFolders folders = ReadShellFolders(registry);
    const std::string folder = "C:\\Program Files\\Kelvane\\Quorvex";
    shell.CoInitialize();
    CreateProductShortcut(shell, folder + "\\QVX.exe", folders.desktop);
    CreateProductShortcut(shell, folder + "\\QVX.exe", folders.programs);
    RegisterAppPath(registry, folder);
    RegisterUninstall(registry, folder);
    shell.CoUninitialize();

    EXPECT_EQ(fs.Exists(kDesktop + "\\QVX.lnk"), c.desktopLink);
    EXPECT_EQ(fs.Exists(kPrograms + "\\QVX.lnk"), c.programsLink);
    EXPECT_FALSE(fs.Exists("C:\\QVX.lnk"));
    EXPECT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 2u);
    EXPECT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 2u);
  }
}

TEST_F(ShortcutTest, TheSimulatedLinkFailsAsTheShellObjectWould) {
  struct Case {
    const char* what;
    void (*arrange)(sim::SimFileSystem&, sim::SimShellLink&);
    std::string folder;
    std::int32_t status;
  };
  const Case cases[] = {
      {"COM not initialised", [](sim::SimFileSystem&, sim::SimShellLink& l) { l.CoUninitialize(); },
       kDesktop, sim::kCoENotInitialized},
      {"folder missing", [](sim::SimFileSystem&, sim::SimShellLink&) {}, "C:\\Nowhere",
       static_cast<std::int32_t>(0x80070003u)},
      {"file refused",
       [](sim::SimFileSystem& f, sim::SimShellLink&) { f.FailNext("CreateFileA", 5); }, kDesktop,
       static_cast<std::int32_t>(0x80070005u)},
      {"disk full mid-write",
       [](sim::SimFileSystem& f, sim::SimShellLink&) { f.FillDiskAfter('C', 10); }, kDesktop,
       static_cast<std::int32_t>(0x80070070u)},
      {"link path over 259 characters", [](sim::SimFileSystem&, sim::SimShellLink&) {},
       "C:\\" + std::string(249, 'f'), sim::kLinkPathTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimFileSystem fs;
    fs.AddDrive('C');
    fs.AddFolder(kDesktop);
    fs.AddFolder("C:\\" + std::string(249, 'f'));
    sim::SimShellLink shell(fs);
    shell.CoInitialize();
    c.arrange(fs, shell);
    EXPECT_EQ(CreateProductShortcut(shell, kTarget, c.folder), c.status);
    EXPECT_FALSE(fs.Exists(c.folder + "\\QVX.lnk"));
    EXPECT_EQ(fs.OpenFileHandles(), 0);
  }
}

TEST_F(ShortcutTest, ALinkPathOf259CharactersStillFits) {
  const std::string folder = "C:\\" + std::string(248, 'f');  // + "\\QVX.lnk" = 259
  files.AddFolder(folder);
  EXPECT_EQ(CreateProductShortcut(link, kTarget, folder), kSOk);
  EXPECT_TRUE(LinkAt(folder + "\\QVX.lnk"));
}

TEST(SimShellLinkFile, ReadsBackOnlyWellFormedLinks) {
  auto link = sim::SimShellLink::ParseLinkFile(
      sim::SimShellLink::LinkFileText("C:\\A B\\QVX.exe", "Quorvex"));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, "C:\\A B\\QVX.exe");
  EXPECT_EQ(link->description, "Quorvex");
  EXPECT_FALSE(sim::SimShellLink::ParseLinkFile(""));
  EXPECT_FALSE(sim::SimShellLink::ParseLinkFile("[QvxLink]\r\nTarget=x\r\n"));
  EXPECT_FALSE(sim::SimShellLink::ParseLinkFile("[QvxLink]\r\nTarget=x\r\nDescription=y"));
}

}  // namespace
}  // namespace qvx::test
