// The engine context's mesh registry: meshes are made here and destroyed
// through their virtual destructor at shutdown.
#include <type_traits>

#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"

namespace velm {

static_assert(std::has_virtual_destructor_v<Mesh>, "the context deletes meshes through Mesh*");

Mesh* EngineContext::createMesh() {
  auto* mesh = new Mesh(0, 0);
  meshes[mesh] = true;
  ++meshCount;
  reportProgress();
  return mesh;
}

void EngineContext::destroyMeshes() {
  for (auto& [mesh, owned] : meshes)
    if (owned) delete mesh;
  meshes.clear();
  meshCount = 0;
}

}  // namespace velm
