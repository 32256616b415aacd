// The OpenGL backend against the conventions the engine relies on: clears,
// viewports, winding, texture orientation, blending, the built-in pipeline,
// buffers and object lifetime.
#include <cmath>

#include "tests/gfx/gl_test_support.h"

namespace gfx::testing {
namespace {

class GlDevice : public GlDeviceTest {
 protected:
  // Built-in pipeline drawing one flat colour (ARGB) from the texture factor.
  void useFlatColor(uint32_t color) {
    device->setTextureStageState(0, TextureStageState::ColorOp, static_cast<uint32_t>(TextureOp::SelectArg1));
    device->setTextureStageState(0, TextureStageState::ColorArg1, static_cast<uint32_t>(TextureArg::TFactor));
    device->setTextureStageState(0, TextureStageState::AlphaOp, static_cast<uint32_t>(TextureOp::SelectArg1));
    device->setTextureStageState(0, TextureStageState::AlphaArg1, static_cast<uint32_t>(TextureArg::TFactor));
    device->setRenderState(RenderState::TextureFactor, color);
  }
  void setBlend(Blend src, Blend dst) {
    device->setRenderState(RenderState::AlphaBlendEnable, 1);
    device->setRenderState(RenderState::SrcBlend, static_cast<uint32_t>(src));
    device->setRenderState(RenderState::DestBlend, static_cast<uint32_t>(dst));
  }
  static void expectNear(Rgba got, Rgba want, int tolerance = 2) {
    EXPECT_NEAR(got.r, want.r, tolerance) << got << " vs " << want;
    EXPECT_NEAR(got.g, want.g, tolerance) << got << " vs " << want;
    EXPECT_NEAR(got.b, want.b, tolerance) << got << " vs " << want;
  }
};

constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlack{0, 0, 0, 255};

TEST_F(GlDevice, ClearsEveryAttachmentInsideTheViewportOnly) {
  Surface* color = makeTarget(16, 16, Format::A8R8G8B8);
  Surface* data = makeTarget(16, 16, Format::R32F);
  ASSERT_EQ(device->setRenderTarget(0, color), Result::Ok);
  ASSERT_EQ(device->setRenderTarget(1, data), Result::Ok);
  ASSERT_EQ(device->setDepthStencilSurface(makeDepth(16, 16)), Result::Ok);

  ASSERT_EQ(device->clear(ClearTarget | ClearZBuffer, 0xff808080, 1.0f, 0), Result::Ok);
  EXPECT_EQ(pixel(read(color), 3, 3), (Rgba{128, 128, 128, 255}));
  EXPECT_FLOAT_EQ(floatPixel(read(data), 3, 3), 128.0f / 255.0f);

  ASSERT_EQ(device->setViewport({4, 2, 8, 6, 0.0f, 1.0f}), Result::Ok);
  ASSERT_EQ(device->clear(ClearTarget, 0xffff0000, 1.0f, 0), Result::Ok);
  const Readback c = read(color), d = read(data);
  EXPECT_EQ(pixel(c, 4, 2), kRed);
  EXPECT_EQ(pixel(c, 11, 7), kRed);
  EXPECT_EQ(pixel(c, 3, 2), (Rgba{128, 128, 128, 255}));
  EXPECT_EQ(pixel(c, 4, 8), (Rgba{128, 128, 128, 255}));
  EXPECT_FLOAT_EQ(floatPixel(d, 4, 2), 1.0f);
  EXPECT_FLOAT_EQ(floatPixel(d, 12, 2), 128.0f / 255.0f);
}

TEST_F(GlDevice, ViewportPlacesTheDrawAndClipTopIsRowZero) {
  device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0);
  ASSERT_EQ(device->setViewport({8, 4, 16, 8, 0.0f, 1.0f}), Result::Ok);
  useFlatColor(0xffff0000);
  drawRect(-1, -1, 1, 1);
  useFlatColor(0xff00ff00);
  drawRect(-1, 0, 1, 1, -0.0f);  // upper half of the viewport, drawn over (LESSEQUAL)
  const Readback r = read(device->backBuffer());
  EXPECT_EQ(pixel(r, 8, 4), kGreen);
  EXPECT_EQ(pixel(r, 23, 7), kGreen);
  EXPECT_EQ(pixel(r, 8, 8), kRed);
  EXPECT_EQ(pixel(r, 23, 11), kRed);
  EXPECT_EQ(pixel(r, 7, 4), kBlack);
  EXPECT_EQ(pixel(r, 8, 3), kBlack);
  EXPECT_EQ(pixel(r, 24, 11), kBlack);
  EXPECT_EQ(pixel(r, 8, 12), kBlack);
}

TEST_F(GlDevice, ClockwiseOnScreenIsTheFrontFace) {
  // Top-left, top-right, bottom-left: clockwise as seen on the screen.
  const float clockwise[] = {-1, 1, 0, 0, 0, 1, 1, 0, 0, 0, -1, -1, 0, 0, 0};
  const float counter[] = {-1, 1, 0, 0, 0, -1, -1, 0, 0, 0, 1, 1, 0, 0, 0};
  const struct {
    const float* vertices;
    Cull cull;
    bool drawn;
  } cases[] = {{clockwise, Cull::CCW, true}, {clockwise, Cull::CW, false}, {counter, Cull::CCW, false},
               {counter, Cull::CW, true}, {counter, Cull::None, true}};
  useFlatColor(0xffff0000);
  device->setFVF(fvf::ScreenQuad);
  for (const auto& c : cases) {
    device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0);
    device->setRenderState(RenderState::CullMode, static_cast<uint32_t>(c.cull));
    device->drawPrimitiveUP(PrimitiveType::TriangleList, 1, c.vertices, 20);
    EXPECT_EQ(pixel(read(device->backBuffer()), 2, 2), c.drawn ? kRed : kBlack)
        << "cull " << static_cast<int>(c.cull) << (c.vertices == clockwise ? " clockwise" : " counter-clockwise");
  }
}

