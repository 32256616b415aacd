// 3D text from font files: a registry that maps face names to font files, and
// an opened face that gives a character's advance width and its extruded
// triangle mesh. FreeType reads the outlines; the glyph code turns them into
// solids (platform/text/outline.h). Nothing here draws, caches meshes or lays
// out strings: that is the glyph font's business (text/glyph_font.h).
//
// Units, the same for every face. Let `cell` be the face's cell height in font
// units (the OS/2 table's Windows ascent plus descent, else the horizontal
// header's ascender minus descender): the height that logical height 1 gives.
//   width(c)     = advance(c) x height / cell          (logical units)
//   mesh x, y, z = font units x kMeshUnitsPerCell / cell
// so a glyph's own advance in mesh units is kMeshUnitsPerCell x width(c) for
// height 1. Meshes: x to the right, y up, the front face at z = 0 facing -z,
// the back face at z = extrusion facing +z (left-handed, so the text reads
// from the -z side); triangles are clockwise seen from outside.
#pragma once

#include <memory>
#include <string>

#include "platform/glyph_mesh.h"

namespace platform {

// One cell height of a face is this many mesh units.
inline constexpr float kMeshUnitsPerCell = 2.65f;

// Makes `faceName` name the first face of the font file at `path`, replacing
// an earlier registration of that name. Fails (false, a line on standard
// error) when the file is not a font FreeType can open.
bool registerFontFace(const std::string& faceName, const std::string& path);
// Forgets every face name registered from `path`; false when there was none.
bool unregisterFontFile(const std::string& path);
// The file registered for `faceName`, or empty.
std::string registeredFontFile(const std::string& faceName);

class TextFont {
 public:
  // The face registered as `faceName` at logical height `height`. An unknown
  // name (or an unreadable file) falls back to a default system face, said on
  // standard error; with no usable face at all the font has no glyphs and
  // every width is 0. Weight 600 or more picks the bold default face; italic
  // slants a face that is not italic itself.
  static std::unique_ptr<TextFont> open(const std::string& faceName, int height, int weight, bool italic);
  ~TextFont();
  TextFont(const TextFont&) = delete;
  TextFont& operator=(const TextFont&) = delete;

  // The advance width of `c` in logical units (0 without a face).
  float charWidth(char c) const;
  // The solid of `c`: its outline flattened so that no chord strays more than
  // `deviation` em from the curve, filled by the face's fill rule and extruded
  // to `extrusion` mesh units. A character without an outline (a space) gives
  // an empty mesh and true; false only when there is no face or the outline
  // cannot be read.
  bool buildGlyphMesh(char c, float deviation, float extrusion, GlyphMesh& out) const;

  // The font file in use; empty without a face.
  const std::string& filePath() const;
  // True when the requested face name was not registered (or failed to open).
  bool isFallback() const;

 private:
  struct Impl;
  explicit TextFont(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
