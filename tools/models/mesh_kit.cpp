#include "mesh_kit.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace velm::models {

namespace {

Vec3 geometricNormal(const MeshPart& part, const std::array<uint32_t, 3>& t) {
  const Vec3 a = part.vertices[t[0]].position, b = part.vertices[t[1]].position, c = part.vertices[t[2]].position;
  return cross(b - a, c - a);
}

Vec3 normalSum(const MeshPart& part, const std::array<uint32_t, 3>& t) {
  return part.vertices[t[0]].normal + part.vertices[t[1]].normal + part.vertices[t[2]].normal;
}

// The inverse transpose of the upper 3x3 of `m`, for carrying normals.
Mat4 normalMatrix(const Mat4& m) {
  Mat4 r;
  const double det = m.determinant3();
  if (det == 0) return r;
  // Cofactors of the 3x3 block, divided by the determinant, give the inverse
  // transpose directly.
  auto a = [&](int i, int j) { return m.m[i][j]; };
  r.m[0][0] = (a(1, 1) * a(2, 2) - a(1, 2) * a(2, 1)) / det;
  r.m[0][1] = -(a(1, 0) * a(2, 2) - a(1, 2) * a(2, 0)) / det;
  r.m[0][2] = (a(1, 0) * a(2, 1) - a(1, 1) * a(2, 0)) / det;
  r.m[1][0] = -(a(0, 1) * a(2, 2) - a(0, 2) * a(2, 1)) / det;
  r.m[1][1] = (a(0, 0) * a(2, 2) - a(0, 2) * a(2, 0)) / det;
  r.m[1][2] = -(a(0, 0) * a(2, 1) - a(0, 1) * a(2, 0)) / det;
  r.m[2][0] = (a(0, 1) * a(1, 2) - a(0, 2) * a(1, 1)) / det;
  r.m[2][1] = -(a(0, 0) * a(1, 2) - a(0, 2) * a(1, 0)) / det;
  r.m[2][2] = (a(0, 0) * a(1, 1) - a(0, 1) * a(1, 0)) / det;
  return r;
}

// Any unit vector at right angles to `d`.
Vec3 perpendicular(Vec3 d) {
  const Vec3 other = std::fabs(d.y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
  return normalize(cross(d, other));
}

}  // namespace

uint32_t MeshPart::add(Vec3 position, Vec3 normal, Vec2 uv) {
  vertices.push_back({position, normalize(normal), uv});
  return static_cast<uint32_t>(vertices.size() - 1);
}

void MeshPart::triangle(uint32_t a, uint32_t b, uint32_t c) { triangles.push_back({a, b, c}); }

void MeshPart::quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  triangle(a, b, c);
  triangle(a, c, d);
}

void MeshPart::append(const MeshPart& other, const Mat4& m) {
  const uint32_t base = static_cast<uint32_t>(vertices.size());
  const Mat4 n = normalMatrix(m);
  for (const MeshVertex& v : other.vertices)
    vertices.push_back({m.point(v.position), normalize(n.direction(v.normal)), v.uv});
  for (const auto& t : other.triangles) triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
  if (m.determinant3() < 0)  // a mirror turns the winding round
    for (size_t i = triangles.size() - other.triangles.size(); i < triangles.size(); ++i)
      std::swap(triangles[i][1], triangles[i][2]);
}

void MeshPart::transform(const Mat4& m) {
  MeshPart moved;
  moved.append(*this, m);
  *this = std::move(moved);
}

void MeshPart::invert() {
  for (MeshVertex& v : vertices) v.normal = -v.normal;
  for (auto& t : triangles) std::swap(t[1], t[2]);
}

void MeshPart::orient() {
  std::vector<std::array<uint32_t, 3>> kept;
  kept.reserve(triangles.size());
  for (auto t : triangles) {
    const Vec3 g = geometricNormal(*this, t);
    if (length(g) < 1e-12) continue;
    if (dot(g, normalSum(*this, t)) < 0) std::swap(t[1], t[2]);
    kept.push_back(t);
  }
  triangles = std::move(kept);
}

void MeshPart::scaleUv(double su, double sv, double ou, double ov) {
  for (MeshVertex& v : vertices) v.uv = {v.uv.x * su + ou, v.uv.y * sv + ov};
}

int MeshPart::countMisoriented() const {
  int count = 0;
  for (const auto& t : triangles)
    if (dot(geometricNormal(*this, t), normalSum(*this, t)) < 0) ++count;
  return count;
}

