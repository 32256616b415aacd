#include "kit_math.h"

namespace velm::models {

Mat4 Mat4::translation(Vec3 t) {
  Mat4 r;
  r.m[3][0] = t.x;
  r.m[3][1] = t.y;
  r.m[3][2] = t.z;
  return r;
}

Mat4 Mat4::scaling(double x, double y, double z) {
  Mat4 r;
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  return r;
}

Mat4 Mat4::rotationX(double a) {
  const double c = std::cos(a), s = std::sin(a);
  Mat4 r;
  r.m[1][1] = c;
  r.m[1][2] = -s;
  r.m[2][1] = s;
  r.m[2][2] = c;
  return r;
}

Mat4 Mat4::rotationY(double a) {
  const double c = std::cos(a), s = std::sin(a);
  Mat4 r;
  r.m[0][0] = c;
  r.m[0][2] = s;
  r.m[2][0] = -s;
  r.m[2][2] = c;
  return r;
}

Mat4 Mat4::rotationZ(double a) {
  const double c = std::cos(a), s = std::sin(a);
  Mat4 r;
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Mat4 Mat4::fromAxes(Vec3 x, Vec3 y, Vec3 z, Vec3 origin) {
  Mat4 r;
  const Vec3 rows[4] = {x, y, z, origin};
  for (int i = 0; i < 4; ++i) {
    r.m[i][0] = rows[i].x;
    r.m[i][1] = rows[i].y;
    r.m[i][2] = rows[i].z;
  }
  return r;
}

Vec3 Mat4::point(Vec3 p) const {
  return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
          p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
          p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Vec3 Mat4::direction(Vec3 d) const {
  return {d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0], d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
          d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]};
}

Mat4 Mat4::transposed() const {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m[j][i];
  return r;
}

Mat4 Mat4::rigidInverse() const {
  Mat4 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
  const Vec3 t{m[3][0], m[3][1], m[3][2]};
  const Vec3 back = r.direction(t);
  r.m[3][0] = -back.x;
  r.m[3][1] = -back.y;
  r.m[3][2] = -back.z;
  return r;
}

double Mat4::determinant3() const {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  return r;
}

}  // namespace velm::models
