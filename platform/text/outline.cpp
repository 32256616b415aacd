#include "platform/text/outline.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>

namespace platform::outline {
namespace {

double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Pieces for a curve whose second derivative is at most `bend` in size: the
// chord of a piece of parameter length h strays at most bend x h^2 / 8.
int pieceCount(double bend, double tolerance) {
  if (!(tolerance > 0.0)) return 1;
  const double n = std::ceil(std::sqrt(bend / (8.0 * tolerance)));
  return std::clamp(static_cast<int>(n), 1, 1024);
}

struct TessVertex {
  double xyz[3];
  int index;  // into the position table of the pass
};

// What the tessellator callbacks collect. Pass 1 gathers boundary loops,
// pass 2 triangles; both may be handed new vertices where edges cross.
struct TessState {
  std::deque<TessVertex> vertices;  // stable addresses for the tessellator
  std::vector<Contour> loops;       // pass 1
  std::vector<int> triangles;       // pass 2: three indices each
  std::vector<Point>* positions = nullptr;  // pass 2: the position table
  bool failed = false;
};

TessVertex* addVertex(TessState& s, double x, double y) {
  TessVertex& v = s.vertices.emplace_back();
  v.xyz[0] = x;
  v.xyz[1] = y;
  v.xyz[2] = 0.0;
  v.index = -1;
  if (s.positions) {
    v.index = static_cast<int>(s.positions->size());
    s.positions->push_back({x, y});
  }
  return &v;
}

void GLAPIENTRY onBegin(GLenum, void* data) {
  auto* s = static_cast<TessState*>(data);
  if (!s->positions) s->loops.emplace_back();
}

void GLAPIENTRY onVertex(void* vertex, void* data) {
  auto* s = static_cast<TessState*>(data);
  const auto* v = static_cast<const TessVertex*>(vertex);
  if (s->positions)
    s->triangles.push_back(v->index);
  else if (!s->loops.empty())
    s->loops.back().push_back({v->xyz[0], v->xyz[1]});
}

void GLAPIENTRY onEnd(void*) {}

// Only there so that the tessellator hands out plain triangles in pass 2.
void GLAPIENTRY onEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY onCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* data) {
  *out = addVertex(*static_cast<TessState*>(data), coords[0], coords[1]);
}

void GLAPIENTRY onError(GLenum, void* data) { static_cast<TessState*>(data)->failed = true; }

struct TessDeleter {
  void operator()(GLUtesselator* t) const { gluDeleteTess(t); }
};

// Runs one tessellation of `contours` into `state`.
bool tessellate(const std::vector<Contour>& contours, GLenum windingRule, bool boundaryOnly, TessState& state) {
  std::unique_ptr<GLUtesselator, TessDeleter> tess(gluNewTess());
  if (!tess) return false;
  GLUtesselator* t = tess.get();
  gluTessProperty(t, GLU_TESS_WINDING_RULE, windingRule);
  gluTessProperty(t, GLU_TESS_BOUNDARY_ONLY, boundaryOnly ? GL_TRUE : GL_FALSE);
  gluTessNormal(t, 0.0, 0.0, 1.0);
  gluTessCallback(t, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(onBegin));
  gluTessCallback(t, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(onVertex));
  gluTessCallback(t, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(onEnd));
  gluTessCallback(t, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(onCombine));
  gluTessCallback(t, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(onError));
  if (!boundaryOnly) gluTessCallback(t, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(onEdgeFlag));

  gluTessBeginPolygon(t, &state);
  for (const Contour& contour : contours) {
    gluTessBeginContour(t);
    for (const Point& p : contour) {
      TessVertex* v = addVertex(state, p.x, p.y);
      gluTessVertex(t, v->xyz, v);
    }
    gluTessEndContour(t);
  }
  gluTessEndPolygon(t);
  return !state.failed;
}

struct MeshBuilder {
  GlyphMesh& mesh;

  uint32_t vertex(Point p, double z, float nx, float ny, float nz) {
    const auto index = static_cast<uint32_t>(mesh.positions.size() / 3);
    mesh.positions.insert(mesh.positions.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(z)});
    mesh.normals.insert(mesh.normals.end(), {nx, ny, nz});
    return index;
  }
  void triangle(uint32_t a, uint32_t b, uint32_t c) { mesh.indices.insert(mesh.indices.end(), {a, b, c}); }
};

}  // namespace

void flattenQuadratic(Point from, Point control, Point to, double tolerance, Contour& out) {
  const double bend = 2.0 * std::hypot(from.x - 2.0 * control.x + to.x, from.y - 2.0 * control.y + to.y);
  const int n = pieceCount(bend, tolerance);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1.0 - t;
    if (i == n) {
      out.push_back(to);
      break;
    }
    out.push_back({u * u * from.x + 2.0 * u * t * control.x + t * t * to.x,
                   u * u * from.y + 2.0 * u * t * control.y + t * t * to.y});
  }
}

void flattenCubic(Point from, Point c1, Point c2, Point to, double tolerance, Contour& out) {
  const double bend = 6.0 * std::max(std::hypot(from.x - 2.0 * c1.x + c2.x, from.y - 2.0 * c1.y + c2.y),
                                     std::hypot(c1.x - 2.0 * c2.x + to.x, c1.y - 2.0 * c2.y + to.y));
  const int n = pieceCount(bend, tolerance);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1.0 - t;
    if (i == n) {
      out.push_back(to);
      break;
    }
    const double a = u * u * u, b = 3.0 * u * u * t, c = 3.0 * u * t * t, d = t * t * t;
    out.push_back({a * from.x + b * c1.x + c * c2.x + d * to.x, a * from.y + b * c1.y + c * c2.y + d * to.y});
  }
}

