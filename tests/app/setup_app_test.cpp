#include <gtest/gtest.h>

#include "app_fixture.h"
#include "payload/payload_reader.h"

namespace qvx {
namespace {

// On version 4.0 systems, which take no other record size than 148.
TEST(StartUpTest, PlatformFamilyComesFromTheLowBytesBits) {
  struct Case {
    std::uint32_t id;
    std::int32_t kind;
  } cases[] = {{1, 1}, {2, 2}, {3, 2}, {0x102, 2}, {0x1FE, 2}, {0xFFFFFF01, 1}};
  for (const Case& c : cases) {
    Machine m;
    m.sim.system.SetVersion(c.id, 4, 0, 950);
    m.sim.ui.ScriptDialog(kSetupDialogTemplate, [](sim::SimDialogDriver& u) { u.Click(kCancel); });
    EXPECT_FALSE(m.app.InitInstance());
    EXPECT_EQ(m.sim.system.VersionInfoSizes(), std::vector<std::uint32_t>{148});
    EXPECT_EQ(m.app.platformKind(), c.kind) << std::hex << c.id;
    ASSERT_EQ(m.sim.ui.dialogRuns().size(), 1u);
    EXPECT_EQ(m.sim.ui.dialogRuns()[0].owner, 0u);
    EXPECT_TRUE(m.sim.ui.messageBoxes().empty());
  }
}

// A refused platform, and on an accepted one a damaged payload (one bit
// flipped in the middle of an entry's data) or none at all. The caption is
// the program's file name without its extension, whatever the second byte of
// its characters.
TEST(StartUpTest, RefusedPlatformOrDamagedPayloadShowsOneMessageAndNothingElse) {
  constexpr char kRefused[] = "Only Windows 95, 98 or NT4.0";
  constexpr char kDamaged[] =
      "The installer is damaged and cannot install Quorvex.\r\n\r\nObtain "
      "a new copy of the installer.";
  const std::vector<std::uint8_t>& good = TestProduct().payload;
  std::vector<std::uint8_t> flipped = good;
  flipped[ReadLittleEndian32(good.data()) / 2] ^= 0x10;
  struct Case {
    std::uint32_t id;
    bool versionFails;  // leaves the record zeroed, which is refused
    std::vector<std::uint8_t> payload;
    const char* message;
    std::uint32_t codePage = 1252;
    const char* program = "C:\\Temp\\QvxSetup.exe";
    const char* caption = kTitle;
  } cases[] = {{0, false, good, kRefused},
               {0x100, false, good, kRefused},
               {0xFFFFFF00, false, good, kRefused},
               {2, true, good, kRefused},
               {0, false, flipped, kRefused},
               {2, false, flipped, kDamaged},
               {1, false, {}, kDamaged},
               {0, false, good, kRefused, 932, "C:\\\x83\x5c\x83\x74\x83\x67\\\x95\x5c.exe", "\x95\x5c"},
               {2, false, flipped, kDamaged, 950, "C:\\Temp\\\xa5\x5c\xa5\x5c.exe", "\xa5\x5c\xa5\x5c"},
               {0, false, good, kRefused, 1252, "C:\\Temp\\\xa5\\Setup.exe", "Setup"},
               {0, false, good, kRefused, 1252, "C:\\Temp\\Qvx.Setup.exe", "Qvx.Setup"}};
  for (const Case& c : cases) {
    Machine m;
    ASSERT_TRUE(m.sim.SetCodePage(c.codePage));
    m.sim.system.SetModuleFileName(c.program);
    m.sim.system.SetPlatformId(c.id);
    m.sim.system.FailGetVersion(c.versionFails);
    m.sim.system.SetResource(129, c.payload);
    m.sim.registry.ClearEvents();
    EXPECT_FALSE(m.app.InitInstance());
    ASSERT_EQ(m.sim.ui.messageBoxes().size(), 1u);
    const sim::SimMessageBox& box = m.sim.ui.messageBoxes()[0];
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.owner, 0u);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.type, kMbOk | kMbIconExclamation);
    EXPECT_TRUE(m.sim.ui.dialogRuns().empty());
    EXPECT_EQ(m.app.platformKind(), 0);
    EXPECT_TRUE(m.sim.registry.events().empty());
    EXPECT_TRUE(m.sim.files.Calls().empty());
  }
}

TEST(StartUpTest, ErrorModeKeepsOldBitsAndIsSetBeforeTheDialog) {
  Machine m;
  m.sim.system.SetErrorMode(0x0002);
  std::uint32_t modeInDialog = 0;
  m.Run([&](sim::SimDialogDriver& user, SetupDialog&) {
    modeInDialog = m.sim.system.ErrorMode();
    user.PressEscape();
  });
  EXPECT_EQ(modeInDialog, 0x0002u | kSemFailCriticalErrors | kSemNoOpenFileErrorBox);
}

}  // namespace
}  // namespace qvx
