// Building blocks for the production's meshes: a triangle list with
// per-vertex normals and texture coordinates, and the shapes the models are
// made of (surfaces of revolution, swept tubes, rounded boxes, prisms, thick
// strokes). Shapes are made with outward normals; orient() then winds every
// triangle so that (b - a) x (c - a) agrees with its normals, which is what
// the engine draws as a front face. No file format lives here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "kit_math.h"

namespace velm::models {

struct MeshVertex {
  Vec3 position;
  Vec3 normal;
  Vec2 uv;  // v runs down the picture
};

class MeshPart {
 public:
  uint32_t add(Vec3 position, Vec3 normal, Vec2 uv);
  void triangle(uint32_t a, uint32_t b, uint32_t c);
  // Two triangles a, b, c and a, c, d.
  void quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
  // Appends `other` moved by `m` (normals by the inverse transpose).
  void append(const MeshPart& other, const Mat4& m = Mat4::identity());
  void transform(const Mat4& m);
  // Negates every normal and reverses every triangle: the part is then seen
  // from the other side (rooms and skies seen from within).
  void invert();
  // Winds each triangle so that its geometric normal agrees with the sum of
  // its vertex normals. Degenerate triangles are dropped.
  void orient();
  // Texture coordinates times (su, sv), then plus (ou, ov).
  void scaleUv(double su, double sv, double ou = 0, double ov = 0);
  // Triangles whose geometric normal disagrees with their vertex normals.
  int countMisoriented() const;
  Vec3 boundsMin() const;
  Vec3 boundsMax() const;

  std::vector<MeshVertex> vertices;
  std::vector<std::array<uint32_t, 3>> triangles;
};

// A profile point of a surface of revolution: distance from the axis and
// height. A crease point gets a hard edge (its two sides keep their own normals).
struct ProfilePoint {
  double r = 0, h = 0;
  bool crease = false;
};

// Revolves `profile` about the y axis in `segments` steps. The profile runs
// from the bottom to the top of a solid; normals point away from the solid.
// u goes once round (times uTiles), v down the profile by arc length (v = 0
// at the top, times vTiles).
MeshPart lathe(const std::vector<ProfilePoint>& profile, int segments, double uTiles = 1, double vTiles = 1);

// A tube of circular cross-section along `path` (closed when `closed`), with
// `sides` sides and a radius per path point (one value: the same everywhere).
// Open tubes get flat end caps when `caps`.
MeshPart tube(const std::vector<Vec3>& path, const std::vector<double>& radius, int sides, bool closed, bool caps,
              double uTiles = 1, double vPerUnit = 0.25);

// An axis-aligned box of half extents `half` around the origin whose edges and
// corners are rounded with `radius` in `roundSteps` steps; flat parts are cut
// into `flatSteps` pieces along each side. Planar texture coordinates per
// side, `uvScale` per unit.
MeshPart roundedBox(Vec3 half, double radius, int roundSteps, int flatSteps, double uvScale);

// A plain box from `lo` to `hi` with hard edges and planar texture coordinates.
MeshPart box(Vec3 lo, Vec3 hi, double uvScale);

MeshPart sphere(double radius, int rings, int segments);

// A prism: the convex polygon `outline` (x, y, counter-clockwise seen from +z)
// extruded from z = z0 to z = z1, hard edges. Texture coordinates are
// planar: caps by (x, y), sides by (distance round, z), `uvScale` per unit.
MeshPart prism(const std::vector<Vec2>& outline, double z0, double z1, double uvScale);

// A thick polyline in the x-y plane (mitred joints), `width` wide, extruded
// from z = 0 to z = depth, cut into pieces no longer than `maxPiece` along the
// stroke so that it can be bent later. Both ends are capped.
MeshPart stroke(const std::vector<Vec2>& points, double width, double depth, double maxPiece);

// A grid surface position(u, v) for u, v in [0, 1], `nu` by `nv` quads, with
// normals from the cross product of the two directions (du x dv, negated when
// `flip`). Texture coordinates are (u * uTiles, v * vTiles).
MeshPart surface(Vec3 (*position)(double u, double v, const void* context), const void* context, int nu, int nv,
                 bool flip, double uTiles = 1, double vTiles = 1);

// A double-sided rectangle in the x-y plane, centred on the origin.
MeshPart card(double halfWidth, double halfHeight);

}  // namespace velm::models
