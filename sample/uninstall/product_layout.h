// What the Quorvex installer leaves on a machine, and so what the uninstaller
// takes away again.
#pragma once

namespace layout {

inline constexpr char kProductName[] = "Quorvex";
// The vendor's folder, which holds the product's folder when the user took
// the proposed one.
inline constexpr char kVendorFolderName[] = "Kelvane";
inline constexpr char kUninstallerName[] = "QvxUninstall.exe";
inline constexpr char kProgramName[] = "QVX.exe";
inline constexpr char kLinkName[] = "QVX.lnk";

// The installed files other than the uninstaller itself, which goes last.
inline constexpr const char* kProductFiles[] = {"QVX.exe", "QVX.hlp", "QVX.cnt", "default.rex",
                                                "default.stg"};

// Below HKEY_LOCAL_MACHINE.
inline constexpr char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr char kAppPathKey[] = "QVX.EXE";

// Below HKEY_CURRENT_USER: where the desktop and Start-menu folders are.
inline constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kLinkFolders[] = {"Desktop", "Programs"};

}  // namespace layout
