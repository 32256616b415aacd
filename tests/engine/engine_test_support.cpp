#include "tests/engine/engine_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "platform/messages.h"

namespace velm::testing {

namespace fs = std::filesystem;

std::string fixtureBytes(const std::string& name) {
  std::ifstream in(std::string(VELM_FIXTURES) + "/engine/" + name, std::ios::binary);
  EXPECT_TRUE(in) << "missing fixture " << name;
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  const fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<float> loggedFloats(const std::string& call) {
  std::vector<float> values;
  const size_t open = call.find('['), close = call.find(']');
  if (open == std::string::npos || close == std::string::npos) return values;
  std::istringstream in(call.substr(open + 1, close - open - 1));
  float v = 0;
  while (in >> v) values.push_back(v);
  return values;
}

void EngineTest::SetUp() {
  savedDirectory_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "velm-engine-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  workDirectory_ = pattern;
  fs::current_path(workDirectory_);

  platform::setMessageBoxHook([this](const std::string& title, const std::string& text) {
    messages_.emplace_back(title, text);
  });
  (void)platform::takeQuitMessage();

  // The loading state a program starts with; without a loading picture no
  // report draws anything.
  loadingInProgress = true;
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;

  window = std::make_unique<RenderWindow>();
  useRecordingDevice();
}

void EngineTest::useRecordingDevice() {
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = new gfx::RecordingDevice(window->settings.width, window->settings.height);
  context.device = device;
}

std::vector<Message> EngineTest::takeMessages() { return std::exchange(messages_, {}); }

void EngineTest::TearDown() {
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
  device = nullptr;
  resetDataFileCacheForTesting();
  loadingInProgress = true;
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;
  window.reset();

  EXPECT_TRUE(messages_.empty()) << "unexpected message: " << messages_.front().first << " / "
                                 << messages_.front().second;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
  fs::current_path(savedDirectory_);
  std::error_code ignored;
  fs::remove_all(workDirectory_, ignored);
}

}  // namespace velm::testing
