#include "tests/particles/particle_test_support.h"

#include "engine/loading_screen.h"
#include "engine/random.h"
#include "particles/scene_particles.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "tests/support/gl_pictures.h"

namespace velm::testing {

void ParticleTest::SetUp() {
  captureMessageBoxes(&messages);
  resetLoadingScreen(false);
  window = std::make_unique<RenderWindow>();
  device = installRecordingDevice(*window);
  seedRandom(1);
  ParticleSystem2::chainedSeed = ParticleSystem2::kFirstChainedSeed;
  Ef2::SPSystem::ages().clear();

  folder = makeScratchFolder("velm-particles");
  ASSERT_FALSE(folder.empty()) << "no scratch folder";
}

void ParticleTest::TearDown() {
  delete scene;
  scene = nullptr;
  delete camera;
  camera = nullptr;
  clearSceneGlobals();
  releaseEngine();
  device = nullptr;
  loadingInProgress = true;
  progressCounter = 50;
  window.reset();
  seedRandom(1);
  ParticleSystem2::chainedSeed = ParticleSystem2::kFirstChainedSeed;
  Ef2::SPSystem::ages().clear();
  removeScratchFolder(folder);
  expectNoMessageBoxes(messages);
  gl.expectNoErrors();
}

void ParticleTest::useOpenGl(uint32_t width, uint32_t height) {
  window->settings.width = width;
  window->settings.height = height;
  ASSERT_NO_FATAL_FAILURE(gl.install(width, height));
  device = nullptr;
}

void ParticleTest::buildScene(Vector3 position, Vector3 target) {
  scene = new Scene();
  camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  camera->position = position;
  camera->target = target;
  scene->graph->camera = camera;
}

Texture* ParticleTest::makeTexture(const std::string& name, int size,
                                   const std::function<void(int, int, uint8_t*)>& pixel) {
  return pngTexture(folder, name, size, pixel);
}

std::vector<std::string> ParticleTest::callsWith(const std::string& part) const {
  if (!device) return {};
  return recordedCallsWith(device->calls(), part);
}

}  // namespace velm::testing
