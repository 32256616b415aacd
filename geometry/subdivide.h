// Quad subdivision of a mesh's editable geometry: every face splits into one
// quad per corner around a new face point, with a new point on every edge.
// Linear passes put the new points at midpoints and centroids; smoothing
// passes follow Catmull-Clark and round the shape. Set-up time only.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/modifiers.h"

namespace velm {

class Mesh;

namespace meshmodify {

struct SubdivideOptions {
  int32_t linear = 0;  // 0: smoothing passes; anything else: linear passes
};

// Runs `iterations` passes per apply, alternating between the caller's mesh
// and a scratch mesh made by (and owned by) the engine context on first use.
//
// Smoothing needs a closed surface. On an open or broken one the rim is
// treated as a crease that stays linear: an edge with fewer than two faces
// keeps its midpoint, and a vertex with no face, or with a different number
// of edges than faces around it, keeps its position. A face with an edge
// missing from the edge list is left out of the output.
class Subdivide : public IMeshModifier {
 public:
  Subdivide(int32_t passes, int32_t linear);
  ~Subdivide() override;
  void apply(Mesh& mesh) override;

  // One pass: reads `input` (faces, edges, vertices) and appends the new
  // geometry to `output`, whose lists must be empty. Errors: 188 when an edge
  // meets a third face in a smoothing pass, 230 when two consecutive edges of
  // a face share no vertex (that corner then gets no quad).
  static void subdivideOnce(Mesh& input, const SubdivideOptions* options, Mesh& output);

  std::unique_ptr<SubdivideOptions> options;
  Mesh* scratch = nullptr;  // owned by the engine context, kept across calls
  int32_t iterations;
};

}  // namespace meshmodify
}  // namespace velm
