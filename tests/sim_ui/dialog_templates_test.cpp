// The sim's dialog templates against the resources the Windows build links:
// the resource script is compiled with windres and its binary templates are
// read back, so a control that differs in id, class, text, style or place
// between the two fails here rather than only on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_templates.h"

namespace qvx::sim {
namespace {

#ifdef QVX_COMPILED_RES

// A little-endian reader over a resource's bytes.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& bytes, std::size_t at = 0)
      : bytes_(bytes), at_(at) {}
  std::uint16_t U16() {
    std::uint16_t v = static_cast<std::uint16_t>(bytes_.at(at_) | bytes_.at(at_ + 1) << 8);
    at_ += 2;
    return v;
  }
  std::uint32_t U32() {
    std::uint32_t lo = U16();
    return lo | static_cast<std::uint32_t>(U16()) << 16;
  }
  std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
  // A name or ordinal: 0xFFFF then the ordinal, or a zero-ended UTF-16 text
  // (ASCII here). Ordinals come back as "#n".
  std::string NameOrId() {
    if (bytes_.at(at_) == 0xFF && bytes_.at(at_ + 1) == 0xFF) {
      U16();
      return "#" + std::to_string(U16());
    }
    std::string text;
    for (std::uint16_t c = U16(); c != 0; c = U16()) text += static_cast<char>(c);
    return text;
  }
  void Align4() { at_ = (at_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t n) { at_ += n; }
  std::size_t at() const { return at_; }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t at_;
};

struct Resource {
  std::uint16_t language = 0;
  std::vector<std::uint8_t> data;
};

// The resources of a .res file by (type, name).
std::map<std::pair<std::string, std::string>, Resource> ReadRes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  std::map<std::pair<std::string, std::string>, Resource> out;
  std::size_t at = 0;
  while (at + 8 <= file.size()) {
    Reader r(file, at);
    std::uint32_t dataSize = r.U32();
    std::uint32_t headerSize = r.U32();
    std::string type = r.NameOrId();
    std::string name = r.NameOrId();
    r.Align4();
    r.Skip(4 + 2);  // data version, memory flags
    Resource res;
    res.language = r.U16();
    res.data.assign(file.begin() + at + headerSize, file.begin() + at + headerSize + dataSize);
    if (dataSize != 0) out[{type, name}] = std::move(res);
    at = (at + headerSize + dataSize + 3) & ~std::size_t{3};
  }
  return out;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return s;
}

// windres may store the predefined classes by ordinal.
std::string ClassName(const std::string& stored) {
  static const std::map<std::string, std::string> ordinals = {
      {"#128", "BUTTON"}, {"#129", "EDIT"}, {"#130", "STATIC"}};
  auto it = ordinals.find(stored);
  return it != ordinals.end() ? it->second : Upper(stored);
}

class CompiledResources : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { resources_ = ReadRes(QVX_COMPILED_RES); }
  static const Resource* Find(const std::string& type, const std::string& name) {
    auto it = resources_.find({type, name});
    return it == resources_.end() ? nullptr : &it->second;
  }
  static inline std::map<std::pair<std::string, std::string>, Resource> resources_;
};

