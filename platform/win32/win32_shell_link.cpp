// COM initialisation and a shortcut written through the shell-link object:
// IShellLinkA for the target and description, IPersistFile to save it.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include "platform/win32/win32_shell_backends.h"

namespace qvx {

namespace {

// The published identifiers, defined here so that no GUID library is needed.
constexpr GUID kClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The UTF-16 link path, terminating zero included.
constexpr int kLinkPathUnits = 260;

}  // namespace

std::int32_t Win32ShellLink::CoInitialize() { return ::CoInitialize(nullptr); }

void Win32ShellLink::CoUninitialize() { ::CoUninitialize(); }

std::int32_t Win32ShellLink::CreateShortcut(const std::string& target, const std::string& linkPath,
                                            const std::string& description) {
  IShellLinkA* link = nullptr;
  HRESULT result = ::CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidShellLinkA, reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  link->SetPath(target.c_str());
  link->SetDescription(description.c_str());

  IPersistFile* persist = nullptr;
  result = link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&persist));
  if (FAILED(result)) {
    link->Release();
    return result;
  }
  WCHAR path[kLinkPathUnits];
  // A path that does not fit the buffer would reach Save without its
  // terminating zero; such a link is not saved at all.
  if (::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, path, kLinkPathUnits) == 0) {
    result = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  } else {
    result = persist->Save(path, TRUE);
  }
  persist->Release();
  link->Release();
  return result;
}

}  // namespace qvx
