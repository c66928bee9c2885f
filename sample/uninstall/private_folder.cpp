#include "private_folder.h"

#include "random_folder.h"

namespace {

// RtlGenRandom (exported as SystemFunction036) and the CryptoAPI, both of
// advapi32, which this program imports anyway; looked up by name so that
// Windows versions without them still start the uninstaller.
using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID, ULONG);
using CryptAcquireContextFunction = BOOL(WINAPI*)(ULONG_PTR*, LPCSTR, LPCSTR, DWORD, DWORD);
using CryptGenRandomFunction = BOOL(WINAPI*)(ULONG_PTR, DWORD, BYTE*);
using CryptReleaseContextFunction = BOOL(WINAPI*)(ULONG_PTR, DWORD);

template <class Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool RandomBytes(BYTE* bytes, DWORD count) {
  HMODULE advapi = GetModuleHandleA("advapi32.dll");
  if (!advapi) return false;
  auto genRandom = Lookup<RtlGenRandomFunction>(advapi, "SystemFunction036");
  if (genRandom && genRandom(bytes, count)) return true;

  auto acquire = Lookup<CryptAcquireContextFunction>(advapi, "CryptAcquireContextA");
  auto generate = Lookup<CryptGenRandomFunction>(advapi, "CryptGenRandom");
  auto release = Lookup<CryptReleaseContextFunction>(advapi, "CryptReleaseContext");
  ULONG_PTR provider = 0;
  if (!acquire || !generate || !release ||
      !acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    return false;
  bool made = generate(provider, count, bytes) != FALSE;
  release(provider, 0);
  return made;
}

}  // namespace

bool CreatePrivateTempFolder(PathText& folder) {
  char temp[MAX_PATH + 1];
  DWORD tempLength = GetTempPathA(MAX_PATH, temp);
  if (tempLength == 0 || tempLength > MAX_PATH) return false;
  return CreateRandomFolder(RandomBytes, [&](const char* name) {
    folder.Clear();
    folder.Append(temp).Append(name);
    if (folder.Truncated()) return FolderMade::Failed;
    // Fails on a name that exists: someone else's folder is never used.
    if (CreateDirectoryA(folder.Get(), nullptr)) return FolderMade::Created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? FolderMade::Exists : FolderMade::Failed;
  });
}
