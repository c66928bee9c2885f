// The finishing copy's folder in the temp folder: named after all 16 random
// bytes, and always a new one.
#include "sample/uninstall/random_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Answers each creation from `answers` in turn, on random bytes 0, 1, 2, ...
// from one draw to the next, and returns the names it was asked to create.
std::vector<std::string> Names(const std::vector<FolderMade>& answers, bool* created) {
  unsigned char next = 0;
  std::vector<std::string> names;
  *created = CreateRandomFolder(
      [&](unsigned char* bytes, int count) {
        EXPECT_EQ(count, kFolderRandomBytes);
        for (int i = 0; i < count; ++i) bytes[i] = next++;
        return true;
      },
      [&](const char* name) {
        names.push_back(name);
        return names.size() <= answers.size() ? answers[names.size() - 1] : FolderMade::Failed;
      });
  return names;
}

TEST(CreateRandomFolder, NamesTheFolderAfterAllSixteenBytesAndTakesOnlyANewOne) {
  using enum FolderMade;
  struct Case {
    std::vector<FolderMade> answers;
    bool created;
    std::size_t tries;
  };
  const Case cases[] = {
      {{Created}, true, 1},
      {{Exists, Created}, true, 2},
      {{Failed}, false, 1},
      {std::vector<FolderMade>(9, Exists), false, 8},
  };
  for (const Case& c : cases) {
    bool created = false;
    const std::vector<std::string> names = Names(c.answers, &created);
    EXPECT_EQ(created, c.created) << c.tries;
    ASSERT_EQ(names.size(), c.tries);
    EXPECT_EQ(names[0], "Qvx000102030405060708090a0b0c0d0e0f");
    if (c.tries > 1) {
      EXPECT_EQ(names[1], "Qvx101112131415161718191a1b1c1d1e1f");
    }
  }
}

}  // namespace
