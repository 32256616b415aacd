// Compiled effects: the registry that makes one effect object per effect file
// and owns it, and TShader, the small binding through which drawing code picks
// a technique, sets parameters by name and runs passes. Effects are never
// released one by one, and TShader never releases the effect it uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace velm {

class ID3dSurface;
class Scene;

struct EffectEntry {
  std::string name;               // the data-file name, exactly as registered
  gfx::Effect* effect = nullptr;  // null if creation failed
};

class EffectRegistry {
 public:
  // The registry, created empty on first use.
  static EffectRegistry& get();
  // The effect made from the data file `name` (registered beforehand with
  // dataFileName). Made on the first request; a failed creation leaves null
  // and is tried again on the next request.
  static gfx::Effect* load(const std::string& name);
  // Releases every effect, empties the registry and frees it. At shutdown,
  // before the engine context releases the device.
  static void destroy();

  int32_t createdCount = 0;
  std::vector<EffectEntry> entries;  // in creation order

 private:
  EffectRegistry() = default;
};

// One user's binding of a shared effect. With a null effect (missing or
// invalid file) every call is skipped.
class TShader {
 public:
  // `fileName` comes from dataFileName; `technique` must outlive the shader.
  TShader(const std::string& fileName, const char* technique);
  // The same, then with a scene: feeds the effect the scene's time and time
  // step, its depth target and its camera's matrices and planes.
  TShader(const std::string& fileName, const char* technique, Scene* scene);
  // Ends the effect if it was begun.
  virtual ~TShader();
  TShader(const TShader&) = delete;
  TShader& operator=(const TShader&) = delete;

  // Selects the technique and begins the effect, once until end().
  void begin();
  void beginPass(uint32_t pass);
  void endPass();
  void end();

  const char* technique;
  gfx::Effect* effect;  // shared with the registry, not owned
  bool begun = false;
};

// Parameters by name. Values belong to the effect, so every TShader of the
// same file sees them: set all you rely on before each draw.
void setMatrix(TShader& shader, const char* parameterName, const gfx::Matrix4& matrix);
// Binds the surface's texture, or no texture for a null surface.
void setTexture(TShader& shader, const char* parameterName, ID3dSurface* surface);
void setFloat(TShader& shader, const char* parameterName, float value);
void setFloat3(TShader& shader, const char* parameterName, const float values[3]);

}  // namespace velm
