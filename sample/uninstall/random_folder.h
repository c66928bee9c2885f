// The choice of a new folder with a random name, apart from the calls that
// make random bytes and folders: plain C++, so that the host build tests it.
#pragma once

enum class FolderMade { Created, Exists, Failed };

inline constexpr int kFolderRandomBytes = 16;
// "Qvx", two hexadecimal digits for each random byte, the terminator.
inline constexpr int kFolderNameSize = 3 + 2 * kFolderRandomBytes + 1;

// Draws 16 random bytes with random(bytes, count), names a folder after all
// of them and has create(name) make it, up to eight times while the name
// exists already: a folder that someone else made is never taken. False when
// no random bytes or no new folder could be had.
template <class Random, class Create>
bool CreateRandomFolder(Random random, Create create) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    unsigned char bytes[kFolderRandomBytes];
    if (!random(bytes, kFolderRandomBytes)) return false;
    char name[kFolderNameSize] = "Qvx";
    for (int i = 0; i < kFolderRandomBytes; ++i) {
      name[3 + 2 * i] = "0123456789abcdef"[bytes[i] >> 4];
      name[4 + 2 * i] = "0123456789abcdef"[bytes[i] & 15];
    }
    name[kFolderNameSize - 1] = '\0';
    switch (create(static_cast<const char*>(name))) {
      case FolderMade::Created:
        return true;
      case FolderMade::Exists:
        continue;
      case FolderMade::Failed:
        return false;
    }
  }
  return false;
}
