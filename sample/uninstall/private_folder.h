// A folder of the uninstaller's own in the temp folder, for the copy of
// itself that finishes the uninstallation. The temp folder is open to every
// process of the user: a fixed or predictable name there could be prepared
// beforehand with a DLL that the copy would load, so the name is random and
// the folder must be new.
#pragma once

#include "text_buffer.h"

// Creates temp + "Qvx" + 32 random hexadecimal digits; a name that exists
// already is never used. False when no random numbers or no new folder could
// be had.
bool CreatePrivateTempFolder(PathText& folder);
