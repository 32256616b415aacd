// The engine context: the one object through which the engine reaches the
// graphics device, the owner of every mesh, texture and render target made
// through it, the pool of free render targets, and the tweakable parameters.
// A lazily created singleton; objects it owns are freed only by shutdown(),
// never one by one, and it keeps no lookup by name (two requests, two objects).
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace velm {

class Mesh;  // the editable mesh node; destroyed here through its virtual destructor
class Texture;
class RenderTarget;
class IDData;

class EngineContext {
 public:
  // The context, created empty (no device) on first use.
  static EngineContext& get();

  // A new empty mesh, owned by the context. Defined where the mesh class is
  // available (engine_meshes.cpp).
  Mesh* createMesh();
  // A new texture loaded at once from the data file `fileName`.
  Texture* createTexture(const std::string& fileName);
  // A new render target; only acquireRenderTargets makes them.
  RenderTarget* createRenderTarget(uint32_t width, uint32_t height, gfx::Format format);
  // Fills `out` with `count` targets of `format` sized to the default viewport:
  // the oldest free ones of exactly that size and format first, then new ones.
  void acquireRenderTargets(gfx::Format format, uint32_t count, std::vector<RenderTarget*>& out);
  RenderTarget* acquireRenderTarget(gfx::Format format);
  // Hands a target back to the end of the pool.
  void releaseRenderTarget(RenderTarget* target);
  // Frees meshes, textures, render targets, the pool and last the device.
  void shutdown();

  gfx::Device* device = nullptr;  // owned; filled by the render window's device creation
  std::vector<IDData*> parameters;       // not owned, never freed
  std::vector<IDData*> spareParameters;  // never filled
  int32_t textureCount = 0;
  int32_t meshCount = 0;
  int32_t renderTargetCount = 0;
  std::map<Mesh*, bool> meshes;  // object -> owned flag (always true)
  std::map<Texture*, bool> textures;
  std::map<RenderTarget*, bool> renderTargets;
  std::list<RenderTarget*> renderTargetPool;  // free targets, oldest first

 private:
  EngineContext() = default;
  // Shutdown's first step; lives beside createMesh.
  void destroyMeshes();
};

}  // namespace velm
