#include "text/glyph_font.h"

#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"
#include "platform/glyph_mesh.h"
#include "platform/text/text_font.h"
#include "scene/mesh_instance.h"
#include "scene/node.h"

namespace velm {
namespace {

// How far a flattened curve may stray from the outline, in ems.
constexpr float kDeviation = 0.001f;

}  // namespace

GlyphFont::GlyphFont(const char* faceName_, float extrusion_) : extrusion(extrusion_), faceName(faceName_) {}

GlyphFont::~GlyphFont() = default;

void GlyphFont::create() {
  if (created) return;
  created = true;
  reportProgress();
  characters = kGlyphSet;
  widths.assign(characters.size(), 0.0f);
  font = platform::TextFont::open(faceName ? faceName : "", height, weight, italic);

  for (size_t i = 0; i < characters.size(); ++i) {
    const char c = characters[i];
    widths[i] = font->charWidth(c);
    if (widths[i] == 0.0f) widths[i] = 0.1f;

    platform::GlyphMesh solid;
    if (!font->buildGlyphMesh(c, kDeviation, extrusion, solid)) continue;
    Mesh* mesh = EngineContext::get().createMesh();
    mesh->loadFromD3DXMesh(solid);
    glyphs[c] = mesh;  // a repeated character keeps the mesh of its last position
  }
}

Mesh* GlyphFont::glyph(char c) const {
  if (characters.find(c) == std::string::npos) return nullptr;
  const auto it = glyphs.find(c);
  return it == glyphs.end() ? nullptr : it->second;
}

float GlyphFont::charWidth(char c) const {
  const size_t at = characters.find(c);
  return at == std::string::npos ? 0.0f : widths[at] * 10.0f;
}

float textWidth(const std::string& text, const GlyphFont& font) {
  float width = 0.0f;
  for (const char c : text) width += font.glyph(c) ? font.charWidth(c) : 1.0f;
  return width;
}

DummyNode* createTextNode(GlyphFont& font, const std::string& text, Vector3 advance, const Material* material) {
  auto* node = new DummyNode();
  node->setName(text);
  Vector3 pen{};
  for (const char c : text) {
    Mesh* mesh = font.glyph(c);
    if (!mesh) {
      pen = pen + 2.0f * advance;
      continue;
    }
    auto* instance = new MeshInstance(mesh);
    node->addChild(instance);
    instance->transform = translationMatrix(pen.x, pen.y, pen.z);
    if (material) instance->material = *material;
    const float w = font.charWidth(c);
    reportProgress();
    pen = pen + w * advance;
  }
  return node;
}

void registerFontResources() {
  platform::registerFontFace(kBlockFontFace, kBlockFontFile);
  platform::registerFontFace(kScriptFontFace, kScriptFontFile);
}

void removeFontResources() {
  platform::unregisterFontFile(kScriptFontFile);
  platform::unregisterFontFile(kBlockFontFile);
}

}  // namespace velm
