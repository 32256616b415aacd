#include "scene/camera.h"

#include <cmath>

#include "app/render_window.h"

namespace velm {

PerspectiveCamera::PerspectiveCamera(float fov, float nearDistance, float farDistance)
    : fieldOfView(fov), nearPlane(nearDistance), farPlane(farDistance) {}

Matrix PerspectiveCamera::view() const {
  const Vector3 z = normalize(target - position);
  const Vector3 x = normalize(cross(up, z));
  const Vector3 y = cross(z, x);
  const Matrix lookAt{{{x.x, y.x, z.x, 0.0f},
                       {x.y, y.y, z.y, 0.0f},
                       {x.z, y.z, z.z, 0.0f},
                       {-dot(x, position), -dot(y, position), -dot(z, position), 1.0f}}};
  return lookAt * rotationZ(roll);
}

Matrix PerspectiveCamera::projection() const {
  // The picture area, not the window, sets the aspect ratio. Without a render
  // window (tools, some tests) the picture is taken as 16:9.
  float aspect = 16.0f / 9.0f;
  if (renderWindow) {
    const gfx::Viewport picture = renderWindow->defaultViewport();
    aspect = static_cast<float>(picture.width) / static_cast<float>(picture.height);
  }
  return perspectiveMatrix(fieldOfView, aspect, nearPlane, farPlane);
}

Frustum frustumOf(const Matrix& m) {
  auto column = [&](int i) { return Plane{m.m[0][i], m.m[1][i], m.m[2][i], m.m[3][i]}; };
  auto add = [](Plane p, Plane q) { return Plane{p.a + q.a, p.b + q.b, p.c + q.c, p.d + q.d}; };
  auto sub = [](Plane p, Plane q) { return Plane{p.a - q.a, p.b - q.b, p.c - q.c, p.d - q.d}; };
  const Plane c1 = column(0), c2 = column(1), c3 = column(2), c4 = column(3);
  return {c3, sub(c4, c3), sub(c4, c2), add(c4, c2), add(c4, c1), sub(c4, c1)};
}

Frustum PerspectiveCamera::frustum() const { return frustumOf(view() * projection()); }

Frustum PerspectiveCamera::frustumFor(const Matrix& world) const {
  return frustumOf(world * view() * projection());
}

}  // namespace velm
