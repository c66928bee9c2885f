#include "installation.h"
#include "product_layout.h"
#include "removal.h"

void RemoveOneFile(const char* path, RemovalReport& report) {
  if (DeleteFileA(path)) return;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  report.Failed(path, error);
}

void RemoveProductFiles(const char* folder, RemovalReport& report) {
  for (const char* name : layout::kProductFiles)
    RemoveOneFile(JoinPath(folder, name).Get(), report);
}

void RemoveFolderIfEmpty(const char* folder, RemovalReport& report) {
  if (IsDriveRoot(folder)) return;
  if (RemoveDirectoryA(folder)) return;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  if (error == ERROR_DIR_NOT_EMPTY) {
    PathText line("The folder ");
    line.Append(folder).Append(" holds other files and was kept.");
    report.Note(line.Get());
    return;
  }
  report.Failed(folder, error);
}

bool VendorFolderOf(const char* folder, PathText& vendor) {
  vendor = PathText(folder);
  char* lastSlash = nullptr;
  char* slashBefore = nullptr;
  for (char* c = vendor.Data(); *c; c = CharNextA(c)) {
    if (*c != '\\') continue;
    slashBefore = lastSlash;
    lastSlash = c;
  }
  if (!slashBefore) return false;
  *lastSlash = '\0';
  return lstrcmpiA(slashBefore + 1, layout::kVendorFolderName) == 0;
}
