#include "tests/text/text_test_support.h"

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "platform/messages.h"
#include "platform/text/text_font.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "text/glyph_font.h"

namespace velm::testing {

void TextTest::SetUp() {
  platform::setMessageBoxHook(
      [this](const std::string& title, const std::string& text) { messages.emplace_back(title, text); });
  (void)platform::takeQuitMessage();
  loadingInProgress = false;  // progress reports draw nothing
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;
  seedRandom(1);
  window = std::make_unique<RenderWindow>();
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = new gfx::RecordingDevice(window->settings.width, window->settings.height);
  context.device = device;
  ASSERT_TRUE(platform::registerFontFace(kBlockFontFace, kBlockFontFile)) << "build the velm_fonts target first";
  ASSERT_TRUE(platform::registerFontFace(kScriptFontFace, kScriptFontFile));
}

void TextTest::TearDown() {
  removeFontResources();
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
  loadingTexture = nullptr;
  seedRandom(1);
  window.reset();
  for (const auto& [title, text] : messages) ADD_FAILURE() << "unexpected message: " << title << " / " << text;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
}

std::vector<std::string> TextTest::callsWith(const std::string& part) const {
  std::vector<std::string> out;
  for (const std::string& c : device->calls())
    if (c.find(part) != std::string::npos) out.push_back(c);
  return out;
}

}  // namespace velm::testing
