// The two kinds of GPU surface the engine draws with: textures loaded from
// data files and render targets that bind themselves in place of the current
// target and restore it afterwards. Both are made and freed only by the engine
// context; nothing here owns a device or keeps a list of surfaces.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gfx/device.h"

namespace velm {

// What drawing code binds: the texture behind a surface (null if its creation failed).
class ID3dSurface {
 public:
  virtual gfx::Texture* getTexture() = 0;

 protected:
  ID3dSurface() = default;
  ~ID3dSurface() = default;
  ID3dSurface(const ID3dSurface&) = delete;
  ID3dSurface& operator=(const ID3dSurface&) = delete;
};

struct TextureData {
  gfx::Texture* texture = nullptr;  // null until loaded, or if loading failed
  bool loaded = false;              // loading never runs twice
  uint32_t imageWidth = 0;          // size of the picture in the file
  uint32_t imageHeight = 0;
  uint32_t textureWidth = 0;        // size of the created level 0
  uint32_t textureHeight = 0;
  float uScale = 0.0f;              // 1.0 once loaded
  float vScale = 0.0f;
};

class Texture : public ID3dSurface {
 public:
  Texture();
  gfx::Texture* getTexture() override;
  // Releases the device texture and frees the data record.
  virtual ~Texture();

  // Creates the device texture (full mip chain) from the cached data file of
  // that name. Runs once; a missing or undecodable file leaves a null texture.
  void load(const std::string& fileName);

  TextureData* data;
};

// A colour texture of one level with its own D24S8 depth surface. Binding to
// slot 0 also swaps the depth surface and pushes a viewport of the target's
// size; other slots change only their colour target. Binds nest when targets
// are unbound in the reverse order of binding.
class RenderTarget final : public ID3dSurface {
 public:
  gfx::Texture* getTexture() override;

  void create(uint32_t width, uint32_t height, gfx::Format format);
  void bind(uint32_t index);
  void unbind();

  uint32_t width = 0;
  uint32_t height = 0;
  bool bound = false;
  gfx::Format format = gfx::Format::Unknown;
  gfx::Surface* surface = nullptr;            // level 0 of `texture`, borrowed from it
  gfx::Surface* depthSurface = nullptr;       // owned
  gfx::Surface* savedSurface = nullptr;       // the slot's target before bind (borrowed)
  gfx::Surface* savedDepthSurface = nullptr;  // the depth surface before bind (borrowed)
  uint32_t index = 0;
  gfx::Texture* texture = nullptr;            // owned
};

}  // namespace velm
