// Shared set-up for the engine tests: a render window (no OS window) of the
// default 640 x 480 settings, a recording device in the engine context, a
// private working directory for data files, captured message boxes, and
// teardown that leaves every engine singleton as a fresh program has it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/render_window.h"
#include "platform/gfx/device.h"
#include "platform/gfx/recording_device.h"
#include "tests/support/recorded_calls.h"
#include "tests/support/test_environment.h"

namespace velm::testing {

// The file bytes of a fixture under tests/fixtures/engine/.
std::string fixtureBytes(const std::string& name);
// Writes `bytes` to `path` (relative to the working directory), making folders.
void writeFile(const std::string& path, const std::string& bytes);

// A device that passes every call to another and, when deleted, runs a
// callback with the other still alive: lets a test look at the device at the
// moment the engine context releases it.
class ForwardingDevice final : public gfx::Device {
 public:
  ForwardingDevice(std::unique_ptr<gfx::Device> inner, std::function<void(gfx::Device&)> beforeDelete)
      : inner_(std::move(inner)), beforeDelete_(std::move(beforeDelete)) {}
  ~ForwardingDevice() override {
    if (beforeDelete_) beforeDelete_(*inner_);
  }
  gfx::Device& inner() { return *inner_; }

  gfx::Result beginScene() override { return inner_->beginScene(); }
  gfx::Result endScene() override { return inner_->endScene(); }
  gfx::Result present() override { return inner_->present(); }
  gfx::Result clear(uint32_t f, uint32_t c, float z, uint32_t s) override { return inner_->clear(f, c, z, s); }
  gfx::Result setViewport(const gfx::Viewport& v) override { return inner_->setViewport(v); }
  gfx::Result getViewport(gfx::Viewport* v) override { return inner_->getViewport(v); }
  gfx::Result createTexture(uint32_t w, uint32_t h, uint32_t l, gfx::Usage u, gfx::Format f, gfx::Pool p,
                            gfx::Texture** out) override {
    return inner_->createTexture(w, h, l, u, f, p, out);
  }
  gfx::Result createTextureFromImage(const void* b, size_t n, gfx::Texture** out, gfx::ImageInfo* i) override {
    return inner_->createTextureFromImage(b, n, out, i);
  }
  gfx::Result createDepthStencilSurface(uint32_t w, uint32_t h, gfx::Format f, gfx::Surface** out) override {
    return inner_->createDepthStencilSurface(w, h, f, out);
  }
  gfx::Result createVertexBuffer(uint32_t n, gfx::Usage u, uint32_t fvf, gfx::Pool p,
                                 gfx::VertexBuffer** out) override {
    return inner_->createVertexBuffer(n, u, fvf, p, out);
  }
  gfx::Result createIndexBuffer(uint32_t n, gfx::Usage u, gfx::Format f, gfx::Pool p,
                                gfx::IndexBuffer** out) override {
    return inner_->createIndexBuffer(n, u, f, p, out);
  }
  gfx::Result createEffect(const void* b, size_t n, gfx::Effect** out) override {
    return inner_->createEffect(b, n, out);
  }
  gfx::Result setRenderTarget(uint32_t slot, gfx::Surface* s) override { return inner_->setRenderTarget(slot, s); }
  gfx::Result getRenderTarget(uint32_t slot, gfx::Surface** s) override { return inner_->getRenderTarget(slot, s); }
  gfx::Result setDepthStencilSurface(gfx::Surface* s) override { return inner_->setDepthStencilSurface(s); }
  gfx::Result getDepthStencilSurface(gfx::Surface** s) override { return inner_->getDepthStencilSurface(s); }
  gfx::Result setRenderState(gfx::RenderState s, uint32_t v) override { return inner_->setRenderState(s, v); }
  gfx::Result getRenderState(gfx::RenderState s, uint32_t* v) override { return inner_->getRenderState(s, v); }
  gfx::Result setSamplerState(uint32_t i, gfx::SamplerState s, uint32_t v) override {
    return inner_->setSamplerState(i, s, v);
  }
  gfx::Result getSamplerState(uint32_t i, gfx::SamplerState s, uint32_t* v) override {
    return inner_->getSamplerState(i, s, v);
  }
  gfx::Result setTextureStageState(uint32_t i, gfx::TextureStageState s, uint32_t v) override {
    return inner_->setTextureStageState(i, s, v);
  }
  gfx::Result setTexture(uint32_t i, gfx::Texture* t) override { return inner_->setTexture(i, t); }
  gfx::Result getTexture(uint32_t i, gfx::Texture** t) override { return inner_->getTexture(i, t); }
  gfx::Result setTransform(gfx::TransformType t, const gfx::Matrix4& m) override {
    return inner_->setTransform(t, m);
  }
  gfx::Result setFVF(uint32_t fvf) override { return inner_->setFVF(fvf); }
  gfx::Result setStreamSource(uint32_t s, gfx::VertexBuffer* b, uint32_t o, uint32_t st) override {
    return inner_->setStreamSource(s, b, o, st);
  }
  gfx::Result setIndices(gfx::IndexBuffer* b) override { return inner_->setIndices(b); }
  gfx::Result drawPrimitive(gfx::PrimitiveType t, uint32_t s, uint32_t n) override {
    return inner_->drawPrimitive(t, s, n);
  }
  gfx::Result drawIndexedPrimitive(gfx::PrimitiveType t, int32_t b, uint32_t mi, uint32_t vc, uint32_t si,
                                   uint32_t n) override {
    return inner_->drawIndexedPrimitive(t, b, mi, vc, si, n);
  }
  gfx::Result drawPrimitiveUP(gfx::PrimitiveType t, uint32_t n, const void* v, uint32_t s) override {
    return inner_->drawPrimitiveUP(t, n, v, s);
  }
  gfx::Result readSurface(gfx::Surface* s, gfx::Readback* out) override { return inner_->readSurface(s, out); }
  gfx::Surface* backBuffer() override { return inner_->backBuffer(); }
  std::string rendererName() const override { return inner_->rendererName(); }
  size_t liveObjectCount() const override { return inner_->liveObjectCount(); }

 private:
  std::unique_ptr<gfx::Device> inner_;
  std::function<void(gfx::Device&)> beforeDelete_;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the context's device by a fresh recording device (the old one is deleted).
  void useRecordingDevice();
  // Calls recorded since the last clearCalls().
  const std::vector<std::string>& calls() const { return device->calls(); }
  // Message boxes shown so far; the test takes them, and teardown fails on
  // any left untaken.
  std::vector<Message> takeMessages();

  std::unique_ptr<RenderWindow> window;
  gfx::RecordingDevice* device = nullptr;  // owned by the engine context

 private:
  std::vector<Message> messages_;
  std::string savedDirectory_;
  std::string workDirectory_;
};

}  // namespace velm::testing
