// Checks the demo scene tests share: vectors and matrices near what a scene
// should have set, and the scale matrices those expectations are built from.
#pragma once

#include <string>

#include "engine/math3d.h"

namespace velm::testing {

// Each component within `tolerance` of the expected one; `what` names the vector.
void expectNear(Vector3 actual, Vector3 expected, float tolerance, const std::string& what);
// Each entry within 1e-3 x (1 + |expected entry|): relative for large
// entries, absolute near zero.
void expectMatrixNear(const Matrix& actual, const Matrix& expected, const std::string& what);
// A scale by `s` along all three axes.
Matrix uniformScale(float s);

}  // namespace velm::testing
