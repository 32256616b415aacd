#include <gtest/gtest.h>

#include "platform/gfx/effect_format.h"
#include "platform/gfx/recording_device.h"

namespace gfx {
namespace {

TEST(RecordingDevice, LogsCallsWithObjectNamesAndTracksObjects) {
  RecordingDevice device;
  VertexBuffer* vb = nullptr;
  ASSERT_EQ(device.createVertexBuffer(128, Usage::Dynamic, fvf::MeshVertex, Pool::SystemMem, &vb), Result::Ok);
  void* data = nullptr;
  ASSERT_EQ(vb->lock(0, 64, &data, LockDiscard), Result::Ok);
  static_cast<uint8_t*>(data)[0] = 7;
  EXPECT_EQ(vb->lock(0, 0, &data, 0), Result::InvalidCall);  // already locked
  ASSERT_EQ(vb->unlock(), Result::Ok);
  device.setStreamSource(0, vb, 0, 64);
  device.setRenderState(RenderState::ZWriteEnable, 0);
  device.drawPrimitiveUP(PrimitiveType::TriangleList, 1, std::vector<float>(15, 0.5f).data(), 20);
  EXPECT_EQ(device.liveObjectCount(), 1u);
  vb->release();
  EXPECT_EQ(device.liveObjectCount(), 0u);

  const std::vector<std::string> expected = {
      "createVertexBuffer(128, 0x00000200, 0x00500412, 2) -> vertexbuffer#1",
      "lock(vertexbuffer#1, 0, 64, 0x00002000)",
      "lock(vertexbuffer#1, 0, 0, 0x00000000)",
      "unlock(vertexbuffer#1)",
      "setStreamSource(0, vertexbuffer#1, 0, 64)",
      "setRenderState(14, 0)",
      "drawPrimitiveUP(4, 1, [0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5], 20)",
      "release(vertexbuffer#1)",
  };
  EXPECT_EQ(device.calls(), expected);
}

TEST(RecordingDevice, EffectsNeedAValidContainer) {
  RecordingDevice device;
  Effect* effect = nullptr;
  const uint8_t junk[] = {1, 2, 3};
  EXPECT_EQ(device.createEffect(junk, sizeof junk, &effect), Result::InvalidData);
  EXPECT_EQ(effect, nullptr);

  EffectDesc desc{"E", {}, {{"Quad", {{"p0", {}, "v", "f"}}}}};
  const std::vector<uint8_t> bytes = serializeEffect(desc);
  ASSERT_EQ(device.createEffect(bytes.data(), bytes.size(), &effect), Result::Ok);
  EXPECT_EQ(effect->setTechnique("Quad"), Result::Ok);
  EXPECT_EQ(effect->setTechnique("Nope"), Result::NotFound);
  const float v[4] = {1, 2, 3, 4};
  effect->setVector("material.ambient", v);
  EXPECT_EQ(device.calls().back(), "effect#1.setVector(material.ambient, [1 2 3 4])");
  effect->release();
  EXPECT_EQ(device.liveObjectCount(), 0u);
}

TEST(RecordingDevice, TextureLevelsAndReleasedTargetsAreForgotten) {
  RecordingDevice device(64, 48);
  Texture* texture = nullptr;
  ASSERT_EQ(device.createTexture(32, 16, 0, Usage::None, Format::A8R8G8B8, Pool::Default, &texture), Result::Ok);
  EXPECT_EQ(texture->levelCount(), 6u);
  Surface* level = nullptr;
  ASSERT_EQ(texture->surfaceLevel(0, &level), Result::Ok);
  device.setRenderTarget(1, level);
  device.setTexture(0, texture);
  level->release();  // a texture's own level ignores release
  EXPECT_EQ(device.liveObjectCount(), 1u);
  texture->release();
  Surface* bound = level;
  EXPECT_EQ(device.getRenderTarget(1, &bound), Result::NotFound);
  Texture* stage = texture;
  device.getTexture(0, &stage);
  EXPECT_EQ(stage, nullptr);
}

}  // namespace
}  // namespace gfx
