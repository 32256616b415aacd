#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

constexpr gfx::Format kColour = gfx::Format::A8R8G8B8;
const auto kOtherFormat = static_cast<gfx::Format>(113);

using EngineContextTest = EngineTest;

TEST_F(EngineContextTest, IsOneObjectCreatedOnFirstUse) {
  EXPECT_EQ(&EngineContext::get(), &EngineContext::get());
  EXPECT_EQ(EngineContext::get().device, device);
}

TEST_F(EngineContextTest, AcquiredTargetsHaveTheDefaultViewportSizeAndTheirOwnDepthSurface) {
  EngineContext& context = EngineContext::get();
  RenderTarget* target = context.acquireRenderTarget(gfx::Format::R32F);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->width, 640u);
  EXPECT_EQ(target->height, 359u);
  EXPECT_EQ(target->format, gfx::Format::R32F);
  EXPECT_FALSE(target->bound);
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "createTexture(640, 359, 1, 0x00000001, 114, 0) -> texture#1",
                         "createDepthStencilSurface(640, 359, 75) -> depth#2",
                     }));
  EXPECT_EQ(target->getTexture(), target->texture);
  EXPECT_EQ(gfx::RecordingDevice::nameOf(target->surface), "texture#1.level0");
  EXPECT_EQ(context.renderTargetCount, 1);
  EXPECT_EQ(context.renderTargets.count(target), 1u);
  EXPECT_TRUE(context.renderTargetPool.empty());
}

TEST_F(EngineContextTest, FormatMismatchCreatesANewTargetAndLeavesTheOtherInThePool) {
  EngineContext& context = EngineContext::get();
  RenderTarget* other = context.acquireRenderTarget(kOtherFormat);
  context.releaseRenderTarget(other);
  RenderTarget* colour = context.acquireRenderTarget(kColour);
  EXPECT_NE(colour, other);
  EXPECT_EQ(colour->format, kColour);
  EXPECT_EQ(context.renderTargetPool, std::list<RenderTarget*>{other});
  EXPECT_EQ(context.renderTargetCount, 2);
}

TEST_F(EngineContextTest, TheOldestReleasedTargetIsReusedFirst) {
  EngineContext& context = EngineContext::get();
  RenderTarget* first = context.acquireRenderTarget(kColour);
  RenderTarget* second = context.acquireRenderTarget(kColour);
  ASSERT_NE(first, second);
  context.releaseRenderTarget(first);
  context.releaseRenderTarget(second);
  device->clearCalls();

  EXPECT_EQ(context.acquireRenderTarget(kColour), first);
  EXPECT_EQ(context.acquireRenderTarget(kColour), second);
  EXPECT_TRUE(calls().empty()) << "reused targets create nothing";
  RenderTarget* third = context.acquireRenderTarget(kColour);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  EXPECT_EQ(context.renderTargetCount, 3);

  // Several at once: pool order, skipping other formats and empty entries,
  // then new ones for the rest.
  RenderTarget* r32 = context.acquireRenderTarget(gfx::Format::R32F);
  for (RenderTarget* t : {second, r32, first}) context.releaseRenderTarget(t);
  context.releaseRenderTarget(nullptr);
  context.releaseRenderTarget(third);
  std::vector<RenderTarget*> out{r32};  // emptied first
  context.acquireRenderTargets(kColour, 4, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], second);
  EXPECT_EQ(out[1], first);
  EXPECT_EQ(out[2], third);
  EXPECT_EQ(context.renderTargets.count(out[3]), 1u);
  EXPECT_EQ((std::list<RenderTarget*>{r32, nullptr}), context.renderTargetPool);
}