Vec3 MeshPart::boundsMin() const {
  const double big = std::numeric_limits<double>::max();
  Vec3 r{big, big, big};
  for (const MeshVertex& v : vertices)
    r = {std::min(r.x, v.position.x), std::min(r.y, v.position.y), std::min(r.z, v.position.z)};
  return r;
}

Vec3 MeshPart::boundsMax() const {
  const double big = std::numeric_limits<double>::lowest();
  Vec3 r{big, big, big};
  for (const MeshVertex& v : vertices)
    r = {std::max(r.x, v.position.x), std::max(r.y, v.position.y), std::max(r.z, v.position.z)};
  return r;
}

MeshPart lathe(const std::vector<ProfilePoint>& profile, int segments, double uTiles, double vTiles) {
  MeshPart part;
  const size_t n = profile.size();
  if (n < 2) return part;
  // Segment normals in the (r, h) plane: the profile turned a quarter clockwise.
  std::vector<Vec2> segmentNormal(n - 1);
  std::vector<double> arc(n, 0.0);
  for (size_t i = 0; i + 1 < n; ++i) {
    const double dr = profile[i + 1].r - profile[i].r, dh = profile[i + 1].h - profile[i].h;
    const double l = std::sqrt(dr * dr + dh * dh);
    segmentNormal[i] = l > 0 ? Vec2{dh / l, -dr / l} : Vec2{0, 0};
    arc[i + 1] = arc[i] + l;
  }
  const double total = arc[n - 1] > 0 ? arc[n - 1] : 1.0;

  // Each segment gets its own two rings of vertices where its ends are
  // creases; smooth points share the averaged normal.
  auto pointNormal = [&](size_t i, size_t segment) {
    const bool end = i == 0 || i + 1 == n;
    if (profile[i].crease || end) return segmentNormal[segment];
    const Vec2 sum = segmentNormal[i - 1] + segmentNormal[i];
    const double l = std::sqrt(sum.x * sum.x + sum.y * sum.y);
    return l > 0 ? sum * (1.0 / l) : segmentNormal[segment];
  };
  auto ring = [&](size_t i, size_t segment) {
    const uint32_t first = static_cast<uint32_t>(part.vertices.size());
    const Vec2 nrm = pointNormal(i, segment);
    for (int j = 0; j <= segments; ++j) {
      const double a = 2 * kPi * j / segments;
      const double s = std::sin(a), c = std::cos(a);
      part.add({profile[i].r * s, profile[i].h, profile[i].r * c}, {nrm.x * s, nrm.y, nrm.x * c},
               {uTiles * j / segments, vTiles * (1.0 - arc[i] / total)});
    }
    return first;
  };
  for (size_t i = 0; i + 1 < n; ++i) {
    if (segmentNormal[i].x == 0 && segmentNormal[i].y == 0) continue;
    const uint32_t lower = ring(i, i), upper = ring(i + 1, i);
    for (int j = 0; j < segments; ++j) {
      const uint32_t a = lower + j, b = lower + j + 1, c = upper + j + 1, d = upper + j;
      part.triangle(a, b, c);
      part.triangle(a, c, d);
    }
  }
  part.orient();
  return part;
}

