#include "tests/support/test_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "platform/messages.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

namespace velm::testing {

namespace fs = std::filesystem;

void captureMessageBoxes(std::vector<Message>* messages) {
  platform::setMessageBoxHook(
      [messages](const std::string& title, const std::string& text) { messages->emplace_back(title, text); });
  (void)platform::takeQuitMessage();
}

void expectNoMessageBoxes(const std::vector<Message>& messages) {
  for (const auto& [title, text] : messages) ADD_FAILURE() << "unexpected message: " << title << " / " << text;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
}

void resetLoadingScreen(bool inProgress) {
  loadingInProgress = inProgress;
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;
}

gfx::RecordingDevice* installRecordingDevice(const RenderWindow& window) {
  EngineContext& context = EngineContext::get();
  delete context.device;
  auto* device = new gfx::RecordingDevice(window.settings.width, window.settings.height);
  context.device = device;
  return device;
}

void clearSceneGlobals() {
  currentScene = nullptr;
  SolidDrawContext& solid = SolidDrawContext::get();
  solid.scene = nullptr;
  solid.binding = nullptr;
  solid.worldStack.clear();
}

void releaseEngine() {
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
  resetDataFileCacheForTesting();
}

std::string makeScratchFolder(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

void removeScratchFolder(const std::string& folder) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace velm::testing
