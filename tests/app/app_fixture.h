// A machine for the installer's flow: drives C: and D:, the usual registry
// levels and shell folders, and a payload of six small product files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/setup_app.h"
#include "app/setup_dialog.h"
#include "platform/sim/sim_platform.h"
#include "tools/qvxpack/payload_builder.h"

namespace qvx {

inline constexpr char kPrompt[] = "Install Quorvex?\r\n\r\n(requires 2 MB of free disk space)";
inline constexpr char kDefaultFolder[] = "C:\\Program Files\\Kelvane\\Quorvex";
inline constexpr char kAppPathKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QVX.EXE";
inline constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvex";
inline constexpr char kTitle[] = "QvxSetup";  // the sim's program is C:\Temp\QvxSetup.exe
inline constexpr int kOk = static_cast<int>(kIdOk);
inline constexpr int kCancel = static_cast<int>(kIdCancel);

struct Product {
  std::vector<std::vector<std::uint8_t>> files;
  std::vector<std::uint8_t> payload;
};

inline const Product& TestProduct() {
  static const Product product = [] {
    Product p;
    for (int i = 0; i < 6; ++i) {
      std::string text = "file " + std::to_string(i) + std::string(300 * i, 'a' + i);
      p.files.emplace_back(text.begin(), text.end());
    }
    std::string error;
    EXPECT_TRUE(pack::BuildPayload(p.files, &p.payload, &error)) << error;
    return p;
  }();
  return product;
}

struct Machine {
  using Script = std::function<void(sim::SimDialogDriver&, SetupDialog&)>;

  Machine() {
    sim.files.AddDrive('C');
    sim.files.AddDrive('D');
    sim.files.AddFolder(sim::SimRegistry::kDefaultDesktop);
    sim.files.AddFolder(sim::SimRegistry::kDefaultPrograms);
    sim.registry.SeedStandardKeys();
    sim.system.SetResource(129, TestProduct().payload);
  }
  ~Machine() { EXPECT_EQ(sim.ui.failures(), std::vector<std::string>{}); }

  // Runs the installer with script as the user of the setup dialog.
  void Run(Script script) {
    sim.ui.ScriptDialog(kSetupDialogTemplate, [script](sim::SimDialogDriver& user) {
      script(user, *static_cast<SetupDialog*>(user.dialog()));
    });
    app.Run();
  }

  sim::SimPlatform sim;
  Platform platform = sim.platform();
  SetupApp app{platform};
};

}  // namespace qvx
