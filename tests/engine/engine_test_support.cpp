#include "tests/engine/engine_test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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

void EngineTest::SetUp() {
  savedDirectory_ = fs::current_path().string();
  workDirectory_ = makeScratchFolder("velm-engine");
  ASSERT_FALSE(workDirectory_.empty()) << "no scratch folder";
  fs::current_path(workDirectory_);

  captureMessageBoxes(&messages_);

  // The loading state a program starts with; without a loading picture no
  // report draws anything.
  resetLoadingScreen(true);

  window = std::make_unique<RenderWindow>();
  useRecordingDevice();
}

void EngineTest::useRecordingDevice() { device = installRecordingDevice(*window); }

std::vector<Message> EngineTest::takeMessages() { return std::exchange(messages_, {}); }

void EngineTest::TearDown() {
  releaseEngine();
  device = nullptr;
  resetLoadingScreen(true);
  window.reset();

  EXPECT_TRUE(messages_.empty()) << "unexpected message: " << messages_.front().first << " / "
                                 << messages_.front().second;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
  fs::current_path(savedDirectory_);
  removeScratchFolder(workDirectory_);
}

}  // namespace velm::testing
