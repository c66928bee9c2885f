// Values of the Windows API that the portable logic passes through the
// platform interfaces. They carry the numbers Windows gives them, so the win32
// backend hands them on unchanged (it checks each against <windows.h>), and
// tests and logs read the same numbers a Windows programmer knows.
//
// The names differ from the Windows macros on purpose: the win32 backend
// includes <windows.h>, whose macros would otherwise rewrite them.
#pragma once

#include <cstdint>

namespace qvx {

// System error codes (GetLastError).
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorHandleDiskFull = 39;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorBadPathname = 161;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;

// CreateFileA.
inline constexpr std::uint32_t kGenericRead = 0x80000000u;
inline constexpr std::uint32_t kGenericWrite = 0x40000000u;
inline constexpr std::uint32_t kFileShareRead = 0x1;
inline constexpr std::uint32_t kFileShareWrite = 0x2;
inline constexpr std::uint32_t kCreateAlways = 2;
inline constexpr std::uint32_t kOpenExisting = 3;

// File attributes.
inline constexpr std::uint32_t kFileAttributeReadonly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// GetDriveTypeA.
inline constexpr std::uint32_t kDriveUnknown = 0;
inline constexpr std::uint32_t kDriveNoRootDir = 1;
inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveRemote = 4;
inline constexpr std::uint32_t kDriveCdrom = 5;
inline constexpr std::uint32_t kDriveRamdisk = 6;

// SetErrorMode.
inline constexpr std::uint32_t kSemFailCriticalErrors = 0x0001;
inline constexpr std::uint32_t kSemNoOpenFileErrorBox = 0x8000;

// GlobalAlloc.
inline constexpr std::uint32_t kGmemZeroinit = 0x40;

// Registry.
inline constexpr std::uint32_t kRegOptionNonVolatile = 0;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// Window messages and notifications as the dialogs see them.
inline constexpr std::uint32_t kWmInitDialog = 0x0110;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmNotify = 0x004E;
inline constexpr std::uint32_t kWmPaint = 0x000F;
inline constexpr std::uint32_t kWmQueryDragIcon = 0x0037;
inline constexpr std::int32_t kBnClicked = 0;
inline constexpr std::int32_t kTvnSelChangedA = -402;
inline constexpr std::int32_t kTvnItemExpandingA = -405;

// Dialog results and message-box buttons.
inline constexpr std::intptr_t kIdOk = 1;
inline constexpr std::intptr_t kIdCancel = 2;
inline constexpr std::intptr_t kIdYes = 6;
inline constexpr std::intptr_t kIdNo = 7;
inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbYesNo = 0x4;
inline constexpr std::uint32_t kMbIconExclamation = 0x30;

// ShowWindow.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShow = 5;

// Tree view.
inline constexpr std::uint32_t kTvgnNext = 0x1;
inline constexpr std::uint32_t kTvgnParent = 0x3;
inline constexpr std::uint32_t kTvgnChild = 0x4;
inline constexpr std::uint32_t kTvgnCaret = 0x9;
inline constexpr std::uint32_t kTveCollapse = 0x1;
inline constexpr std::uint32_t kTveExpand = 0x2;
inline constexpr std::uint32_t kTvsHasButtons = 0x1;
inline constexpr std::uint32_t kTvsHasLines = 0x2;
inline constexpr std::uint32_t kTvsLinesAtRoot = 0x4;
inline constexpr std::uint32_t kIlcMask = 0x1;

// COM status.
inline constexpr std::int32_t kSOk = 0;
inline constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);

}  // namespace qvx
