#include "installation.h"
#include "removal.h"

void RemovalReport::Failed(const char* what, DWORD error) {
  char reason[64];
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      lstrcpyA(reason, " (in use)");
      break;
    case ERROR_ACCESS_DENIED:
      lstrcpyA(reason, " (access denied)");
      break;
    default:
      wsprintfA(reason, " (error %lu)", error);
  }
  lines_.Append(what).Append(reason).Append("\r\n");
}

void RemovalReport::Note(const char* line) { lines_.Append(line).Append("\r\n"); }

PathText JoinPath(const char* folder, const char* name) {
  PathText path(folder);
  if (!IsDriveRoot(folder)) path.Append("\\");
  path.Append(name);
  return path;
}
