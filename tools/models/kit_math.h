// Small vector and matrix types for building the production's models. The
// matrices follow the engine's row-vector convention: a point is the row
// (x, y, z, 1) times the matrix, translation sits in the fourth row, and in
// a * b the transform a applies first. Pure value types; no file or GPU work.
#pragma once

#include <cmath>

namespace velm::models {

constexpr double kPi = 3.14159265358979323846;

struct Vec2 {
  double x = 0, y = 0;
};
inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }

struct Vec3 {
  double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return a * s; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 u, Vec3 v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
inline double length(Vec3 v) { return std::sqrt(dot(v, v)); }
// A zero vector stays zero.
inline Vec3 normalize(Vec3 v) {
  const double l = length(v);
  return l > 0 ? v * (1.0 / l) : Vec3{};
}
inline Vec3 lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }

struct Mat4 {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  static Mat4 identity() { return {}; }
  static Mat4 translation(Vec3 t);
  static Mat4 scaling(double x, double y, double z);
  static Mat4 scaling(double s) { return scaling(s, s, s); }
  // The scenes' rotations (rows for X: (1,0,0), (0,c,-s), (0,s,c);
  // Y: (c,0,s), (0,1,0), (-s,0,c); Z: (c,s,0), (-s,c,0), (0,0,1)).
  static Mat4 rotationX(double a);
  static Mat4 rotationY(double a);
  static Mat4 rotationZ(double a);
  // Rows: where the local x, y and z axes go, then the origin.
  static Mat4 fromAxes(Vec3 x, Vec3 y, Vec3 z, Vec3 origin = {});

  Vec3 point(Vec3 p) const;
  Vec3 direction(Vec3 d) const;
  Mat4 transposed() const;
  // Inverse of a rotation-plus-translation (no scale, no shear).
  Mat4 rigidInverse() const;
  double determinant3() const;
};

Mat4 operator*(const Mat4& a, const Mat4& b);

}  // namespace velm::models
