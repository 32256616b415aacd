// The town scene (music 0 to 52 s): under a huge teapot sky a town lies on
// the ground while a mobile drifts slowly along its own axis, trailing smog
// from its "Dummy01" node and carrying the "2008" text; a chrome text twists
// to the music. The camera flies two Catmull-Rom paths for 32 s and then
// holds its place while its look-at point keeps circling. The frame fades in
// through an HSV pass, blurs along the scene's own picture and distorts twice
// by the top of the spectrum.
#include "demo/town_scene.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "particles/scene_particles.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/catmull_rom_path.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "text/glyph_font.h"

namespace velm {

Scene* townScene = nullptr;
PerspectiveCamera* townCamera = nullptr;
INode* skyModel = nullptr;
INode* ostrelModel = nullptr;
DummyNode* yearText = nullptr;
INode* mobileModel = nullptr;
INode* townModel = nullptr;
INode* lampsModel = nullptr;
NodePointlight* townLights[2] = {nullptr, nullptr};
TShader* twirlShader = nullptr;
CatmullRomPath* cameraPath = nullptr;
CatmullRomPath* targetPath = nullptr;
Texture* smogTexture = nullptr;
ParticleSystem2* townParticles = nullptr;

namespace {

constexpr const char* kTwirlTechnique = "TwirlObject";

std::optional<float> previousTickTime;  // unset until the first tick

Matrix scaling(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = s;
  m.m[1][1] = s;
  m.m[2][2] = s;
  return m;
}

MeshInstance* instanceNamed(INode* model, const std::string& name) {
  return model ? dynamic_cast<MeshInstance*>(model->find(name)) : nullptr;
}

// "Plane0%i" and the like, for the single digits the models use.
std::string numberedName(const char* format, int i) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, i);
  return buffer;
}

void addToScene(INode* node) {
  if (!node) return;
  townScene->graph->root.addChild(node);
  townScene->registerLights(node);
}

}  // namespace

SmogLook smogLook(float lowBand) {
  const float e = lowBand * lowBand;
  return {3.0f * e + 10.0f, 0.45f * e + 0.35f};
}

TownCameraPose townCameraPose(const CatmullRomPath& cameraCurve, const CatmullRomPath& targetCurve, float t) {
  // Both paths are flown in 32 s; evaluate clamps, so they rest at the end.
  const float u = t * 0.03125f;
  const Vector3 p = cameraCurve.evaluate(u);
  const float targetHeight = targetCurve.evaluate(u).x;
  const float angle = 0.4f * p.x;
  return {{p.y * std::sin(angle), p.z, p.y * std::cos(angle)},
          {2.4f * std::cos(0.01f * t), targetHeight, 1.4f * std::sin(0.014f * t)}};
}

float twirlFalloff(float t) { return 48.0f - t < 0.1f ? 0.1f : (48.0f - t) / 26.0f; }

float townFadeValue(float t) { return t < 10.0f ? 0.9f * t / 10.0f : 0.9f; }

TownDistortion townDistortion(float t, const float* bands) {
  float s = 0.0f;
  for (int i = 52; i < kSpectrumBands; ++i) s += bands[i];
  const float b = t > 47.0f ? (t - 47.0f) * 0.002f : 0.0f;
  const float k = s * 0.01f;
  return {k + b, 0.5f * b - k};
}