TEST_F(GlDevice, ImageTopRowIsSampledAtVZeroAndLandsInRowZero) {
  // 4 x 4: the top two rows red, the bottom two blue.
  std::vector<uint8_t> rgba(4 * 4 * 4);
  for (size_t i = 0; i < 16; ++i) {
    const bool top = i < 8;
    rgba[i * 4 + 0] = top ? 255 : 0;
    rgba[i * 4 + 2] = top ? 0 : 255;
    rgba[i * 4 + 3] = 255;
  }
  const std::vector<uint8_t> png = encodePng(4, 4, rgba);
  Texture* texture = nullptr;
  ImageInfo info;
  ASSERT_EQ(device->createTextureFromImage(png.data(), png.size(), &texture, &info), Result::Ok);
  EXPECT_EQ(info.width, 4u);
  EXPECT_EQ(info.height, 4u);
  EXPECT_EQ(texture->levelCount(), 3u);  // full mip chain: 4, 2, 1

  Surface* target = makeTarget(16, 16, Format::A8R8G8B8);
  device->setRenderTarget(0, target);
  device->setDepthStencilSurface(nullptr);
  device->setRenderState(RenderState::ZEnable, 0);
  device->setTexture(0, texture);
  device->setTextureStageState(0, TextureStageState::ColorOp, static_cast<uint32_t>(TextureOp::SelectArg1));
  device->setTextureStageState(0, TextureStageState::ColorArg1, static_cast<uint32_t>(TextureArg::Texture));
  drawRect(-1, -1, 1, 1);
  const Readback r = read(target);
  EXPECT_EQ(pixel(r, 5, 0), kRed);
  EXPECT_EQ(pixel(r, 5, 15), (Rgba{0, 0, 255, 255}));
  texture->release();
}

TEST_F(GlDevice, BlendPairsOfTheScreenQuad) {
  // Destination (64, 64, 64); source (255, 128, 0) with alpha 128 from the texture factor.
  const struct {
    Blend dst, src;
    Rgba expected;
  } cases[] = {
      {Blend::One, Blend::SrcAlpha, {192, 128, 64, 0}},             // src * a + dst
      {Blend::InvSrcAlpha, Blend::SrcColor, {255, 96, 32, 0}},      // src * src + dst * (1 - a)
      {Blend::InvSrcAlpha, Blend::SrcAlpha, {160, 96, 32, 0}},      // src * a + dst * (1 - a)
  };
  device->setRenderState(RenderState::ZEnable, 0);
  for (const auto& c : cases) {
    device->setRenderState(RenderState::AlphaBlendEnable, 0);
    device->clear(ClearTarget, 0xff404040, 1.0f, 0);
    useFlatColor(0x80ff8000);
    setBlend(c.src, c.dst);
    drawRect(-1, -1, 1, 1);
    expectNear(pixel(read(device->backBuffer()), 10, 10), c.expected);
  }
}

TEST_F(GlDevice, ScreenQuadTextureTimesFactorAlpha) {
  // The loading-screen set-up: colour from the texture, alpha = factor x texture.
  std::vector<uint8_t> rgba(2 * 2 * 4, 255);
  for (size_t i = 0; i < 4; ++i) rgba[i * 4 + 1] = rgba[i * 4 + 2] = 0;  // opaque red
  const std::vector<uint8_t> png = encodePng(2, 2, rgba);
  Texture* texture = nullptr;
  ASSERT_EQ(device->createTextureFromImage(png.data(), png.size(), &texture, nullptr), Result::Ok);
  device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0);
  device->setTexture(0, texture);
  device->setTextureStageState(0, TextureStageState::ColorOp, static_cast<uint32_t>(TextureOp::SelectArg1));
  device->setTextureStageState(0, TextureStageState::ColorArg1, static_cast<uint32_t>(TextureArg::Texture));
  device->setTextureStageState(0, TextureStageState::AlphaOp, static_cast<uint32_t>(TextureOp::Modulate));
  device->setTextureStageState(0, TextureStageState::AlphaArg1, static_cast<uint32_t>(TextureArg::TFactor));
  device->setTextureStageState(0, TextureStageState::AlphaArg2, static_cast<uint32_t>(TextureArg::Texture));
  device->setRenderState(RenderState::TextureFactor, 0x40000000);
  setBlend(Blend::SrcAlpha, Blend::One);
  drawRect(-1, -1, 1, 1);
  expectNear(pixel(read(device->backBuffer()), 30, 20), {64, 0, 0, 0});
  texture->release();
}

