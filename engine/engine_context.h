// The engine context: the one object through which the engine reaches the
// graphics device, the owner of every mesh, texture and render target made
// through it, the pool of free render targets, and the tweakable parameters.
// A lazily created singleton; objects it owns are freed only by shutdown().
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace velm {

class Mesh;
class Texture;
class RenderTarget;
class IDData;

class EngineContext {
 public:
  static EngineContext& get();

  Mesh* createMesh();
  Texture* createTexture(const std::string& fileName);
  RenderTarget* createRenderTarget(uint32_t width, uint32_t height, gfx::Format format);
  void acquireRenderTargets(gfx::Format format, uint32_t count, std::vector<RenderTarget*>& out);
  RenderTarget* acquireRenderTarget(gfx::Format format);
  void releaseRenderTarget(RenderTarget* target);
  void shutdown();

  gfx::Device* device = nullptr;  // owned; filled by the render window's device creation
  std::vector<IDData*> parameters;
  std::vector<IDData*> spareParameters;
  int32_t textureCount = 0;
  int32_t meshCount = 0;
  int32_t renderTargetCount = 0;
  std::map<Mesh*, bool> meshes;
  std::map<Texture*, bool> textures;
  std::map<RenderTarget*, bool> renderTargets;
  std::list<RenderTarget*> renderTargetPool;

 private:
  EngineContext() = default;
};

}  // namespace velm
