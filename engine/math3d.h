// Vectors, colours and 4x4 row-vector matrices shared by the engine and the
// production: a point is the row (x, y, z, 1) times a matrix, translation is
// in the fourth row, and in A x B the transform A applies first. Left-handed.
// Plain value types and free functions; nothing here touches the GPU.
#pragma once

#include <cmath>

#include "platform/gfx/types.h"

namespace velm {

using Matrix = gfx::Matrix4;

struct Vector3 {
  float x = 0, y = 0, z = 0;
};
struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
};
struct TexCoord {
  float u = 0, v = 0;
};

inline Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 operator*(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vector3 operator*(float s, Vector3 a) { return a * s; }
inline bool operator==(Vector3 a, Vector3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

inline float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float lengthSquared(Vector3 v) { return dot(v, v); }
inline float length(Vector3 v) { return std::sqrt(lengthSquared(v)); }
// u x v = (u.y v.z - u.z v.y, u.z v.x - u.x v.z, u.x v.y - u.y v.x).
inline Vector3 cross(Vector3 u, Vector3 v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}
// A zero vector stays zero.
inline Vector3 normalize(Vector3 v) {
  const float l = length(v);
  return l > 0.0f ? v * (1.0f / l) : Vector3{};
}

inline Matrix identityMatrix() { return Matrix::identity(); }
// a x b: a applies first.
Matrix multiply(const Matrix& a, const Matrix& b);
inline Matrix operator*(const Matrix& a, const Matrix& b) { return multiply(a, b); }
Matrix translationMatrix(float x, float y, float z);
inline void setTranslation(Matrix& m, float x, float y, float z) {
  m.m[3][0] = x;
  m.m[3][1] = y;
  m.m[3][2] = z;
}
inline Vector3 translationOf(const Matrix& m) { return {m.m[3][0], m.m[3][1], m.m[3][2]}; }
// a - b, element by element.
Matrix difference(const Matrix& a, const Matrix& b);
// The inverse, or the identity when the matrix is singular.
Matrix inverse(const Matrix& m);
// (x, y, z, 1) x m without the division by w.
Vector3 transformPoint(Vector3 p, const Matrix& m);
// (x, y, z, 0) x m: directions ignore the translation.
Vector3 transformDirection(Vector3 d, const Matrix& m);
float determinant3x3(const Matrix& m);

// The scenes' rotations. rotationX and rotationY turn the opposite way from
// the usual left-handed rotations of the same angle; rotationZ does not.
//   X: rows (1, 0, 0), (0, cos, -sin), (0, sin, cos)
//   Y: rows (cos, 0, sin), (0, 1, 0), (-sin, 0, cos)
//   Z: rows (cos, sin, 0), (-sin, cos, 0), (0, 0, 1)
Matrix rotationX(float a);
Matrix rotationY(float a);
Matrix rotationZ(float a);
// Left-handed perspective for a vertical field of view (radians) and an
// aspect ratio (width / height). Unlike the usual one its (3,3) entry stays 1,
// so clip w = view z + 1: the cameras and the harmonium's lens use it.
Matrix perspectiveMatrix(float fieldOfView, float aspect, float nearPlane, float farPlane);

}  // namespace velm
