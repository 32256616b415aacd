// The weld search of the rebuild from GPU buffers: for each new position, the
// earliest earlier position whose squared distance to it is below 1e-6
// (computed in double precision). A spatial hash keeps it near linear; the
// plain search in list order is kept as the reference it must agree with.
// It only answers queries; it creates no vertices.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/math3d.h"

namespace velm {

// Squared distance below which two positions are the same vertex.
inline constexpr double kWeldDistanceSquared = 1e-6;

// True when |p - q|^2 < 1e-6, the differences taken in double precision.
bool withinWeldDistance(const Vector3& p, const Vector3& q);

// The plain search: the index of the first of `positions` within the weld
// distance of `q`, or -1.
int32_t findWeldTargetLinear(const std::vector<Vector3>& positions, const Vector3& q);

// Positions added in order (index 0, 1, ...) and hashed by cells twice the
// weld radius wide, so a match always lies in the same or a neighbouring
// cell whatever the rounding; find() returns the lowest matching index,
// which is the answer of the plain search over the same positions.
class WeldIndex {
 public:
  int32_t find(const Vector3& q) const;
  // Appends `p` as the next index.
  void add(const Vector3& p);
  int32_t size() const { return static_cast<int32_t>(positions_.size()); }

 private:
  struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell&) const = default;
  };
  struct CellHash {
    size_t operator()(const Cell& c) const;
  };
  // False for a position with a non-finite coordinate (it welds with nothing).
  static bool cellOf(const Vector3& p, Cell* out);

  std::vector<Vector3> positions_;
  std::unordered_map<Cell, std::vector<int32_t>, CellHash> cells_;
};

}  // namespace velm
