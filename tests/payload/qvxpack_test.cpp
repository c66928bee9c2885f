// The resource lookup, the rewriting of an installer's payload resource, and
// qvxpack run as vendors run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/payload_check.h"
#include "payload/target_names.h"
#include "tests/payload/corpus.h"
#include "tests/payload/synthetic_pe.h"
#include "tools/qvxpack/byte_fields.h"
#include "tools/qvxpack/installer_builder.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/pe_image.h"
#include "tools/qvxpack/pe_resource.h"
#include "tools/qvxpack/resource_tree.h"

namespace qvx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// qvxpack runs under a limit of its address space, as on a build machine
// with little memory; AddressSanitizer cannot start under one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCanLimitMemory = false;
#else
constexpr bool kCanLimitMemory = true;
#endif
constexpr int kOneGiBInKiB = 1024 * 1024;

void PutLength(Bytes* b, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) b->push_back(std::uint8_t(value >> shift));
}

// A compressed file of mode A without its first four bytes: the stored body
// of a payload entry.
Bytes StoredBody(std::uint32_t expandedSize, const Bytes& stream) {
  Bytes body = {0x88, 0xF0, 0x27, 0x33, 0x41, 0x00};
  PutLength(&body, expandedSize);
  body.insert(body.end(), stream.begin(), stream.end());
  return body;
}

// A payload entry that stores content as literals only.
Bytes LiteralEntry(const Bytes& content) {
  Bytes stream;
  for (std::size_t at = 0; at < content.size(); at += 8) {
    const std::size_t n = std::min<std::size_t>(8, content.size() - at);
    stream.push_back(static_cast<std::uint8_t>((1u << n) - 1));
    stream.insert(stream.end(), content.begin() + at, content.begin() + at + n);
  }
  const Bytes body = StoredBody(static_cast<std::uint32_t>(content.size()), stream);
  Bytes entry;
  PutLength(&entry, static_cast<std::uint32_t>(body.size()));
  entry.insert(entry.end(), body.begin(), body.end());
  return entry;
}

// A Windows executable whose file header calls it a DLL, or a program.
Bytes WithDllFlag(Bytes image, bool dll) {
  const std::size_t characteristics = (image[0x3C] | image[0x3D] << 8) + 4 + 18;
  image[characteristics + 1] = static_cast<std::uint8_t>(dll ? image[characteristics + 1] | 0x20
                                                             : image[characteristics + 1] & ~0x20);
  return image;
}

// The image with its first section starting `by` bytes earlier in memory and
// in the file: the resource directory then lies inside it, not at its start.
Bytes WithFirstSectionStartingEarlier(Bytes image, std::uint32_t by) {
  pack::PeLayout pe;
  std::string error;
  EXPECT_TRUE(pack::ParsePeLayout(image, &pe, &error)) << error;
  const pack::PeSection& s = pe.sections[0];
  pack::WriteField(image, s.headerOffset + 8, 4, s.virtualSize + by);
  pack::WriteField(image, s.headerOffset + 12, 4, s.virtualAddress - by);
  pack::WriteField(image, s.headerOffset + 16, 4, s.rawSize + by);
  pack::WriteField(image, s.headerOffset + 20, 4, s.rawOffset - by);
  return image;
}

// A block of a version record: header, key, value, children, each part at a
// multiple of 4 bytes.
Bytes VersionBlock(const std::string& key, bool text, const Bytes& value,
                   const std::vector<Bytes>& children = {}) {
  Bytes b(6, 0);
  for (char c : key + '\0') b.insert(b.end(), {std::uint8_t(c), 0});
  b.resize((b.size() + 3) & ~std::size_t{3});
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    b.resize((b.size() + 3) & ~std::size_t{3});
    b.insert(b.end(), child.begin(), child.end());
  }
  pack::WriteField(b, 0, 2, std::uint32_t(b.size()));
  pack::WriteField(b, 2, 2, std::uint32_t(text ? value.size() / 2 : value.size()));
  pack::WriteField(b, 4, 2, text);
  return b;
}

// A version record as the resource compiler lays it out, for version
// A.B.C.D given as text and as two 32-bit halves.
Bytes VersionRecord(const std::string& version, std::uint32_t most, std::uint32_t least) {
  auto text = [](const std::string& s) {
    Bytes units;
    for (char c : s + '\0') units.insert(units.end(), {std::uint8_t(c), 0});
    return units;
  };
  Bytes fixed(52, 0);
  const std::uint32_t words[] = {0xFEEF04BD, 0x10000, most, least, most, least, 0x3F};
  for (std::size_t i = 0; i < std::size(words); ++i) pack::WriteField(fixed, 4 * i, 4, words[i]);
  const Bytes strings = VersionBlock("040904E4", true, {},
                                     {VersionBlock("CompanyName", true, text("Kelvane")),
                                      VersionBlock("FileVersion", true, text(version)),
                                      VersionBlock("ProductVersion", true, text(version))});
  return VersionBlock("VS_VERSION_INFO", false, fixed,
                      {VersionBlock("StringFileInfo", true, {}, {strings}),
                       VersionBlock("VarFileInfo", true, {},
                                    {VersionBlock("Translation", false, {9, 4, 0xE4, 4})})});
}

TEST(FindResource, FindsRcData129InEnglishInBothImageKinds) {
  const std::vector<test::SyntheticResource> resources = {
      {3, 1, 1033, Bytes(40, 'i')},    // an icon
      {10, 128, 1033, Bytes(5, 'o')},  // another RCDATA id
      {10, 129, 1031, Bytes(7, 'g')},  // the right id in German
      {10, 129, 1033, Bytes(9, 'p')},  // the payload
  };
  for (bool plus : {false, true}) {
    for (std::uint32_t directoryAt : {0, 0x10}) {
      const Bytes image =
          WithFirstSectionStartingEarlier(test::SyntheticPe(plus, resources), directoryAt);
      const std::string name =
          std::string(plus ? "PE32+" : "PE32") + " directory at " + std::to_string(directoryAt);
      std::span<const std::uint8_t> data;
      std::string error;
      ASSERT_TRUE(pack::FindResource(image, pack::kRtRcData, pack::kPayloadResourceId,
                                     pack::kLangEnglishUs, &data, &error))
          << name << ": " << error;
      EXPECT_EQ(Bytes(data.begin(), data.end()), Bytes(9, 'p')) << name;
    }
  }
}

