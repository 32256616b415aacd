// Flat outlines made solid: curve flattening within its tolerance, the fill
// rules on overlapping, nested and crossing contours, closed outward meshes,
// and wall normals smooth along curves but split at corners.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/text/outline.h"
#include "tests/text/solid_check.h"

namespace velm::testing {
namespace {

using platform::GlyphMesh;
using namespace platform::outline;

Contour square(double x0, double y0, double size, bool anticlockwise = true) {
  Contour c{{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
  if (!anticlockwise) c = {c[0], c[3], c[2], c[1]};
  return c;
}

Contour circle(double radius, int points) {
  Contour c;
  for (int i = 0; i < points; ++i) {
    const double a = 2.0 * 3.14159265358979 * i / points;
    c.push_back({radius * std::cos(a), radius * std::sin(a)});
  }
  return c;
}

double distanceToPolyline(Point p, const Contour& line) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    const Point a = line[i], b = line[i + 1];
    const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / l2 : 0.0;
    t = std::fmax(0.0, std::fmin(1.0, t));
    best = std::fmin(best, std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)));
  }
  return best;
}

TEST(Flattening, EveryPointOfTheCurveLiesWithinTheToleranceOfTheChords) {
  const double tolerance = 2.0;  // 0.001 em of a 2000-unit face
  struct Case {
    std::string name;
    std::function<void(Contour&)> flatten;
    std::function<Point(double)> curve;
    Point from, to;
  };
  const Point q0{0, 0}, q1{600, 1400}, q2{1200, 0};
  const Point c0{0, 0}, c1{-300, 900}, c2{1500, 900}, c3{1000, -200};
  const std::vector<Case> cases = {
      {"quadratic", [&](Contour& out) { flattenQuadratic(q0, q1, q2, tolerance, out); },
       [&](double t) {
         const double u = 1 - t;
         return Point{u * u * q0.x + 2 * u * t * q1.x + t * t * q2.x, u * u * q0.y + 2 * u * t * q1.y + t * t * q2.y};
       },
       q0, q2},
      {"cubic", [&](Contour& out) { flattenCubic(c0, c1, c2, c3, tolerance, out); },
       [&](double t) {
         const double u = 1 - t, a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
         return Point{a * c0.x + b * c1.x + c * c2.x + d * c3.x, a * c0.y + b * c1.y + c * c2.y + d * c3.y};
       },
       c0, c3},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Contour line{test.from};
    test.flatten(line);
    ASSERT_GE(line.size(), 10u) << "a strong bend needs many pieces";
    EXPECT_EQ(line.back().x, test.to.x);
    EXPECT_EQ(line.back().y, test.to.y);
    double worst = 0.0;
    for (int i = 0; i <= 2000; ++i) worst = std::fmax(worst, distanceToPolyline(test.curve(i / 2000.0), line));
    EXPECT_LE(worst, tolerance);
    EXPECT_GE(worst, tolerance / 8.0) << "not split far finer than asked";
  }
}

TEST(Flattening, AStraightCurveIsOnePiece) {
  Contour line;
  flattenQuadratic({0, 0}, {5, 5}, {10, 10}, 0.01, line);
  flattenCubic({10, 10}, {11, 11}, {12, 12}, {13, 13}, 0.01, line);
  ASSERT_EQ(line.size(), 2u);
  EXPECT_EQ(line[1].x, 13.0);
}

TEST(Extrusion, FillRulesDecideWhatIsInsideAndEverySolidIsClosed) {
  struct Case {
    std::string name;
    std::vector<Contour> contours;
    FillRule rule;
    double area;   // of the filled region
    bool pinched;  // pieces touching at a point share the wall edge there
  };
  Contour bowTie{{0, 0}, {2, 2}, {2, 0}, {0, 2}};  // two triangles meeting at (1, 1)
  const std::vector<Case> cases = {
      {"square", {square(0, 0, 1)}, FillRule::NonZero, 1.0, false},
      {"clockwise square", {square(0, 0, 1, false)}, FillRule::NonZero, 1.0, false},
      {"square with a hole", {square(0, 0, 2), square(0.5, 0.5, 1, false)}, FillRule::NonZero, 3.0, false},
      {"overlapping squares, non-zero", {square(0, 0, 2), square(1, 1, 2)}, FillRule::NonZero, 7.0, false},
      {"overlapping squares, even-odd", {square(0, 0, 2), square(1, 1, 2)}, FillRule::EvenOdd, 6.0, true},
      {"nested alike, non-zero", {square(0, 0, 2), square(0.5, 0.5, 1)}, FillRule::NonZero, 4.0, false},
      {"nested alike, even-odd", {square(0, 0, 2), square(0.5, 0.5, 1)}, FillRule::EvenOdd, 3.0, false},
      {"self-crossing", {bowTie}, FillRule::NonZero, 2.0, true},
      {"collinear points on the sides", {{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}}},
       FillRule::NonZero, 4.0, false},
      {"repeated and closing points", {{{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}}, FillRule::NonZero, 1.0,
       false},
  };
  const double depth = 0.5;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    GlyphMesh mesh;
    ASSERT_TRUE(extrude(test.contours, test.rule, 1.0, depth, mesh));
    const SolidReport report = inspectSolid(mesh);
    EXPECT_TRUE(report.closedAndOutward()) << report.describe();
    EXPECT_EQ(report.pinchedEdges > 0, test.pinched) << report.describe();
    EXPECT_NEAR(report.volume, test.area * depth, 1e-6);
    EXPECT_EQ(report.minZ, 0.0f);
    EXPECT_EQ(report.maxZ, 0.5f);
  }
}

