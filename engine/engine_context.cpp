#include "engine/engine_context.h"

#include "app/render_window.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"

namespace velm {

EngineContext& EngineContext::get() {
  static EngineContext* context = nullptr;  // never deleted: it outlives every user
  if (!context) {
    context = new EngineContext();
    reportProgress();
  }
  return *context;
}

Texture* EngineContext::createTexture(const std::string& fileName) {
  auto* texture = new Texture();
  texture->load(fileName);
  textures[texture] = true;
  ++textureCount;
  return texture;
}

RenderTarget* EngineContext::createRenderTarget(uint32_t width, uint32_t height, gfx::Format format) {
  auto* target = new RenderTarget();
  target->create(width, height, format);
  renderTargets[target] = true;
  ++renderTargetCount;
  reportProgress();
  return target;
}

void EngineContext::acquireRenderTargets(gfx::Format format, uint32_t count, std::vector<RenderTarget*>& out) {
  // Without a render window there is no picture size; the targets then fail
  // to create and report 113 when bound.
  const gfx::Viewport picture = renderWindow ? renderWindow->defaultViewport() : gfx::Viewport{};
  const uint32_t width = picture.width, height = picture.height;
  out.clear();
  std::vector<std::list<RenderTarget*>::iterator> taken;
  uint32_t wanted = count;
  for (auto it = renderTargetPool.begin(); wanted > 0 && it != renderTargetPool.end(); ++it) {
    RenderTarget* target = *it;
    if (target && target->width == width && target->height == height && target->format == format) {
      out.push_back(target);
      taken.push_back(it);
      --wanted;
    }
  }
  for (auto it : taken) renderTargetPool.erase(it);
  for (; wanted > 0; --wanted) out.push_back(createRenderTarget(width, height, format));
}

RenderTarget* EngineContext::acquireRenderTarget(gfx::Format format) {
  std::vector<RenderTarget*> out;
  acquireRenderTargets(format, 1, out);
  return out[0];
}

void EngineContext::releaseRenderTarget(RenderTarget* target) { renderTargetPool.push_back(target); }

void EngineContext::shutdown() {
  destroyMeshes();

  for (auto& [texture, owned] : textures)
    if (owned) delete texture;
  textures.clear();
  textureCount = 0;

  for (auto& [target, owned] : renderTargets) {
    if (!owned) continue;
    if (target->texture) target->texture->release();
    if (target->depthSurface) target->depthSurface->release();
    delete target;
  }
  renderTargets.clear();

  renderTargetPool.clear();  // its targets were freed above
  renderTargetCount = 0;

  if (device) {
    delete device;
    device = nullptr;
  }
}

}  // namespace velm
