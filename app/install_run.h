// What the setup dialog does on OK: creates the target folder, writes the six
// product files into it, turns the dialog into its report and records the
// installation (shortcuts and registry). The first failure shows its message
// and leaves the dialog as it was, ready for another OK.
#pragma once

namespace qvx {

class SetupDialog;

void InstallRun(SetupDialog& dialog);

}  // namespace qvx