TEST(Extrusion, CapsFaceFrontAndBackAndScaleAppliesToTheOutlineOnly) {
  GlyphMesh mesh;
  ASSERT_TRUE(extrude({square(0, 0, 1)}, FillRule::NonZero, 3.0, 0.25, mesh));
  const SolidReport report = inspectSolid(mesh);
  EXPECT_EQ(report.maxX, 3.0f);
  EXPECT_EQ(report.maxY, 3.0f);
  EXPECT_EQ(report.maxZ, 0.25f);
  int front = 0, back = 0;
  for (size_t i = 0; i < mesh.positions.size() / 3; ++i) {
    if (mesh.normals[3 * i + 2] == -1.0f) {
      ++front;
      EXPECT_EQ(mesh.positions[3 * i + 2], 0.0f);
    }
    if (mesh.normals[3 * i + 2] == 1.0f) {
      ++back;
      EXPECT_EQ(mesh.positions[3 * i + 2], 0.25f);
    }
  }
  EXPECT_EQ(front, 4);
  EXPECT_EQ(back, 4);
}

TEST(Extrusion, WallNormalsAreSharpAtCornersAndSmoothAlongCurves) {
  // A square: every wall normal is exactly one of the four side directions,
  // two per corner (eight corner vertices per cap edge loop, front and back).
  GlyphMesh box;
  ASSERT_TRUE(extrude({square(-1, -1, 2)}, FillRule::NonZero, 1.0, 1.0, box));
  int wall = 0;
  for (size_t i = 0; i < box.positions.size() / 3; ++i) {
    const float nx = box.normals[3 * i], ny = box.normals[3 * i + 1], nz = box.normals[3 * i + 2];
    if (nz != 0.0f) continue;
    ++wall;
    EXPECT_EQ(std::fabs(nx) + std::fabs(ny), 1.0f);
    // Outward: the normal points the way the vertex lies on its side.
    EXPECT_GT(nx * box.positions[3 * i] + ny * box.positions[3 * i + 1], 0.0f);
  }
  EXPECT_EQ(wall, 16);

  // A 90-gon circle turns 4 degrees per joint: one shared, radial normal per
  // outline point and cap.
  GlyphMesh disc;
  ASSERT_TRUE(extrude({circle(10.0, 90)}, FillRule::NonZero, 1.0, 2.0, disc));
  wall = 0;
  for (size_t i = 0; i < disc.positions.size() / 3; ++i) {
    if (disc.normals[3 * i + 2] != 0.0f) continue;
    ++wall;
    const double x = disc.positions[3 * i], y = disc.positions[3 * i + 1], r = std::hypot(x, y);
    EXPECT_GT((disc.normals[3 * i] * x + disc.normals[3 * i + 1] * y) / r, 0.9999);
  }
  EXPECT_EQ(wall, 180);
  EXPECT_TRUE(inspectSolid(disc).closedAndOutward()) << inspectSolid(disc).describe();
}

TEST(Extrusion, NothingToFillGivesAnEmptyMesh) {
  GlyphMesh mesh;
  mesh.indices = {1, 2, 3};
  EXPECT_TRUE(extrude({}, FillRule::NonZero, 1.0, 1.0, mesh));
  EXPECT_TRUE(mesh.indices.empty());
  EXPECT_TRUE(extrude({{{0, 0}, {1, 1}}, {{0, 0}, {2, 0}, {4, 0}}}, FillRule::NonZero, 1.0, 1.0, mesh));
  EXPECT_TRUE(mesh.positions.empty());
  EXPECT_TRUE(mesh.indices.empty());
}

}  // namespace
}  // namespace velm::testing
