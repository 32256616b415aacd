#include "scene/mesh_instance.h"

#include <set>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "scene/camera.h"
#include "scene/scene.h"

namespace velm {

SolidDrawContext& SolidDrawContext::get() {
  static SolidDrawContext* context = new SolidDrawContext();
  return *context;
}

MeshInstance::MeshInstance(Mesh* mesh) { addChild(mesh); }

BoundingBox MeshInstance::bounds() {
  box.minimum = {10000.0f, 10000.0f, 10000.0f};
  box.maximum = {-10000.0f, -10000.0f, -10000.0f};
  return box;
}

namespace {

// Effect calls the engine's free functions do not cover; like them they are
// skipped when the effect is missing and ignore failures.
void setVector(TShader& shader, const char* name, const Colour& c) {
  const float v[4] = {c.r, c.g, c.b, c.a};
  if (shader.effect) checked(shader.effect->setVector(name, v));
}
void setInt(TShader& shader, const char* name, int32_t value) {
  if (shader.effect) checked(shader.effect->setInt(name, value));
}
void setBool(TShader& shader, const char* name, bool value) {
  if (shader.effect) checked(shader.effect->setBool(name, value));
}
void setFloatArray(TShader& shader, const char* name, const float* values, uint32_t count) {
  if (shader.effect) checked(shader.effect->setFloatArray(name, values, count));
}

Colour times(const Colour& a, const Colour& b) { return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a}; }
Colour scaled(const Colour& a, float s) { return {a.r * s, a.g * s, a.b * s, a.a * s}; }

void setState(gfx::Device* device, gfx::RenderState state, uint32_t value) {
  if (device) checked(device->setRenderState(state, value));
}

// An effect file no set-up registered is read into the data-file cache when
// a draw first needs it. A file found nowhere is reported once, not on every
// frame; its draws then run with no effect.
void registerEffectFile(const std::string& name) {
  static std::set<std::string> missing;
  if (findDataFile(name) || missing.count(name)) return;
  registerDataFile(name);
  if (!findDataFile(name)) missing.insert(name);
}

}  // namespace

void MeshInstance::render(const Matrix& parentWorld) {
  if (!visible) return;
  SolidDrawContext& context = SolidDrawContext::get();
  Scene* scene = context.scene;
  const SceneLighting lighting = scene ? scene->lighting : SceneLighting{};
  SceneGraph* graph = scene ? scene->graph : nullptr;
  gfx::Device* device = EngineContext::get().device;
  const Material& m = material;

  // B1: the binding lives until the end of this draw.
  const std::string effectFile = m.effectFile.empty() ? std::string("SolidObject.fxo") : m.effectFile;
  const char* technique = m.technique.empty() ? "SolidObject" : m.technique.c_str();
  registerEffectFile(effectFile);
  TShader shader(effectFile, technique, scene);
  context.binding = &shader;

  // B2 to B7: material, textures and the directional light.
  setVector(shader, "material.ambient", times(lighting.ambient, m.ambient));
  setVector(shader, "material.diffuse", times(lighting.diffuse, m.diffuse));
  setVector(shader, "material.specular", times(lighting.specular, m.specular));
  setFloat(shader, "material.specularPower", m.specularPower);
  setFloat(shader, "deltaTime", graph ? graph->deltaTime : 0.0f);
  setFloat(shader, "time", graph ? graph->time : 0.0f);
  if (m.lightBleed != 0.0f) {
    setFloat(shader, "material.lightBleed", m.lightBleed);
    setBool(shader, "material.lightBleedEnabled", true);
  } else {
    setBool(shader, "material.lightBleedEnabled", false);
  }
  setFloat(shader, "material.limitIllumination", m.limitIllumination);
  setVector(shader, "environmentAmbient", Colour{0, 0, 0, 0});
  setTexture(shader, "tex", m.texture);
  if (m.normalMap) {
    setBool(shader, "enableNormalmap", true);
    setTexture(shader, "normalmap", m.normalMap);
  } else {
    setBool(shader, "enableNormalmap", false);
  }
  setFloat(shader, "material.bumpiness", m.bumpiness);
  setInt(shader, "blendMode", m.blendMode);
  setFloat(shader, "blendFactor", m.blendFactor);
  if (m.receivesDirectional && lighting.directionalEnabled && m.lit) {
    const float direction[3] = {lighting.direction.x, lighting.direction.y, lighting.direction.z};
    setFloatArray(shader, "directionallight.dir", direction, 3);
    setVector(shader, "directionallight.color", scaled(lighting.directionalColour, lighting.directionalIntensity));
    setBool(shader, "enableDirectionallight", true);
  } else {
    setBool(shader, "enableDirectionallight", false);
  }

  // B8: the extra outputs; targets other than 0 keep the current viewport.
  RenderTarget* velocity = graph ? graph->velocityTarget : nullptr;
  if (velocity) {
    setFloat(shader, "velocityScale", lighting.velocityScale);
    velocity->bind(1);
  }
  if (graph) {
    graph->distortionTarget->bind(3);
    graph->depthTarget->bind(2);
  }

  // B9: point lights, named with one character per index.
  if (m.lit && graph) {
    setInt(shader, "pointLightAmount", static_cast<int32_t>(graph->frameLights.size()));
    int i = 0;
    for (const auto& [light, world] : graph->frameLights) {
      const std::string prefix = std::string("pointLight[") + static_cast<char>('0' + i) + "].";
      const Vector3 p = translationOf(world);
      setVector(shader, (prefix + "position").c_str(), Colour{p.x, p.y, p.z, 1.0f});
      setVector(shader, (prefix + "color").c_str(), scaled(light->colour, light->intensity));
      setFloat(shader, (prefix + "power").c_str(), light->power);
      setFloat(shader, (prefix + "intensity").c_str(), light->intensity);
      ++i;
    }
  } else {
    setInt(shader, "pointLightAmount", 0);
  }

  // B10: blending for blend modes 1 and 2; depth test and writes on.
  if (m.blendMode == 1 || m.blendMode == 2) {
    setState(device, gfx::RenderState::AlphaBlendEnable, 1);
    setState(device, gfx::RenderState::SrcBlend, static_cast<uint32_t>(gfx::Blend::SrcAlpha));
    setState(device, gfx::RenderState::DestBlend,
             static_cast<uint32_t>(m.blendMode == 1 ? gfx::Blend::One : gfx::Blend::InvSrcAlpha));
    setState(device, gfx::RenderState::BlendOp, static_cast<uint32_t>(gfx::BlendOp::Add));
  } else {
    setState(device, gfx::RenderState::AlphaBlendEnable, 0);
  }
  setState(device, gfx::RenderState::ZEnable, 1);
  setState(device, gfx::RenderState::ZWriteEnable, 1);

  // B11, B12.
  shader.begin();
  shader.beginPass(0);

  drawSubtree(parentWorld, this);

  // E1 to E3.
  shader.endPass();
  shader.end();
  if (velocity) velocity->unbind();
  if (graph) {
    graph->distortionTarget->unbind();
    graph->depthTarget->unbind();
  }
  context.binding = nullptr;
}

