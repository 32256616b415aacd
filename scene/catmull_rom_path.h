// Catmull-Rom paths: a smooth open curve through a short list of points,
// evaluated by a parameter from 0 to 1. The first point only bends the start;
// the curve runs from the second point to the last. No arc-length
// reparametrisation, no closed curves.
#pragma once

#include <vector>

#include "engine/math3d.h"

namespace velm {

// One coordinate of the uniform Catmull-Rom spline through q1 (t = 0) and q2 (t = 1).
float catmullRom(float q0, float q1, float q2, float q3, float t);

class CatmullRomPath {
 public:
  CatmullRomPath(Vector3 p0, Vector3 p1, Vector3 p2, Vector3 p3) : points{p0, p1, p2, p3} {}

  // u is clamped to 0..1; 0 gives the second point, 1 the last.
  Vector3 evaluate(float u) const;

  std::vector<Vector3> points;  // at least two
};

}  // namespace velm
