// The resource lookup, the rewriting of an installer's payload resource, and
// qvxpack run as vendors run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
  const Bytes good = test::SyntheticPe(false, {{10, 129, 1033, Bytes(300, 'p')}});
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
  pack::WriteField(shortInMemory, pe.sections[0].headerOffset + 8, 4, pe.sections[0].rawSize - 1);
  cases.push_back({"data past the size in memory", shortInMemory, "outside the resource section"});
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
  const std::vector<test::SyntheticResource> resources = {
      {3, 1, 1033, Bytes(40, 'i')},   {10, 128, 1033, Bytes(5, 'o')},
      {10, 129, 1031, Bytes(7, 'g')}, {10, 129, 1033, Bytes(9, 'p')},
      {24, 1, 1033, Bytes(13, 'm')},
  };
  // Large enough to push a following section onto later pages.
  const Bytes payload = test::RandomBytes(9000, 7).bytes;
  for (bool plus : {false, true}) {
    for (const std::vector<std::string>& after : {std::vector<std::string>{}, {".reloc"}}) {
      for (const Bytes& certificate : {Bytes{}, Bytes(100, 0x30)}) {
        const Bytes stub = test::SyntheticPe({plus, after, 0x100, certificate}, resources);
        const std::string name = std::string(plus ? "PE32+" : "PE32") +
                                 (after.empty() ? "" : " with .reloc") +
                                 (certificate.empty() ? "" : " signed");
        pack::BuiltInstaller built;
        std::string error;
        ASSERT_TRUE(pack::BuildInstaller(stub, payload, &built, &error)) << name << ": " << error;
        const Bytes& image = built.image;
        EXPECT_EQ(built.signatureDropped, !certificate.empty()) << name;
        for (const test::SyntheticResource& r : resources) {
          const bool isPayload = r.type == 10 && r.id == 129 && r.language == 1033;
          EXPECT_EQ(ResourceOf(image, r), isPayload ? payload : r.data) << name << " " << r.id;
        }

        pack::PeLayout in, out;
        ASSERT_TRUE(pack::ParsePeLayout(stub, &in, &error)) << error;
        ASSERT_TRUE(pack::ParsePeLayout(image, &out, &error)) << name << ": " << error;
        const pack::PeSection& rsrc = out.sections[0];
        EXPECT_EQ(out.directories[pack::kResourceDirectory].rva, rsrc.virtualAddress) << name;
        EXPECT_EQ(out.directories[pack::kResourceDirectory].size, rsrc.virtualSize) << name;
        EXPECT_GE(rsrc.virtualSize, payload.size()) << name;
        EXPECT_EQ(rsrc.rawSize % out.fileAlignment, 0u) << name;
        EXPECT_EQ(out.directories[pack::kSecurityDirectory].size, 0u) << name;
        const pack::PeSection& last = out.sections.back();
        EXPECT_EQ(image.size(), std::size_t{last.rawOffset} + last.rawSize) << name;
        std::uint32_t sizeOfImage = 0, initialized = 0, before = 0;
        pack::ReadField(image, out.sizeOfImageField, 4, &sizeOfImage);
        EXPECT_EQ(sizeOfImage, pack::AlignUp(last.virtualAddress + last.virtualSize, 0x1000))
            << name;
        pack::ReadField(stub, in.sizeOfInitializedDataField, 4, &before);
        pack::ReadField(image, out.sizeOfInitializedDataField, 4, &initialized);
        EXPECT_EQ(initialized - before, rsrc.rawSize - in.sections[0].rawSize) << name;
        if (after.empty()) continue;
        // The relocations moved behind the grown section, their bytes kept.
        const pack::PeSection& reloc = out.sections[1];
        EXPECT_EQ(reloc.virtualAddress,
                  pack::AlignUp(rsrc.virtualAddress + rsrc.virtualSize, out.sectionAlignment))
            << name;
        EXPECT_GT(reloc.virtualAddress, in.sections[1].virtualAddress) << name;
        EXPECT_EQ(out.directories[pack::kBaseRelocDirectory].rva, reloc.virtualAddress) << name;
        EXPECT_TRUE(std::equal(image.begin() + reloc.rawOffset,
                               image.begin() + reloc.rawOffset + reloc.rawSize,
                               stub.begin() + in.sections[1].rawOffset))
            << name;
      }
    }
  }
}

