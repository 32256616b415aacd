// Renderables: things that draw a picture into a pooled render target of
// their own, which later stages read as a texture. BufferRenderable takes its
// target from the engine context's pool on the first render, redraws only when
// the time moved, and hands the target back to the pool when destroyed. Also
// the full-screen effect pass every post effect runs. Nothing here owns an
// effect or a source picture, and no renderable is destroyed through a base.
#pragma once

#include <cstdint>
#include <functional>

namespace velm {

class RenderTarget;
class TShader;

class IRenderable {
 public:
  // Does nothing in every renderable; it holds its place in the interface.
  virtual void resize(int32_t width, int32_t height) = 0;
  // Draws into the output when the time moved since the last render.
  virtual void render(float time) = 0;
  // The subclass's drawing into the bound, cleared output.
  virtual void draw(float time) = 0;
  virtual RenderTarget* output() = 0;
  // The extra targets a scene renders into; null for every other renderable.
  virtual RenderTarget* velocityTarget() = 0;
  virtual RenderTarget* depthTarget() = 0;
  virtual RenderTarget* distortionTarget() = 0;

 protected:
  IRenderable() = default;
  ~IRenderable() = default;
  IRenderable(const IRenderable&) = delete;
  IRenderable& operator=(const IRenderable&) = delete;
};

class BufferRenderable : public IRenderable {
 public:
  BufferRenderable() = default;
  // Gives the output target back to the pool (not released).
  ~BufferRenderable();

  void resize(int32_t, int32_t) override {}
  // When |time - lastTime| > 0.001: takes an A8R8G8B8 target from the pool if
  // there is none yet, binds it as target 0, clears it to transparent black
  // and depth 1.0, draws, unbinds, and records the time.
  void render(float time) override;
  void draw(float) override {}
  RenderTarget* output() override { return outputTarget; }
  RenderTarget* velocityTarget() override { return nullptr; }
  RenderTarget* depthTarget() override { return nullptr; }
  RenderTarget* distortionTarget() override { return nullptr; }

  RenderTarget* outputTarget = nullptr;  // null until the first render
  float lastTime = -1.0f;
};

// The pass a post effect's draw runs with `shader` holding its effect: the
// orthographic "worldViewProjection", then `setParameters` (the effect's own
// values), then technique, begin, pass 0, one full-screen quad blended with
// source alpha onto the cleared output, end.
void fullScreenEffectPass(TShader& shader, const std::function<void()>& setParameters);

}  // namespace velm
