// Set-up for the shared-asset and workshop tests: a render window (no OS
// window) of the default settings, a recording device in the engine context,
// a silent spectrum, captured message boxes, and a teardown that leaves the
// engine singletons and the workshop as a fresh program has them. Runs from
// the repository root, so the built data/ folder is where the set-ups look.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/render_window.h"
#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/timeline.h"
#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "platform/gfx/recording_device.h"
#include "platform/messages.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/support/test_environment.h"

namespace velm::workshop_testing {

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::captureMessageBoxes(&messages);
    loadingInProgress = false;  // progress reports count but draw nothing
    progressCounter = 50;
    loadingTexture = nullptr;
    window = std::make_unique<RenderWindow>();
    device = testing::installRecordingDevice(*window);
    bands.fill(0.0f);
    savedSpectrum = spectrum;
    spectrum = bands.data();
    workshopIntense = false;
    seedRandom(1);
  }

  void TearDown() override {
    teardownWorkshopScene();
    testing::clearSceneGlobals();
    testing::releaseEngine();
    device = nullptr;
    loadingInProgress = true;
    progressCounter = 50;
    window.reset();
    spectrum = savedSpectrum;
    workshopIntense = false;
    testing::expectNoMessageBoxes(messages);
  }

  std::unique_ptr<RenderWindow> window;
  gfx::RecordingDevice* device = nullptr;  // owned by the engine context
  std::vector<testing::Message> messages;
  std::array<float, kSpectrumBands> bands{};
  float* savedSpectrum = nullptr;
};

}  // namespace velm::workshop_testing
