#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/fatal_error.h"
#include "engine/surfaces.h"
#include "platform/messages.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

using Surfaces = EngineTest;
using Calls = std::vector<std::string>;

Message fatal(int number) { return {"Velm error", "Unexpected fatal error(#" + std::to_string(number) + ")."}; }

TEST_F(Surfaces, FatalErrorShowsTheNumberedMessageAndReturns) {
  for (int number : {52, 113, -7, 2147483647}) {
    fatalError(number);
    EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(number)});
    EXPECT_EQ(fatalErrorText, fatal(number).second);
  }
}

TEST_F(Surfaces, ATextureKeepsTheImageAndLevelSizes) {
  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));  // 6 x 4 pixels
  Texture* texture = EngineContext::get().createTexture(dataFileName("loading.jpg"));
  const TextureData& data = *texture->data;
  EXPECT_TRUE(data.loaded);
  ASSERT_NE(data.texture, nullptr);
  EXPECT_EQ(texture->getTexture(), data.texture);
  EXPECT_EQ(data.texture->levelCount(), 3u);  // 6x4, 3x2, 1x1
  EXPECT_EQ(data.imageWidth, 6u);
  EXPECT_EQ(data.imageHeight, 4u);
  EXPECT_EQ(data.textureWidth, 6u);
  EXPECT_EQ(data.textureHeight, 4u);
  EXPECT_EQ(data.uScale, 1.0f);
  EXPECT_EQ(data.vScale, 1.0f);

  device->clearCalls();
  texture->load("loading.jpg");
  EXPECT_TRUE(calls().empty()) << "loading runs once";
}

TEST_F(Surfaces, ATextureWithoutAUsableFileHasNoDeviceTexture) {
  writeFile("data/broken.jpg", "not a picture");
  for (const char* name : {"broken.jpg", "missing.jpg"}) {
    SCOPED_TRACE(name);
    Texture* texture = EngineContext::get().createTexture(dataFileName(name));
    EXPECT_TRUE(texture->data->loaded);
    EXPECT_EQ(texture->getTexture(), nullptr);
    EXPECT_EQ(texture->data->imageWidth, 0u);
    EXPECT_EQ(texture->data->textureHeight, 0u);
    EXPECT_EQ(EngineContext::get().textures.count(texture), 1u);  // registered all the same
  }
  EXPECT_EQ(takeMessages(), (std::vector<Message>{{"error", "Couldn't open file!"}}));
  EXPECT_TRUE(platform::takeQuitMessage());
}

TEST_F(Surfaces, CreatingTwiceReports52AndKeepsTheFirstTarget) {
  RenderTarget* target = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  gfx::Texture* texture = target->texture;
  device->clearCalls();
  target->create(32, 32, gfx::Format::R32F);
  EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(52)});
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(target->texture, texture);
  EXPECT_EQ(target->width, 640u);
  EXPECT_EQ(target->format, gfx::Format::A8R8G8B8);
}

TEST_F(Surfaces, BindingSlot0SwapsTargetDepthAndViewportAndUnbindRestoresThem) {
  RenderTarget* target = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  device->clearCalls();
  target->bind(0);
  EXPECT_TRUE(target->bound);
  EXPECT_EQ(calls(), (Calls{"setRenderTarget(0, texture#1.level0)", "setDepthStencilSurface(depth#2)",
                            "setViewport(0, 0, 640, 359, 0, 10)"}));
  ASSERT_EQ(window->viewports.size(), 1u);
  EXPECT_EQ(window->viewports.back().width, 640u);

  device->clearCalls();
  target->unbind();
  EXPECT_FALSE(target->bound);
  EXPECT_EQ(calls(), (Calls{"setRenderTarget(0, backbuffer)", "setDepthStencilSurface(backbuffer.depth)",
                            "setViewport(0, 60, 640, 359, 0, 10)"}));
  EXPECT_TRUE(window->viewports.empty());
}

TEST_F(Surfaces, BindsNestAndUnwindInReverseOrder) {
  EngineContext& context = EngineContext::get();
  RenderTarget* outer = context.acquireRenderTarget(gfx::Format::A8R8G8B8);  // texture#1, depth#2
  window->settings.width = 320;  // inner target 320 x 180
  window->settings.height = 240;
  RenderTarget* inner = context.acquireRenderTarget(gfx::Format::A8R8G8B8);  // texture#3, depth#4
  window->settings.width = 640;
  window->settings.height = 480;
  outer->bind(0);
  inner->bind(0);
  EXPECT_EQ(window->viewports.size(), 2u);
  device->clearCalls();
  inner->unbind();
  EXPECT_EQ(calls(), (Calls{"setRenderTarget(0, texture#1.level0)", "setDepthStencilSurface(depth#2)",
                            "setViewport(0, 0, 640, 359, 0, 10)"}));
  device->clearCalls();
  outer->unbind();
  EXPECT_EQ(calls(), (Calls{"setRenderTarget(0, backbuffer)", "setDepthStencilSurface(backbuffer.depth)",
                            "setViewport(0, 60, 640, 359, 0, 10)"}));
}

TEST_F(Surfaces, ASecondarySlotLeavesDepthAndViewportAlone) {
  EngineContext& context = EngineContext::get();
  RenderTarget* main = context.acquireRenderTarget(gfx::Format::A8R8G8B8);  // texture#1
  RenderTarget* extra = context.acquireRenderTarget(gfx::Format::R32F);     // texture#3
  main->bind(0);
  device->clearCalls();
  extra->bind(1);
  EXPECT_EQ(calls(), Calls{"setRenderTarget(1, texture#3.level0)"});
  EXPECT_EQ(window->viewports.size(), 1u);
  EXPECT_EQ(extra->index, 1u);
  device->clearCalls();
  extra->unbind();
  EXPECT_EQ(calls(), Calls{"setRenderTarget(1, null)"});
  EXPECT_EQ(window->viewports.size(), 1u);
  main->unbind();
}

TEST_F(Surfaces, BindingErrorsAreReportedByNumber) {
  EngineContext& context = EngineContext::get();

  // 113: nothing to bind; nothing changes.
  RenderTarget neverCreated;
  neverCreated.bind(0);
  EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(113)});
  EXPECT_FALSE(neverCreated.bound);
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(window->viewports.empty());

  // 113 as well when the device refused the texture (a zero size).
  window->settings.width = 0;
  RenderTarget* failed = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  window->settings.width = 640;
  EXPECT_EQ(failed->texture, nullptr);
  failed->bind(0);
  EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(113)});

  // 118: reported, and the bind goes ahead over itself.
  RenderTarget* target = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  target->bind(2);
  device->clearCalls();
  target->bind(2);
  EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(118)});
  EXPECT_TRUE(target->bound);
  EXPECT_EQ(calls(), Calls{"setRenderTarget(2, " + gfx::RecordingDevice::nameOf(target->surface) + ")"});

  // 160: the second unbind only reports.
  target->unbind();
  device->clearCalls();
  target->unbind();
  EXPECT_EQ(takeMessages(), std::vector<Message>{fatal(160)});
  EXPECT_TRUE(calls().empty());
}

}  // namespace
}  // namespace velm::testing
