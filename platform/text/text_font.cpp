#include "platform/text/text_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdio>
#include <map>
#include <vector>

#include "platform/text/outline.h"

namespace platform {
namespace {

// One FreeType library for the process, made on first use and kept.
FT_Library library() {
  static FT_Library lib = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made) != 0) {
      std::fprintf(stderr, "velm: FreeType could not start; text has no glyphs\n");
      return static_cast<FT_Library>(nullptr);
    }
    return made;
  }();
  return lib;
}

std::map<std::string, std::string>& registry() {
  static std::map<std::string, std::string> faces;  // face name -> font file
  return faces;
}

FT_Face openFace(const std::string& path) {
  FT_Library lib = library();
  FT_Face face = nullptr;
  if (!lib || path.empty() || FT_New_Face(lib, path.c_str(), 0, &face) != 0) return nullptr;
  return face;
}

// Where logical height 1 puts the face's cell: Windows ascent plus descent,
// as the Windows font system measures it.
double cellHeight(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
    return static_cast<double>(os2->usWinAscent) + os2->usWinDescent;
  if (face->ascender - face->descender > 0) return static_cast<double>(face->ascender - face->descender);
  return face->units_per_EM > 0 ? face->units_per_EM : 1000.0;
}

// Default faces (the fonts-dejavu-core package), bold first for heavy weights.
constexpr const char* kDefaultRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kDefaultBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Decomposition {
  std::vector<outline::Contour> contours;
  outline::Point pen;
  double tolerance;
};

outline::Point point(const FT_Vector* v) { return {static_cast<double>(v->x), static_cast<double>(v->y)}; }

int moveTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  d->pen = point(to);
  d->contours.push_back({d->pen});
  return 0;
}
int lineTo(const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  if (d->contours.empty()) d->contours.emplace_back();
  d->pen = point(to);
  d->contours.back().push_back(d->pen);
  return 0;
}
int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  if (d->contours.empty()) d->contours.emplace_back();
  outline::flattenQuadratic(d->pen, point(control), point(to), d->tolerance, d->contours.back());
  d->pen = point(to);
  return 0;
}
int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* d = static_cast<Decomposition*>(user);
  if (d->contours.empty()) d->contours.emplace_back();
  outline::flattenCubic(d->pen, point(c1), point(c2), point(to), d->tolerance, d->contours.back());
  d->pen = point(to);
  return 0;
}

}  // namespace

bool registerFontFace(const std::string& faceName, const std::string& path) {
  FT_Face face = openFace(path);
  if (!face) {
    std::fprintf(stderr, "velm: \"%s\" is not a readable font file; face \"%s\" not registered\n", path.c_str(),
                 faceName.c_str());
    return false;
  }
  FT_Done_Face(face);
  registry()[faceName] = path;
  return true;
}

bool unregisterFontFile(const std::string& path) {
  bool removed = false;
  for (auto it = registry().begin(); it != registry().end();) {
    if (it->second == path) {
      it = registry().erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed;
}

std::string registeredFontFile(const std::string& faceName) {
  const auto it = registry().find(faceName);
  return it == registry().end() ? std::string() : it->second;
}

struct TextFont::Impl {
  FT_Face face = nullptr;
  std::string path;
  bool fallback = false;
  double cell = 1.0;
  double height = 1.0;
  bool slant = false;  // italic asked of an upright face
};

TextFont::TextFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TextFont::~TextFont() {
  if (impl_->face) FT_Done_Face(impl_->face);
}

std::unique_ptr<TextFont> TextFont::open(const std::string& faceName, int height, int weight, bool italic) {
  auto impl = std::make_unique<Impl>();
  impl->height = height;
  impl->path = registeredFontFile(faceName);
  impl->face = openFace(impl->path);
  if (!impl->face) {
    impl->fallback = true;
    const std::string why = impl->path.empty() ? "is not registered" : "cannot be read from " + impl->path;
    const char* order[2] = {weight >= 600 ? kDefaultBold : kDefaultRegular,
                            weight >= 600 ? kDefaultRegular : kDefaultBold};
    impl->path.clear();
    for (const char* candidate : order) {
      if ((impl->face = openFace(candidate))) {
        impl->path = candidate;
        break;
      }
    }
    if (impl->face)
      std::fprintf(stderr, "velm: font face \"%s\" %s; using the default face %s\n", faceName.c_str(), why.c_str(),
                   impl->path.c_str());
    else
      std::fprintf(stderr, "velm: font face \"%s\" %s and no default face opens; its text has no glyphs\n",
                   faceName.c_str(), why.c_str());
  }
  if (impl->face) {
    impl->cell = cellHeight(impl->face);
    impl->slant = italic && !(impl->face->style_flags & FT_STYLE_FLAG_ITALIC);
  }
  return std::unique_ptr<TextFont>(new TextFont(std::move(impl)));
}

float TextFont::charWidth(char c) const {
  FT_Face face = impl_->face;
  if (!face) return 0.0f;
  const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
  FT_Fixed advance = 0;
  if (FT_Get_Advance(face, index, FT_LOAD_NO_SCALE, &advance) != 0) return 0.0f;
  return static_cast<float>(static_cast<double>(advance) * impl_->height / impl_->cell);
}

bool TextFont::buildGlyphMesh(char c, float deviation, float extrusion, GlyphMesh& out) const {
  out = {};
  FT_Face face = impl_->face;
  if (!face) return false;
  const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline& shape = slot->outline;
  if (impl_->slant) {
    FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // x += 0.2 y
    FT_Outline_Transform(&shape, &shear);
  }

  Decomposition d;
  d.tolerance = static_cast<double>(deviation) * (face->units_per_EM > 0 ? face->units_per_EM : 1000);
  const FT_Outline_Funcs funcs{moveTo, lineTo, conicTo, cubicTo, 0, 0};
  if (FT_Outline_Decompose(&shape, &funcs, &d) != 0) return false;
  const auto rule = (shape.flags & FT_OUTLINE_EVEN_ODD_FILL) ? outline::FillRule::EvenOdd : outline::FillRule::NonZero;
  return outline::extrude(d.contours, rule, kMeshUnitsPerCell / impl_->cell, extrusion, out);
}

const std::string& TextFont::filePath() const { return impl_->path; }

bool TextFont::isFallback() const { return impl_->fallback; }

}  // namespace platform
