#include "app/create_directory_path.h"

#include <utility>

#include "platform/ansi_path.h"
#include "platform/win_values.h"

namespace qvx {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// One level: create path, or its parent first when the parent is missing.
// `parentReady` is set for the second attempt after the parent has been made
// sure of: if that attempt still finds no path (the "parent" is a file, or a
// name Windows reads differently at the end of a path than inside one), a
// third would only repeat it forever, so the error stands.
std::int32_t CreateLevel(System& system, FileSystem& files, std::string path, bool parentReady) {
  path = Trim(path);
  if (path.size() >= kDirectoryPathLimit) return kPathTooLongResult;
  if (files.CreateDirectoryA(path)) return 0;

  const std::uint32_t error = files.GetLastError();
  if (error == kErrorAlreadyExists) return 0;
  if (error != kErrorPathNotFound || parentReady) return static_cast<std::int32_t>(error);

  const std::size_t slash = FindLastBackslash(system, path);
  if (slash == std::string::npos || slash == 0) return kErrorPathNotFound;
  const std::string parent = path.substr(0, slash);
  const std::string leaf = path.substr(slash + 1);
  // A parent under three characters is a bare drive or less: nothing to create.
  if (parent.size() < 3 || EndsWithBackslash(system, parent) || leaf.empty()) {
    return kErrorPathNotFound;
  }

  const std::int32_t code = CreateLevel(system, files, parent, false);
  if (code != 0) return code;
  return CreateLevel(system, files, parent + "\\" + leaf, true);
}

}  // namespace

std::int32_t CreateDirectoryPath(System& system, FileSystem& files, std::string path) {
  return CreateLevel(system, files, std::move(path), false);
}

}  // namespace qvx
