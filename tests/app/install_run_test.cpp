#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "payload/payload_check.h"
#include "payload/target_names.h"

namespace qvx {
namespace {

constexpr char kSuccess[] =
    "The program has been successfully installed\r\n\r\nA shortcut (named QVX) can be found on "
    "Windows Desktop and in \"Programs\" of Windows \"Start\".";
const std::string kDesktopLink = std::string(sim::SimRegistry::kDefaultDesktop) + "\\QVX.lnk";
const std::string kProgramsLink = std::string(sim::SimRegistry::kDefaultPrograms) + "\\QVX.lnk";

void ExpectInstalledInto(Machine& m, const std::string& folder) {
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    EXPECT_EQ(m.sim.files.ReadBytes(folder + "\\" + std::string(kTargetNames[i])),
              TestProduct().files[i])
        << kTargetNames[i];
  }
  EXPECT_FALSE(m.sim.files.Exists(folder + "\\qvx.tmp"));
  for (const std::string& link : {kDesktopLink, kProgramsLink}) {
    auto file = sim::SimShellLink::ParseLinkFile(m.sim.files.ReadText(link).value_or(""));
    ASSERT_TRUE(file) << link;
    EXPECT_EQ(file->target, folder + "\\QVX.exe");
    EXPECT_EQ(file->description, "Quorvex");
  }
  auto value = [&](const char* key, const char* name) {
    return m.sim.registry.GetString(kHkeyLocalMachine, key, name).value_or("(none)");
  };
  EXPECT_EQ(value(kAppPathKey, ""), folder + "\\QVX.EXE");
  EXPECT_EQ(value(kAppPathKey, "Path"), folder);
  EXPECT_EQ(value(kUninstallKey, "DisplayName"), "Quorvex");
  EXPECT_EQ(value(kUninstallKey, "UninstallString"), "\"" + folder + "\\QvxUninstall.exe\"");
}

// The dialog as the user sees it: asking (as before OK, and after a failure)
// or installed (the report and a single Close button).
void ExpectState(Machine& m, sim::SimDialogDriver& user, SetupDialog& dialog, bool installed) {
  EXPECT_EQ(user.Text(kIdPrompt), installed ? kSuccess : kPrompt);
  for (int id : {kOk, kIdFolderEdit, kIdPathLabel}) EXPECT_EQ(user.IsVisible(id), !installed) << id;
  EXPECT_EQ(m.sim.ui.Window(dialog.browseButton)->visible(), !installed);
  EXPECT_EQ(user.Text(kCancel), installed ? "Close" : "Cancel");
  EXPECT_EQ(user.Caption(), "Setup Quorvex");
  EXPECT_EQ(dialog.installed, installed);
  EXPECT_FALSE(dialog.installing);
}

// Nothing is held once the dialog has closed: cursor, memory, handles, COM.
void ExpectReleased(Machine& m) {
  EXPECT_EQ(m.sim.ui.waitCursorDepth(), 0);
  EXPECT_EQ(m.sim.system.LiveAllocations(), 0);
  EXPECT_EQ(m.sim.files.OpenFileHandles(), 0);
  EXPECT_EQ(m.sim.registry.OpenHandleCount(), 0u);
  EXPECT_EQ(m.sim.shellLink.coInitializeCount(), m.sim.shellLink.coUninitializeCount());
}

// After success, Enter (OK is hidden), Escape, the close box and Close all end
// the dialog with Cancel, and none starts a second run.
TEST(InstallRunTest, SuccessfulRunInstallsAndAnyWayOutEndsWithCancel) {
  std::function<void(sim::SimDialogDriver&)> ways[] = {
      [](sim::SimDialogDriver& u) { u.PressEnter(); },
      [](sim::SimDialogDriver& u) { u.PressEscape(); },
      [](sim::SimDialogDriver& u) { u.Close(); },
      [](sim::SimDialogDriver& u) { u.Click(kCancel); },
  };
  for (auto& leave : ways) {
    Machine m;
    m.Run([&](sim::SimDialogDriver& user, SetupDialog& dialog) {
      ExpectState(m, user, dialog, false);
      user.Click(kOk);
      ExpectState(m, user, dialog, true);
      m.sim.files.ClearCalls();
      leave(user);
    });
    EXPECT_TRUE(m.sim.files.Calls().empty());
    ExpectInstalledInto(m, kDefaultFolder);
    EXPECT_TRUE(m.sim.ui.messageBoxes().empty());
    EXPECT_EQ(m.sim.ui.dialogRuns().at(0).result, kIdCancel);
    EXPECT_EQ(m.sim.ui.waitCursorLog(), (std::vector<bool>{true, false}));
    EXPECT_EQ(m.sim.shellLink.coInitializeCount(), 1);
    ExpectReleased(m);
  }
}

// The folder is the edit's text less surrounding blanks and one trailing
// backslash, for the files, the shortcuts and the registry alike; blanks that
// the backslash stood behind go too, as the folder created has none. In a
// double-byte code page a folder may end in a character whose second byte
// is 0x5C, which is no backslash.
TEST(InstallRunTest, TypedFolderIsTrimmedAndLosesOneTrailingBackslash) {
  const char* const kTools = "D:\\My Tools\\Quorvex";
  const char* const kSoftware = "D:\\\x83\x5c\x83\x74\x83\x67\\\x90\x7d\x95\x5c";  // 932
  const char* const kBig5 = "D:\\\xa5\x5c\\b\xa7\x5c\\\xbb\x5c";
  const struct {
    std::uint32_t codePage;
    std::string typed;
    const char* folder;
  } cases[] = {
      {1252, "D:\\My Tools\\Quorvex\\", kTools},
      {1252, "  D:\\My Tools\\Quorvex \t", kTools},
      {1252, "D:\\My Tools\\Quorvex \\ ", kTools},
      {1252, "\rD:\\My Tools\\Quorvex\r\n", kTools},
      {932, "D:\\My Tools\\Quorvex\\", kTools},
      {932, kSoftware, kSoftware},
      {932, std::string(kSoftware) + "\\", kSoftware},
      {950, kBig5, kBig5},
      {950, std::string(kBig5) + "\\", kBig5},
      {1252, "D:\\Programme\\\xdc" "bersicht\\", "D:\\Programme\\\xdc" "bersicht"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Machine m;
    ASSERT_TRUE(m.sim.SetCodePage(c.codePage));
    m.Run([&](sim::SimDialogDriver& user, SetupDialog& dialog) {
      user.Type(kIdFolderEdit, c.typed);
      user.Click(kOk);
      EXPECT_EQ(dialog.TargetFolder, c.folder);
      user.PressEscape();
    });
    ExpectInstalledInto(m, c.folder);
  }
}

// Each failure: its one message, and the dialog exactly as before OK; no
// shortcut, no registry entry, nothing left held.
TEST(InstallRunTest, EveryFailureReportsAndRestoresTheAskingState) {
  struct Case {
    const char* message;
    std::string folder;
    std::function<void(Machine&)> fault;
  };
  auto failNext = [](const char* operation, std::uint32_t error, const char* path) {
    return [=](Machine& m) { m.sim.files.FailNext(operation, error, path); };
  };
  std::vector<Case> cases = {
      {"Cannot create directory\r\nPath length exceeds 256", "C:\\" + std::string(237, 'x'), {}},
      {"Cannot create directory", "Q:\\Quorvex", {}},
      {"Cannot create directory", "", {}},
      {"No space on disk", kDefaultFolder, failNext("CreateFileA", kErrorDiskFull, "qvx.tmp")},
      {"Invalid Path", kDefaultFolder, failNext("CreateFileA", kErrorBadPathname, "qvx.tmp")},
      {"File Error", kDefaultFolder, failNext("CreateFileA", kErrorAccessDenied, "qvx.tmp")},
      {"Disk full\r\nCorrect and retry", kDefaultFolder,
       [](Machine& m) { m.sim.files.FillDiskAfter('C', 700); }},
      {"Error in installation", kDefaultFolder,
       failNext("WriteFile", kErrorAccessDenied, "QVX.cnt")},
      {"Error in installation", kDefaultFolder,
       [](Machine& m) {
         // Without the check value that would refuse it at start-up, as
         // another tool writes it; entry 0 claims an unknown compression mode.
         std::vector<std::uint8_t> broken = TestProduct().payload;
         broken.resize(broken.size() - kCheckTrailerSize);
         broken[8] = 'B';
         m.sim.system.SetResource(129, broken);
       }},
      {"Error creating file", kDefaultFolder,
       failNext("CreateFileA", kErrorSharingViolation, "\\QVX.hlp")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Machine m;
    if (c.fault) c.fault(m);
    m.Run([&](sim::SimDialogDriver& user, SetupDialog& dialog) {
      user.Type(kIdFolderEdit, c.folder);
      user.Click(kOk);
      ExpectState(m, user, dialog, false);
      EXPECT_EQ(user.Text(kIdFolderEdit), c.folder);
      EXPECT_EQ(dialog.TargetFolder, kDefaultFolder);
      user.Click(kCancel);
    });
    ASSERT_EQ(m.sim.ui.messageBoxes().size(), 1u);
    const sim::SimMessageBox& box = m.sim.ui.messageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.type, kMbOk | kMbIconExclamation);
    EXPECT_EQ(box.caption, kTitle);
    EXPECT_EQ(box.owner, m.sim.ui.dialogRuns().at(0).hwnd);
    EXPECT_TRUE(m.sim.shellLink.calls().empty());
    EXPECT_FALSE(m.sim.registry.KeyExists(kHkeyLocalMachine, kAppPathKey));
    EXPECT_FALSE(m.sim.registry.KeyExists(kHkeyLocalMachine, kUninstallKey));
    EXPECT_FALSE(m.sim.files.Exists(c.folder + "\\qvx.tmp"));
    EXPECT_EQ(m.sim.ui.waitCursorLog(), (std::vector<bool>{true, false}));
    ExpectReleased(m);
  }
}

// An OK that reaches the dialog while the run's message box is open is
// ignored; the OK after it runs again from the first file.
TEST(InstallRunTest, OkDuringAMessageBoxIsIgnoredAndTheNextOkStartsOver) {
  Machine m;
  m.sim.files.FailNext("CreateFileA", kErrorAccessDenied, "\\QVX.cnt");
  WindowHandle setup = 0;
  m.sim.ui.QueueMessageBoxAnswer(kOk, [&](const sim::SimMessageBox&) {
    sim::SimDialogDriver user = m.sim.ui.DriverFor(setup);
    user.PressEnter();
    user.Click(kOk);
  });
  m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
    setup = user.hwnd();
    user.Click(kOk);
    m.sim.files.ClearCalls();
    user.Click(kOk);
    user.PressEnter();
  });
  ASSERT_EQ(m.sim.ui.messageBoxes().size(), 1u);
  EXPECT_EQ(m.sim.ui.messageBoxes()[0].text, "Error creating file");
  EXPECT_EQ(m.sim.files.Calls("CreateDirectoryA").size(), 1u);
  EXPECT_EQ(m.sim.files.Calls("CreateFileA").at(0).path, std::string(kDefaultFolder) + "\\qvx.tmp");
  ExpectInstalledInto(m, kDefaultFolder);
  EXPECT_EQ(m.sim.ui.waitCursorLog(), (std::vector<bool>{true, false, true, false}));
}