MeshPart tube(const std::vector<Vec3>& path, const std::vector<double>& radius, int sides, bool closed, bool caps,
              double uTiles, double vPerUnit) {
  MeshPart part;
  const size_t n = path.size();
  if (n < 2) return part;
  auto radiusAt = [&](size_t i) { return radius.size() == 1 ? radius[0] : radius[std::min(i, radius.size() - 1)]; };
  auto tangentAt = [&](size_t i) {
    if (closed) return normalize(path[(i + 1) % n] - path[(i + n - 1) % n]);
    if (i == 0) return normalize(path[1] - path[0]);
    if (i + 1 == n) return normalize(path[n - 1] - path[n - 2]);
    return normalize(path[i + 1] - path[i - 1]);
  };
  // Frames carried along the path without twisting; a closed path spreads
  // the mismatch at the seam over its length.
  std::vector<Vec3> normals(n), tangents(n);
  tangents[0] = tangentAt(0);
  normals[0] = perpendicular(tangents[0]);
  for (size_t i = 1; i < n; ++i) {
    tangents[i] = tangentAt(i);
    const Vec3 projected = normals[i - 1] - tangents[i] * dot(normals[i - 1], tangents[i]);
    normals[i] = length(projected) > 1e-9 ? normalize(projected) : perpendicular(tangents[i]);
  }
  double twist = 0;
  if (closed) {
    const Vec3 back = normalize(normals[n - 1] - tangents[0] * dot(normals[n - 1], tangents[0]));
    const Vec3 binormal0 = cross(tangents[0], normals[0]);
    twist = std::atan2(dot(back, binormal0), dot(back, normals[0]));
  }
  std::vector<double> along(n, 0.0);
  for (size_t i = 1; i < n; ++i) along[i] = along[i - 1] + length(path[i] - path[i - 1]);

  const size_t rings = closed ? n + 1 : n;
  const double closing = closed ? length(path[0] - path[n - 1]) : 0;
  for (size_t k = 0; k < rings; ++k) {
    const size_t i = k % n;
    const double correction = closed ? -twist * static_cast<double>(k) / static_cast<double>(n) : 0;
    const Vec3 t = tangents[i];
    const Vec3 nx = normals[i], by = cross(t, nx);
    const double v = (k == n ? along[n - 1] + closing : along[i]) * vPerUnit;
    for (int j = 0; j <= sides; ++j) {
      const double a = 2 * kPi * j / sides + correction;
      const Vec3 dir = nx * std::cos(a) + by * std::sin(a);
      part.add(path[i] + dir * radiusAt(i), dir, {uTiles * j / sides, v});
    }
  }
  const uint32_t stride = static_cast<uint32_t>(sides + 1);
  for (size_t k = 0; k + 1 < rings; ++k)
    for (int j = 0; j < sides; ++j) {
      const uint32_t a = static_cast<uint32_t>(k) * stride + j;
      part.quad(a, a + 1, a + 1 + stride, a + stride);
    }
  if (!closed && caps) {
    for (int end = 0; end < 2; ++end) {
      const size_t i = end == 0 ? 0 : n - 1;
      const Vec3 out = end == 0 ? -tangents[i] : tangents[i];
      const Vec3 nx = normals[i], by = cross(tangents[i], nx);
      const uint32_t centre = part.add(path[i], out, {0.5, 0.5});
      const uint32_t first = static_cast<uint32_t>(part.vertices.size());
      for (int j = 0; j <= sides; ++j) {
        const double a = 2 * kPi * j / sides;
        const Vec3 dir = nx * std::cos(a) + by * std::sin(a);
        part.add(path[i] + dir * radiusAt(i), out, {0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(a)});
      }
      for (int j = 0; j < sides; ++j) part.triangle(centre, first + j, first + j + 1);
    }
  }
  part.orient();
  return part;
}

MeshPart roundedBox(Vec3 half, double radius, int roundSteps, int flatSteps, double uvScale) {
  MeshPart part;
  const double h[3] = {half.x, half.y, half.z};
  double r = radius;
  for (double e : h) r = std::min(r, e);
  const int steps = r > 0 ? roundSteps : 0;
  // Coordinates along one side: the rounded band at each end, flat between.
  auto coordinates = [&](double e) {
    std::vector<double> c;
    const double inner = e - r;
    for (int k = steps; k >= 1; --k) c.push_back(-inner - r * std::sin(0.5 * kPi * k / steps));
    for (int k = 0; k <= flatSteps; ++k) c.push_back(-inner + 2 * inner * k / flatSteps);
    for (int k = 1; k <= steps; ++k) c.push_back(inner + r * std::sin(0.5 * kPi * k / steps));
    if (inner <= 0) {  // no flat part: drop the repeated middle points
      c.erase(std::unique(c.begin(), c.end(), [](double a, double b) { return std::fabs(a - b) < 1e-12; }), c.end());
    }
    return c;
  };
  for (int axis = 0; axis < 3; ++axis)
    for (int sign = -1; sign <= 1; sign += 2) {
      const int ua = (axis + 1) % 3, va = (axis + 2) % 3;
      const std::vector<double> us = coordinates(h[ua]), vs = coordinates(h[va]);
      const uint32_t first = static_cast<uint32_t>(part.vertices.size());
      for (double vc : vs)
        for (double uc : us) {
          double q[3];
          q[axis] = sign * h[axis];
          q[ua] = uc;
          q[va] = vc;
          double c[3], d[3];
          for (int k = 0; k < 3; ++k) {
            c[k] = std::clamp(q[k], -(h[k] - r), h[k] - r);
            d[k] = q[k] - c[k];
          }
          Vec3 dir = normalize({d[0], d[1], d[2]});
          Vec3 position{c[0] + dir.x * r, c[1] + dir.y * r, c[2] + dir.z * r};
          if (r <= 0) {
            dir = {axis == 0 ? double(sign) : 0, axis == 1 ? double(sign) : 0, axis == 2 ? double(sign) : 0};
            position = {q[0], q[1], q[2]};
          }
          part.add(position, dir, {uc * uvScale, -vc * uvScale});
        }
      const uint32_t row = static_cast<uint32_t>(us.size());
      for (uint32_t j = 0; j + 1 < vs.size(); ++j)
        for (uint32_t i = 0; i + 1 < row; ++i) {
          const uint32_t a = first + j * row + i;
          part.quad(a, a + 1, a + 1 + row, a + row);
        }
    }
  part.orient();
  return part;
}

