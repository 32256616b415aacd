// The harmonium scene (music 128.5 to 155 s): an imported reed organ in the
// middle, twenty spinning knots, sixteen swaying pipes breathing smoke and six
// whipping chains around it, all placed by a layout reseeded every frame and
// moved by the time and a pulse that jumps on bass hits. The camera circles
// and strobes between two distances on loud frames; the organ's ball and
// strings are drawn through a lens that widens with the pulse. Captions show
// through the shared overlay scene; the picture goes through a colour boost
// and motion blur.
#include "demo/harmonium_scene.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "demo/timeline.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "particles/scene_particles.h"
#include "post/hsv_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "text/glyph_font.h"

namespace velm {
namespace harmonium {

namespace {

Objects state;

Matrix scaling(float x, float y, float z) {
  Matrix m = Matrix::identity();
  m.m[0][0] = x;
  m.m[1][1] = y;
  m.m[2][2] = z;
  return m;
}

Matrix uniformScaling(float s) { return scaling(s, s, s); }

Colour all(float v) { return {v, v, v, v}; }

// The rows of an orientation: three direction vectors and the homogeneous row.
Matrix rows(Vector3 a, Vector3 b, Vector3 c) {
  Matrix m = Matrix::identity();
  const Vector3 r[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    m.m[i][0] = r[i].x;
    m.m[i][1] = r[i].y;
    m.m[i][2] = r[i].z;
  }
  return m;
}

// The lolo's placement from the first three draws of its layout.
Vector3 loloPosition(float x1, float x2, float x3) {
  return {4.0f * (x3 - 1.0f), 4.0f * 2.0f * (x2 - 1.0f) / 3.0f, 4.0f * (x1 - 1.0f)};
}

// The pipe's foot from the first three draws of its layout.
Vector3 pipePosition(float x1, float x2, float x3) {
  const float r1 = 0.4f * (x1 - 1.0f), r2 = x2 / 3.0f, r3 = 0.4f * (x3 - 1.0f);
  return {4.5f * r3, 4.5f * r2, 4.5f * r1};
}

// A chain of `links` link nodes below `head`; returns link 0. Every link but
// the last carries a block and, through a joint 8.2 units along x, the next link.
DummyNode* buildChain(DummyNode* head, int links) {
  auto* first = new DummyNode();
  head->addChild(first);
  DummyNode* link = first;
  for (int j = 0; j + 1 < links; ++j) {
    if (sharedBlockModel) link->addChild(sharedBlockModel);
    auto* joint = new DummyNode();
    joint->transform = translationMatrix(8.2f, 0.0f, 0.0f);
    link->addChild(joint);
    auto* next = new DummyNode();
    joint->addChild(next);
    link = next;
  }
  return first;
}

}  // namespace

Objects& objects() { return state; }

float bassSum(const float* bands) {
  if (!bands) return 0.0f;
  float sum = 0.0f;
  for (int k = 0; k < 25; ++k) sum += static_cast<float>(25 - k) * bands[k];
  return sum;
}

float nextPulse(float pulse, float bass) {
  if (bass >= 30.0f) pulse += 0.5f;
  return pulse > 0.5f ? pulse / 1.2f : 0.5f;
}

Vector3 orbitPosition(float t, int strobe) {
  const float k = strobe == 0 ? 2.0f : 1.0f;
  const float t2 = 0.2f * t;
  const float r = 8.0f + 3.0f * std::sin(0.4f * t2);
  return {k * r * std::sin(t2), 1.5f * k * r * std::sin(t2), k * r * std::cos(t2)};
}

float layoutDraw() { return static_cast<float>(randomInt() % 20000) / 10000.0f; }

Vector3 orbitCamera(float t, float bass) {
  if (bass > 20.0f) state.strobe = 1 - state.strobe;
  return orbitPosition(t, state.strobe);
}

void lightScene() {
  SceneLighting& lighting = state.harmoniumScene->lighting;
  lighting.ambient = all(0.1f);
  lighting.diffuse = all(0.5f);
  lighting.specular = all(1.0f);
}

void placeLens(float t, float aspect) {
  const float q = (state.pulse - 0.4f) * (state.pulse - 0.4f);
  const float u = (std::sin(q) + 1.0f) * 0.5f;
  const float v = (std::cos(t) + 1.0f) * 0.5f;
  const float lens = 4.0f * q;
  const Matrix unproject = inverse(state.harmoniumCamera->projection());
  const Matrix ballTransform = uniformScaling(14.0f) * translationMatrix(0.0f, -5.0f * lens, 0.0f) *
                               perspectiveMatrix(lens, aspect, 0.0f, 100.0f) * unproject;
  if (MeshInstance* ball = state.ball) {
    Material& m = ball->material;
    m.ambient = {100.0f * q, 100.0f * q * u, 100.0f * q * v, 100.0f * q};
    m.diffuse = {20.0f, 20.0f * u, 20.0f * v, 20.0f};
    m.specular = {200.0f, 200.0f * u, 200.0f * v, 200.0f};
    m.bumpiness = 1000.0f;
    ball->transform = ballTransform;
  }
  if (MeshInstance* strings = state.strings) {
    strings->material.ambient = all(lens);
    strings->transform = lens > 2.5f ? ballTransform
                                     : translationMatrix(0.0f, -5.0f * lens, 0.0f) * uniformScaling(14.0f) *
                                           perspectiveMatrix(2.5f, aspect, 0.0f, 100.0f) * unproject;
  }
}

void animateChain(INode* start, float r, float x, float pulse) {
  INode* link = start;
  for (int j = 0; link; ++j) {
    const float theta1 = 0.3f * r * static_cast<float>(j) + 2.28f * x;
    const float theta2 = -2.28f * x - 0.2f * r * static_cast<float>(j);
    link->transform = rotationZ(std::sin(theta2) * pulse) * rotationY(std::sin(theta1) * pulse);
    if (link->children.size() < 2) break;
    INode* joint = *std::next(link->children.begin());
    link = joint->children.empty() ? nullptr : joint->children.front();
  }
}

void placeStructure(float t) {
  seedRandom(kLayoutSeed);
  for (DummyNode* carrier : state.loloCarriers) {
    float x[8];
    for (float& value : x) value = layoutDraw();
    const Vector3 position = loloPosition(x[0], x[1], x[2]);
    const float a1 = 6.28f * (x[3] - 1.0f);
    const float a2 = 6.28f * (x[4] - 1.0f);
    const float s = 0.02f * (x[5] + 1.0f);
    const float a3 = 6.28f * (x[7] - 1.0f) + 10.0f * t * (x[6] - 1.0f) + 2.0f * state.pulse;
    carrier->transform = rotationY(a3) * uniformScaling(s) * rotationX(a2) * rotationY(a1) *
                         translationMatrix(position.x, position.y, position.z);
  }
  for (DummyNode* carrier : state.pipeCarriers) {
    float x[5];
    for (float& value : x) value = layoutDraw();
    const Vector3 p = pipePosition(x[0], x[1], x[2]);
    const Vector3 target{p.x, 3.0f + 0.5f * std::sin((x[3] - 1.0f) + 3.0f * t), p.z};
    const Vector3 e1 = cross(p, Vector3{1.0f, 1.0f, 1.0f});
    const Vector3 e3 = cross(e1, target);
    const Matrix orientation = rows(normalize(e1), normalize(target), normalize(e3));
    const float wide = 1.0f + 0.4f * x[4];
    carrier->transform = scaling(wide, x[4], wide) * orientation * translationMatrix(p.x, p.y, p.z);
  }
  for (DummyNode* start : state.chainStarts) {
    const float r = layoutDraw() - 1.0f;
    animateChain(start, r, 5.0f * t, state.pulse);
  }
}

void showCaption(float phase) {
  // The phase stays below 2.62 while the scene runs; the clamp only guards the table.
  const int i = std::clamp(static_cast<int>(phase), 0, kCaptionCount - 1);
  const float f = phase - static_cast<float>(i);
  Scene& overlay = *overlayScene;
  if (!overlay.findNode(kCaptionTexts[static_cast<size_t>(i)])) {
    for (int j = 0; j < kCaptionCount; ++j) {
      if (j != i && overlay.findNode(kCaptionTexts[static_cast<size_t>(j)]))
        overlay.graph->root.removeChild(state.captionNodes[static_cast<size_t>(j)]);
    }
    DummyNode* shown = state.captionNodes[static_cast<size_t>(i)];
    overlay.graph->root.addChild(shown);
    overlay.registerLights(shown);
  }
  state.captionNodes[static_cast<size_t>(i)]->transform =
      scaling(0.04f, 0.04f, 0.001f) * translationMatrix(0.0f, 0.17f * (10.0f * static_cast<float>(i) - 15.0f), 0.0f);
  const float x = 70.0f * f - 10.0f;
  overlayCamera->position = {x, 0.0f, -5.0f};
  overlayCamera->target = {x, 0.0f, 0.0f};
  overlayCamera->up = {0.0f, 1.0f, 0.0f};
}

}  // namespace harmonium

using harmonium::state;

void setupHarmoniumScene() {
  using namespace harmonium;
  state = Objects{};
  // Everything here hangs on the shared assets, which the loader sets up
  // first; without them the scene stays empty and its tick and frame do nothing.
  if (!sharedImporter || !scriptFont || !overlayScene || !overlayCamera || !overlayLight) {
    reportProgress();
    return;
  }
  state.harmoniumScene = new Scene();
  state.harmoniumCamera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  state.harmoniumScene->graph->camera = state.harmoniumCamera;
  state.harmoniumScene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  state.harmoniumScene->lighting.velocityScale = 0.1f;

  for (size_t i = 0; i < kCaptionTexts.size(); ++i)
    state.captionNodes[i] = createTextNode(*scriptFont, kCaptionTexts[i], {32.0f, 0.0f, 0.0f}, captionMaterial);

  sharedImporter->bumpFromDiffuse = true;
  state.harmoniumModel = sharedImporter->import("data/harmonia.x");
  if (state.harmoniumModel) {
    state.harmoniumModel->transform = scaling(14.0f, 14.0f, 14.0f);
    state.strings = dynamic_cast<MeshInstance*>(state.harmoniumModel->find("langat"));
    state.ball = dynamic_cast<MeshInstance*>(state.harmoniumModel->find("pallo"));
  }
  if (MeshInstance* strings = state.strings) {
    Material& m = strings->material;
    m.ambient = {1.5f, 1.5f, 1.5f, 1.0f};
    m.diffuse = {400.0f, 400.0f, 400.0f, 400.0f};
    m.specular = {1000.0f, 1000.0f, 1000.0f, 1000.0f};
    m.specularPower = 1000.0f;
    m.lightBleed = 100.0f;
    m.normalMap = m.texture;
    m.bumpiness = 1000.0f;
  }

  state.smoke = new Ef2::SPSystem(kSmokeCapacity, particleTexture);

  state.structureRoot = new DummyNode();
  seedRandom(kLayoutSeed);
  for (DummyNode*& carrier : state.loloCarriers) {
    carrier = new DummyNode();
    if (loloModel) carrier->addChild(loloModel);
    float x[6];
    for (float& value : x) value = layoutDraw();
    const Vector3 position = loloPosition(x[0], x[1], x[2]);
    const float s = 0.02f * (x[5] + 1.0f);
    carrier->transform = uniformScaling(s) * rotationX(6.28f * (x[4] - 1.0f)) * rotationY(6.28f * (x[3] - 1.0f)) *
                         translationMatrix(position.x, position.y, position.z);
    state.structureRoot->addChild(carrier);
  }
  for (size_t i = 0; i < state.pipeCarriers.size(); ++i) {
    auto* carrier = new DummyNode();
    if (pipeModel) carrier->addChild(pipeModel);
    auto* spawner = new SavuParticleSpawner(state.smoke);
    spawner->transform = translationMatrix(0.0f, 3.4f, 0.0f);
    carrier->addChild(spawner);
    float x[4];
    for (float& value : x) value = layoutDraw();
    const Vector3 p = pipePosition(x[0], x[1], x[2]);
    carrier->transform = translationMatrix(p.x, p.y, p.z);
    state.structureRoot->addChild(carrier);
    state.pipeCarriers[i] = carrier;
    state.spawners[i] = spawner;
  }
  for (size_t i = 0; i < state.chains.size(); ++i) {
    auto* head = new DummyNode();
    const float x1 = layoutDraw(), x2 = layoutDraw(), x3 = layoutDraw();
    const float a = x1 - 1.0f, b = x2 / -3.0f, c = x3 - 1.0f;
    head->transform = rotationZ(-1.57f) * uniformScaling(0.5f) * translationMatrix(4.5f * a, 4.5f * b, 4.5f * c);
    state.structureRoot->addChild(head);
    state.chains[i] = head;
    state.chainStarts[i] = buildChain(head, kLinksPerChain);
  }

  state.light1 = new NodePointlight(0, 0, 0, 15.0f, 2.0f, 20.0f, 1.0f, 1.0f, 1.0f, 1.0f);
  state.light2 = new NodePointlight(10.0f, -4.0f, 2.0f, 15.0f, 2.0f, 20.0f, 0.5f, 0.2f, 0.3f, 1.0f);

  Scene& scene = *state.harmoniumScene;
  for (INode* child : {state.harmoniumModel, static_cast<INode*>(state.light1), static_cast<INode*>(state.light2),
                       static_cast<INode*>(state.structureRoot), static_cast<INode*>(state.smoke)}) {
    if (!child) continue;
    scene.graph->root.addChild(child);
    scene.registerLights(child);
  }
  reportProgress();
}

void tickHarmoniumScene(float t) {
  if (!state.harmoniumScene) return;
  if (!state.ticked) {
    state.ticked = true;
    state.lastTickTime = t;
  }
  const float dt = t - state.lastTickTime;
  state.lastTickTime = t;
  state.harmoniumScene->tick(dt);
  overlayScene->tick(dt);
  state.pulse = harmonium::nextPulse(state.pulse, harmonium::bassSum(spectrum));
}

void renderHarmoniumScene(float t) {
  using namespace harmonium;
  if (!state.harmoniumScene) return;
  gfx::Device* device = EngineContext::get().device;
  const float bass = bassSum(spectrum);

  const Vector3 eye = orbitCamera(t, bass);  // the camera moves there after the overlay renders
  lightScene();
  gfx::Viewport viewport{};
  checked(device->getViewport(&viewport));
  const float aspect =
      viewport.height ? static_cast<float>(viewport.width) / static_cast<float>(viewport.height) : 16.0f / 9.0f;
  placeLens(t, aspect);
  placeStructure(t);

  showCaption(harmoniumPhase);
  setTranslation(overlayLight->transform, 9.0f * std::sin(9.0f * t), bass, 56.0f * std::cos(7.4f * t));
  overlayScene->render(t);

  state.harmoniumCamera->position = eye;
  state.harmoniumCamera->target = translationOf(state.structureRoot->transform);
  state.harmoniumCamera->up = {0.0f, 1.0f, 0.0f};
  state.light1->transform = translationMatrix(eye.x, eye.y, eye.z);
  state.harmoniumScene->render(t);

  checked(device->beginScene());
  HSVEffect hsv(state.harmoniumScene, 0.0f, 2.0f, 1.1f);
  hsv.render(t);
  MotionblurEffect blur(hsv.output(), state.harmoniumScene->velocityTarget(), state.harmoniumScene->depthTarget(), 0.8f);
  blur.render(t);
  drawScreenQuad(blur.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  drawScreenQuad(overlayScene->output(), 1.0f, 0.0f, gfx::Blend::InvSrcAlpha, gfx::Blend::SrcAlpha);
  checked(device->endScene());
}

}  // namespace velm