// With no Shell folders key there is nowhere to put a shortcut: none is
// written, not even at the drive's root, and the run still succeeds.
TEST(InstallRunTest, NoShellFoldersStillSucceedsWithoutShortcuts) {
  Machine m;
  m.sim.registry.DeleteKey(kHkeyCurrentUser,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
  m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
    user.Click(kOk);
    EXPECT_EQ(user.Text(kIdPrompt), kSuccess);
    user.PressEnter();
  });
  EXPECT_TRUE(m.sim.files.List("C:\\").size() == 2u);  // WINDOWS and Program Files only
  EXPECT_FALSE(m.sim.files.Exists(kDesktopLink));
  EXPECT_EQ(m.sim.registry.GetString(kHkeyLocalMachine, kAppPathKey, "Path"), kDefaultFolder);
  ExpectReleased(m);
}

// A payload with more entries than names installs the six named files only;
// another tool wrote it, without a check value.
TEST(InstallRunTest, EntriesAfterTheSixthAreNeverInstalled) {
  Machine m;
  std::vector<std::vector<std::uint8_t>> files = TestProduct().files;
  files.push_back({'7', 't', 'h'});
  std::vector<std::uint8_t> payload;
  std::string error;
  ASSERT_TRUE(pack::BuildPayload(files, &payload, &error)) << error;
  payload.resize(payload.size() - kCheckTrailerSize);
  m.sim.system.SetResource(129, payload);
  m.Run([](sim::SimDialogDriver& user, SetupDialog&) {
    user.Click(kOk);
    user.PressEnter();
  });
  ExpectInstalledInto(m, kDefaultFolder);
  EXPECT_EQ(m.sim.files.List(kDefaultFolder).size(), kTargetCount);
}

