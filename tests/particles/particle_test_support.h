// Shared set-up for the particle tests: a render window (no OS window) of
// 640 x 480 settings, a recording device or a headless OpenGL device in the
// engine context, a scene with a perspective camera, test textures written as
// PNG files, and a teardown that leaves the engine singletons, the random
// generator and the smoke ages as a fresh program has them. Tests run from
// the repository root, where the build puts the compiled effects.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/render_window.h"
#include "engine/math3d.h"
#include "platform/gfx/recording_device.h"
#include "tests/support/headless_gl.h"
#include "tests/support/recorded_calls.h"
#include "tests/support/test_environment.h"

namespace velm {
class PerspectiveCamera;
class Scene;
class Texture;
}  // namespace velm

namespace velm::testing {

class ParticleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the recording device with a headless OpenGL device of the
  // settings' size; GL errors fail the test.
  void useOpenGl(uint32_t width, uint32_t height);
  // A scene whose camera is at `position` looking at `target`.
  void buildScene(Vector3 position, Vector3 target);
  // A square texture made from a per-pixel function, through the data-file cache.
  Texture* makeTexture(const std::string& name, int size, const std::function<void(int, int, uint8_t*)>& pixel);

  std::vector<std::string> callsWith(const std::string& part) const;

  std::unique_ptr<RenderWindow> window;
  gfx::RecordingDevice* device = nullptr;  // owned by the engine context; null on OpenGL
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  std::string folder;  // a scratch folder removed at teardown
  std::vector<Message> messages;
  HeadlessGl gl;  // its errors fail the test
};

}  // namespace velm::testing
