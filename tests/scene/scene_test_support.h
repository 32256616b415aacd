// Shared set-up for the scene tests: a render window (no OS window) of the
// default 640 x 480 settings, a recording device or a headless OpenGL device
// in the engine context, the effects built into data/, a box mesh, and a
// teardown that leaves every engine and scene singleton as a fresh program
// has it. Tests run from the repository root.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/render_window.h"
#include "engine/math3d.h"
#include "platform/gfx/recording_device.h"
#include "tests/support/recorded_calls.h"
#include "tests/support/test_environment.h"

namespace velm {
class Mesh;
class RenderTarget;
}  // namespace velm

namespace velm::testing {

// A box of 24 vertices (four per side, each side with its own normal, both
// texture-coordinate pairs running 0..1 across the side, u along the side's
// tangent and v along its binormal) and six quads wound to face outwards.
// The mesh is editable (normals, tangents and GPU buffers still to come).
Mesh* makeBox(float halfSize);

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every recorded call since the last clearCalls().
  const std::vector<std::string>& calls() const { return device->calls(); }
  // The recorded calls that contain `part`, in order.
  std::vector<std::string> callsWith(const std::string& part) const;
  // The effect parameter names set since the last clearCalls(), in order,
  // as "setFloat(time)" without the values.
  std::vector<std::string> effectSetters() const;
  // The values given to the effect parameter `name` since the last
  // clearCalls(), in order.
  std::vector<float> floatsSet(const std::string& name) const;
  // The recording device's name for a target's texture.
  static std::string nameOf(RenderTarget* target);

  std::unique_ptr<RenderWindow> window;
  gfx::RecordingDevice* device = nullptr;  // owned by the engine context
  std::vector<Message> messages;
};

}  // namespace velm::testing
