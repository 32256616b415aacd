// velm: the production. Settings dialog, window and device, music, loading,
// then the frame loop until the music has played 217 s, Escape or closing.
#include "app/production.h"
#include "app/render_window.h"
#include "app/settings_window.h"
#include "platform/audio/music_player.h"

int main() {
  velm::RenderWindow window;
  if (!velm::runSettingsWindow(window)) return 0;
  window.createWindowAndDevice();

  platform::MonotonicClock clock;
  velm::ProductionSetup setup;
  setup.timer = &clock;
  setup.openMusic = [] { return platform::MusicPlayer::open(velm::kMusicPath); };
  return velm::runProduction(window, setup);
}