TEST_F(EngineContextTest, ATargetOfAStaleSizeIsNeverHandedOut) {
  EngineContext& context = EngineContext::get();
  RenderTarget* small = context.acquireRenderTarget(kColour);
  context.releaseRenderTarget(small);

  window->settings.width = 800;  // default viewport 800 x 449 (the float aspect)
  window->settings.height = 600;
  RenderTarget* large = context.acquireRenderTarget(kColour);
  EXPECT_NE(large, small);
  EXPECT_EQ(large->width, 800u);
  EXPECT_EQ(large->height, 449u);
  EXPECT_EQ(context.renderTargetPool, std::list<RenderTarget*>{small});
  context.releaseRenderTarget(large);
  EXPECT_EQ(context.acquireRenderTarget(kColour), large);

  window->settings.width = 640;
  window->settings.height = 480;
  EXPECT_EQ(context.acquireRenderTarget(kColour), small);
}

TEST_F(EngineContextTest, TexturesOfTheSameFileAreDistinctObjects) {
  writeFile("data/moon.jpg", fixtureBytes("loading.jpg"));
  EngineContext& context = EngineContext::get();
  Texture* a = context.createTexture(dataFileName("moon.jpg"));
  Texture* b = context.createTexture(dataFileName("moon.jpg"));
  EXPECT_NE(a, b);
  EXPECT_NE(a->getTexture(), b->getTexture());
  EXPECT_EQ(context.textureCount, 2);
  EXPECT_EQ(context.textures.size(), 2u);
  EXPECT_EQ(device->liveObjectCount(), 2u);
}

// Shutdown frees textures, then render targets (texture and depth surface),
// empties the pool and resets the counters, and deletes the device last.
TEST_F(EngineContextTest, ShutdownFreesEverythingBeforeTheDevice) {
  writeFile("data/moon.jpg", fixtureBytes("loading.jpg"));
  EngineContext& context = EngineContext::get();
  std::vector<std::string> log;
  size_t liveAtDelete = 99;
  auto* recording = new gfx::RecordingDevice();
  context.device = new ForwardingDevice(std::unique_ptr<gfx::Device>(recording), [&](gfx::Device& inner) {
    log = recording->calls();
    liveAtDelete = inner.liveObjectCount();
  });
  delete device;
  device = nullptr;

  context.createTexture(dataFileName("moon.jpg"));
  context.createTexture(dataFileName("moon.jpg"));
  RenderTarget* pooled = context.acquireRenderTarget(kColour);
  context.acquireRenderTarget(gfx::Format::R32F);
  context.releaseRenderTarget(pooled);
  EXPECT_EQ(recording->liveObjectCount(), 6u);
  recording->clearCalls();

  context.shutdown();
  EXPECT_EQ(liveAtDelete, 0u);
  ASSERT_EQ(log.size(), 6u);
  std::vector<std::string> texturesFirst(log.begin(), log.begin() + 2), targetsNext(log.begin() + 2, log.end());
  std::sort(texturesFirst.begin(), texturesFirst.end());
  EXPECT_EQ(texturesFirst, (std::vector<std::string>{"release(texture#1)", "release(texture#2)"}));
  // Each target: its texture, then its depth surface.
  for (size_t i = 0; i < targetsNext.size(); i += 2) {
    EXPECT_TRUE(targetsNext[i] == "release(texture#3)" || targetsNext[i] == "release(texture#5)") << targetsNext[i];
    EXPECT_EQ(targetsNext[i + 1], targetsNext[i] == "release(texture#3)" ? "release(depth#4)" : "release(depth#6)");
  }
  EXPECT_EQ(context.device, nullptr);
  EXPECT_TRUE(context.textures.empty());
  EXPECT_TRUE(context.renderTargets.empty());
  EXPECT_TRUE(context.meshes.empty());
  EXPECT_TRUE(context.renderTargetPool.empty());
  EXPECT_EQ(context.textureCount, 0);
  EXPECT_EQ(context.renderTargetCount, 0);
  EXPECT_EQ(context.meshCount, 0);

  context.shutdown();  // a second shutdown finds nothing to free
  EXPECT_EQ(context.device, nullptr);
}

}  // namespace
}  // namespace velm::testing
