// Shared set-up for the text tests: a render window (no OS window) of the
// default settings, a recording device in the engine context, the
// production's two font files registered under their face names, and a
// teardown that leaves the engine singletons, the registry and the generator
// as a fresh program has them. Tests run from the repository root.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/render_window.h"
#include "platform/gfx/recording_device.h"
#include "tests/support/test_environment.h"

namespace velm::testing {

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The recorded calls that contain `part`, in order.
  std::vector<std::string> callsWith(const std::string& part) const;

  std::unique_ptr<RenderWindow> window;
  gfx::RecordingDevice* device = nullptr;  // owned by the engine context
  std::vector<Message> messages;
};

}  // namespace velm::testing