TEST(FindResource, FailsCleanlyOnMissingOrDamagedResources) {
  const Bytes withoutPayload = test::SyntheticPe(false, {{10, 128, 1033, Bytes(5, 'o')}});
  // Its directory: the root table at 0, the type's at 24, the id's at 48, the
  // data entry at 72 and the data, which ends the section, at 88.
  const Bytes good = test::SyntheticPe(false, {{10, 129, 1033, Bytes(296, 'p')}});
  struct Case {
    const char* name;
    Bytes image;
    const char* says;
  };
  std::vector<Case> cases = {
      {"no resource 129", withoutPayload, "no resource type 10, id 129, language 1033"},
      {"not an executable", Bytes(100, 'x'), "not a Windows executable"},
      {"cut in the headers", Bytes(good.begin(), good.begin() + 0x90), "truncated"},
      {"cut in the resource data", Bytes(good.begin(), good.end() - 1), "past the end"},
      {"cut in the resource directory", Bytes(good.begin(), good.begin() + 0x210), "past the end"},
  };
  Bytes farOffset = good;
  farOffset[0x3C] = 0xF0;  // PE header far past the end
  farOffset[0x3F] = 0x7F;
  cases.push_back({"PE offset past the end", farOffset, "not a Windows executable"});
  // The loader maps no more of a section than its size in memory.
  Bytes shortInMemory = good;
  pack::PeLayout pe;
  std::string error;
  ASSERT_TRUE(pack::ParsePeLayout(good, &pe, &error)) << error;
  pack::WriteField(shortInMemory, pe.sections[0].headerOffset + 8, 4,
                   pe.sections[0].virtualSize - 1);
  cases.push_back({"data past the size in memory", shortInMemory, "outside the resource section"});
  cases.push_back({"section alignment below the file alignment",
                   test::SyntheticPe({.sectionAlignment = 0x100}, {{10, 129, 1033, Bytes(9, 'p')}}),
                   "alignment"});
  Bytes twoLevels = good;  // the type's entry names the data entry
  pack::WriteField(twoLevels, pe.sections[0].rawOffset + 24 + 20, 4, 72);
  cases.push_back({"two levels", twoLevels, "not three levels deep"});
  // Two languages: their tables' entries at 64 and 72, data entries at 80 and 96.
  Bytes shared = test::SyntheticPe(false, {{10, 129, 1031, Bytes(5, 'g')}, {10, 129, 1033, {}}});
  pack::WriteField(shared, pe.sections[0].rawOffset + 64 + 4, 4, 96);
  cases.push_back({"one data entry for two leaves", shared, "shared by two entries"});
  // Named "AB": its length at 72, in a directory of virtualSize bytes.
  Bytes longName = test::SyntheticPe(false, {{10, 0, 1033, Bytes(9, 'p'), "AB"}});
  ASSERT_TRUE(pack::ParsePeLayout(longName, &pe, &error)) << error;
  pack::WriteField(longName, pe.sections[0].rawOffset + 72, 2,
                   (pe.sections[0].virtualSize - 74) / 2 + 1);  // 2 bytes too many
  cases.push_back({"a name past the section", longName, "name lies outside"});
  for (const Case& c : cases) {
    std::span<const std::uint8_t> data;
    std::string error;
    EXPECT_FALSE(pack::FindResource(c.image, pack::kRtRcData, pack::kPayloadResourceId,
                                    pack::kLangEnglishUs, &data, &error))
        << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

// "MZ" alone is no executable: the PE signature must be where the DOS header
// points, inside the file.
TEST(LooksLikeExecutable, WantsThePeSignatureWhereTheDosHeaderPoints) {
  const Bytes good = test::SyntheticPe(false, {{10, 129, 1033, Bytes(3, 'p')}});
  EXPECT_TRUE(pack::LooksLikeExecutable(good));
  Bytes otherSignature = good;
  otherSignature[0x41] = 'X';  // "PX\0\0" at 0x40
  Bytes pointsPastTheEnd = good;
  pack::WriteField(pointsPastTheEnd, 0x3C, 4, static_cast<std::uint32_t>(good.size() - 3));
  for (const Bytes& b : {otherSignature, pointsPastTheEnd, Bytes(good.begin(), good.begin() + 0x40),
                         Bytes{'M', 'Z'}}) {
    EXPECT_FALSE(pack::LooksLikeExecutable(b)) << b.size() << " bytes";
  }
}

// The resource's bytes; they must start at a multiple of 8 in the file, as
// every section does.
Bytes ResourceOf(const Bytes& image, const test::SyntheticResource& r) {
  std::span<const std::uint8_t> data;
  std::string error;
  if (!pack::FindResource(image, r.type, r.id, r.language, &data, &error)) return {};
  EXPECT_EQ((data.data() - image.data()) % 8, 0) << "resource " << r.id;
  return Bytes(data.begin(), data.end());
}

TEST(PeChecksum, SumsWordsWithEndAroundCarryLeavingOutItsFieldAndAddsTheLength) {
  EXPECT_EQ(pack::PeChecksum(Bytes{1, 0, 2, 0}, 100), 3u + 4);
  EXPECT_EQ(pack::PeChecksum(Bytes{0xFF, 0xFF, 2, 0}, 100), 2u + 4);   // 0x10001 folds to 2
  EXPECT_EQ(pack::PeChecksum(Bytes{1, 0, 9, 9, 9, 9, 2}, 2), 3u + 7);  // odd length, field skipped
}

TEST(BuildInstaller, ReplacesOnlyThePayloadAndKeepsTheHeadersTrue) {
  // The name string "AB" takes 6 bytes: zeros pad it up to the data entries.
  const std::vector<test::SyntheticResource> resources = {
      {3, 1, 1033, Bytes(40, 'i')},   {10, 128, 1033, Bytes(5, 'o')},
      {10, 129, 1031, Bytes(7, 'g')}, {10, 129, 1033, Bytes(9, 'p')},
      {24, 1, 1033, Bytes(13, 'm')},  {5, 0, 1033, Bytes(3, 'd'), "AB"},
  };
  // Large enough to push a following section onto later pages.
  const Bytes payload = test::RandomBytes(9000, 7).bytes;
  const Bytes certificate(100, 0x30);
  const std::pair<const char*, test::SyntheticLayout> stubs[] = {
      {"PE32", {}},
      {"PE32+ with .reloc", {.pe32Plus = true, .sectionsAfter = {".reloc"}}},
      {"PE32 signed", {.certificate = certificate}},
      {"PE32+ signed with .reloc", {true, {".reloc"}, 0x100, certificate}},
      {"signed, the certificate's offset the .reloc's address",
       {.sectionsAfter = {".reloc"}, .certificate = certificate, .certificateAt = 0x2000}},
      {"PE32+ after .text and a .bss without raw data",
       {.pe32Plus = true, .sectionsBefore = {".text", ".bss"}}},
      {".rsrc of VirtualSize 0", {.sectionsAfter = {".reloc"}, .resourceVirtualSize = 0}},
      {".rsrc one page long", {.sectionsAfter = {".reloc"}, .resourceVirtualSize = 0x1000}},
      {".rsrc not flagged as initialized data", {.resourceCharacteristics = 0x40000000}},
  };
  // An empty resource right before a payload that comes last: it lies where
  // the payload starts, and nothing follows.
  const Bytes emptyBefore = test::SyntheticPe(false, {{10, 128, 1033, {}}, {10, 129, 1033, {1}}});
  pack::BuiltInstaller last;
  std::string lastError;
  ASSERT_TRUE(pack::BuildInstaller(emptyBefore, payload, &last, &lastError)) << lastError;
  EXPECT_EQ(ResourceOf(last.image, {10, 129, 1033, {}}), payload);
  for (const auto& [name, layout] : stubs) {
    const Bytes stub = test::SyntheticPe(layout, resources);
    const std::size_t r = layout.sectionsBefore.size();
    pack::BuiltInstaller built;
    std::string error;
    // With its own payload, the stub comes back byte for byte, its
    // signature dropped.
    test::SyntheticLayout unsignedLayout = layout;
    unsignedLayout.certificate.clear();
    unsignedLayout.resourceVirtualSize.reset();
    ASSERT_TRUE(pack::BuildInstaller(stub, Bytes(9, 'p'), &built, &error)) << name << ": " << error;
    EXPECT_TRUE(built.image == test::SyntheticPe(unsignedLayout, resources)) << name;

    ASSERT_TRUE(pack::BuildInstaller(stub, payload, &built, &error)) << name << ": " << error;
    const Bytes& image = built.image;
    EXPECT_EQ(built.signatureDropped, !layout.certificate.empty()) << name;
    for (const test::SyntheticResource& res : resources) {
      const bool isPayload = res.type == 10 && res.id == 129 && res.language == 1033;
      if (res.name.empty()) {
        EXPECT_EQ(ResourceOf(image, res), isPayload ? payload : res.data) << name << " " << res.id;
      }
    }

    pack::PeLayout in, out;
    ASSERT_TRUE(pack::ParsePeLayout(stub, &in, &error)) << error;
    ASSERT_TRUE(pack::ParsePeLayout(image, &out, &error)) << name << ": " << error;
    const pack::PeSection& rsrc = out.sections[r];
    EXPECT_EQ(out.directories[pack::kResourceDirectory].rva, rsrc.virtualAddress) << name;
    EXPECT_EQ(out.directories[pack::kResourceDirectory].size, rsrc.virtualSize) << name;
    EXPECT_GE(rsrc.virtualSize, payload.size()) << name;
    EXPECT_EQ(rsrc.rawSize % out.fileAlignment, 0u) << name;
    EXPECT_EQ(out.directories[pack::kSecurityDirectory].size, 0u) << name;
    const pack::PeSection& last = out.sections.back();
    EXPECT_EQ(image.size(), std::size_t{last.rawOffset} + last.rawSize) << name;
    std::uint32_t sizeOfImage = 0, initialized = 0, before = 0, checksum = 0;
    pack::ReadField(image, out.sizeOfImageField, 4, &sizeOfImage);
    EXPECT_EQ(sizeOfImage, pack::AlignUp(last.virtualAddress + last.virtualSize, 0x1000)) << name;
    pack::ReadField(stub, in.sizeOfInitializedDataField, 4, &before);
    pack::ReadField(image, out.sizeOfInitializedDataField, 4, &initialized);
    const bool counted = (rsrc.characteristics & pack::kSectionInitializedData) != 0;
    EXPECT_EQ(initialized - before, counted ? rsrc.rawSize - in.sections[r].rawSize : 0) << name;
    pack::ReadField(image, out.checksumField, 4, &checksum);
    EXPECT_EQ(checksum, pack::PeChecksum(image, out.checksumField)) << name;
    if (layout.sectionsAfter.empty()) continue;
    // The relocations moved behind the grown section, their bytes kept.
    const pack::PeSection& reloc = out.sections[r + 1];
    EXPECT_EQ(reloc.virtualAddress,
              pack::AlignUp(rsrc.virtualAddress + rsrc.virtualSize, out.sectionAlignment))
        << name;
    EXPECT_GT(reloc.virtualAddress, in.sections[r + 1].virtualAddress) << name;
    EXPECT_EQ(out.directories[pack::kBaseRelocDirectory].rva, reloc.virtualAddress) << name;
    EXPECT_TRUE(std::equal(image.begin() + reloc.rawOffset,
                           image.begin() + reloc.rawOffset + reloc.rawSize,
                           stub.begin() + in.sections[r + 1].rawOffset))
        << name;
  }
}

// Named entries and the directory fields survive a layout and a reading.
TEST(BuildInstaller, LaysOutNamedResourcesAndTableFields) {
  pack::ResourceTable root;
  root.characteristics = 0x0C0FFEE0;
  root.timeDateStamp = 0x12345678;
  root.version = 0x00020001;
  pack::ResourceEntry type{.named = true, .nameUnits = {'P', 0, 'N', 0, 'G', 0}};
  pack::ResourceEntry id{.id = 7};
  const Bytes xs(11, 'x'), ys(3, 'y');
  pack::ResourceEntry language{.id = 1033, .data = xs, .codePage = 1252};
  id.table.entries.push_back(language);
  type.table.entries.push_back(id);
  root.entries.push_back(type);
  pack::ResourceEntry icon{.id = 3};
  pack::ResourceEntry iconId{.named = true, .nameUnits = {'A', 0}};
  iconId.table.entries.push_back({.id = 1031, .data = ys, .reserved = 5});
  icon.table.entries.push_back(iconId);
  root.entries.push_back(icon);

  Bytes laid, again;
  ASSERT_TRUE(pack::SerializeResourceTree(root, 0x5000, &laid));
  EXPECT_EQ(laid.size() % 8, 0u);
  pack::ResourceTable back;
  std::string error;
  ASSERT_TRUE(pack::ParseResourceTree(laid, 0x5000, &back, &error)) << error;
  ASSERT_TRUE(pack::SerializeResourceTree(back, 0x5000, &again));
  EXPECT_EQ(again, laid);
  EXPECT_EQ(back.characteristics, 0x0C0FFEE0u);
  EXPECT_EQ(back.timeDateStamp, 0x12345678u);
  EXPECT_EQ(back.version, 0x00020001u);
  ASSERT_EQ(back.entries.size(), 2u);
  EXPECT_TRUE(back.entries[0].named);
  EXPECT_EQ(back.entries[0].nameUnits, root.entries[0].nameUnits);
  const pack::ResourceEntry& leaf = back.entries[0].table.entries[0].table.entries[0];
  EXPECT_EQ(Bytes(leaf.data.begin(), leaf.data.end()), xs);
  EXPECT_EQ(leaf.codePage, 1252u);
  const pack::ResourceEntry& named = back.entries[1].table.entries[0];
  EXPECT_EQ(named.nameUnits, (Bytes{'A', 0}));
  EXPECT_EQ(Bytes(named.table.entries[0].data.begin(), named.table.entries[0].data.end()), ys);
  EXPECT_EQ(named.table.entries[0].reserved, 5u);
}

// Leaves may view the same bytes, as those of a crafted stub do: laid out,
// 65 views of 64 MiB pass the 4 GiB of addresses, which is refused before
// anything is allocated.
// So are 1 MiB at an address 1 MiB below 4 GiB.
TEST(BuildInstaller, RefusesALayoutPastFourGiB) {
  const Bytes data(64 << 20, 'd');
  for (const auto& [views, sectionRva] : {std::pair{65u, 0x1000u}, {1u, 0xFFF00000u}}) {
    pack::ResourceEntry id{.id = 129};
    for (std::uint32_t language = 0; language < views; ++language) {
      id.table.entries.push_back(
          {.id = language, .data = std::span(data).first(views == 1 ? 1 << 20 : data.size())});
    }
    pack::ResourceTable root;
    root.entries.push_back({.id = 10});
    root.entries[0].table.entries.push_back(id);
    Bytes laid;
    EXPECT_FALSE(pack::SerializeResourceTree(root, sectionRva, &laid)) << views;
    EXPECT_TRUE(laid.empty()) << views;
  }
}

TEST(BuildInstaller, RefusesStubsItCannotRewrite) {
  const std::vector<test::SyntheticResource> withPayload = {{10, 129, 1033, Bytes(300, 'p')}};
  const Bytes good = test::SyntheticPe(false, withPayload);
  const Bytes signedStub = test::SyntheticPe({.certificate = Bytes(64, 0x30)}, withPayload);
  Bytes trailing = good;
  trailing.push_back(7);
  // A thread storage directory where the grown resources would put .reloc.
  const Bytes pastTheSections = test::SyntheticPe(
      {.sectionsAfter = {".reloc"}, .directories = {{9, 0x3000, 24}}}, withPayload);
  struct Case {
    const char* name;
    Bytes stub;
    const char* says;
  };
  const Case cases[] = {
      {"not an executable", Bytes(100, 'x'), "not a Windows executable"},
      {"cut in the headers", Bytes(good.begin(), good.begin() + 0x90), "truncated"},
      {"cut in the resource section", Bytes(good.begin(), good.end() - 1), "past the end"},
      {"no payload resource", test::SyntheticPe(false, {{10, 128, 1033, Bytes(5, 'o')}}),
       "no payload resource"},
      {"a data section after the resources",
       test::SyntheticPe({.sectionsAfter = {".reloc", ".data"}}, withPayload),
       "section .data follows the resource section"},
      {"relocations inside the resources",
       test::SyntheticPe({.sectionsAfter = {".reloc"}, .relocationTarget = 0x1008}, withPayload),
       "patch the resource section"},
      {"bytes after the last section", trailing, "after its last section"},
      {"a data directory past the sections", pastTheSections,
       "data directory 9 points past the resource section into no section"},
      {"resource directory inside its section", WithFirstSectionStartingEarlier(good, 0x10),
       "does not fill a section of its own"},
      {"certificate table cut short", Bytes(signedStub.begin(), signedStub.end() - 1),
       "certificate table"},
      {"relocation of the resource section's first byte",
       test::SyntheticPe({.sectionsAfter = {".reloc"}, .relocationTarget = 0x1000}, withPayload),
       "patch the resource section"},
      {"certificate table inside the sections",
       test::SyntheticPe({.directories = {{4, 0x208, 8}}}, withPayload), "certificate table"},
      {"import directory inside the resource section",
       test::SyntheticPe({.directories = {{1, 0x1010, 40}}}, withPayload),
       "data directory 1 lies in the resource section"},
  };
  for (const Case& c : cases) {
    pack::BuiltInstaller built;
    std::string error;
    EXPECT_FALSE(pack::BuildInstaller(c.stub, Bytes(8, 0), &built, &error)) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

// Runs qvxpack in a scratch folder.
class QvxpackTool : public testing::Test {
 protected:
  QvxpackTool() : dir_(fs::temp_directory_path() / ("qvxpack-" + std::to_string(getpid()))) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const std::vector<test::CorpusFile> dlls = test::MingwDlls(200000, 1);
    // QVX.exe and QvxUninstall.exe must be Windows programs: a DLL whose
    // header says program stands for a real one.
    std::vector<Bytes> contents = {
        dlls.empty() ? test::SyntheticPe(false, {{10, 1, 1033, test::RandomBytes(70000, 2).bytes}})
                     : WithDllFlag(dlls[0].bytes, false),
        test::RandomBytes(9000, 3).bytes,
        Bytes(741, 'c'),
        test::SyntheticPe(false, {{10, 1, 1033, test::SomeText().bytes}}),
        Bytes(2160, ' '),  // fifteen groups of eight 18-byte references: the most they yield
        test::RandomBytes(2317, 4).bytes,
    };
    for (std::size_t i = 0; i < contents.size(); ++i) {
      inputs_.push_back(Write("in" + std::to_string(i), contents[i]));
      contents_.push_back(contents[i]);
    }
  }
  ~QvxpackTool() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  static Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // Exit status of qvxpack with args, run with at most limitKiB of address
  // space; its output goes to out.txt. With a signal to send, it runs in the
  // background of a shell that first runs `traps`, and gets the signal once
  // a temporary output of its appears; the status of a run that the signal
  // ends is 128 and the signal's number, as a shell gives it. `program` is
  // the qvxpack to run.
  int Run(const std::string& args, int limitKiB = kOneGiBInKiB, const std::string& traps = "",
          const std::string& sends = "", const std::string& program = QVXPACK_PATH) {
    const std::string limit =
        kCanLimitMemory ? "ulimit -v " + std::to_string(limitKiB) + " && " : "";
    std::string command =
        limit + traps + program + " " + args + " >" + (dir_ / "out.txt").string() + " 2>&1";
    if (!sends.empty()) {
      command += " & pid=$!; i=0; while [ $i -lt 2000 ] && ! ls " + dir_.string() +
                 " | grep -q '[.]partial-'; do sleep 0.01; i=$((i + 1)); done; kill -" + sends +
                 " $pid; wait $pid";
    }
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() {
    const Bytes b = Read(dir_ / "out.txt");
    return std::string(b.begin(), b.end());
  }

  std::string Inputs() const {
    std::string s;
    for (const std::string& in : inputs_) s += " " + in;
    return s;
  }

  // Files in the scratch folder other than the inputs and out.txt.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("in", 0) != 0 && name != "out.txt") names.push_back(name);
    }
    return names;
  }

  fs::path dir_;
  std::vector<std::string> inputs_;
  std::vector<Bytes> contents_;
};

TEST_F(QvxpackTool, PacksListsVerifiesAndUnpacks) {
  const std::string payload = (dir_ / "payload.bin").string();
  ASSERT_EQ(Run("pack --for=win32 -o " + payload + Inputs()), 0) << Output();
  EXPECT_EQ(Output().find("warning"), std::string::npos) << Output();

  ASSERT_EQ(Run("list " + payload), 0) << Output();
  const std::string listing = Output();
  for (std::string_view name : kTargetNames) {
    EXPECT_NE(listing.find(name), std::string::npos) << listing;
  }
  char value[32];  // the value the installer reads
  std::snprintf(value, sizeof value, "CRC-32 0x%08X holds", CheckPayload(Read(payload)).stored);
  EXPECT_NE(listing.find(value), std::string::npos) << listing;

  EXPECT_EQ(Run("verify " + payload + Inputs()), 0) << Output();

  fs::create_directory(dir_ / "out");  // a folder that exists is fine
  ASSERT_EQ(Run("unpack " + payload + " " + (dir_ / "out").string()), 0) << Output();
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    EXPECT_EQ(Read(dir_ / "out" / std::string(kTargetNames[i])), contents_[i]) << i;
  }
  // Files there stay, and all are named, unless --force says otherwise.
  Write("out/QVX.hlp", {'m'});
  fs::remove(dir_ / "out" / "default.stg");
  EXPECT_EQ(Run("unpack " + payload + " " + (dir_ / "out").string()), 1);
  EXPECT_NE(
      Output().find("holds QVX.exe, QVX.hlp, QVX.cnt, QvxUninstall.exe, default.rex; nothing"),
      std::string::npos)
      << Output();
  EXPECT_EQ(Read(dir_ / "out" / "QVX.hlp"), Bytes{'m'});
  EXPECT_FALSE(fs::exists(dir_ / "out" / "default.stg"));
  ASSERT_EQ(Run("unpack --force " + payload + " " + (dir_ / "out").string()), 0) << Output();
  EXPECT_EQ(Read(dir_ / "out" / "QVX.hlp"), contents_[1]);

  const std::string one = (dir_ / "one.q").string();
  for (const std::string& in : {inputs_[0], inputs_[4], Write("empty", {})}) {
    ASSERT_EQ(Run("compress " + in + " " + one), 0) << in << Output();
    ASSERT_EQ(Run("expand " + one + " " + (dir_ / "one").string()), 0) << in << Output();
    EXPECT_EQ(Read(dir_ / "one"), Read(in)) << in;
  }

  // Verify names the entry that differs: same size and other bytes, or the
  // same bytes and one more.
  Bytes longer = contents_[2];
  longer.push_back('d');
  for (const Bytes& other : {Bytes(741, 'd'), longer}) {
    Write("in2", other);
    EXPECT_EQ(Run("verify " + payload + Inputs()), 1);
    EXPECT_NE(Output().find("QVX.cnt"), std::string::npos) << Output();
  }
  Write("in2", contents_[2]);

  // Deterministic: the same inputs give the same bytes.
  const std::string again = (dir_ / "again.bin").string();
  ASSERT_EQ(Run("pack -o " + again + Inputs()), 0);
  EXPECT_EQ(Read(payload), Read(again));
}

TEST_F(QvxpackTool, ReadsThePayloadOutOfAnInstaller) {
  const std::string payload = (dir_ / "payload.bin").string();
  ASSERT_EQ(Run("pack -o " + payload + Inputs()), 0) << Output();
  for (bool plus : {false, true}) {
    const std::string exe =
        Write("QvxSetup.exe", test::SyntheticPe(plus, {{10, 129, 1033, Read(payload)}}));
    EXPECT_EQ(Run("list " + exe), 0) << Output();
    EXPECT_EQ(Run("verify " + exe + Inputs()), 0) << Output();
  }
}

// The output takes the stub's permission bits and, when asked, a version:
// the fixed and text forms of the file and product version change, and the
// rest of the record stays; without the option the stub's record is kept.
TEST_F(QvxpackTool, BuildsAnInstallerFromASignedStub) {
  const std::string stub =
      Write("stub.exe",
            test::SyntheticPe(
                {.pe32Plus = true, .sectionsAfter = {".reloc"}, .certificate = Bytes(64, 0x30)},
                {{3, 1, 1033, Bytes(40, 'i')},
                 {10, 129, 1033, Bytes(4, 0)},
                 {16, 1, 1033, VersionRecord("1.0.0.0", 0x10000, 0)}}));
  fs::permissions(stub, fs::perms(0751));
  const std::string exe = (dir_ / "QvxSetup.exe").string();
  ASSERT_EQ(Run("build --product-version 2.3.40000.5 -o " + exe + " " + stub + Inputs()), 0)
      << Output();
  EXPECT_NE(Output().find("signature does not cover the new payload and was dropped"),
            std::string::npos)
      << Output();
  for (std::size_t slot : {0, 3}) {
    EXPECT_NE(Output().find("warning: " + inputs_[slot] + " (given as " +
                            std::string(kTargetNames[slot]) +
                            ") is a 32-bit (x86) program, the installer a 64-bit (x64) one"),
              std::string::npos)
        << Output();
  }
  EXPECT_NE(Output().find(exe + ": " + std::to_string(fs::file_size(exe)) + " bytes; product "),
            std::string::npos)
      << Output();
  EXPECT_EQ(fs::status(exe).permissions(), fs::perms(0751));
  EXPECT_EQ(ResourceOf(Read(exe), {16, 1, 1033, {}}),
            VersionRecord("2.3.40000.5", 0x00020003, 0x9C400005));
  EXPECT_EQ(Run("verify " + exe + Inputs()), 0) << Output();
  const Bytes built = Read(exe);
  pack::PeLayout pe;
  std::string error;
  std::uint32_t checksum = 0;
  ASSERT_TRUE(pack::ParsePeLayout(built, &pe, &error)) << error;
  pack::ReadField(built, pe.checksumField, 4, &checksum);
  EXPECT_EQ(checksum, pack::PeChecksum(built, pe.checksumField));
  EXPECT_NE(Output().find("ok check value CRC-32"), std::string::npos) << Output();
  const std::string again = (dir_ / "again.exe").string();
  ASSERT_EQ(Run("build -o " + again + " " + stub + Inputs()), 0) << Output();
  // The tool streams the payload into the file and writes the headers last:
  // the same bytes as the installer made whole in memory.
  Bytes payload;
  pack::BuiltInstaller inMemory;
  ASSERT_TRUE(pack::BuildPayload(contents_, &payload, &error)) << error;
  ASSERT_TRUE(pack::BuildInstaller(Read(stub), payload, &inMemory, &error)) << error;
  EXPECT_EQ(Read(again), inMemory.image);
  EXPECT_EQ(ResourceOf(Read(again), {16, 1, 1033, {}}), VersionRecord("1.0.0.0", 0x10000, 0));
  // A copy of the tool started through a link stamps the installer in
  // ../share/qvxpack/ from its real folder when given no stub; a stub given
  // wins over it.
  fs::create_directories(dir_ / "tree" / "bin");
  fs::create_directories(dir_ / "tree" / "share" / "qvxpack");
  fs::copy_file(QVXPACK_PATH, dir_ / "tree" / "bin" / "qvxpack");
  fs::copy_file(stub, dir_ / "tree" / "share" / "qvxpack" / "QvxSetup.exe");
  const std::string link = (dir_ / "qvxpack-link").string();
  fs::create_symlink(dir_ / "tree" / "bin" / "qvxpack", link);
  const std::string stamped = (dir_ / "stamped.exe").string();
  ASSERT_EQ(Run("build -o " + stamped + Inputs(), kOneGiBInKiB, "", "", link), 0) << Output();
  EXPECT_EQ(Read(stamped), Read(again));
  const std::string stub32 = Write("stub32.exe", test::SyntheticPe(false, {{10, 129, 1033, {0}}}));
  ASSERT_EQ(Run("build -o " + stamped + " " + stub32 + Inputs(), kOneGiBInKiB, "", "", link), 0);
  ASSERT_EQ(Run("build -o " + again + " " + stub32 + Inputs()), 0) << Output();
  EXPECT_EQ(Read(stamped), Read(again));
  ASSERT_EQ(Run("build -o " + again + " --product-version=2.3.40000.5 " + stub + Inputs()), 0);
  EXPECT_EQ(Read(exe), Read(again));
  EXPECT_EQ(Run("--version"), 0);
  EXPECT_EQ(Output(), "qvxpack 1.0.0\n");
}

// A payload whose first entry is 23,117 (0x5A4D) bytes long begins with "MZ",
// as an executable does; without a PE header it is still a payload.
TEST_F(QvxpackTool, APayloadBeginningWithMzIsNoExecutable) {
  const std::string packed = (dir_ / "packed.bin").string();
  ASSERT_EQ(Run("pack -o " + packed + Inputs()), 0) << Output();
  const Bytes rest = Read(packed);
  const std::size_t firstLength = rest[0] | rest[1] << 8 | rest[2] << 16 | rest[3] << 24;
  // 20,539 literals take 2,568 flag bytes; with the ten header bytes the
  // body is 23,117 bytes long.
  contents_[0] = test::RandomBytes(20539, 5).bytes;
  Write("in0", contents_[0]);
  Bytes payload = LiteralEntry(contents_[0]);
  ASSERT_EQ(Bytes(payload.begin(), payload.begin() + 4), (Bytes{'M', 'Z', 0, 0}));
  // Written as another tool would, without a check value.
  payload.insert(payload.end(), rest.begin() + 4 + firstLength, rest.end() - kCheckTrailerSize);
  const std::string path = Write("mz.bin", payload);

  ASSERT_EQ(Run("list " + path), 0) << Output();
  EXPECT_NE(Output().find("23117"), std::string::npos) << Output();
  EXPECT_NE(Output().find("no check value"), std::string::npos) << Output();
  EXPECT_EQ(Run("verify " + path + Inputs()), 0) << Output();
  ASSERT_EQ(Run("unpack " + path + " " + (dir_ / "out").string()), 0) << Output();
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    EXPECT_EQ(Read(dir_ / "out" / std::string(kTargetNames[i])), contents_[i]) << i;
  }
}

