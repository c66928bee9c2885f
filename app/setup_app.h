// The installer's application object. Start-up checks that the program runs
// on a 32-bit Windows platform and that its payload is intact, records the
// platform family and runs the setup dialog once, modally; when the dialog
// closes the process ends.
#pragma once

#include <cstdint>

#include "platform/framework.h"

namespace qvx {

// Platform families as dwPlatformId reports them: 2 for the NT family, 1 for
// the Windows 95/98 family, 0 for anything else (Win32s). Only the bits of the
// low byte count, so 3 is NT and 0x101 is 95/98.
std::int32_t ClassifyPlatform(std::uint32_t platformId);

// The process exit status, for the scripts that deploy the product.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitCancelled = 1;  // Cancel, Close before a run succeeded, or No
inline constexpr int kExitRefused = 2;    // not a platform it runs on, or a damaged copy

class SetupApp : public Application {
 public:
  explicit SetupApp(Platform& platform) : Application(platform) {}

  // The whole life of the process: the error mode, then start-up. Returns the
  // process exit status.
  int Run();

  // Always false: the program has no message loop of its own.
  bool InitInstance() override;

  // 1 or 2 once start-up has passed the platform and payload checks; 0
  // before, and for good when either refuses.
  std::int32_t platformKind() const { return platformKind_; }

 private:
  std::int32_t platformKind_ = 0;
  // Start-up ends before the setup dialog only when it refuses to run.
  int exitStatus_ = kExitRefused;
};

}  // namespace qvx
