#include "geometry/weld.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {
// Twice the weld radius (sqrt(1e-6) = 1e-3): two positions that weld differ
// by less than half a cell on each axis, so their cells differ by at most one.
constexpr double kCellSize = 2e-3;
// Cell coordinates are clamped here; positions that far out still compare
// exactly, they only share cells.
constexpr double kCellLimit = 1e15;
}  // namespace

bool withinWeldDistance(const Vector3& p, const Vector3& q) {
  const double dx = static_cast<double>(p.x) - static_cast<double>(q.x);
  const double dy = static_cast<double>(p.y) - static_cast<double>(q.y);
  const double dz = static_cast<double>(p.z) - static_cast<double>(q.z);
  return dx * dx + dy * dy + dz * dz < kWeldDistanceSquared;
}

int32_t findWeldTargetLinear(const std::vector<Vector3>& positions, const Vector3& q) {
  for (size_t i = 0; i < positions.size(); ++i)
    if (withinWeldDistance(positions[i], q)) return static_cast<int32_t>(i);
  return -1;
}

size_t WeldIndex::CellHash::operator()(const Cell& c) const {
  uint64_t h = static_cast<uint64_t>(c.x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<uint64_t>(c.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(c.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
  return static_cast<size_t>(h);
}

bool WeldIndex::cellOf(const Vector3& p, Cell* out) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
  auto axis = [](float v) {
    const double c = std::floor(static_cast<double>(v) / kCellSize);
    return static_cast<int64_t>(std::clamp(c, -kCellLimit, kCellLimit));
  };
  *out = {axis(p.x), axis(p.y), axis(p.z)};
  return true;
}

int32_t WeldIndex::find(const Vector3& q) const {
  Cell centre;
  if (!cellOf(q, &centre)) return -1;
  int32_t best = -1;
  for (int64_t dx = -1; dx <= 1; ++dx)
    for (int64_t dy = -1; dy <= 1; ++dy)
      for (int64_t dz = -1; dz <= 1; ++dz) {
        const auto it = cells_.find({centre.x + dx, centre.y + dy, centre.z + dz});
        if (it == cells_.end()) continue;
        // Indices in a cell are ascending: the first match is the cell's lowest.
        for (int32_t index : it->second) {
          if (best >= 0 && index >= best) break;
          if (withinWeldDistance(positions_[static_cast<size_t>(index)], q)) {
            best = index;
            break;
          }
        }
      }
  return best;
}

void WeldIndex::add(const Vector3& p) {
  const int32_t index = size();
  positions_.push_back(p);
  Cell cell;
  if (cellOf(p, &cell)) cells_[cell].push_back(index);
}

}  // namespace velm
