// The product's names as the system writes them: the product name is the
// uninstall entry's key and display name and the shortcuts' description; the
// main executable name, in capitals, is the application-path entry's key and
// the file name in its default value.
#pragma once

namespace qvx {

inline constexpr char kProductName[] = "Quorvex";
inline constexpr char kMainExecutableName[] = "QVX.EXE";

}  // namespace qvx
