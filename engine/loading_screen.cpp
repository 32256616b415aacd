#include "engine/loading_screen.h"

#include "app/render_window.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "text/captions.h"
#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/surfaces.h"

namespace velm {

bool loadingInProgress = true;
int32_t progressCounter = 50;
float loadingProgress = 0.0f;
Texture* loadingTexture = nullptr;

namespace {

// Left-handed orthographic projection (row-vector convention) mapping x in
// [-w/2, w/2] and y in [-h/2, h/2] to -1..1 and z in [zn, zf] to 0..1.
gfx::Matrix4 orthoLH(float w, float h, float zn, float zf) {
  gfx::Matrix4 m = gfx::Matrix4::identity();
  m.m[0][0] = 2.0f / w;
  m.m[1][1] = 2.0f / h;
  m.m[2][2] = 1.0f / (zf - zn);
  m.m[3][2] = (0.0f - zn) / (zf - zn);  // -zn/(zf-zn), a plain 0 (not -0) for zn = 0
  return m;
}

}  // namespace

void reportProgress() {
  if (!loadingInProgress || !renderWindow || !loadingTexture) return;
  ++progressCounter;
  if (progressCounter < 50) return;
  progressCounter -= 50;
  loadingProgress += 0.05f;
  gfx::Device* device = EngineContext::get().device;
  if (!device) return;
  checked(device->beginScene());
  clearScreen(0, 0, 0, 0);
  drawScreenQuad(loadingTexture, 1.0f, loadingProgress, gfx::Blend::One, gfx::Blend::SrcAlpha);
  checked(device->endScene());
  checked(device->present());
}

void loadLoadingPicture() { loadingTexture = EngineContext::get().createTexture(dataFileName("loading.jpg")); }

void loadAll() {
  loadLoadingPicture();
  // The set-ups run in this order, which also fixes the sequence of random
  // numbers each one draws.
  setupSharedAssets();
  setupWorkshopScene();
  setupHarmoniumScene();
  setupTownScene();
  setupChainScene();
  setupCaptions();
}

void clearScreen(int alpha, int red, int green, int blue) {
  gfx::Device* device = EngineContext::get().device;
  if (!device) return;
  const uint32_t colour = gfx::argb(static_cast<uint32_t>(alpha), static_cast<uint32_t>(red),
                                    static_cast<uint32_t>(green), static_cast<uint32_t>(blue));
  checked(device->clear(gfx::ClearTarget | gfx::ClearZBuffer, colour, 1.0f, 0));
}

void drawScreenQuad(ID3dSurface* surface, float alpha, float zoom, gfx::Blend destBlend, gfx::Blend srcBlend) {
  gfx::Device* device = EngineContext::get().device;
  if (!device) return;
  using gfx::RenderState;
  using gfx::SamplerState;
  using gfx::TextureStageState;
  auto value = [](auto e) { return static_cast<uint32_t>(e); };

  const gfx::Matrix4 projection = orthoLH(2.0f, 2.0f, 0.0f, 1.0f);
  const gfx::Matrix4 identity = gfx::Matrix4::identity();

  // The picture's aspect ratio: the quad grows by `zoom` in x and by the
  // same amount of picture height in y.
  const gfx::Viewport picture = renderWindow ? renderWindow->defaultViewport() : gfx::Viewport{};
  const float ratio = picture.height ? static_cast<float>(picture.width) / static_cast<float>(picture.height) : 1.0f;
  const float hx = 1.0f + zoom;
  const float hy = 1.0f + zoom / ratio;

  checked(device->setRenderState(RenderState::ZWriteEnable, 0));
  checked(device->setRenderState(RenderState::SrcBlend, value(srcBlend)));
  checked(device->setRenderState(RenderState::DestBlend, value(destBlend)));
  checked(device->setRenderState(RenderState::BlendOp, value(gfx::BlendOp::Add)));
  checked(device->setRenderState(RenderState::AlphaBlendEnable, 1));

  checked(device->setSamplerState(0, SamplerState::AddressU, value(gfx::TextureAddress::Clamp)));
  checked(device->setSamplerState(0, SamplerState::AddressV, value(gfx::TextureAddress::Clamp)));

  checked(device->setTextureStageState(0, TextureStageState::AlphaOp, value(gfx::TextureOp::SelectArg1)));
  checked(device->setTextureStageState(0, TextureStageState::AlphaArg1, value(gfx::TextureArg::TFactor)));

  // Opacity clamped to 0..1 (a NaN counts as 0), in the factor's alpha byte.
  const float clamped = alpha > 1.0f ? 1.0f : (alpha > 0.0f ? alpha : 0.0f);
  const uint32_t opacity = static_cast<uint32_t>(clamped * 255.0f);
  checked(device->setRenderState(RenderState::TextureFactor, opacity << 24));

  if (surface) {
    checked(device->setTextureStageState(0, TextureStageState::ColorOp, value(gfx::TextureOp::SelectArg1)));
    checked(device->setTextureStageState(0, TextureStageState::ColorArg1, value(gfx::TextureArg::Texture)));
    checked(device->setTextureStageState(0, TextureStageState::AlphaOp, value(gfx::TextureOp::Modulate)));
    checked(device->setTextureStageState(0, TextureStageState::AlphaArg1, value(gfx::TextureArg::TFactor)));
    checked(device->setTextureStageState(0, TextureStageState::AlphaArg2, value(gfx::TextureArg::Texture)));
    checked(device->setTexture(0, surface->getTexture()));
    checked(device->setTransform(gfx::TransformType::Projection, projection));
    checked(device->setTransform(gfx::TransformType::View, identity));
    checked(device->setTransform(gfx::TransformType::World, identity));
    checked(device->setSamplerState(0, SamplerState::MagFilter, value(gfx::TextureFilter::Linear)));
    checked(device->setSamplerState(0, SamplerState::MinFilter, value(gfx::TextureFilter::Linear)));
    checked(device->setRenderState(RenderState::ZWriteEnable, 1));
  }

  checked(device->setRenderState(RenderState::CullMode, value(gfx::Cull::None)));
  checked(device->setFVF(gfx::fvf::ScreenQuad));
  const float vertices[6][5] = {
      {-hx, -hy, 0, 0, 1}, {-hx, hy, 0, 0, 0}, {hx, hy, 0, 1, 0},
      {hx, hy, 0, 1, 0},   {hx, -hy, 0, 1, 1}, {-hx, -hy, 0, 0, 1},
  };
  checked(device->drawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, vertices, sizeof vertices[0]));
}

}  // namespace velm
