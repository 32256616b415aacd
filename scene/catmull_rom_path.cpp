#include "scene/catmull_rom_path.h"

#include <algorithm>

namespace velm {

float catmullRom(float q0, float q1, float q2, float q3, float t) {
  const float t2 = t * t, t3 = t2 * t;
  return 0.5f * (2.0f * q1 + (q2 - q0) * t + (2.0f * q0 - 5.0f * q1 + 4.0f * q2 - q3) * t2 +
                 (3.0f * q1 - q0 - 3.0f * q2 + q3) * t3);
}

Vector3 CatmullRomPath::evaluate(float u) const {
  const int n = static_cast<int>(points.size());
  if (n < 2) return n == 1 ? points[0] : Vector3{};
  u = std::clamp(u, 0.0f, 1.0f);
  const float a = u * static_cast<float>(n - 2);
  const int e = static_cast<int>(a);
  const float t = a - static_cast<float>(e);
  auto at = [&](int i) { return points[static_cast<size_t>(std::min(i, n - 1))]; };
  const Vector3 q0 = at(e), q1 = at(e + 1), q2 = at(e + 2), q3 = at(e + 3);
  return {catmullRom(q0.x, q1.x, q2.x, q3.x, t), catmullRom(q0.y, q1.y, q2.y, q3.y, t),
          catmullRom(q0.z, q1.z, q2.z, q3.z, t)};
}

}  // namespace velm
