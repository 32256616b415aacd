#include "tests/demo/demo_test_checks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm::testing {

void expectNear(Vector3 actual, Vector3 expected, float tolerance, const std::string& what) {
  EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
  EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
  EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

void expectMatrixNear(const Matrix& actual, const Matrix& expected, const std::string& what) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual.m[r][c], expected.m[r][c], 1e-3f * (1.0f + std::fabs(expected.m[r][c])))
          << what << " [" << r << "][" << c << "]";
}

Matrix uniformScale(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
  return m;
}

}  // namespace velm::testing
