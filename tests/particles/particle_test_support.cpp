#include "tests/particles/particle_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "particles/scene_particles.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"
#include "platform/messages.h"
#include "scene/camera.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace velm::testing {

namespace fs = std::filesystem;

std::vector<float> loggedFloats(const std::string& call) {
  std::vector<float> values;
  const size_t open = call.find('['), close = call.find(']', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || close == std::string::npos) return values;
  std::istringstream in(call.substr(open + 1, close - open - 1));
  for (float v = 0; in >> v;) values.push_back(v);
  return values;
}

void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  ASSERT_NE(stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4), 0) << path;
}

void ParticleTest::SetUp() {
  platform::setMessageBoxHook(
      [this](const std::string& title, const std::string& text) { messages.emplace_back(title, text); });
  (void)platform::takeQuitMessage();
  loadingInProgress = false;
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;
  window = std::make_unique<RenderWindow>();
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = new gfx::RecordingDevice(window->settings.width, window->settings.height);
  context.device = device;
  seedRandom(1);
  ParticleSystem2::chainedSeed = ParticleSystem2::kFirstChainedSeed;
  Ef2::SPSystem::ages().clear();

  std::string pattern = (fs::temp_directory_path() / "velm-particles-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  folder = pattern;
}

void ParticleTest::TearDown() {
  delete scene;
  scene = nullptr;
  delete camera;
  camera = nullptr;
  currentScene = nullptr;
  SolidDrawContext& solid = SolidDrawContext::get();
  solid.scene = nullptr;
  solid.binding = nullptr;
  solid.worldStack.clear();
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
  device = nullptr;
  resetDataFileCacheForTesting();
  loadingInProgress = true;
  progressCounter = 50;
  window.reset();
  seedRandom(1);
  ParticleSystem2::chainedSeed = ParticleSystem2::kFirstChainedSeed;
  Ef2::SPSystem::ages().clear();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  for (const auto& [title, text] : messages) ADD_FAILURE() << "unexpected message: " << title << " / " << text;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
  for (const std::string& e : glErrors) ADD_FAILURE() << "OpenGL error: " << e;
}

void ParticleTest::useOpenGl(uint32_t width, uint32_t height) {
  window->settings.width = width;
  window->settings.height = height;
  std::string error;
  auto context = gfx::createSurfacelessContext({.debug = true}, &error);
  ASSERT_TRUE(context) << "no headless OpenGL context: " << error;
  auto gl = gfx::createGlDevice(std::move(context), width, height,
                                [this](const std::string& m) { glErrors.push_back(m); }, &error);
  ASSERT_TRUE(gl) << error;
  EngineContext& engine = EngineContext::get();
  delete engine.device;
  device = nullptr;
  engine.device = gl.release();
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
  std::vector<uint8_t> rgba(static_cast<size_t>(size * size * 4));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixel(x, y, &rgba[static_cast<size_t>((y * size + x) * 4)]);
  const std::string path = folder + "/" + name;
  writePng(path, size, size, rgba);
  return EngineContext::get().createTexture(dataFileName(path));
}

std::vector<std::string> ParticleTest::callsWith(const std::string& part) const {
  std::vector<std::string> out;
  if (!device) return out;
  for (const std::string& c : device->calls())
    if (c.find(part) != std::string::npos) out.push_back(c);
  return out;
}

}  // namespace velm::testing
