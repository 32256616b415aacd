#include "tests/text/text_test_support.h"

#include "engine/loading_screen.h"
#include "engine/random.h"
#include "platform/text/text_font.h"
#include "tests/support/recorded_calls.h"
#include "text/glyph_font.h"

namespace velm::testing {

void TextTest::SetUp() {
  captureMessageBoxes(&messages);
  resetLoadingScreen(false);  // progress reports draw nothing
  seedRandom(1);
  window = std::make_unique<RenderWindow>();
  device = installRecordingDevice(*window);
  ASSERT_TRUE(platform::registerFontFace(kBlockFontFace, kBlockFontFile)) << "build the velm_fonts target first";
  ASSERT_TRUE(platform::registerFontFace(kScriptFontFace, kScriptFontFile));
}

void TextTest::TearDown() {
  removeFontResources();
  clearSceneGlobals();
  releaseEngine();
  device = nullptr;
  loadingInProgress = true;
  progressCounter = 50;
  loadingTexture = nullptr;
  seedRandom(1);
  window.reset();
  expectNoMessageBoxes(messages);
}

std::vector<std::string> TextTest::callsWith(const std::string& part) const {
  return recordedCallsWith(device->calls(), part);
}

}  // namespace velm::testing