void MeshInstance::drawSubtree(const Matrix& parentWorld, INode* node) {
  const Matrix world = node->localTransform() * parentWorld;
  for (INode* child : node->children) drawSubtree(world, child);
  SolidDrawContext& context = SolidDrawContext::get();
  context.worldStack.push_back(parentWorld);
  if (auto* mesh = dynamic_cast<Mesh*>(node)) {
    if (material.lit) {
      mesh->refreshNormals();
      if (material.normalMap) mesh->refreshTangents();
    }
    setMeshMatrices(mesh);
    if (context.binding && context.binding->effect) checked(context.binding->effect->commitChanges());
    mesh->draw();
  }
  context.worldStack.pop_back();
}

void MeshInstance::setMeshMatrices(INode* mesh) {
  SolidDrawContext& context = SolidDrawContext::get();
  TShader& shader = *context.binding;
  SceneGraph* graph = context.scene ? context.scene->graph : nullptr;
  const PerspectiveCamera* camera = graph ? graph->camera : nullptr;
  const Matrix view = camera ? camera->view() : Matrix::identity();
  const Matrix viewProjection = camera ? view * camera->projection() : Matrix::identity();

  Matrix world = mesh->localTransform();
  if (!context.worldStack.empty()) world = world * context.worldStack.back();
  const Matrix worldViewProjection = world * viewProjection;
  setMatrix(shader, "worldViewProjection", worldViewProjection);
  setMatrix(shader, "worldViewProjInv", inverse(worldViewProjection));
  setMatrix(shader, "world", world);
  setMatrix(shader, "viewProjection", viewProjection);
  setMatrix(shader, "worldView", world * view);
  setMatrix(shader, "worldInv", inverse(world));

  // The instance's motion since the previous history update; every mesh of
  // the instance shares it. A path never recorded reads identity - identity.
  if (graph) {
    const Matrix current = graph->currentTransforms[graph->currentKey];
    const Matrix previous = graph->previousTransforms[graph->currentKey];
    setMatrix(shader, "velocityTransform", difference(current, previous));
  }

  // Mirroring transforms turn the screen winding over; keep their front faces.
  const gfx::Cull cull = determinant3x3(worldViewProjection) >= 0.0f ? gfx::Cull::CCW : gfx::Cull::CW;
  setState(EngineContext::get().device, gfx::RenderState::CullMode, static_cast<uint32_t>(cull));
}

}  // namespace velm