MeshPart box(Vec3 lo, Vec3 hi, double uvScale) {
  const Vec3 centre = (lo + hi) * 0.5, half = (hi - lo) * 0.5;
  MeshPart part = roundedBox(half, 0, 1, 1, uvScale);
  part.transform(Mat4::translation(centre));
  // Texture coordinates by world position, so neighbouring boxes line up.
  for (MeshVertex& v : part.vertices) {
    const Vec3 p = v.position, n = v.normal;
    if (std::fabs(n.x) > 0.5)
      v.uv = {p.z * uvScale, -p.y * uvScale};
    else if (std::fabs(n.y) > 0.5)
      v.uv = {p.x * uvScale, p.z * uvScale};
    else
      v.uv = {p.x * uvScale, -p.y * uvScale};
  }
  return part;
}

MeshPart sphere(double radius, int rings, int segments) {
  std::vector<ProfilePoint> profile;
  for (int i = 0; i <= rings; ++i) {
    const double a = -0.5 * kPi + kPi * i / rings;
    profile.push_back({radius * std::cos(a), radius * std::sin(a)});
  }
  profile.front().r = 0;
  profile.back().r = 0;
  return lathe(profile, segments);
}

MeshPart prism(const std::vector<Vec2>& outline, double z0, double z1, double uvScale) {
  MeshPart part;
  const size_t n = outline.size();
  for (int end = 0; end < 2; ++end) {
    const double z = end == 0 ? z0 : z1;
    const Vec3 nrm{0, 0, end == 0 ? -1.0 : 1.0};
    const uint32_t first = static_cast<uint32_t>(part.vertices.size());
    for (const Vec2& p : outline) part.add({p.x, p.y, z}, nrm, {p.x * uvScale, -p.y * uvScale});
    for (size_t i = 1; i + 1 < n; ++i)
      part.triangle(first, first + static_cast<uint32_t>(i), first + static_cast<uint32_t>(i + 1));
  }
  double around = 0;
  for (size_t i = 0; i < n; ++i) {
    const Vec2 a = outline[i], b = outline[(i + 1) % n];
    const Vec2 d = b - a;
    const double l = std::sqrt(d.x * d.x + d.y * d.y);
    if (l <= 0) continue;
    const Vec3 nrm{d.y / l, -d.x / l, 0};
    const double u0 = around * uvScale, u1 = (around + l) * uvScale;
    const uint32_t p = part.add({a.x, a.y, z0}, nrm, {u0, -z0 * uvScale});
    const uint32_t q = part.add({b.x, b.y, z0}, nrm, {u1, -z0 * uvScale});
    const uint32_t r = part.add({b.x, b.y, z1}, nrm, {u1, -z1 * uvScale});
    const uint32_t s = part.add({a.x, a.y, z1}, nrm, {u0, -z1 * uvScale});
    part.quad(p, q, r, s);
    around += l;
  }
  part.orient();
  return part;
}

