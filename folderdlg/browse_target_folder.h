#pragma once

#include <string>

#include "platform/framework.h"

namespace qvx {

// The setup dialog's browse button: runs the folder browser from targetFolder
// and, when the user presses OK, stores the chosen folder (without its
// trailing backslash; a drive root comes back as "C:") in targetFolder and in
// targetEdit. Cancel changes nothing. owner is the setup dialog's window.
void BrowseTargetFolder(Application& app, WindowHandle owner, int platformKind,
                        std::string& targetFolder, const Control& targetEdit);

}  // namespace qvx
