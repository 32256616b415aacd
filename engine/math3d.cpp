#include "engine/math3d.h"

namespace velm {

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

Matrix translationMatrix(float x, float y, float z) {
  Matrix m = Matrix::identity();
  setTranslation(m, x, y, z);
  return m;
}

Matrix difference(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[i][j] - b.m[i][j];
  return r;
}

Matrix inverse(const Matrix& m) {
  // Cofactor expansion; double precision keeps near-singular inputs stable.
  const auto& a = m.m;
  double inv[16];
  const double s0 = double(a[0][0]) * a[1][1] - double(a[1][0]) * a[0][1];
  const double s1 = double(a[0][0]) * a[1][2] - double(a[1][0]) * a[0][2];
  const double s2 = double(a[0][0]) * a[1][3] - double(a[1][0]) * a[0][3];
  const double s3 = double(a[0][1]) * a[1][2] - double(a[1][1]) * a[0][2];
  const double s4 = double(a[0][1]) * a[1][3] - double(a[1][1]) * a[0][3];
  const double s5 = double(a[0][2]) * a[1][3] - double(a[1][2]) * a[0][3];
  const double c5 = double(a[2][2]) * a[3][3] - double(a[3][2]) * a[2][3];
  const double c4 = double(a[2][1]) * a[3][3] - double(a[3][1]) * a[2][3];
  const double c3 = double(a[2][1]) * a[3][2] - double(a[3][1]) * a[2][2];
  const double c2 = double(a[2][0]) * a[3][3] - double(a[3][0]) * a[2][3];
  const double c1 = double(a[2][0]) * a[3][2] - double(a[3][0]) * a[2][2];
  const double c0 = double(a[2][0]) * a[3][1] - double(a[3][0]) * a[2][1];
  const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (det == 0.0 || !std::isfinite(det)) return Matrix::identity();
  const double k = 1.0 / det;
  inv[0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * k;
  inv[1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * k;
  inv[2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * k;
  inv[3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * k;
  inv[4] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * k;
  inv[5] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * k;
  inv[6] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * k;
  inv[7] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * k;
  inv[8] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * k;
  inv[9] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * k;
  inv[10] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * k;
  inv[11] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * k;
  inv[12] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * k;
  inv[13] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * k;
  inv[14] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * k;
  inv[15] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * k;
  Matrix r{};
  for (int i = 0; i < 16; ++i) r.m[i / 4][i % 4] = static_cast<float>(inv[i]);
  return r;
}

Vector3 transformPoint(Vector3 p, const Matrix& m) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

Vector3 transformDirection(Vector3 d, const Matrix& m) {
  return {d.x * m.m[0][0] + d.y * m.m[1][0] + d.z * m.m[2][0], d.x * m.m[0][1] + d.y * m.m[1][1] + d.z * m.m[2][1],
          d.x * m.m[0][2] + d.y * m.m[1][2] + d.z * m.m[2][2]};
}

float determinant3x3(const Matrix& m) {
  const auto& a = m.m;
  return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
         a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

Matrix rotationX(float a) {
  Matrix m = Matrix::identity();
  const float c = std::cos(a), s = std::sin(a);
  m.m[1][1] = c;
  m.m[1][2] = -s;
  m.m[2][1] = s;
  m.m[2][2] = c;
  return m;
}

Matrix rotationY(float a) {
  Matrix m = Matrix::identity();
  const float c = std::cos(a), s = std::sin(a);
  m.m[0][0] = c;
  m.m[0][2] = s;
  m.m[2][0] = -s;
  m.m[2][2] = c;
  return m;
}

Matrix rotationZ(float a) {
  Matrix m = Matrix::identity();
  const float c = std::cos(a), s = std::sin(a);
  m.m[0][0] = c;
  m.m[0][1] = s;
  m.m[1][0] = -s;
  m.m[1][1] = c;
  return m;
}

Matrix perspectiveMatrix(float fieldOfView, float aspect, float nearPlane, float farPlane) {
  const float yScale = 1.0f / std::tan(fieldOfView * 0.5f);
  Matrix m = Matrix::identity();
  m.m[0][0] = yScale / aspect;
  m.m[1][1] = yScale;
  m.m[2][2] = farPlane / (farPlane - nearPlane);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -nearPlane * farPlane / (farPlane - nearPlane);
  return m;
}

}  // namespace velm