MeshPart stroke(const std::vector<Vec2>& points, double width, double depth, double maxPiece) {
  MeshPart part;
  const size_t n = points.size();
  if (n < 2) return part;
  const double w = 0.5 * width;
  auto unit = [](Vec2 d) {
    const double l = std::sqrt(d.x * d.x + d.y * d.y);
    return l > 0 ? d * (1.0 / l) : Vec2{};
  };
  auto left = [](Vec2 d) { return Vec2{-d.y, d.x}; };
  // Mitred offsets at every point: the left and right edges of the stroke.
  std::vector<Vec2> lefts(n), rights(n);
  for (size_t i = 0; i < n; ++i) {
    Vec2 offset;
    if (i == 0) {
      offset = left(unit(points[1] - points[0])) * w;
    } else if (i + 1 == n) {
      offset = left(unit(points[n - 1] - points[n - 2])) * w;
    } else {
      const Vec2 d0 = unit(points[i] - points[i - 1]), d1 = unit(points[i + 1] - points[i]);
      const Vec2 n0 = left(d0), n1 = left(d1);
      Vec2 miter = unit(n0 + n1);
      const double cosHalf = miter.x * n0.x + miter.y * n0.y;
      offset = miter * (w / std::max(cosHalf, 0.3));
    }
    lefts[i] = points[i] + offset;
    rights[i] = points[i] - offset;
  }
  auto at = [](Vec2 p, double z) { return Vec3{p.x, p.y, z}; };
  double along = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    const double length2 = std::sqrt((points[i + 1] - points[i]).x * (points[i + 1] - points[i]).x +
                                     (points[i + 1] - points[i]).y * (points[i + 1] - points[i]).y);
    const int pieces = std::max(1, static_cast<int>(std::ceil(length2 / maxPiece)));
    const Vec2 d = unit(points[i + 1] - points[i]);
    const Vec2 sideNormal = left(d);
    for (int k = 0; k < pieces; ++k) {
      const double t0 = double(k) / pieces, t1 = double(k + 1) / pieces;
      const Vec2 l0 = lefts[i] + (lefts[i + 1] - lefts[i]) * t0, l1 = lefts[i] + (lefts[i + 1] - lefts[i]) * t1;
      const Vec2 r0 = rights[i] + (rights[i + 1] - rights[i]) * t0, r1 = rights[i] + (rights[i + 1] - rights[i]) * t1;
      const double u0 = along + length2 * t0, u1 = along + length2 * t1;
      for (int face = 0; face < 2; ++face) {  // front (z = depth) and back (z = 0)
        const double z = face == 0 ? depth : 0.0;
        const Vec3 nrm{0, 0, face == 0 ? 1.0 : -1.0};
        part.quad(part.add(at(l0, z), nrm, {u0, 0}), part.add(at(l1, z), nrm, {u1, 0}),
                  part.add(at(r1, z), nrm, {u1, 1}), part.add(at(r0, z), nrm, {u0, 1}));
      }
      const Vec3 ln{sideNormal.x, sideNormal.y, 0}, rn{-sideNormal.x, -sideNormal.y, 0};
      part.quad(part.add(at(l0, 0), ln, {u0, 1}), part.add(at(l1, 0), ln, {u1, 1}),
                part.add(at(l1, depth), ln, {u1, 0}), part.add(at(l0, depth), ln, {u0, 0}));
      part.quad(part.add(at(r0, 0), rn, {u0, 1}), part.add(at(r1, 0), rn, {u1, 1}),
                part.add(at(r1, depth), rn, {u1, 0}), part.add(at(r0, depth), rn, {u0, 0}));
    }
    along += length2;
  }
  for (int end = 0; end < 2; ++end) {
    const size_t i = end == 0 ? 0 : n - 1;
    const Vec2 d = end == 0 ? unit(points[0] - points[1]) : unit(points[n - 1] - points[n - 2]);
    const Vec3 nrm{d.x, d.y, 0};
    part.quad(part.add(at(lefts[i], 0), nrm, {0, 1}), part.add(at(rights[i], 0), nrm, {1, 1}),
              part.add(at(rights[i], depth), nrm, {1, 0}), part.add(at(lefts[i], depth), nrm, {0, 0}));
  }
  part.orient();
  return part;
}

MeshPart surface(Vec3 (*position)(double u, double v, const void* context), const void* context, int nu, int nv,
                 bool flip, double uTiles, double vTiles) {
  MeshPart part;
  const double e = 1e-4;
  for (int j = 0; j <= nv; ++j)
    for (int i = 0; i <= nu; ++i) {
      const double u = double(i) / nu, v = double(j) / nv;
      const Vec3 p = position(u, v, context);
      // Central differences, one-sided at the borders.
      const double u0 = std::max(0.0, u - e), u1 = std::min(1.0, u + e);
      const double v0 = std::max(0.0, v - e), v1 = std::min(1.0, v + e);
      const Vec3 du = position(u1, v, context) - position(u0, v, context);
      const Vec3 dv = position(u, v1, context) - position(u, v0, context);
      Vec3 n = normalize(cross(du, dv));
      if (flip) n = -n;
      part.add(p, n, {u * uTiles, v * vTiles});
    }
  const uint32_t row = static_cast<uint32_t>(nu + 1);
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      const uint32_t a = static_cast<uint32_t>(j) * row + static_cast<uint32_t>(i);
      part.quad(a, a + 1, a + 1 + row, a + row);
    }
  part.orient();
  return part;
}

MeshPart card(double halfWidth, double halfHeight) {
  MeshPart part;
  for (int side = 0; side < 2; ++side) {
    const Vec3 nrm{0, 0, side == 0 ? -1.0 : 1.0};
    part.quad(part.add({-halfWidth, -halfHeight, 0}, nrm, {0, 1}), part.add({halfWidth, -halfHeight, 0}, nrm, {1, 1}),
              part.add({halfWidth, halfHeight, 0}, nrm, {1, 0}), part.add({-halfWidth, halfHeight, 0}, nrm, {0, 0}));
  }
  part.orient();
  return part;
}

}  // namespace velm::models