void setupTownScene() {
  cameraPath = new CatmullRomPath({6.75f, 19.5f, 84.5f}, {8.055f, 96.5f, 73.0f}, {9.86f, 33.5f, 21.0f},
                                  {8.45f, 96.5f, 6.5f});
  targetPath = new CatmullRomPath({90.8f, 19.5f, 84.5f}, {130.0f, 96.5f, 73.0f}, {30.5f, 33.5f, 21.0f},
                                  {33.5f, 96.5f, 6.5f});

  townScene = new Scene();
  townCamera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  townScene->graph->camera = townCamera;

  // The sky: its transform is replaced, not combined with the file's.
  sharedImporter->flipNormals = true;
  sharedImporter->bumpFromDiffuse = true;
  skyModel = sharedImporter->import("data/SkyTeaPot.x");
  if (skyModel) {
    skyModel->transform = rotationX(1.57f) * rotationY(1.57f) * scaling(50.1f) * translationMatrix(0, -60, 0);
    skyModel->firstChild();
    if (auto* sky = dynamic_cast<MeshInstance*>(skyModel->nextChild())) {
      sky->material.ambient = {0.25f, 0.25f, 0.25f, 0.25f};
      sky->material.diffuse = {10, 10, 10, 10};
      sky->material.specular = {10, 10, 10, 10};
      sky->material.technique = "skybox";
    }
    addToScene(skyModel);
  }

  // The twisting text. The importer keeps flipNormals off for the rest.
  sharedImporter->flipNormals = false;
  ostrelModel = sharedImporter->import("data/ostrel2.x");
  if (ostrelModel)
    ostrelModel->transform =
        scaling(1.5f) * rotationX(3.1415f) * translationMatrix(30, 90, 30) * ostrelModel->transform;
  MeshInstance* text01 = instanceNamed(ostrelModel, "Text01");
  if (text01) text01->material.technique = kTwirlTechnique;
  twirlShader = new TShader(dataFileName("SolidObject.fxo"), kTwirlTechnique, townScene);
  addToScene(ostrelModel);
  if (text01) {
    Colour& d = text01->material.diffuse;
    d = {d.r * 20, d.g * 20, d.b * 20, d.a * 20};
    Colour& s = text01->material.specular;
    s = {s.r * 10, s.g * 10, s.b * 10, s.a * 10};
    text01->material.specularPower = 8;
  }

  yearText = createTextNode(*blockFont, "2008", {12.5f, 0, 0}, nullptr);
  const float a = -6.25f * textWidth("2008", *blockFont);
  yearText->transform = yearText->transform * translationMatrix(a, -a / 2, 0) * scaling(100);
  addToScene(yearText);

  mobileModel = sharedImporter->import("data/brisamobile2.x");
  reportProgress();
  if (mobileModel) {
    std::vector<INode*> ancestors;
    townScene->dumpTree(mobileModel, 0, ancestors);
    Matrix m = scaling(9) * translationMatrix(0, -60, 0) * rotationY(-1.57f) * rotationX(1.5707964f) *
               translationMatrix(10, 0, 0) * mobileModel->transform;
    m = rotationX(-0.5f) * rotationY(0.7f) * m;
    m = translationMatrix(0, 0, 32) * m;
    mobileModel->transform = m;
    addToScene(mobileModel);
  }

  townModel = sharedImporter->import("data/town.x");
  if (townModel) {
    townModel->transform = scaling(2) * rotationY(-0.95f) * rotationX(1.2707963f) * townModel->transform;
    for (int i = 1; i <= 9; ++i) {
      if (MeshInstance* plane = instanceNamed(townModel, numberedName("Plane0%i", i))) {
        plane->material.ambient = {1, 1, 1, 1};
        plane->material.diffuse = {1, 1, 1, 1};
        plane->material.specular = {1, 1, 1, 1};
        plane->material.technique = "AlphaObject";
      }
    }
    addToScene(townModel);
  }

  lampsModel = sharedImporter->import("data/valot.x");
  if (lampsModel) {
    lampsModel->transform = townModel ? townModel->transform : Matrix::identity();
    for (int i = 1; i <= 3; ++i) {
      if (MeshInstance* lamp = instanceNamed(lampsModel, numberedName("valo0%i", i))) {
        lamp->material.ambient = {1, 1, 1, 1};
        lamp->material.diffuse = {0, 0, 0, 0};
        lamp->material.specular = {0, 0, 0, 0};
        lamp->material.technique = "AdditiveObject";
      }
    }
    addToScene(lampsModel);
  }

  townScene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);

  // Two white lights above the twisting text, to its left and right.
  const Vector3 p = ostrelModel ? translationOf(ostrelModel->transform) : Vector3{};
  townLights[0] = new NodePointlight(p.x + 40, p.y + 30, p.z + 10, 7.0f, 1.0f, 250.0f, 1, 1, 1, 1);
  addToScene(townLights[0]);
  townLights[1] = new NodePointlight(p.x - 40, p.y + 30, p.z + 10, 7.0f, 1.0f, 250.0f, 1, 1, 1, 1);
  addToScene(townLights[1]);

  townScene->lighting.velocityScale = 0.3f;

  smogTexture = EngineContext::get().createTexture(dataFileName("data/smog.jpg"));
  townParticles = new ParticleSystem2(kSmogCapacity, smogTexture);
  addToScene(townParticles);
}

