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
const std::string kFolder = "C:\\Program Files\\Kelvane\\Quorvex";
const std::string kTarget = kFolder + "\\QVX.exe";
const std::string kLongFolder = "C:\\" + std::string(249, 'f');  // link path of 260

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files.AddDrive('C');
    files.AddFolder(kDesktop);
    files.AddFolder(kPrograms);
    files.AddFolder(kLongFolder);
    files.AddFolder(kLongFolder.substr(0, kLongFolder.size() - 1));
    link.CoInitialize();
  }

  std::optional<sim::SimShellLink::LinkFile> LinkAt(const std::string& path) const {
    std::optional<std::string> text = files.ReadText(path);
    return text ? sim::SimShellLink::ParseLinkFile(*text) : std::nullopt;
  }

  sim::SimFileSystem files;
  sim::SimShellLink link{files};
};

TEST_F(ShortcutTest, WritesQvxLnkWithTargetAndDescriptionBlanksUnquoted) {
  EXPECT_EQ(CreateProductShortcut(link, kTarget, kDesktop), kSOk);
  ASSERT_EQ(link.calls().size(), 1u);
  EXPECT_EQ(link.calls()[0].target, kTarget);
  EXPECT_EQ(link.calls()[0].linkPath, kDesktop + "\\QVX.lnk");
  EXPECT_EQ(link.calls()[0].description, "Quorvex");
  auto saved = LinkAt(kDesktop + "\\QVX.lnk");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->target, kTarget);
  EXPECT_EQ(saved->description, "Quorvex");

  // A later installation saves it again at the same path with its new target.
  CreateProductShortcut(link, "D:\\Tools\\Quorvex\\QVX.exe", kDesktop);
  EXPECT_EQ(LinkAt(kDesktop + "\\QVX.lnk")->target, "D:\\Tools\\Quorvex\\QVX.exe");
  EXPECT_EQ(files.OpenFileHandles(), 0);
}

TEST_F(ShortcutTest, AnUnknownFolderWritesNoLinkAtTheDriveRoot) {
  EXPECT_LT(CreateProductShortcut(link, kTarget, ""), 0);
  EXPECT_TRUE(link.calls().empty());
  EXPECT_FALSE(files.Exists("C:\\QVX.lnk"));
}

TEST_F(ShortcutTest, FailuresWriteNothingAndComeBackNegative) {
  const struct {
    const char* what;
    void (*arrange)(sim::SimFileSystem&, sim::SimShellLink&);
    std::string folder;
    std::int32_t status;
  } cases[] = {
      {"COM not initialised", [](sim::SimFileSystem&, sim::SimShellLink& l) { l.CoUninitialize(); },
       kDesktop, sim::kCoENotInitialized},
      {"folder missing", [](sim::SimFileSystem&, sim::SimShellLink&) {}, "C:\\Nowhere",
       static_cast<std::int32_t>(0x80070003u)},
      {"disk full mid-write",
       [](sim::SimFileSystem& f, sim::SimShellLink&) { f.FillDiskAfter('C', 10); }, kDesktop,
       static_cast<std::int32_t>(0x80070070u)},
      {"link path over 259 characters", [](sim::SimFileSystem&, sim::SimShellLink&) {}, kLongFolder,
       sim::kLinkPathTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimFileSystem fs;
    fs.AddDrive('C');
    fs.AddFolder(kDesktop);
    fs.AddFolder(kLongFolder);
    sim::SimShellLink shell(fs);
    shell.CoInitialize();
    c.arrange(fs, shell);
    EXPECT_EQ(CreateProductShortcut(shell, kTarget, c.folder), c.status);
    EXPECT_FALSE(fs.Exists(c.folder + "\\QVX.lnk"));
    EXPECT_EQ(fs.OpenFileHandles(), 0);
  }
  // One character less fits the conversion buffer.
  const std::string fits = kLongFolder.substr(0, kLongFolder.size() - 1);
  EXPECT_EQ(CreateProductShortcut(link, kTarget, fits), kSOk);
  EXPECT_TRUE(LinkAt(fits + "\\QVX.lnk"));
}

// The installation's closing steps as the run performs them: whatever happens
// to one shortcut, the other and the registration still go ahead.
TEST_F(ShortcutTest, OneShortcutFailingStopsNeitherTheOtherNorTheRegistration) {
  const struct {
    const char* what;
    std::string desktop;
    bool failDesktop;
    bool failPrograms;
  } cases[] = {
      {"desktop refused", kDesktop, true, false},
      {"desktop unknown", "", false, false},
      {"both refused", kDesktop, true, true},
  };
  for (const auto& c : cases) {
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
    shell.CoInitialize();
    CreateProductShortcut(shell, kTarget, folders.desktop);
    CreateProductShortcut(shell, kTarget, folders.programs);
    RegisterAppPath(registry, kFolder);
    RegisterUninstall(registry, kFolder);
    shell.CoUninitialize();

    EXPECT_FALSE(fs.Exists(kDesktop + "\\QVX.lnk"));
    EXPECT_EQ(fs.Exists(kPrograms + "\\QVX.lnk"), !c.failPrograms);
    EXPECT_FALSE(fs.Exists("C:\\QVX.lnk"));
    EXPECT_EQ(registry.Values(kHkeyLocalMachine, kAppPathKey).size(), 2u);
    EXPECT_EQ(registry.Values(kHkeyLocalMachine, kUninstallKey).size(), 2u);
  }
}

}  // namespace
}  // namespace qvx::test
