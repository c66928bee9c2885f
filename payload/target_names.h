// The installer's fixed list of target file names, in payload order: payload
// entry i becomes the file named kTargetNames[i] in the target folder.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace qvx {

inline constexpr std::size_t kTargetCount = 6;

inline constexpr std::array<std::string_view, kTargetCount> kTargetNames = {
    "QVX.exe",           // the product's program, target of both shortcuts
    "QVX.hlp",           // its help file
    "QVX.cnt",           // the help contents file
    "QvxUninstall.exe",  // the uninstaller, named in the uninstall entry
    "default.rex",       // data file
    "default.stg",       // data file
};

}  // namespace qvx
