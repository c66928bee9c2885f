// Where the process looks for DLLs that are loaded after start-up. Declared
// without <windows.h> so that the composition root can call it without
// seeing the Windows headers.
#pragma once

namespace qvx {

// Restricts the search for DLLs loaded from now on to the system folder
// (SetDefaultDllDirectories with LOAD_LIBRARY_SEARCH_SYSTEM32) and removes
// the current folder from the search (SetDllDirectoryA with ""), where the
// system has these calls. An installer is started from a downloads folder,
// often elevated: a DLL that anyone planted there must not be loaded on
// demand (common controls' theming, COM's in-process servers, the shell).
// Windows 95, 98 and NT 4.0 lack both calls; they are looked up at run time
// so that the program still starts there, and their absence is no error.
// Call it first thing at start-up, before any window or COM.
void RestrictDllSearchToSystemFolder();

}  // namespace qvx
