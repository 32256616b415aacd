// The chain scene (music 155 s to the end): twenty chains hanging in a
// rounded room, pushed about by the flying camera, their heads drifting
// together after ten seconds while the statue turns into the drift.
#include "demo/chain_scene.h"

#include <cmath>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "geometry/model_importer.h"
#include "geometry/modifiers.h"
#include "geometry/subdivide.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

namespace velm {

std::vector<ChainParticle> chainParticles;
std::vector<ChainLink> chainLinks;
Vector3 repeller;
float chainTickTime = 0.0f;
float chainStepTime = 0.0f;
bool chainStepping = false;

Scene* chainScene = nullptr;
PerspectiveCamera* chainCamera = nullptr;
INode* chainModel = nullptr;
DummyNode* linkRoot = nullptr;
MeshInstance* roomInstance = nullptr;
Mesh* roomMesh = nullptr;
INode* statueModel = nullptr;
NodePointlight* cameraLight = nullptr;
NodePointlight* headLight = nullptr;

namespace {

ModelImporter* chainImporter = nullptr;

Matrix uniformScale(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
  return m;
}

// Rows x, y, z turned into the upper 3 x 3 block, `at` as the translation:
// the rotation applies first, then the move.
Matrix frameAt(Vector3 x, Vector3 y, Vector3 z, Vector3 at) {
  return Matrix{{{x.x, x.y, x.z, 0.0f}, {y.x, y.y, y.z, 0.0f}, {z.x, z.y, z.z, 0.0f}, {at.x, at.y, at.z, 1.0f}}};
}

Matrix translationTo(Vector3 p) { return translationMatrix(p.x, p.y, p.z); }

float clampToBound(float v) { return v > kChainBound ? kChainBound : v < -kChainBound ? -kChainBound : v; }

// The first child of `node` through its own child cursor.
INode* firstChildOf(INode* node) {
  if (!node) return nullptr;
  node->firstChild();
  return node->nextChild();
}

void setWhite(MeshInstance* instance) {
  if (!instance) return;
  const Colour white{1, 1, 1, 1};
  instance->material.ambient = white;
  instance->material.diffuse = white;
  instance->material.specular = white;
}

}  // namespace

void buildChain(Vector3 base, Vector3 direction, INode* parent, INode* model) {
  const uint32_t start = static_cast<uint32_t>(chainParticles.size());
  const Vector3 drift = normalize(direction) * 0.01f;
  for (int i = 0; i < kChainLength; ++i) {
    ChainParticle p;
    p.position = base + direction * static_cast<float>(i);
    p.pinned = false;
    p.drift = drift;
    p.previous = p.position;
    chainParticles.push_back(p);
  }
  for (uint32_t j = 1; j < static_cast<uint32_t>(kChainLength); ++j) {
    auto* node = new DummyNode();
    node->addChild(model);
    parent->addChild(node);
    chainLinks.push_back(ChainLink{2.5f, start + j - 1, start + j, node});
  }
  chainParticles[start].pinned = true;
}

void orientChainLinks() {
  for (size_t j = 0; j < chainLinks.size(); ++j) {
    const ChainLink& link = chainLinks[j];
    const Vector3 a = chainParticles[link.first].position;
    const Vector3 b = chainParticles[link.second].position;
    const Vector3 d = b - a;
    const Vector3 reference = (j % 2 == 1) ? Vector3{1, 0, 0} : Vector3{0, 0, -1};
    const Vector3 x = cross(d, reference);
    const Vector3 z = cross(d, x);
    if (link.node) link.node->transform = frameAt(normalize(x), normalize(d), normalize(z), (a + b) * 0.5f);
  }
}

void stepChains() {
  for (ChainParticle& p : chainParticles) {
    const Vector3 saved = p.position;
    if (!p.pinned) {
      const Vector3 velocity = (p.position - p.previous) + p.drift;
      p.position = p.position + velocity;
      // Inverse-square push away from the camera. A particle exactly at the
      // repeller (or so close that the push overflows) has no direction to be
      // pushed in and is left where it is; the clamp still bounds it.
      const Vector3 d = p.position - repeller;
      const float distanceSquared = lengthSquared(d);
      if (distanceSquared > 0.0f) {
        const float push = 10.0f / distanceSquared;
        if (std::isfinite(push)) p.position = p.position + normalize(d) * push;
      }
    }
    p.position = {clampToBound(p.position.x), clampToBound(p.position.y), clampToBound(p.position.z)};
    p.previous = saved;
  }

  for (const ChainLink& link : chainLinks) {
    ChainParticle& first = chainParticles[link.first];
    ChainParticle& second = chainParticles[link.second];
    const Vector3 a = first.position;
    const Vector3 b = second.position;
    const Vector3 d = b - a;
    const float k = link.restLength - length(d);
    float m = 0.03f * k * std::fabs(k);
    if (std::fabs(m) > std::fabs(k) / 2.0f) m = m > 0.0f ? 0.5f : -0.5f;
    if (!first.pinned) first.position = first.position + normalize(a - b) * m;
    if (!second.pinned) second.position = second.position + normalize(d) * m;
  }

  orientChainLinks();
}

void buildChainRoom(Mesh& mesh) {
  meshgen::Cube(130.0f, 130.0f, 130.0f).generate(mesh);
  meshmodify::InvertFaces().apply(mesh);
  meshmodify::Subdivide(2, 1).apply(mesh);
  meshmodify::Subdivide(1, 0).apply(mesh);
  meshmodify::Texgen(0, 0.002f).apply(mesh);
  meshmodify::Texgen(1, 0.06f).apply(mesh);
}

Vector3 chainLookAt(Vector3 from) {
  Vector3 sum;
  float weights = 0.0f;
  for (const ChainParticle& p : chainParticles) {
    const float w = 1.0f / lengthSquared(from - p.position);
    // On the particle itself the weight is unbounded: that particle is the limit.
    if (!std::isfinite(w)) return p.position;
    sum = sum + p.position * w;
    weights += w;
  }
  return weights > 0.0f ? sum * (1.0f / weights) : from;
}

Vector3 chainCameraPath(float t) {
  const float h = t / 2.0f;
  return Vector3{std::sin(h), std::sin(0.7f * h) + std::cos(0.9f * h) + std::cos(0.2f * h),
                 std::sin(0.4f * h) + std::cos(h) + std::sin(0.8f * h)} *
         40.0f;
}

float chainSpectrumLevel(const float* bands) {
  if (!bands) return 0.0f;
  float sum = 0.0f;
  for (int i = 32; i < 64; ++i) sum += bands[i];
  return 0.5f * sum;
}

float chainDistortionFactor(float t, float s) { return t < 205.0f ? 0.03f * s : 0.01f; }

void setupChainScene() {
  chainScene = new Scene();
  chainCamera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  chainScene->graph->camera = chainCamera;
  INode& root = chainScene->graph->root;

  // The chain-link model, one node drawn at every link.
  chainImporter = new ModelImporter();
  chainImporter->flipNormals = false;
  chainImporter->bumpFromDiffuse = true;
  chainModel = chainImporter->import("data/chain.x");
  if (chainModel) {
    setWhite(dynamic_cast<MeshInstance*>(firstChildOf(chainModel)));
    chainModel->transform = chainModel->transform * uniformScale(0.3f);
  }

  linkRoot = new DummyNode();
  for (int k = 0; k < kChainCount; ++k) {
    const float x = randomSigned();
    const float y = randomSigned();
    const float z = randomSigned();
    const Vector3 n = normalize(Vector3{x, y, z});
    buildChain(n * 10.0f, n * 5.0f, linkRoot, chainModel);
  }
  root.addChild(linkRoot);
  chainScene->registerLights(linkRoot);

  // The room: a box seen from inside, rounded by subdivision.
  roomInstance = new MeshInstance();
  roomInstance->material.diffuse = Colour{0.002f, 0.002f, 0.002f, 0.002f};
  roomInstance->material.specular = Colour{0.25f, 0.25f, 0.25f, 0.25f};
  roomInstance->material.texture = moonTexture;
  roomInstance->material.normalMap = moonTexture;
  roomMesh = EngineContext::get().createMesh();
  buildChainRoom(*roomMesh);
  roomInstance->addChild(roomMesh);
  root.addChild(roomInstance);
  chainScene->registerLights(roomInstance);

  // The statue, its scale baked into the mesh.
  statueModel = chainImporter->import("data/liberty.x");
  reportProgress();
  Vector3 statueAt;
  if (statueModel) {
    std::vector<INode*> ancestors;
    chainScene->dumpTree(statueModel, 0, ancestors);
    INode* instance = firstChildOf(statueModel);
    if (auto* mesh = dynamic_cast<Mesh*>(firstChildOf(instance))) mesh->transform(uniformScale(0.25f));
    setWhite(dynamic_cast<MeshInstance*>(instance));
    root.addChild(statueModel);
    chainScene->registerLights(statueModel);
    statueAt = translationOf(statueModel->transform);
  }

  cameraLight = new NodePointlight(statueAt.x + 40.0f, statueAt.y + 30.0f, statueAt.z + 10.0f, 6.0f, 1.0f, 250.0f,
                                   1.0f, 1.0f, 1.0f, 1.0f);
  root.addChild(cameraLight);
  chainScene->registerLights(cameraLight);
  headLight = new NodePointlight(statueAt.x - 40.0f, statueAt.y + 30.0f, statueAt.z + 10.0f, 7.0f, 1.0f, 250.0f,
                                 1.0f, 0.1f, 0.1f, 1.0f);
  root.addChild(headLight);
  chainScene->registerLights(headLight);

  chainScene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  chainScene->lighting.velocityScale = 0.1f;
}

void tickChainScene(float dt, float t) {
  chainTickTime += dt;
  Vector3 w;
  if (chainTickTime > 10.0f && !chainParticles.empty()) {
    const float u = 2.5f * t;
    const Vector3 wander{std::cos(0.6f * u) * std::sin(0.4f * u) + std::cos(1.1f * u),
                         std::sin(u) * std::cos(0.2f * u) + std::sin(0.2f * u),
                         std::cos(1.2f * u) + std::cos(0.2f * u)};
    const float m = std::sin(u / 3.0f) * std::cos(u) + std::sin(0.2f * u / 3.0f) + std::sin(0.5f * u / 3.0f);
    w = normalize(wander) * (3.5f * m) - chainParticles[0].position * 0.025f;
  }
  const Vector3 d = lengthSquared(w) <= 1e-10f ? Vector3{0, 1, 0} : w;
  const Vector3 s1 = cross(d, Vector3{1, 1, 1});
  const Vector3 s2 = cross(s1, d);

  Vector3 heads;
  int headCount = 0;
  for (size_t i = 0; i < chainParticles.size(); i += kChainLength) {
    chainParticles[i].position = chainParticles[i].position + w;
    heads = heads + chainParticles[i].position;
    ++headCount;
  }
  if (headCount > 0) heads = heads * (1.0f / static_cast<float>(headCount));

  if (headLight && !chainParticles.empty()) headLight->transform = translationTo(chainParticles[0].position);
  if (statueModel) statueModel->transform = frameAt(normalize(s2), normalize(d), normalize(s1), heads);
}

void renderChainScene(float t) {
  if (!chainStepping) {
    chainStepping = true;
    chainStepTime = t;
  }
  while (t - chainStepTime >= kChainStep) {
    chainStepTime += kChainStep;
    stepChains();
  }

  const float s = chainSpectrumLevel(spectrum);
  const Vector3 lookAt = chainLookAt(repeller);
  repeller = chainCameraPath(t);
  if (cameraLight) cameraLight->transform = translationTo(repeller);
  if (!chainScene) return;

  chainCamera->position = repeller;
  chainCamera->target = lookAt;
  chainCamera->up = Vector3{0, 1, 0};

  SceneLighting& lighting = chainScene->lighting;
  lighting.ambient = Colour{0.1f, 0.1f, 0.1f, 0.1f};
  lighting.diffuse = Colour{4.5f, 4.5f, 4.5f, 4.5f};
  lighting.specular = Colour{3.0f, 3.0f, 3.0f, 3.0f};

  chainScene->render(t);
  // Declared in the order built, so they are destroyed (and their targets go
  // back to the pool) in the reverse: distortion, colour, blur.
  MotionblurEffect blur(chainScene->output(), chainScene->velocityTarget(), chainScene->depthTarget(), 0.01f);
  HSVEffect colour(&blur, 0.0f, 2.0f + 5.0f * s, 1.0f + 2.0f * s);
  blur.render(t);
  colour.render(t);
  MappedDistortionEffect distortion(colour.output(), chainScene->distortionTarget(), chainDistortionFactor(t, s),
                                    0.03f);
  distortion.render(t);
  drawScreenQuad(distortion.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
}

}  // namespace velm
