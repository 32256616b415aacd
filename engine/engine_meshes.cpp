// The engine context's mesh registry. The mesh class belongs to the geometry
// code; until its header exists no mesh can be made, so createMesh stays
// undefined (a call fails to link) and shutdown has no mesh to destroy.
#include "engine/engine_context.h"

#if __has_include("geometry/mesh.h")
#include <type_traits>

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

#else

namespace velm {

void EngineContext::destroyMeshes() {
  meshes.clear();
  meshCount = 0;
}

}  // namespace velm

#endif
