// The folder browser as the scenarios work it: opened from the setup
// dialog's browse button, an item selected, its two read-outs checked.
#pragma once

#include <windows.h>

#include <string>

#include "remote_tree.h"
#include "scenario_kit.h"

// Presses the browse button and waits for "Setup Folder"; nullptr on failure.
HWND OpenBrowser(SetupRun& run, HWND dialog);

// What the free-space read-out shows: the NT family reads the drive's free
// space, the 95 family leaves the read-out empty.
enum class FreeSpace { kFigure, kEmpty };

// Selects `item` in the browser and checks that the folder read-out shows
// `path` and the free-space read-out is as `freeSpace` says.
void SelectAndCheck(HWND browser, const RemoteTree& tree, HTREEITEM item, const std::string& path,
                    FreeSpace freeSpace = FreeSpace::kFigure);
