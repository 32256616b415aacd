// Faces from font files: the registry, the fallback to the default face,
// advance widths, and the solids of every character the glyph fonts make,
// in the production's two fonts and the default face.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/text/text_font.h"
#include "tests/text/solid_check.h"
#include "text/glyph_font.h"

namespace velm::testing {
namespace {

using platform::GlyphMesh;
using platform::TextFont;

class FontFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::registerFontFace(kBlockFontFace, kBlockFontFile)) << "run the velm_fonts build target";
    ASSERT_TRUE(platform::registerFontFace(kScriptFontFace, kScriptFontFile));
  }
  void TearDown() override {
    platform::unregisterFontFile(kBlockFontFile);
    platform::unregisterFontFile(kScriptFontFile);
  }
};

TEST_F(FontFiles, RegistryMapsFaceNamesToFilesUntilTheFileIsRemoved) {
  EXPECT_EQ(platform::registeredFontFile(kBlockFontFace), kBlockFontFile);
  EXPECT_EQ(platform::registeredFontFile(kScriptFontFace), kScriptFontFile);
  // A second name for the same file goes with it.
  ASSERT_TRUE(platform::registerFontFace("Alias", kScriptFontFile));
  EXPECT_TRUE(platform::unregisterFontFile(kScriptFontFile));
  EXPECT_EQ(platform::registeredFontFile(kScriptFontFace), "");
  EXPECT_EQ(platform::registeredFontFile("Alias"), "");
  EXPECT_EQ(platform::registeredFontFile(kBlockFontFace), kBlockFontFile);
  EXPECT_FALSE(platform::unregisterFontFile(kScriptFontFile));

  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(platform::registerFontFace("NotAFont", "CMakeLists.txt"));
  EXPECT_FALSE(platform::registerFontFace("Missing", "data/no such font.ttf"));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("no such font"), std::string::npos);
  EXPECT_EQ(platform::registeredFontFile("NotAFont"), "");
}

TEST_F(FontFiles, AnUnknownFaceFallsBackToTheDefaultFaceWithAMessage) {
  ::testing::internal::CaptureStderr();
  const auto font = TextFont::open("NoSuchFace", 1, 600, false);
  const std::string said = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(font);
  EXPECT_TRUE(font->isFallback());
  EXPECT_NE(said.find("\"NoSuchFace\" is not registered"), std::string::npos) << said;
  EXPECT_NE(font->filePath().find("DejaVuSans-Bold"), std::string::npos) << font->filePath();
  EXPECT_GT(font->charWidth('m'), font->charWidth('i'));
  GlyphMesh mesh;
  ASSERT_TRUE(font->buildGlyphMesh('B', 0.001f, 0.5f, mesh));
  EXPECT_TRUE(inspectSolid(mesh).closedAndOutward()) << inspectSolid(mesh).describe();

  // A removed face falls back the same way.
  platform::unregisterFontFile(kBlockFontFile);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(TextFont::open(kBlockFontFace, 1, 600, false)->isFallback());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("ShadowedBlackWide"), std::string::npos);
  EXPECT_FALSE(TextFont::open(kScriptFontFace, 1, 600, false)->isFallback());
}

TEST_F(FontFiles, WidthsGrowWithTheLogicalHeightAndASpaceHasAWidth) {
  const auto one = TextFont::open(kBlockFontFace, 1, 600, false);
  const auto two = TextFont::open(kBlockFontFace, 2, 600, false);
  EXPECT_FALSE(one->isFallback());
  for (const char c : {'0', 'W', '.', ' '}) {
    EXPECT_GT(one->charWidth(c), 0.0f) << c;
    EXPECT_FLOAT_EQ(two->charWidth(c), 2.0f * one->charWidth(c)) << c;
  }
  EXPECT_GT(one->charWidth('W'), one->charWidth('.'));
  // A cell is taller than an em in both faces: every width is below an em.
  EXPECT_LT(one->charWidth('W'), 1.0f);
}

// Every character of the glyph set, in both faces: a closed, manifold solid
// at the requested depth whose ink lies within its own advance, give or take
// a small part of the cell (a script's swashes reach further), and below the
// cell's top.
TEST_F(FontFiles, EveryGlyphOfBothFacesIsAClosedOutwardSolidInsideItsAdvance) {
  struct Face {
    const char* name;
    float depth;
    float overhang;  // of a cell height, on either side of the advance
  };
  for (const Face face : {Face{kBlockFontFace, 0.1f, 0.06f}, Face{kScriptFontFace, 10.1f, 0.2f}}) {
    const auto font = TextFont::open(face.name, 1, 600, false);
    ASSERT_FALSE(font->isFallback()) << face.name;
    for (const char c : std::string(kGlyphSet)) {
      SCOPED_TRACE(std::string(face.name) + " '" + c + "'");
      GlyphMesh mesh;
      ASSERT_TRUE(font->buildGlyphMesh(c, 0.001f, face.depth, mesh));
      const SolidReport r = inspectSolid(mesh);
      EXPECT_TRUE(r.closedAndOutward()) << r.describe();
      EXPECT_EQ(r.pinchedEdges, 0u) << r.describe();
      EXPECT_EQ(r.minZ, 0.0f);
      EXPECT_FLOAT_EQ(r.maxZ, face.depth);
      const float advance = platform::kMeshUnitsPerCell * font->charWidth(c);
      const float slack = face.overhang * platform::kMeshUnitsPerCell;
      EXPECT_GE(r.minX, -slack);
      EXPECT_LE(r.maxX, advance + slack);
      EXPECT_GT(r.maxY, 0.1f);
      EXPECT_LT(r.maxY, platform::kMeshUnitsPerCell);
    }
  }
}