// The report shows first, then the shortcuts are written, then the registry.
TEST(InstallRunTest, ReportComesBeforeTheShortcutsAndTheyBeforeTheRegistry) {
  Machine m;
  WindowHandle setupDialog = 0;
  std::vector<bool> inOrder;  // at each shortcut
  struct WatchedLink : sim::SimShellLink {
    using SimShellLink::SimShellLink;
    std::function<void()> before;
    std::int32_t CreateShortcut(const std::string& target, const std::string& linkPath,
                                const std::string& description) override {
      before();
      return SimShellLink::CreateShortcut(target, linkPath, description);
    }
  } link(m.sim.files);
  link.before = [&] {
    inOrder.push_back(m.sim.ui.DriverFor(setupDialog).Text(kIdPrompt) == kSuccess &&
                      !m.sim.registry.KeyExists(kHkeyLocalMachine, kAppPathKey));
  };
  Platform watched{m.sim.system, m.sim.files, m.sim.registry, link, m.sim.ui, m.sim.treeView};
  SetupApp setup(watched);
  m.sim.ui.ScriptDialog(kSetupDialogTemplate, [&](sim::SimDialogDriver& user) {
    setupDialog = user.hwnd();
    user.Click(kOk);
    user.PressEnter();
  });
  setup.Run();
  EXPECT_EQ(inOrder, (std::vector<bool>{true, true}));
  EXPECT_TRUE(m.sim.registry.KeyExists(kHkeyLocalMachine, kUninstallKey));
}

TEST(InstallRunTest, RefusedComIsNotUninitialised) {
  Machine m;
  struct RefusingLink : sim::SimShellLink {
    using SimShellLink::SimShellLink;
    std::int32_t CoInitialize() override { return kEFail; }
  } link(m.sim.files);
  Platform refused{m.sim.system, m.sim.files, m.sim.registry, link, m.sim.ui, m.sim.treeView};
  SetupApp setup(refused);
  m.sim.ui.ScriptDialog(kSetupDialogTemplate, [](sim::SimDialogDriver& user) {
    user.Click(kOk);
    user.PressEnter();
  });
  setup.Run();
  EXPECT_EQ(link.coUninitializeCount(), 0);
  EXPECT_EQ(m.sim.registry.GetString(kHkeyLocalMachine, kAppPathKey, "Path"), kDefaultFolder);
}

}  // namespace
}  // namespace qvx
