#include "post/buffer_renderable.h"

#include <cmath>

#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/loading_screen.h"
#include "engine/math3d.h"
#include "engine/surfaces.h"

namespace velm {

BufferRenderable::~BufferRenderable() {
  if (outputTarget) EngineContext::get().releaseRenderTarget(outputTarget);
}

void BufferRenderable::render(float time) {
  if (!(std::fabs(time - lastTime) > 0.001f)) return;
  EngineContext& context = EngineContext::get();
  if (!outputTarget) outputTarget = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  outputTarget->bind(0);
  if (context.device) checked(context.device->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0x00000000u, 1.0f, 0));
  draw(time);
  outputTarget->unbind();
  lastTime = time;
}

namespace {

// The left-handed orthographic projection of a width x height box between the
// near and far planes (which here gives the identity).
Matrix orthographic(float width, float height, float nearZ, float farZ) {
  Matrix m = Matrix::identity();
  m.m[0][0] = 2.0f / width;
  m.m[1][1] = 2.0f / height;
  m.m[2][2] = 1.0f / (farZ - nearZ);
  m.m[3][2] = (0.0f - nearZ) / (farZ - nearZ);
  return m;
}

}  // namespace

void fullScreenEffectPass(TShader& shader, const std::function<void()>& setParameters) {
  setMatrix(shader, "worldViewProjection", orthographic(2.0f, 2.0f, 0.0f, 1.0f));
  if (setParameters) setParameters();
  shader.begin();
  shader.beginPass(0);
  drawScreenQuad(nullptr, 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  shader.endPass();
  shader.end();
}

}  // namespace velm
