// Cameras: the view and projection matrices that turn world space into the
// picture, their product, and the six clipping planes. Left-handed, row-vector
// matrices. A camera caches nothing: scenes write its public fields between
// frames and every operation recomputes from them. Only a perspective camera
// exists; there is no orthographic one.
#pragma once

#include <array>

#include "engine/math3d.h"

namespace velm {

// a·x + b·y + c·z + d >= 0 on the inner side; not normalised.
struct Plane {
  float a = 0, b = 0, c = 0, d = 0;
};
// In this order: near, far, top, bottom, left, right.
using Frustum = std::array<Plane, 6>;

class TCamera {
 public:
  virtual Matrix view() const = 0;
  virtual Matrix projection() const = 0;
  virtual Vector3 getPosition() const { return position; }
  // view() x projection(): the view applies first.
  virtual Matrix viewProjection() const { return view() * projection(); }
  virtual Frustum frustum() const = 0;
  // The planes in the object space of `world`.
  virtual Frustum frustumFor(const Matrix& world) const = 0;
  virtual bool isOrthographic() const = 0;

  Vector3 position;

 protected:
  TCamera() = default;
  ~TCamera() = default;
};

class PerspectiveCamera final : public TCamera {
 public:
  // Full vertical field of view in radians, near and far clipping distances.
  PerspectiveCamera(float fieldOfView, float nearPlane, float farPlane);

  // Left-handed look-at from `position` to `target`, then turned by `roll`
  // about the view axis.
  Matrix view() const override;
  // Perspective for the letterboxed picture's aspect ratio. Unlike the usual
  // left-handed perspective matrix its m44 is 1, so clip w = view z + 1.
  Matrix projection() const override;
  Frustum frustum() const override;
  Frustum frustumFor(const Matrix& world) const override;
  bool isOrthographic() const override { return false; }

  Vector3 target{0, 0, 1};
  Vector3 up{0, 1, 0};  // need not be unit length or orthogonal to the view
  float fieldOfView;
  float nearPlane;
  float farPlane;
  float roll = 0.0f;
};

// The six planes of the clip volume of M (a world or object to clip matrix).
Frustum frustumOf(const Matrix& m);

}  // namespace velm
