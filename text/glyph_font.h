// Glyph fonts: the per-character 3D meshes and advance widths of one
// typeface, and the two things built on them, laying a string out as a row of
// mesh instances under a group node and measuring a string. Meshes are made
// once, through the engine context (which owns them); the font never draws
// and never changes a mesh after making it (the shared assets scale and
// texture-map them). Also the start-up and shutdown steps that make the
// production's two font files known by their face names.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/math3d.h"

namespace platform {
class TextFont;
}

namespace velm {

class DummyNode;
class Mesh;
struct Material;

// The characters every glyph font makes, in order. '0' sits at positions 52
// and 62 and ':' at 67 and 70: widths come from the first, meshes from the last.
inline constexpr const char* kGlyphSet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890.!?,:&<:-";

class GlyphFont {
 public:
  // Stores the face name (not copied: a string that outlives the font) and
  // the depth of the glyph meshes; nothing is made before create().
  GlyphFont(const char* faceName, float extrusion);
  ~GlyphFont();
  GlyphFont(const GlyphFont&) = delete;
  GlyphFont& operator=(const GlyphFont&) = delete;

  // Opens the face and makes the width and mesh of every character of the
  // glyph set; a second call does nothing. A character whose mesh cannot be
  // made has no glyph.
  void create();
  // The mesh of `c`, or null when `c` is not in the glyph set.
  Mesh* glyph(char c) const;
  // 10 x the width at the first position of `c` in the glyph set; 0 outside it.
  float charWidth(char c) const;

  int32_t height = 1;    // logical height of the face
  int32_t weight = 600;
  float extrusion;
  bool italic = false;
  const char* faceName;
  std::string characters;     // the glyph set once created
  std::vector<float> widths;  // per position of `characters`, in logical units (0 becomes 0.1)
  bool created = false;
  std::unique_ptr<platform::TextFont> font;  // the opened face, kept for the life of the font
  std::map<char, Mesh*> glyphs;              // owned by the engine context
};

// The sum of charWidth over the characters of `text` that have a glyph, plus
// 1.0 for every other character (a space included).
float textWidth(const std::string& text, const GlyphFont& font);

// A new group node named `text` holding one mesh instance per character that
// has a glyph, the pen starting at the origin and moving by charWidth x
// `advance` after each glyph and by 2 x `advance` for a character without one.
// Each instance gets a copy of `material` when it is not null. The node is
// not attached anywhere.
DummyNode* createTextNode(GlyphFont& font, const std::string& text, Vector3 advance, const Material* material);

// The production's font files and the face names the fonts ask for.
inline constexpr const char* kBlockFontFile = "data/Shadowed Black Wide.ttf";
inline constexpr const char* kBlockFontFace = "ShadowedBlackWide";
inline constexpr const char* kScriptFontFile = "data/CHOPS___.TTF";
inline constexpr const char* kScriptFontFace = "ChopinScript";

// Start-up, before the glyph fonts are created: registers both files under
// their face names. A file that cannot be read is said on standard error and
// its fonts fall back to the default face.
void registerFontResources();
// Shutdown: forgets both files (the caption file first), results ignored.
void removeFontResources();

}  // namespace velm