TEST_F(GlDevice, IndexedDrawFromMeshVertexBuffers) {
  // A quad over the left half in the 64-byte mesh format with 32-bit indices.
  VertexBuffer* vb = nullptr;
  IndexBuffer* ib = nullptr;
  ASSERT_EQ(device->createVertexBuffer(4 * 64, Usage::Dynamic, 0, Pool::SystemMem, &vb), Result::Ok);
  ASSERT_EQ(device->createIndexBuffer(6 * 4, Usage::Dynamic, Format::Index32, Pool::SystemMem, &ib), Result::Ok);
  float* v = nullptr;
  ASSERT_EQ(vb->lock(0, 0, reinterpret_cast<void**>(&v), LockDiscard), Result::Ok);
  const float corners[4][2] = {{-1, 1}, {0, 1}, {0, -1}, {-1, -1}};
  for (int i = 0; i < 4; ++i) {
    std::fill(v + i * 16, v + i * 16 + 16, 0.0f);
    v[i * 16 + 0] = corners[i][0];
    v[i * 16 + 1] = corners[i][1];
  }
  ASSERT_EQ(vb->unlock(), Result::Ok);
  uint32_t* indices = nullptr;
  ASSERT_EQ(ib->lock(0, 0, reinterpret_cast<void**>(&indices), LockDiscard), Result::Ok);
  const uint32_t quad[6] = {0, 1, 2, 2, 3, 0};
  std::copy(quad, quad + 6, indices);
  ASSERT_EQ(ib->unlock(), Result::Ok);

  device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0);
  useFlatColor(0xff00ff00);
  device->setFVF(fvf::MeshVertex);
  device->setStreamSource(0, vb, 0, 64);
  device->setIndices(ib);
  ASSERT_EQ(device->drawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), Result::Ok);
  const Readback r = read(device->backBuffer());
  EXPECT_EQ(pixel(r, 0, 0), kGreen);
  EXPECT_EQ(pixel(r, 31, 47), kGreen);
  EXPECT_EQ(pixel(r, 32, 0), kBlack);

  // Reading the buffers back gives what was written.
  ASSERT_EQ(vb->lock(0, 0, reinterpret_cast<void**>(&v), LockReadOnly), Result::Ok);
  EXPECT_EQ(v[16], 0.0f);
  EXPECT_EQ(v[17], 1.0f);
  vb->unlock();
  EXPECT_EQ(vb->lock(0, 4 * 64 + 1, reinterpret_cast<void**>(&v), 0), Result::InvalidCall);
  vb->release();
  ib->release();
}

TEST_F(GlDevice, ReleasingABoundTargetLeavesNothingDangling) {
  Texture* texture = nullptr;
  ASSERT_EQ(device->createTexture(8, 8, 1, Usage::RenderTarget, Format::A8R8G8B8, Pool::Default, &texture), Result::Ok);
  Surface* surface = nullptr;
  texture->surfaceLevel(0, &surface);
  device->setRenderTarget(0, surface);
  device->setTexture(0, texture);
  device->clear(ClearTarget, 0xffffffff, 1.0f, 0);
  EXPECT_EQ(device->liveObjectCount(), 1u);
  texture->release();
  EXPECT_EQ(device->liveObjectCount(), 0u);

  Surface* current = nullptr;
  ASSERT_EQ(device->getRenderTarget(0, &current), Result::Ok);
  EXPECT_EQ(current, device->backBuffer());
  device->setViewport({0, 0, kWidth, kHeight, 0.0f, 1.0f});
  useFlatColor(0xffff0000);
  EXPECT_EQ(device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0), Result::Ok);
  drawRect(-1, -1, 1, 1);
  EXPECT_EQ(pixel(read(device->backBuffer()), 1, 1), kRed);
}

TEST_F(GlDevice, BadImageBytesFailCleanly) {
  const std::string junk = "this is not an image";
  Texture* texture = reinterpret_cast<Texture*>(1);
  ImageInfo info{7, 7};
  EXPECT_EQ(device->createTextureFromImage(junk.data(), junk.size(), &texture, &info), Result::InvalidData);
  EXPECT_EQ(texture, nullptr);
  EXPECT_EQ(info.width, 7u);
  EXPECT_EQ(device->createTextureFromImage(nullptr, 0, &texture, &info), Result::InvalidData);
  const std::vector<uint8_t> png = encodePng(2, 2, std::vector<uint8_t>(16, 255));
  EXPECT_EQ(device->createTextureFromImage(png.data(), png.size() / 2, &texture, &info), Result::InvalidData);
}

}  // namespace
}  // namespace gfx::testing