// Named entries and the directory fields survive a layout and a reading.
TEST(BuildInstaller, LaysOutNamedResourcesAndTableFields) {
  pack::ResourceTable root;
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
TEST(BuildInstaller, RefusesALayoutPastFourGiB) {
  const Bytes data(64 << 20, 'd');
  pack::ResourceEntry id{.id = 129};
  for (std::uint32_t language = 0; language < 65; ++language) {
    id.table.entries.push_back({.id = language, .data = data});
  }
  pack::ResourceTable root;
  root.entries.push_back({.id = 10});
  root.entries[0].table.entries.push_back(id);
  Bytes laid;
  EXPECT_FALSE(pack::SerializeResourceTree(root, 0x1000, &laid));
  EXPECT_TRUE(laid.empty());
}

TEST(BuildInstaller, RefusesStubsItCannotRewrite) {
  const std::vector<test::SyntheticResource> withPayload = {{10, 129, 1033, Bytes(300, 'p')}};
  const Bytes good = test::SyntheticPe(false, withPayload);
  const Bytes signedStub = test::SyntheticPe({.certificate = Bytes(64, 0x30)}, withPayload);
  Bytes trailing = good;
  trailing.push_back(7);
  // A thread storage directory where the grown resources would put .reloc.
  Bytes pastTheSections = test::SyntheticPe({.sectionsAfter = {".reloc"}}, withPayload);
  pack::PeLayout pe;
  std::string parseError;
  ASSERT_TRUE(pack::ParsePeLayout(pastTheSections, &pe, &parseError)) << parseError;
  pack::WriteField(pastTheSections, pe.DirectoryField(9), 4, 0x3000);
  pack::WriteField(pastTheSections, pe.DirectoryField(9) + 4, 4, 24);
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
    std::vector<Bytes> contents = {
        dlls.empty() ? test::RandomBytes(70000, 2).bytes : dlls[0].bytes,
        test::RandomBytes(9000, 3).bytes,
        Bytes(741, 'c'),
        test::SomeText().bytes,
        Bytes(2126, ' '),
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
  // space; its output goes to out.txt.
  int Run(const std::string& args, int limitKiB = kOneGiBInKiB) {
    const std::string limit =
        kCanLimitMemory ? "ulimit -v " + std::to_string(limitKiB) + " && " : "";
    const std::string command = limit + std::string(QVXPACK_PATH) + " " + args + " >" +
                                (dir_ / "out.txt").string() + " 2>&1";
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
  ASSERT_EQ(Run("pack -o " + payload + Inputs()), 0) << Output();

  ASSERT_EQ(Run("list " + payload), 0) << Output();
  const std::string listing = Output();
  for (std::string_view name : kTargetNames) {
    EXPECT_NE(listing.find(name), std::string::npos) << listing;
  }

  EXPECT_EQ(Run("verify " + payload + Inputs()), 0) << Output();

  ASSERT_EQ(Run("unpack " + payload + " " + (dir_ / "out").string()), 0) << Output();
  for (std::size_t i = 0; i < kTargetCount; ++i) {
    EXPECT_EQ(Read(dir_ / "out" / std::string(kTargetNames[i])), contents_[i]) << i;
  }

  const std::string one = (dir_ / "one.q").string();
  ASSERT_EQ(Run("compress " + inputs_[0] + " " + one), 0) << Output();
  ASSERT_EQ(Run("expand " + one + " " + (dir_ / "one").string()), 0) << Output();
  EXPECT_EQ(Read(dir_ / "one"), contents_[0]);

  // Verify names the entry that differs.
  Write("in2", Bytes(741, 'd'));  // same size, other bytes
  EXPECT_EQ(Run("verify " + payload + Inputs()), 1);
  EXPECT_NE(Output().find("QVX.cnt"), std::string::npos) << Output();
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

TEST_F(QvxpackTool, BuildsAnInstallerFromASignedStub) {
  const std::string stub =
      Write("stub.exe",
            test::SyntheticPe(
                {.pe32Plus = true, .sectionsAfter = {".reloc"}, .certificate = Bytes(64, 0x30)},
                {{3, 1, 1033, Bytes(40, 'i')}, {10, 129, 1033, Bytes(4, 0)}}));
  const std::string exe = (dir_ / "QvxSetup.exe").string();
  ASSERT_EQ(Run("build -o " + exe + " " + stub + Inputs()), 0) << Output();
  EXPECT_NE(Output().find("signature does not cover the new payload and was dropped"),
            std::string::npos)
      << Output();
  EXPECT_EQ(Run("verify " + exe + Inputs()), 0) << Output();
  // The tool streams the payload into the file and writes the headers last:
  // the same bytes as the installer made whole in memory.
  Bytes payload;
  pack::BuiltInstaller built;
  std::string error;
  ASSERT_TRUE(pack::BuildPayload(contents_, &payload, &error)) << error;
  ASSERT_TRUE(pack::BuildInstaller(Read(stub), payload, &built, &error)) << error;
  EXPECT_EQ(Read(exe), built.image);
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
  payload.insert(payload.end(), rest.begin() + 4 + firstLength, rest.end());
  const std::string path = Write("mz.bin", payload);

  ASSERT_EQ(Run("list " + path), 0) << Output();
  EXPECT_NE(Output().find("23117"), std::string::npos) << Output();
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
  PutLength(&file, 67000000);  // 8 MiB of references can yield 71 million bytes
  file.resize(file.size() + 8 * 1024 * 1024, 0);
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
  const std::string out = (dir_ / "result").string();
  fs::remove(payload);

  struct Case {
    std::string args;
    int status;
    std::string says;
  };
  const std::string five = Inputs().substr(0, Inputs().rfind(' '));
  const Case cases[] = {
      {"", 2, "no command"},
      {"frobnicate", 2, "unknown command"},
      {"pack -o " + out + five, 2, "exactly six files, 5 given"},
      {"pack -o " + out + Inputs() + " " + inputs_[0], 2, "exactly six files, 7 given"},
      {"pack -o " + out + " " + (dir_ / "missing").string() + five, 1, "missing: cannot open"},
      {"pack -o " + out + five + " " + empty, 1, "empty file"},
      {"list " + truncated, 1, "corrupt or truncated payload: entry 0 at offset 0 runs past"},
      {"list " + shortBody, 1, "entry 0 at offset 0 is 5 bytes long, shorter than its 10 header"},
      {"expand " + hugeFile + " " + out, 1, "its 0-byte data stream can yield at most 0"},
      {"list " + huge, 1, "entry 0 at offset 0 claims an expanded size of 4294967295 bytes"},
      {"verify " + huge + Inputs(), 1, "claims an expanded size of 4294967295"},
      {"unpack " + huge + " " + out, 1, "claims an expanded size of 4294967295"},
      {"unpack " + corrupt + " " + out, 1, "corrupt"},
      {"verify " + corrupt + Inputs(), 1, "does not expand"},
      {"expand " + inputs_[1] + " " + out, 1, "not a sound compressed file"},
      {"compress " + (dir_ / "missing").string() + " " + out, 1, "cannot open"},
      {"verify " + truncated + five, 2, "exactly six files"},
      {"build -o " + out + " " + truncated + Inputs(), 1, "not a Windows executable"},
      {"build -o " + out + " " + truncated + five, 2, "exactly six files, 5 given"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.args << "\n" << Output();
    EXPECT_NE(Output().find(c.says), std::string::npos) << c.args << "\n" << Output();
    EXPECT_FALSE(fs::exists(out)) << c.args;
  }
  std::vector<std::string> left = Leftovers();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"corrupt.bin", "empty.bin", "huge.bin", "huge.q",
                                            "short.bin", "truncated.bin"}))
      << "no partial output may stay behind";
}

}  // namespace
}  // namespace qvx