void tickTownScene(float dt, float t) {
  if (!previousTickTime) previousTickTime = t;
  const float delta = t - *previousTickTime;
  previousTickTime = t;

  townScene->tick(delta);

  // Smog from "Dummy01", bigger and denser with the bass.
  const float e = spectrum[0] * spectrum[0];
  if (mobileModel) {
    const INode* dummy = mobileModel->find("Dummy01");
    const Matrix w = (dummy ? dummy->transform : Matrix::identity()) * mobileModel->transform;
    const Vector3 origin = translationOf(w);
    const SmogLook look = smogLook(spectrum[0]);
    for (int n = 0; n < kSmogPerTick; ++n) {
      const float z = randomSigned();
      const float y = randomSigned();
      const float x = randomSigned();
      auto* particle = new Particle{look.size, look.opacity,
                                    {origin.x + kSmogSpread * x, origin.y + kSmogSpread * y,
                                     origin.z + kSmogSpread * z}};
      if (townParticles->add(particle) < 0) delete particle;
    }
  }
  townParticles->update(Matrix::identity(), dt);

  const TownCameraPose pose = townCameraPose(*cameraPath, *targetPath, t);

  // The mobile drifts along its own -z by one unit per second of music, and
  // the year rides with it.
  if (mobileModel) mobileModel->transform = translationMatrix(0, 0, -delta) * mobileModel->transform;
  if (INode* year = townScene->findNode("2008"))
    year->transform = scaling(100) * (mobileModel ? mobileModel->transform : Matrix::identity());

  townCamera->position = pose.position;
  townCamera->target = pose.target;
  townCamera->up = {0, 1, 0};

  setFloat(*twirlShader, "disM", e + twirlFalloff(t));
  const float axis[3] = {std::cos(0.79f * t), std::sin(t), 0.5f};
  setFloat3(*twirlShader, "axis", axis);

  if (MeshInstance* text01 = instanceNamed(ostrelModel, "Text01")) {
    Material& m = text01->material;
    m.technique = kTwirlTechnique;
    m.ambient = {axis[0], axis[1], axis[2], m.ambient.a};
    m.diffuse = {0.75f, 0.75f, 0.75f, 0.75f};
    m.specular = {0.75f, 0.75f, 0.75f, 0.75f};
    m.specularPower = 10;
    m.bumpiness = 2.0f;
  }

  // The mobile's two spinners, 0.05 rad per tick about their own x axis.
  for (const char* name : {"object2", "object3"}) {
    if (INode* spinner = mobileModel ? mobileModel->find(name) : nullptr)
      spinner->transform = rotationX(0.05f) * spinner->transform;
  }
}

void renderTownScene(float t) {
  townScene->render(t);

  HSVEffect hsv(townScene, 0.0f, 1.0f, townFadeValue(t));
  hsv.render(t);

  const TownDistortion distortion = townDistortion(t, spectrum);

  // The blur map is the scene's own picture, not its velocity.
  MotionblurEffect blur(hsv.output(), townScene->output(), townScene->depthTarget(), 0.015f);
  blur.render(t);

  MappedDistortionEffect wave(blur.output(), blur.output(), distortion.wave, 0.03f);
  wave.render(t);
  MappedDistortionEffect warp(wave.output(), townScene->distortionTarget(), distortion.warp, 0.03f);
  warp.render(t);

  drawScreenQuad(warp.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  // The effects go in reverse order of making: warp, wave, blur, hsv.
}

void teardownTownScene() {
  delete townParticles;
  townParticles = nullptr;
  delete townScene;
  townScene = nullptr;
  delete cameraPath;
  cameraPath = nullptr;
  delete targetPath;
  targetPath = nullptr;
  previousTickTime.reset();
}

}  // namespace velm
