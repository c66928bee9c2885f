// The product's shortcut "QVX.lnk" in one of the user's shell folders.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell_link.h"

namespace qvx {

inline constexpr char kLinkFileSuffix[] = "\\QVX.lnk";

// HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND): the folder is unknown.
inline constexpr std::int32_t kShortcutFolderUnknown = static_cast<std::int32_t>(0x80070003u);

// Writes folder + "\QVX.lnk" pointing at target, described as "Quorvex", and
// returns the shell link's status. An empty folder (one that could not be
// read) writes nothing and returns kShortcutFolderUnknown: the link would
// otherwise land in the root of the current drive. COM must be initialised by
// the caller. Neither target nor folder is quoted, blanks and all.
std::int32_t CreateProductShortcut(ShellLink& shellLink, const std::string& target,
                                   const std::string& folder);

}  // namespace qvx
