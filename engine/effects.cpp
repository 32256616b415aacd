#include "engine/effects.h"

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "scene/camera.h"
#include "scene/scene.h"

namespace velm {
namespace {

EffectRegistry* registry = nullptr;

}  // namespace

EffectRegistry& EffectRegistry::get() {
  if (!registry) {
    registry = new EffectRegistry();
    reportProgress();
  }
  return *registry;
}

gfx::Effect* EffectRegistry::load(const std::string& name) {
  EffectRegistry& self = get();
  size_t found = self.entries.size();
  for (size_t i = 0; i < self.entries.size(); ++i) {
    if (self.entries[i].name == name) {
      found = i;
      break;
    }
  }
  if (found < self.entries.size() && self.entries[found].effect) return self.entries[found].effect;

  ++self.createdCount;
  const DataFile* file = findDataFile(name);
  gfx::Effect* effect = nullptr;
  if (gfx::Device* device = EngineContext::get().device)
    checked(device->createEffect(file ? file->bytes : nullptr, file ? file->size : 0, &effect));
  if (found < self.entries.size())
    self.entries[found].effect = effect;
  else
    self.entries.push_back({name, effect});
  reportProgress();
  return effect;
}

void EffectRegistry::destroy() {
  if (!registry) return;
  for (EffectEntry& entry : registry->entries)
    if (entry.effect) entry.effect->release();
  registry->entries.clear();
  registry->createdCount = 0;
  delete registry;
  registry = nullptr;
}

TShader::TShader(const std::string& fileName, const char* techniqueName)
    : technique(techniqueName), effect(EffectRegistry::load(fileName)) {}

TShader::TShader(const std::string& fileName, const char* techniqueName, Scene* scene)
    : TShader(fileName, techniqueName) {
  if (!scene) return;
  const SceneGraph& graph = *scene->graph;
  setFloat(*this, "deltaTime", graph.deltaTime);
  setFloat(*this, "time", graph.time);
  setTexture(*this, "depthTex", graph.depthTarget);
  if (const PerspectiveCamera* camera = graph.camera) {
    const Matrix projection = camera->projection();
    setMatrix(*this, "viewProjection", camera->view() * projection);
    setMatrix(*this, "projection", projection);
    setMatrix(*this, "projectionInv", inverse(projection));
    if (!camera->isOrthographic()) {
      setFloat(*this, "z_far", camera->farPlane);
      setFloat(*this, "z_near", camera->nearPlane);
    }
  }
}

TShader::~TShader() {
  if (begun && effect) checked(effect->end());
  begun = false;
}

void TShader::begin() {
  if (begun || !effect) return;
  checked(effect->setTechnique(technique));
  uint32_t passCount = 0;  // not used: every technique is drawn with pass 0
  checked(effect->begin(&passCount, 0));
  begun = true;
}

void TShader::beginPass(uint32_t pass) {
  if (effect) checked(effect->beginPass(pass));
}

void TShader::endPass() {
  if (effect) checked(effect->endPass());
}

void TShader::end() {
  if (!begun || !effect) return;
  checked(effect->end());
  begun = false;
}

void setMatrix(TShader& shader, const char* parameterName, const gfx::Matrix4& matrix) {
  if (shader.effect) checked(shader.effect->setMatrix(parameterName, matrix));
}

void setTexture(TShader& shader, const char* parameterName, ID3dSurface* surface) {
  if (shader.effect) checked(shader.effect->setTexture(parameterName, surface ? surface->getTexture() : nullptr));
}

void setFloat(TShader& shader, const char* parameterName, float value) {
  if (shader.effect) checked(shader.effect->setFloat(parameterName, value));
}

void setFloat3(TShader& shader, const char* parameterName, const float values[3]) {
  if (shader.effect) checked(shader.effect->setFloatArray(parameterName, values, 3));
}

}  // namespace velm
