// The pieces of an uninstallation. Each removes what belongs to the
// installation in `folder` (as NormalFolder gives it) and records in the
// report whatever it could not remove; something that is already gone counts
// as removed.
#pragma once

#include <windows.h>

#include "text_buffer.h"

class RemovalReport {
 public:
  // `what` could not be removed; `error` is the system error code.
  void Failed(const char* what, DWORD error);
  void Note(const char* line);
  bool Clean() const { return lines_.Empty(); }
  const char* Lines() const { return lines_.Get(); }

 private:
  TextBuffer<4096> lines_;
};

// The two QVX.lnk files, on the desktop and in the Start-menu programs, when
// they still point at this installation's QVX.exe.
void RemoveShortcuts(const char* folder, RemovalReport& report);

// The uninstall entry and the application-path entry, when they still name
// this installation's folder.
void RemoveRegistration(const char* folder, RemovalReport& report);

// Every installed file except the uninstaller.
void RemoveProductFiles(const char* folder, RemovalReport& report);

void RemoveOneFile(const char* path, RemovalReport& report);

// The folder itself, once nothing else is left in it; never a drive's root.
void RemoveFolderIfEmpty(const char* folder, RemovalReport& report);

// The folder above `folder` when it is the vendor's (the proposed folder's
// parent, named "Kelvane"); false for any other. It goes only once empty,
// since it may hold the vendor's other products, and then silently: it may
// well have been there before the installation.
bool VendorFolderOf(const char* folder, PathText& vendor);

// folder + "\\" + name, with one backslash after a root such as "C:\\".
PathText JoinPath(const char* folder, const char* name);
