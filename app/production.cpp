#include "app/production.h"

#include <cstdio>

#include "demo/scenes.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/parameters.h"
#include "text/glyph_font.h"

namespace velm {

namespace {

// Teardown, in the reverse order of what start-up built.
void shutdownProduction() {
  removeFontResources();
  teardownWorkshopScene();
  teardownTownScene();
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
}

}  // namespace

int runProduction(RenderWindow& window, const ProductionSetup& setup) {
  if (window.quit || !EngineContext::get().device) {
    // The window or the device could not be made (already reported): nothing can be shown.
    shutdownProduction();
    return 0;
  }
  std::unique_ptr<platform::Music> music = setup.openMusic();
  static float bands[kSpectrumBands] = {};
  spectrum = bands;

  registerFontResources();
  loadAll();

  static SpectrumFrames frames;  // lives as long as the process, like the spectrum array
  frames.load(kSpectrumPath);
  registerTweakableParameters();
  loadingInProgress = false;
  music->play();

  FrameLoop loop(window, EngineContext::get().device, *setup.timer, *music, frames, spectrum);
  loop.start();
  loop.run(setup.beforeFrame, [&] { return !setup.afterFrame || setup.afterFrame(loop); });
  shutdownProduction();
  return 0;
}

}  // namespace velm
