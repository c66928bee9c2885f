#include "app/setup_app.h"

#include "app/setup_dialog.h"
#include "payload/payload_archive.h"
#include "payload/payload_check.h"

namespace qvx {

namespace {

constexpr char kRefusal[] = "Only Windows 95, 98 or NT4.0";
constexpr char kDamaged[] =
    "The installer is damaged and cannot install Quorvex.\r\n\r\nObtain a new copy of the "
    "installer.";
constexpr std::uint32_t kOsVersionInfoSize = 148;

}  // namespace

std::int32_t ClassifyPlatform(std::uint32_t platformId) {
  if (platformId & 0x2) return 2;
  if (platformId & 0x1) return 1;
  return 0;
}

int SetupApp::Run() {
  // No system box for a drive without a medium: such cases come back to the
  // program as failed calls. The old mode is read first so its bits stay.
  System& system = platform().system;
  std::uint32_t mode = system.SetErrorMode(0);
  system.SetErrorMode(mode | kSemFailCriticalErrors | kSemNoOpenFileErrorBox);
  InitInstance();
  return exitStatus_;
}

bool SetupApp::InitInstance() {
  // A failed call leaves the record zeroed, which is refused below.
  OsVersionInfo version;
  version.dwOSVersionInfoSize = kOsVersionInfoSize;
  platform().system.GetVersionExA(&version);

  std::int32_t kind = ClassifyPlatform(version.dwPlatformId);
  if (kind == 0) {
    MessageBox(kRefusal);
    return false;
  }
  // The whole payload is checked once, before anything can be written: a
  // damaged copy would otherwise install files with wrong bytes and report
  // success.
  if (!PayloadIntact(platform().system.LockRcData(kPayloadResourceId))) {
    MessageBox(kDamaged);
    return false;
  }
  platformKind_ = kind;

  Ui& ui = platform().ui;
  ui.Enable3dControls();
  ui.InitCommonControls();

  // The dialog's result means nothing here: it has done all there is to do.
  SetupDialog dialog(*this);
  SetMainWindow(&dialog);
  dialog.DoModal();
  SetMainWindow(nullptr);
  exitStatus_ = dialog.installed ? kExitInstalled : kExitCancelled;
  return false;
}

}  // namespace qvx