// The width rule against the mesh units, as the scenes lay text out: the
// town's "2008" with the pen at 12.5 per width unit and glyphs scaled by 50,
// the captions at 32 per width unit and glyphs scaled by 110. Digits must not
// overlap nor stand apart; script letters within a word must join or nearly,
// never pile onto each other, and a space must part words clearly.
TEST_F(FontFiles, TextLaidOutAsTheScenesLayItOutReadsAsWords) {
  struct Ink {
    float left, right, top;
  };
  auto inkOf = [](const TextFont& font, char c, float scale) {
    GlyphMesh mesh;
    EXPECT_TRUE(font.buildGlyphMesh(c, 0.001f, 0.1f, mesh));
    const SolidReport r = inspectSolid(mesh);
    return Ink{r.minX * scale, r.maxX * scale, r.maxY * scale};
  };

  const auto block = TextFont::open(kBlockFontFace, 1, 600, false);
  const std::string year = "2008";
  float pen = 0.0f;
  for (size_t i = 0; i + 1 < year.size(); ++i) {
    const Ink a = inkOf(*block, year[i], 50.0f), b = inkOf(*block, year[i + 1], 50.0f);
    const float next = pen + 12.5f * 10.0f * block->charWidth(year[i]);
    const float gap = (next + b.left) - (pen + a.right);
    EXPECT_GE(gap, 0.0f) << year[i] << year[i + 1];
    EXPECT_LE(gap, 0.1f * (a.right - a.left)) << year[i] << year[i + 1];
    pen = next;
  }

  const auto script = TextFont::open(kScriptFontFace, 1, 600, false);
  const float xHeight = inkOf(*script, 'x', 110.0f).top;
  const std::vector<std::string> lines = {"down in the workshop the arms never rest", "the machines listen when we play",
                                          "every link was forged by a friend", "greetings to all who still make things"};
  float widestLetterGap = -1e9f, narrowestSpace = 1e9f;
  for (const std::string& line : lines) {
    pen = 0.0f;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
      const float step = 32.0f * 10.0f * (line[i] == ' ' ? 0.2f : script->charWidth(line[i]));  // a space: 2 x 32
      if (line[i] == ' ' || line[i + 1] == ' ') {
        if (line[i + 1] == ' ' && i + 2 < line.size()) {
          const Ink a = inkOf(*script, line[i], 110.0f), b = inkOf(*script, line[i + 2], 110.0f);
          const float after = pen + step + 64.0f;
          narrowestSpace = std::min(narrowestSpace, (after + b.left) - (pen + a.right));
        }
        pen += step;
        continue;
      }
      const Ink a = inkOf(*script, line[i], 110.0f), b = inkOf(*script, line[i + 1], 110.0f);
      const float gap = (pen + step + b.left) - (pen + a.right);
      widestLetterGap = std::max(widestLetterGap, gap);
      EXPECT_GE(step + b.left - a.left, 0.3f * (a.right - a.left)) << line[i] << line[i + 1] << " pile up";
      pen += step;
    }
  }
  EXPECT_LT(widestLetterGap, 0.25f * xHeight) << "letters of a word float apart";
  EXPECT_GT(narrowestSpace, 1.5f * widestLetterGap) << "words run together";
}

TEST_F(FontFiles, ASpaceHasNoSolidAndItalicSlantsAnUprightFace) {
  const auto upright = TextFont::open(kBlockFontFace, 1, 600, false);
  GlyphMesh space;
  EXPECT_TRUE(upright->buildGlyphMesh(' ', 0.001f, 1.0f, space));
  EXPECT_TRUE(space.indices.empty());

  const auto slanted = TextFont::open(kBlockFontFace, 1, 600, true);
  GlyphMesh straight, leaning;
  ASSERT_TRUE(upright->buildGlyphMesh('I', 0.001f, 0.1f, straight));
  ASSERT_TRUE(slanted->buildGlyphMesh('I', 0.001f, 0.1f, leaning));
  const SolidReport a = inspectSolid(straight), b = inspectSolid(leaning);
  EXPECT_TRUE(b.closedAndOutward()) << b.describe();
  EXPECT_NEAR(b.maxX - a.maxX, 0.2f * a.maxY, 0.01f);
  EXPECT_FLOAT_EQ(b.minX, a.minX);  // the foot stays on the baseline
  EXPECT_FLOAT_EQ(slanted->charWidth('I'), upright->charWidth('I'));
}

}  // namespace
}  // namespace velm::testing
