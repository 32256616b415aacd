// Glyph fonts on the recording device: widths and their duplicates, the
// one-time creation through the engine context, text nodes with their pen,
// gaps, materials and progress reports.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"
#include "platform/text/text_font.h"
#include "scene/mesh_instance.h"
#include "scene/node.h"
#include "tests/text/text_test_support.h"
#include "text/glyph_font.h"

namespace velm::testing {
namespace {

namespace fs = std::filesystem;

class GlyphFontTest : public TextTest {
 protected:
  // The script face, created once per test (72 meshes).
  GlyphFont& script() {
    if (!font) {
      font = std::make_unique<GlyphFont>(kScriptFontFace, 10.1f);
      font->create();
    }
    return *font;
  }
  static Vector3 offsetOf(INode* node) { return translationOf(node->transform); }

  std::unique_ptr<GlyphFont> font;
};

TEST_F(GlyphFontTest, ConstructionStoresItsArgumentsAndMakesNothing) {
  GlyphFont block(kBlockFontFace, 0.1f);
  EXPECT_EQ(block.height, 1);
  EXPECT_EQ(block.weight, 600);
  EXPECT_FALSE(block.italic);
  EXPECT_FLOAT_EQ(block.extrusion, 0.1f);
  EXPECT_STREQ(block.faceName, "ShadowedBlackWide");
  EXPECT_FALSE(block.created);
  EXPECT_TRUE(block.characters.empty());
  EXPECT_EQ(block.glyph('a'), nullptr);
  EXPECT_EQ(block.charWidth('a'), 0.0f);
  EXPECT_EQ(EngineContext::get().meshCount, 0);
}

TEST_F(GlyphFontTest, ASpaceHasNoWidthButCountsOneInATextWidth) {
  GlyphFont& f = script();
  ASSERT_EQ(f.characters, kGlyphSet);
  ASSERT_EQ(f.characters.size(), 72u);
  EXPECT_EQ(f.charWidth(' '), 0.0f);
  EXPECT_EQ(f.glyph(' '), nullptr);
  EXPECT_EQ(textWidth(" ", f), 1.0f);
  EXPECT_EQ(textWidth("", f), 0.0f);
  // Characters outside the set (an apostrophe, a tilde) count like a space.
  EXPECT_EQ(f.charWidth('\''), 0.0f);
  EXPECT_FLOAT_EQ(textWidth("a'b~", f), f.charWidth('a') + 1.0f + f.charWidth('b') + 1.0f);
  EXPECT_FLOAT_EQ(f.charWidth('a'), 10.0f * f.widths[0]);
  EXPECT_FLOAT_EQ(f.charWidth('-'), 10.0f * f.widths[71]);
  EXPECT_GT(f.charWidth('m'), f.charWidth('i'));
}

TEST_F(GlyphFontTest, RepeatedCharactersTakeTheFirstWidthAndTheLastMesh) {
  GlyphFont& f = script();
  ASSERT_EQ(f.characters[52], '0');
  ASSERT_EQ(f.characters[62], '0');
  ASSERT_EQ(f.characters[67], ':');
  ASSERT_EQ(f.characters[70], ':');
  // Widths: only the first position is read.
  f.widths[62] = 7.0f;
  f.widths[70] = 9.0f;
  EXPECT_FLOAT_EQ(f.charWidth('0'), 10.0f * f.widths[52]);
  EXPECT_FLOAT_EQ(f.charWidth(':'), 10.0f * f.widths[67]);
  // Meshes: 72 made, 70 kept; a repeated character keeps the one made at its
  // last position, after the character just before that position.
  EXPECT_EQ(EngineContext::get().meshCount, 72);
  EXPECT_EQ(f.glyphs.size(), 70u);
  ASSERT_TRUE(f.glyph('0') && f.glyph('9') && f.glyph('.') && f.glyph(':') && f.glyph('<') && f.glyph('&'));
  EXPECT_GT(f.glyph('0')->serial, f.glyph('9')->serial);  // position 62 after 61
  EXPECT_LT(f.glyph('0')->serial, f.glyph('.')->serial);  // and before 63
  EXPECT_GT(f.glyph(':')->serial, f.glyph('<')->serial);  // position 70 after 69
  EXPECT_GT(f.glyph(':')->serial, f.glyph('&')->serial);  // not the one at 67
}

TEST_F(GlyphFontTest, CreateRunsOnceAndFillsEngineMeshesFromTheCharacterSolids) {
  GlyphFont& f = script();
  Mesh* h = f.glyph('H');
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(EngineContext::get().meshes.count(h), 1u);
  EXPECT_EQ(h->data->state, MeshState::GpuCurrent);

  f.create();
  EXPECT_EQ(EngineContext::get().meshCount, 72);
  EXPECT_EQ(f.glyph('H'), h);

  // The engine mesh holds the solid the face makes for 'H'.
  platform::GlyphMesh solid;
  ASSERT_TRUE(f.font->buildGlyphMesh('H', 0.001f, 10.1f, solid));
  EXPECT_EQ(h->data->gpu->vertexCount, static_cast<int32_t>(solid.positions.size() / 3));
  EXPECT_EQ(h->data->gpu->indexCount, static_cast<int32_t>(solid.indices.size()));
  ASSERT_GT(h->vertices().size(), 0u);
  const Vector3 p = *h->vertices()[0]->position();
  EXPECT_FLOAT_EQ(p.x, solid.positions[0]);
  EXPECT_FLOAT_EQ(p.z, solid.positions[2]);
}

TEST_F(GlyphFontTest, ZeroWidthsBecomeATenthAndCharactersWithoutAnOutlineHaveNoGlyph) {
  // A bitmap face: 'a' advances by nothing, and no character has an outline.
  const fs::path bdf = fs::temp_directory_path() / "velm-zero-width.bdf";
  {
    std::ofstream out(bdf);
    out << "STARTFONT 2.1\nFONT -velm-zero-medium-r-normal--8-80-75-75-c-80-iso8859-1\nSIZE 8 75 75\n"
           "FONTBOUNDINGBOX 8 8 0 0\nSTARTPROPERTIES 4\nFONT_ASCENT 8\nFONT_DESCENT 0\n"
           "CHARSET_REGISTRY \"ISO8859\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS 1\n"
           "STARTCHAR a\nENCODING 97\nSWIDTH 0 0\nDWIDTH 0 0\nBBX 8 8 0 0\nBITMAP\n";
    for (int row = 0; row < 8; ++row) out << "FF\n";
    out << "ENDCHAR\nENDFONT\n";
  }
  ASSERT_TRUE(platform::registerFontFace("ZeroWidth", bdf.string()));
  GlyphFont zero("ZeroWidth", 1.0f);
  zero.create();
  platform::unregisterFontFile(bdf.string());
  fs::remove(bdf);
  EXPECT_FLOAT_EQ(zero.widths[0], 0.1f);
  EXPECT_FLOAT_EQ(zero.charWidth('a'), 1.0f);
  EXPECT_EQ(zero.glyph('a'), nullptr);
  EXPECT_TRUE(zero.glyphs.empty());
  EXPECT_EQ(EngineContext::get().meshCount, 0);
  EXPECT_FLOAT_EQ(textWidth("aa", zero), 2.0f);  // no glyph: 1.0 each
}

TEST_F(GlyphFontTest, ATextNodePlacesGlyphsAlongTheAdvanceAndLeavesGapsForOthers) {
  GlyphFont& f = script();
  const float a = f.charWidth('a'), b = f.charWidth('b');
  struct Case {
    std::string text;
    Vector3 advance;
    std::vector<Vector3> offsets;  // of the glyph instances, in order
  };
  const std::vector<Case> cases = {
      {"ab", {12.5f, 0, 0}, {{0, 0, 0}, {12.5f * a, 0, 0}}},
      {"a b", {12.5f, 0, 0}, {{0, 0, 0}, {12.5f * a + 25.0f, 0, 0}}},
      {" a", {32, 0, 0}, {{64.0f, 0, 0}}},
      {"a'~b", {1, 2, 3}, {{0, 0, 0}, {a + 4.0f, 2 * a + 8.0f, 3 * a + 12.0f}}},
      {"   ", {32, 0, 0}, {}},
      {"aba", {0, -1, 0}, {{0, 0, 0}, {0, -a, 0}, {0, -a - b, 0}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("\"" + test.text + "\"");
    DummyNode* node = createTextNode(f, test.text, test.advance, nullptr);
    EXPECT_EQ(node->name, test.text);
    EXPECT_EQ(translationOf(node->transform), (Vector3{0, 0, 0}));
    ASSERT_EQ(node->children.size(), test.offsets.size());
    size_t i = 0;
    std::string glyphs;
    for (const char c : test.text)
      if (f.glyph(c)) glyphs += c;
    for (INode* child : node->children) {
      auto* instance = dynamic_cast<MeshInstance*>(child);
      ASSERT_NE(instance, nullptr);
      ASSERT_EQ(instance->children.size(), 1u);
      EXPECT_EQ(instance->children.front(), f.glyph(glyphs[i]));
      const Vector3 at = offsetOf(instance);
      EXPECT_FLOAT_EQ(at.x, test.offsets[i].x);
      EXPECT_FLOAT_EQ(at.y, test.offsets[i].y);
      EXPECT_FLOAT_EQ(at.z, test.offsets[i].z);
      ++i;
    }
  }
}

TEST_F(GlyphFontTest, EveryInstanceGetsItsOwnCopyOfTheMaterial) {
  GlyphFont& f = script();
  Material material;
  material.ambient = {0, 0, 0, 0};
  material.diffuse = {1, 1, 1, 1};
  material.technique = "AlphaObject";
  material.specularPower = 3.0f;
  DummyNode* with = createTextNode(f, "ok", {32, 0, 0}, &material);
  material.technique = "changed later";
  ASSERT_EQ(with->children.size(), 2u);
  for (INode* child : with->children) {
    const Material& m = static_cast<MeshInstance*>(child)->material;
    EXPECT_EQ(m.technique, "AlphaObject");
    EXPECT_EQ(m.diffuse.g, 1.0f);
    EXPECT_EQ(m.ambient.a, 0.0f);
    EXPECT_EQ(m.specularPower, 3.0f);
  }
  DummyNode* without = createTextNode(f, "ok", {32, 0, 0}, nullptr);
  const Material defaults;
  for (INode* child : without->children) {
    const Material& m = static_cast<MeshInstance*>(child)->material;
    EXPECT_EQ(m.technique, defaults.technique);
    EXPECT_EQ(m.diffuse.r, defaults.diffuse.r);
  }
}

TEST_F(GlyphFontTest, CreateReportsProgressOnceAndATextNodeOncePerGlyph) {
  loadingTexture = EngineContext::get().createTexture(dataFileName("loading.jpg"));
  ASSERT_NE(loadingTexture, nullptr);
  loadingInProgress = true;
  // What filling 72 engine meshes with the face's solids reports by itself.
  const auto face = platform::TextFont::open(kScriptFontFace, 1, 600, false);
  progressCounter = 0;
  for (const char c : std::string(kGlyphSet)) {
    platform::GlyphMesh solid;
    ASSERT_TRUE(face->buildGlyphMesh(c, 0.001f, 10.1f, solid));
    EngineContext::get().createMesh()->loadFromD3DXMesh(solid);
  }
  const int meshReports = progressCounter;

  progressCounter = 0;
  GlyphFont& f = script();
  EXPECT_EQ(progressCounter, 1 + meshReports);
  progressCounter = 0;
  f.create();
  EXPECT_EQ(progressCounter, 0);
  createTextNode(f, "a b'c", {32, 0, 0}, nullptr);
  EXPECT_EQ(progressCounter, 3);
}

}  // namespace
}  // namespace velm::testing