std::vector<Contour> cleanContours(const std::vector<Contour>& contours) {
  std::vector<Contour> out;
  for (const Contour& contour : contours) {
    Contour clean;
    for (const Point& p : contour)
      if (clean.empty() || p.x != clean.back().x || p.y != clean.back().y) clean.push_back(p);
    while (clean.size() > 1 && clean.back().x == clean.front().x && clean.back().y == clean.front().y)
      clean.pop_back();
    if (clean.size() >= 3) out.push_back(std::move(clean));
  }
  return out;
}

bool extrude(const std::vector<Contour>& contours, FillRule rule, double scale, double depth, GlyphMesh& out) {
  out = {};
  const std::vector<Contour> input = cleanContours(contours);
  if (input.empty()) return true;

  // Pass 1: the boundary of the filled region, exterior loops anticlockwise
  // and holes clockwise (seen with y up).
  TessState boundary;
  if (!tessellate(input, rule == FillRule::NonZero ? GLU_TESS_WINDING_NONZERO : GLU_TESS_WINDING_ODD, true,
                  boundary))
    return false;
  std::vector<Contour> loops = cleanContours(boundary.loops);
  for (Contour& loop : loops)
    for (Point& p : loop) p = {p.x * scale, p.y * scale};
  loops = cleanContours(loops);  // scaling may merge points that were apart
  if (loops.empty()) return true;

  // Pass 2: triangles over the loop points (in loop order), plus any point
  // the tessellator has to add.
  std::vector<Point> positions;
  TessState fill;
  fill.positions = &positions;
  if (!tessellate(loops, GLU_TESS_WINDING_NONZERO, false, fill)) return false;

  // The tessellator winds all its triangles the same way round, slivers of
  // no area included; which way is read from the total area, so that every
  // triangle, sliver or not, is turned alike. The front is seen from -z with
  // x to the right and y up, where a face must run clockwise.
  double area = 0.0;
  for (size_t t = 0; t + 2 < fill.triangles.size(); t += 3) {
    const Point pa = positions[static_cast<size_t>(fill.triangles[t])];
    const Point pb = positions[static_cast<size_t>(fill.triangles[t + 1])];
    const Point pc = positions[static_cast<size_t>(fill.triangles[t + 2])];
    area += (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
  }
  const bool anticlockwise = area > 0.0;

  MeshBuilder build{out};
  const auto capCount = static_cast<uint32_t>(positions.size());
  for (const Point& p : positions) build.vertex(p, 0.0, 0.0f, 0.0f, -1.0f);
  for (const Point& p : positions) build.vertex(p, depth, 0.0f, 0.0f, 1.0f);
  for (size_t t = 0; t + 2 < fill.triangles.size(); t += 3) {
    const auto a = static_cast<uint32_t>(fill.triangles[t]), b = static_cast<uint32_t>(fill.triangles[t + 1]),
               c = static_cast<uint32_t>(fill.triangles[t + 2]);
    if (a == b || b == c || a == c) continue;
    if (anticlockwise) {
      build.triangle(a, c, b);
      build.triangle(capCount + a, capCount + b, capCount + c);
    } else {
      build.triangle(a, b, c);
      build.triangle(capCount + a, capCount + c, capCount + b);
    }
  }

  // Side walls: one quad per loop segment with its outward normal (to the
  // right of an anticlockwise loop), vertices shared across smooth joints.
  const double smooth = std::cos(kSmoothTurnDegrees * 3.14159265358979323846 / 180.0);
  for (const Contour& loop : loops) {
    const size_t m = loop.size();
    std::vector<Point> normal(m);  // of segment k, from point k to point k + 1
    for (size_t k = 0; k < m; ++k) {
      const Point a = loop[k], b = loop[(k + 1) % m];
      const double length = distance(a, b);
      normal[k] = length > 0.0 ? Point{(b.y - a.y) / length, -(b.x - a.x) / length} : Point{};
    }
    // Per point: the front and back vertices that end the segment before it
    // and those that start the segment after it.
    std::vector<uint32_t> endFront(m), endBack(m), startFront(m), startBack(m);
    for (size_t k = 0; k < m; ++k) {
      const Point before = normal[(k + m - 1) % m], after = normal[k];
      const Point p = loop[k];
      if (before.x * after.x + before.y * after.y >= smooth) {
        const double sx = before.x + after.x, sy = before.y + after.y, l = std::hypot(sx, sy);
        const auto nx = static_cast<float>(sx / l), ny = static_cast<float>(sy / l);
        startFront[k] = endFront[k] = build.vertex(p, 0.0, nx, ny, 0.0f);
        startBack[k] = endBack[k] = build.vertex(p, depth, nx, ny, 0.0f);
      } else {
        endFront[k] = build.vertex(p, 0.0, static_cast<float>(before.x), static_cast<float>(before.y), 0.0f);
        endBack[k] = build.vertex(p, depth, static_cast<float>(before.x), static_cast<float>(before.y), 0.0f);
        startFront[k] = build.vertex(p, 0.0, static_cast<float>(after.x), static_cast<float>(after.y), 0.0f);
        startBack[k] = build.vertex(p, depth, static_cast<float>(after.x), static_cast<float>(after.y), 0.0f);
      }
    }
    for (size_t k = 0; k < m; ++k) {
      const size_t j = (k + 1) % m;
      build.triangle(startFront[k], endFront[j], endBack[j]);
      build.triangle(startFront[k], endBack[j], startBack[k]);
    }
  }
  return true;
}

}  // namespace platform::outline