// A size its stream can yield but memory cannot hold ends in a message, not
// in an abort.
TEST_F(QvxpackTool, RunningOutOfMemoryIsAFailureLikeAnyOther) {
  if (!kCanLimitMemory) GTEST_SKIP() << "no memory limit under AddressSanitizer";
  Bytes file = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, 0x41, 0x00};
  // 8 MiB of groups of eight 18-byte references yield 71 million bytes.
  const std::uint32_t groups = 8 * 1024 * 1024 / 17;
  PutLength(&file, groups * 144);
  for (std::uint32_t g = 0; g < groups; ++g) {
    file.push_back(0);
    for (int k = 0; k < 8; ++k) file.insert(file.end(), {0x00, 0x0F});
  }
  const std::string in = Write("big.q", file);
  const std::string out = (dir_ / "result").string();
  EXPECT_EQ(Run("expand " + in + " " + out, 64 * 1024), 1) << Output();
  EXPECT_NE(Output().find("out of memory"), std::string::npos) << Output();
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"big.q"});

  // Memory runs out while the output is being written: it goes too.
  const std::string stub = Write("stub.exe", test::SyntheticPe(false, {{10, 129, 1033, {0}}}));
  fs::resize_file(inputs_[0], 300 << 20);  // sparse: costs no disk
  EXPECT_EQ(Run("build -o " + out + " " + stub + Inputs(), 200 * 1024), 1) << Output();
  EXPECT_NE(Output().find("out of memory"), std::string::npos) << Output();
  std::vector<std::string> left = Leftovers();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"big.q", "stub.exe"}));

  // A file of 4 GiB - 1 bytes, the most a size field holds, is taken (and
  // memory runs out); one of 4 GiB is refused.
  for (const auto& [size, says] :
       {std::pair{0xFFFFFFFFull, "out of memory"}, {1ull << 32, "too large"}}) {
    fs::resize_file(Write("sparse", {}), size);
    EXPECT_EQ(Run("compress " + (dir_ / "sparse").string() + " " + out, 64 * 1024), 1) << size;
    EXPECT_NE(Output().find(says), std::string::npos) << size << ": " << Output();
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(QvxpackTool, RefusesBadInputsAndLeavesNoOutput) {
  const std::string payload = (dir_ / "payload.bin").string();
  ASSERT_EQ(Run("pack -o " + payload + Inputs()), 0) << Output();
  Bytes cut = Read(payload);
  cut.resize(cut.size() / 2);
  const std::string truncated = Write("truncated.bin", cut);
  Bytes flipped = Read(payload);
  flipped[10] ^= 0x01;  // entry 0's expanded size: its data no longer matches it
  const std::string corrupt = Write("corrupt.bin", flipped);
  flipped.resize(flipped.size() - kCheckTrailerSize);  // no check value to find it
  const std::string corruptUnchecked = Write("unchecked.bin", flipped);
  const std::string empty = Write("empty.bin", {});
  // Claims of 4 GiB from streams that can yield almost nothing.
  Bytes claim = {0x53, 0x5A, 0x44, 0x44};
  const Bytes fourGiB = StoredBody(0xFFFFFFFFu, {});
  claim.insert(claim.end(), fourGiB.begin(), fourGiB.end());
  const std::string hugeFile = Write("huge.q", claim);
  Bytes hugeEntry = Read(payload);
  hugeEntry[10] = hugeEntry[11] = hugeEntry[12] = hugeEntry[13] = 0xFF;
  const std::string huge = Write("huge.bin", hugeEntry);
  Bytes shortEntry;
  PutLength(&shortEntry, 5);
  shortEntry.insert(shortEntry.end(), {0x88, 0xF0, 0x27, 0x33, 0x41});
  PutLength(&shortEntry, 0);
  const std::string shortBody = Write("short.bin", shortEntry);
  // One bit of entry 0's data stream: still a sound walk, but not these bytes.
  Bytes dataFlip = Read(payload);
  dataFlip[40] ^= 0x04;
  const std::string damaged = Write("damaged.bin", dataFlip);
  Bytes valueFlip = Read(payload);
  valueFlip[valueFlip.size() - 8] ^= 0x01;  // the entries are sound, only the value differs
  const std::string badValue = Write("value.bin", valueFlip);
  // Zeros from entry 4's length field on, as a download cut short into a file
  // allocated in advance leaves them; a wiped check value over a flipped bit.
  Bytes zeroTail = Read(payload);
  PayloadWalk fifth(zeroTail);
  for (int i = 0; i < 4; ++i) fifth.Advance();
  const std::size_t zerosFrom = fifth.Entry().offset;
  std::fill(zeroTail.begin() + static_cast<std::ptrdiff_t>(zerosFrom), zeroTail.end(), 0);
  const std::string zeroed = Write("zeroed.bin", zeroTail);
  std::fill(dataFlip.end() - kCheckTrailerSize, dataFlip.end(), 0);
  const std::string wiped = Write("wiped.bin", dataFlip);
  const std::string out = (dir_ / "result").string();
  fs::remove(payload);

  // For the checks made before anything is compressed. Sparse files stand for
  // large products; the 300 MiB one is within every limit, so a row that has
  // it and ends in another message shows that the check came first (its
  // compression would not end soon, nor fit in qvxpack's 1 GiB).
  auto sparse = [&](const std::string& name, std::uint64_t mib, std::uint64_t extra = 0) {
    const std::string path = Write(name, {});
    fs::resize_file(path, (mib << 20) + extra);
    return path;
  };
  const std::string big300 = sparse("in300", 300), big300b = sparse("in300b", 300);
  const std::string over512 = sparse("in512", 512, 1), over1792 = sparse("in1792", 1792, 1);
  const std::string big1000 = sparse("in1000", 1000), big1000b = sparse("in1000b", 1000);
  const std::string exactly512 = sparse("in512exactly", 512);
  const std::string big8 = sparse("in8", 8);  // long enough a build to be sent a signal
  // The longest name Linux takes.
  const std::string longest = (dir_ / std::string(255, 'n')).string();
  const std::string stub32 = Write("instub32.exe", test::SyntheticPe(false, {{10, 129, 1033, {}}}));
  const std::string noPayload =
      Write("instub-bare.exe", test::SyntheticPe(false, {{10, 128, 1033, Bytes(5, 'o')}}));
  // A stub carrying this very product, whose program and uninstaller a
  // swapped pair would be; a copy of the program, to give as a file of its own.
  Bytes product;
  std::string built;
  ASSERT_TRUE(pack::BuildPayload(contents_, &product, &built)) << built;
  const std::string ownStub =
      Write("instub-own.exe", test::SyntheticPe(false, {{10, 129, 1033, product}}));
  const std::string program = Write("in-program.exe", contents_[0]);
  const std::string dll = Write("in-dll.exe", WithDllFlag(contents_[3], true));
  fs::create_hard_link(inputs_[1], dir_ / "inlink1");
  const std::string stubLink = (dir_ / "instub-link.exe").string();
  fs::create_hard_link(stub32, stubLink);
  fs::create_directory_symlink(dir_, dir_ / "inlinked-dir");
  // The six files with those of some slots replaced.
  auto with = [&](std::vector<std::pair<std::size_t, std::string>> slots) {
    std::vector<std::string> files = inputs_;
    for (const auto& [slot, file] : slots) files[slot] = file;
    std::string s;
    for (const std::string& f : files) s += " " + f;
    return s;
  };

  struct Case {
    std::string args;
    int status;
    std::string says;
    std::string traps = "";   // shell commands before qvxpack
    std::string sends = "";   // a signal sent while it writes its output
    std::string writes = "";  // the output of a row that succeeds, verified against `files`
    std::string files = "";
  };
  const std::string five = Inputs().substr(0, Inputs().rfind(' '));
  const std::string installedStub =
      (fs::canonical(QVXPACK_PATH).parent_path().parent_path() / "share/qvxpack/QvxSetup.exe")
          .string();
  const Case cases[] = {
      {"", 2, "no command"},
      {"frobnicate", 2, "unknown command"},
      {"pack -o " + out + five, 2, "exactly six files, 5 given"},
      {"pack -o " + out + Inputs() + " " + inputs_[0], 2, "exactly six files, 7 given"},
      {"pack -o " + out + " " + (dir_ / "missing").string() + five, 1,
       "missing (given as QVX.exe): no such file"},
      {"pack -o " + out + with({{4, big300}, {5, empty}}), 1, "(given as default.stg): empty file"},
      {"list " + truncated, 1, "corrupt or truncated payload: entry 0 at offset 0 runs past"},
      {"list " + shortBody, 1, "entry 0 at offset 0 is 5 bytes long, shorter than its 10 header"},
      {"expand " + hugeFile + " " + out, 1, "but its 0-byte data stream yields 0"},
      {"list " + huge, 1, "entry 0 at offset 0 claims an expanded size of 4294967295 bytes"},
      {"verify " + huge + Inputs(), 1, "claims an expanded size of 4294967295"},
      {"unpack " + huge + " " + out, 1, "claims an expanded size of 4294967295"},
      {"unpack " + corrupt + " " + out, 1, "corrupt"},
      {"unpack " + corruptUnchecked + " " + out, 1, "entry 0 at offset 0 claims an expanded size"},
      {"verify " + corrupt + Inputs(), 1, "entry 0 at offset 0 claims an expanded size"},
      {"list " + zeroed, 1,
       "the payload ends in " + std::to_string(zeroTail.size() - zerosFrom) +
           " zero bytes after 4 entries: cut short or damaged"},
      {"verify " + wiped + Inputs(), 1, "the payload ends in 12 zero bytes after 6 entries"},
      {"list " + inputs_[1], 1, inputs_[1] + ": not a payload or a Quorvex installer"},
      {"list " + damaged, 1, "check value does not hold: stored CRC-32 0x"},
      {"verify " + badValue + Inputs(), 1, "check value does not hold"},
      {"unpack " + damaged + " " + out, 1, "check value does not hold"},
      {"expand " + inputs_[1] + " " + out, 1, "not a sound compressed file"},
      {"compress " + (dir_ / "missing").string() + " " + out, 1, "cannot open"},
      {"verify " + truncated + five, 2, "exactly six files"},
      {"build -o " + out + " " + truncated + Inputs(), 1, "not a Windows executable"},
      // Six files and no stub: the installed installer, which the build tree lacks.
      {"build -o " + out + " " + truncated + five, 1,
       "no STUB given, and no installer is installed at " + installedStub},
      {"build -o " + out + " " + stub32 + Inputs() + " " + inputs_[0], 2,
       "exactly six files, 7 given"},
      // Refused before anything is compressed.
      {"build -o " + out + " " + noPayload + with({{4, big300}}), 1,
       "qvxpack: use a QvxSetup.exe as its build leaves it (dist/QvxSetup.exe, "
       "dist/win64/QvxSetup.exe), not one changed since by another tool: " +
           noPayload + " cannot be stamped: no payload resource"},
      {"build -o " + out + " " + ownStub + with({{0, inputs_[3]}, {3, inputs_[0]}, {4, big300}}), 1,
       inputs_[3] + " (given as QVX.exe): the same bytes as the QvxUninstall.exe that the stub"},
      {"build -o " + out + " " + ownStub + with({{3, program}, {4, big300}}), 1,
       program + " (given as QvxUninstall.exe): the same bytes as the QVX.exe that the stub"},
      {"pack -o " + out + with({{3, dll}, {4, big300}}), 1,
       dll + " (given as QvxUninstall.exe): a DLL, not a program"},
      {"build -o " + (dir_ / "nowhere" / "x.exe").string() + " " + stub32 + with({{4, big300}}), 1,
       "its folder " + (dir_ / "nowhere").string() + " does not exist"},
      {"pack -o " + out + with({{5, (dir_ / "inlink1").string()}}), 1,
       "(given as default.stg): the same file as " + inputs_[1] + " (given as QVX.hlp)"},
      {"pack -o " + out + with({{2, inputs_[1]}}), 1,
       inputs_[1] + " (given as QVX.cnt): the same file as " + inputs_[1] + " (given as QVX.hlp)"},
      {"pack -o " + (dir_ / "inlinked-dir" / "in2").string() + with({{4, big300}}), 1,
       "output: the same file as " + inputs_[2] + " (given as QVX.cnt), which it would overwrite"},
      {"build -o " + stub32 + " " + stub32 + with({{4, big300}}), 1,
       "output: the same file as the stub"},
      {"build -o " + stubLink + " " + stub32 + Inputs(), 1, "output: the same file as the stub"},
      {"build -o " + inputs_[2] + "/x.exe " + stub32 + with({{4, big300}}), 1,
       "its folder " + inputs_[2] + " is not a folder"},
      {"pack -o " + out + with({{0, inputs_[1]}, {1, inputs_[0]}, {4, big300}}), 1,
       inputs_[1] + " (given as QVX.exe): not a Windows program"},
      {"pack -o " + out + with({{3, inputs_[4]}, {4, inputs_[3]}}), 1,
       inputs_[4] + " (given as QvxUninstall.exe): not a Windows program"},
      {"build -o " + out + " " + stub32 + with({{5, over512}}), 1,
       "the 32-bit installer installs files of at most 536870912 bytes (512 MiB)"},
      {"pack --for win32 -o " + out + with({{4, big300}, {5, big300b}}), 1,
       "the 32-bit installer installs products of at most 536870912 bytes (512 MiB)"},
      // A file of exactly the limit is within it; the product around it is not.
      {"pack --for win32 -o " + out + with({{5, exactly512}}), 1,
       "the 32-bit installer installs products of at most 536870912 bytes"},
      {"pack -o " + out + with({{5, over1792}}), 1,
       "the 64-bit installer installs files of at most 1879048192 bytes (1792 MiB)"},
      {"pack -o " + out + with({{4, big1000}, {5, big1000b}}), 1,
       "the 64-bit installer installs products of at most 1879048192"},
      {"pack -o " + out + " -o " + out + Inputs(), 2, "-o given twice"},
      {"pack --fast -o " + out + Inputs(), 2, "unknown option '--fast' for pack"},
      {"pack --for win16 -o " + out + Inputs(), 2, "--for takes win32 or win64"},
      {"pack --for=win16 -o " + out + Inputs(), 2, "--for takes win32 or win64"},
      {"unpack --force=yes " + truncated + " " + out, 2, "--force takes no value"},
      {"list --force " + truncated, 2, "unknown option '--force' for list"},
      {"list -v " + truncated, 2, "unknown option '-v' for list"},
      {"build --product-version 1.2.65536.0 -o " + out + " " + stub32 + Inputs(), 2,
       "'1.2.65536.0' is not a version A.B.C.D"},
      {"build -o " + out, 2, "build takes exactly six files, 0 given"},
      {"build " + stub32 + Inputs(), 2, "build takes -o OUT, an optional STUB and six files"},
      {"pack" + Inputs() + " -o", 2, "-o needs a file name"},
      {"build --product-version 1.2.3.65535 -o " + out + " " + noPayload + with({{4, big300}}), 1,
       "cannot be stamped: no payload resource"},
      // The temporary and scratch files beside the output take names short
      // enough for the folder.
      {"build -o " + longest + " " + stub32 + Inputs(), 0, "bytes; product", "", "", longest,
       Inputs()},
      // A hang-up that the caller ignores, as nohup does, stays ignored.
      {"build -o " + out + " " + stub32 + with({{4, big8}}), 0, "bytes; product", "trap '' HUP; ",
       "HUP", out, with({{4, big8}})},
      {"build -o " + out + " " + stub32 + with({{4, big300}}), 128 + SIGTERM, "", "", "TERM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args, kOneGiBInKiB, c.traps, c.sends), c.status) << c.args << "\n" << Output();
    EXPECT_NE(Output().find(c.says), std::string::npos) << c.args << "\n" << Output();
    if (!c.writes.empty()) {
      EXPECT_EQ(Run("verify " + c.writes + c.files), 0) << c.args << "\n" << Output();
      fs::remove(c.writes);
    }
    EXPECT_FALSE(fs::exists(out)) << c.args;
    // Wrong usage is one line of what is wrong and one pointing to the help.
    if (c.status == 2) {
      EXPECT_EQ(Output().substr(Output().find('\n') + 1),
                "Try 'qvxpack --help' for more information.\n")
          << c.args;
    }
  }
  std::vector<std::string> left = Leftovers();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"corrupt.bin", "damaged.bin", "empty.bin", "huge.bin",
                                            "huge.q", "short.bin", "truncated.bin", "unchecked.bin",
                                            "value.bin", "wiped.bin", "zeroed.bin"}))
      << "no partial output may stay behind";
}

}  // namespace
}  // namespace qvx
