// Flat outlines made solid: closed polylines (a glyph's contours after its
// curves are flattened) filled by a winding rule and extruded into one
// closed, outward-facing triangle mesh with front and back caps and side
// walls. The fill goes through the GLU tessellator twice: first for the
// boundary of the filled region (overlapping or self-crossing contours are
// resolved there), then for the triangles of that boundary. No font or
// FreeType type appears here.
#pragma once

#include <vector>

#include "platform/glyph_mesh.h"

namespace platform::outline {

struct Point {
  double x = 0, y = 0;
};
using Contour = std::vector<Point>;  // closed: the last point joins the first

enum class FillRule { NonZero, EvenOdd };

// Quadratic and cubic Bézier segments as straight pieces: the points after
// `from` up to and including `to`, split evenly so that no piece strays more
// than `tolerance` from the curve.
void flattenQuadratic(Point from, Point control, Point to, double tolerance, Contour& out);
void flattenCubic(Point from, Point c1, Point c2, Point to, double tolerance, Contour& out);

// Drops repeated points (and a last point equal to the first) and contours
// left with fewer than three points.
std::vector<Contour> cleanContours(const std::vector<Contour>& contours);

// The outline region under `rule`, its coordinates multiplied by `scale`,
// extruded from z = 0 (front, facing -z) to z = depth (back, facing +z).
// Side walls get normals in the xy plane, shared across a joint where the
// outline turns by less than kSmoothTurnDegrees (along a flattened curve) and
// split at sharper corners. An empty region gives an empty mesh. Returns
// false when the tessellator reports an error (the mesh is then empty).
inline constexpr double kSmoothTurnDegrees = 40.0;
bool extrude(const std::vector<Contour>& contours, FillRule rule, double scale, double depth, GlyphMesh& out);

}  // namespace platform::outline