TEST_F(CompiledResources, DialogTemplatesMatchTheSim) {
  for (int id : {102, 149}) {
    SCOPED_TRACE("template " + std::to_string(id));
    const SimDialogTemplate* sim = FindSimTemplate(id);
    const Resource* res = Find("#5", "#" + std::to_string(id));
    ASSERT_NE(sim, nullptr);
    ASSERT_NE(res, nullptr);
    EXPECT_EQ(res->language, 1033);

    Reader r(res->data);
    ASSERT_EQ(r.U16(), 1);       // DLGTEMPLATEEX version
    ASSERT_EQ(r.U16(), 0xFFFF);  // signature
    r.U32();                     // help id
    EXPECT_EQ(r.U32(), sim->exStyle);
    EXPECT_EQ(r.U32(), sim->style);
    std::uint16_t count = r.U16();
    EXPECT_EQ(r.I16(), sim->rect.x);
    EXPECT_EQ(r.I16(), sim->rect.y);
    EXPECT_EQ(r.I16(), sim->rect.cx);
    EXPECT_EQ(r.I16(), sim->rect.cy);
    EXPECT_EQ(r.NameOrId(), "");  // no menu
    EXPECT_EQ(r.NameOrId(), "");  // the standard dialog class
    EXPECT_EQ(r.NameOrId(), sim->caption);
    EXPECT_EQ(r.U16(), sim->fontPoints);
    r.Skip(4);  // weight, italic, charset
    EXPECT_EQ(r.NameOrId(), sim->fontName);

    ASSERT_EQ(count, sim->controls.size());
    for (const SimControlTemplate& c : sim->controls) {
      SCOPED_TRACE("control " + std::to_string(c.id));
      r.Align4();
      r.U32();  // help id
      EXPECT_EQ(r.U32(), c.exStyle);
      EXPECT_EQ(r.U32(), c.style);
      EXPECT_EQ(r.I16(), c.rect.x);
      EXPECT_EQ(r.I16(), c.rect.y);
      EXPECT_EQ(r.I16(), c.rect.cx);
      EXPECT_EQ(r.I16(), c.rect.cy);
      EXPECT_EQ(r.U32(), static_cast<std::uint32_t>(c.id));
      EXPECT_EQ(ClassName(r.NameOrId()), Upper(c.windowClass));
      EXPECT_EQ(r.NameOrId(), c.text);
      r.Skip(r.U16());  // creation data
    }
  }
}

// Group icon entries: width, height, colours, planes, bits, and the count.
TEST_F(CompiledResources, IconsHaveTheirSizesAndColours) {
  struct Expected {
    int id;
    std::vector<int> sizes;
  };
  for (const Expected& e : {Expected{128, {32, 16}}, Expected{178, {16}}, Expected{179, {16}}}) {
    SCOPED_TRACE("icon " + std::to_string(e.id));
    const Resource* group = Find("#14", "#" + std::to_string(e.id));
    ASSERT_NE(group, nullptr);
    Reader r(group->data);
    r.Skip(4);  // reserved, type
    ASSERT_EQ(r.U16(), e.sizes.size());
    for (int size : e.sizes) {
      std::uint16_t wh = r.U16();
      EXPECT_EQ(wh & 0xFF, size);
      EXPECT_EQ(wh >> 8, size);
      EXPECT_EQ(r.U16() & 0xFF, 16);  // colour count
      EXPECT_EQ(r.U16(), 1);          // planes
      EXPECT_EQ(r.U16(), 4);          // bits per pixel
      r.Skip(4 + 2);                  // bytes, image id
    }
  }
}

TEST_F(CompiledResources, PayloadManifestAndVersion) {
  const Resource* payload = Find("#10", "#129");
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->language, 1033);

  const Resource* manifest = Find("#24", "#1");
  ASSERT_NE(manifest, nullptr);
  std::string xml(manifest->data.begin(), manifest->data.end());
  EXPECT_NE(xml.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);

  const Resource* version = Find("#16", "#1");
  ASSERT_NE(version, nullptr);
  // The strings are UTF-16; look for them as such.
  auto holds = [&](const std::string& text) {
    std::vector<std::uint8_t> wide;
    for (char c : text) wide.insert(wide.end(), {static_cast<std::uint8_t>(c), 0});
    return std::search(version->data.begin(), version->data.end(), wide.begin(), wide.end()) !=
           version->data.end();
  };
  for (const char* text : {"Quorvex", "Kelvane", "Quorvex Setup", "QvxSetup.exe", "1.0.0.0"}) {
    EXPECT_TRUE(holds(text)) << text;
  }
}

#endif  // QVX_COMPILED_RES

// Pixels of the sim's templates: the base units of 8-point MS Sans Serif.
TEST(SimTemplates, DialogUnitsBecomePixels) {
  EXPECT_EQ(DialogUnitsToPixelsX(262), 393);
  EXPECT_EQ(DialogUnitsToPixelsY(118), 191);
  EXPECT_EQ(DialogUnitsToPixelsX(233), 349);
  EXPECT_EQ(DialogUnitsToPixelsY(23), 37);
  EXPECT_EQ(FindSimTemplate(150), nullptr);
}

}  // namespace
}  // namespace qvx::sim
