#include "engine/surfaces.h"

#include "app/render_window.h"
#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/fatal_error.h"
#include "engine/gfx_check.h"

namespace velm {

Texture::Texture() : data(new TextureData()) {}

Texture::~Texture() {
  if (data->texture) data->texture->release();
  delete data;
}

gfx::Texture* Texture::getTexture() { return data->texture; }

void Texture::load(const std::string& fileName) {
  if (data->loaded) return;
  const DataFile* file = findDataFile(fileName);
  gfx::Device* device = EngineContext::get().device;
  gfx::Texture* created = nullptr;
  gfx::ImageInfo info;
  if (device) {
    checked(device->createTextureFromImage(file ? file->bytes : nullptr, file ? file->size : 0, &created, &info));
  }
  if (created) {
    gfx::SurfaceDesc level0;
    checked(created->levelDesc(0, &level0));
    data->imageWidth = info.width;
    data->imageHeight = info.height;
    data->textureWidth = level0.width;
    data->textureHeight = level0.height;
    data->uScale = 1.0f;
    data->vScale = 1.0f;
  }
  data->texture = created;
  data->loaded = true;
}

gfx::Texture* RenderTarget::getTexture() { return texture; }

void RenderTarget::create(uint32_t newWidth, uint32_t newHeight, gfx::Format newFormat) {
  if (texture || surface) {
    fatalError(52);
    return;
  }
  format = newFormat;
  width = newWidth;
  height = newHeight;
  // Without a device every member stays null and a later bind reports 113.
  gfx::Device* device = EngineContext::get().device;
  if (!device) return;
  checked(device->createTexture(width, height, 1, gfx::Usage::RenderTarget, format, gfx::Pool::Default, &texture));
  if (texture) checked(texture->surfaceLevel(0, &surface));
  if (!depthSurface) checked(device->createDepthStencilSurface(width, height, gfx::Format::D24S8, &depthSurface));
}

void RenderTarget::bind(uint32_t slot) {
  if (!surface) {
    fatalError(113);
    return;
  }
  if (bound) fatalError(118);  // reported, then bound again over itself
  bound = true;
  index = slot;
  gfx::Device* device = EngineContext::get().device;
  savedSurface = nullptr;
  checked(device->getRenderTarget(index, &savedSurface));
  checked(device->setRenderTarget(index, surface));
  // Secondary outputs share the main target's depth buffer and viewport.
  if (index != 0) return;
  if (depthSurface) {
    savedDepthSurface = nullptr;
    checked(device->getDepthStencilSurface(&savedDepthSurface));
    checked(device->setDepthStencilSurface(depthSurface));
  }
  const gfx::Viewport viewport{0, 0, width, height, 0.0f, 10.0f};
  if (renderWindow) renderWindow->pushViewport(viewport);
  checked(device->setViewport(viewport));
}

void RenderTarget::unbind() {
  if (!bound) {
    fatalError(160);
    return;
  }
  bound = false;
  gfx::Device* device = EngineContext::get().device;
  checked(device->setRenderTarget(index, savedSurface));
  if (index != 0) return;
  if (depthSurface) checked(device->setDepthStencilSurface(savedDepthSurface));
  // Re-applies the viewport below, or the letterboxed default.
  if (renderWindow) renderWindow->popViewport();
}

}  // namespace velm
