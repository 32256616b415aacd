#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "platform/messages.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

using DataFiles = EngineTest;

std::string contentOf(const DataFile* file) {
  return file ? std::string(reinterpret_cast<const char*>(file->bytes), file->size) : "<none>";
}

TEST_F(DataFiles, TheDataFolderIsSearchedFirstThenTheNameItself) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // path, content
    const char* expected;
  };
  const Case cases[] = {
      {"moon.jpg", {{"data/moon.jpg", "in data"}, {"moon.jpg", "beside"}}, "in data"},
      {"moon.jpg", {{"moon.jpg", "beside"}}, "beside"},
      // A name that already holds the prefix is tried doubled first.
      {"data/HSVEffect.fxo", {{"data/data/HSVEffect.fxo", "doubled"}, {"data/HSVEffect.fxo", "single"}}, "doubled"},
      {"data/HSVEffect.fxo", {{"data/HSVEffect.fxo", "single"}}, "single"},
      {"sub/a.bin", {{"data/sub/a.bin", "nested"}}, "nested"},
      {"empty.bin", {{"data/empty.bin", ""}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all("data");
    std::filesystem::remove("moon.jpg");
    resetDataFileCacheForTesting();
    for (const auto& [path, content] : c.files) writeFile(path, content);

    EXPECT_EQ(dataFileName(c.name), c.name);
    const DataFile* file = findDataFile(c.name);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->name, c.name);
    EXPECT_EQ(contentOf(file), c.expected);
    EXPECT_EQ(file->size, std::string(c.expected).size());
  }
}

TEST_F(DataFiles, EachFileIsReadOnce) {
  writeFile("data/moon.jpg", "first");
  registerDataFile("moon.jpg");
  const DataFile* first = findDataFile("moon.jpg");
  writeFile("data/moon.jpg", "second version");
  registerDataFile("moon.jpg");
  std::filesystem::remove("data/moon.jpg");
  EXPECT_EQ(dataFileName("moon.jpg"), "moon.jpg");  // gone from disk, still cached

  EXPECT_EQ(findDataFile("moon.jpg"), first);
  EXPECT_EQ(contentOf(findDataFile("moon.jpg")), "first");

  // Entries stay where they are while others are added.
  for (int i = 0; i < 100; ++i) {
    writeFile("data/f" + std::to_string(i), std::to_string(i));
    registerDataFile("f" + std::to_string(i));
  }
  EXPECT_EQ(findDataFile("moon.jpg"), first);
  EXPECT_EQ(contentOf(findDataFile("f42")), "42");
}

TEST_F(DataFiles, LookupIsExactAndCaseSensitive) {
  writeFile("data/moon.jpg", "m");
  registerDataFile("moon.jpg");
  EXPECT_NE(findDataFile("moon.jpg"), nullptr);
  for (const char* other : {"Moon.jpg", "MOON.JPG", "moon.jp", "moon.jpg ", "data/moon.jpg", ""}) {
    EXPECT_EQ(findDataFile(other), nullptr) << other;
  }
}

TEST_F(DataFiles, AMissingFileIsReportedAndAsksTheProgramToQuit) {
  std::filesystem::create_directories("data/folder.jpg");  // a folder is not a file
  for (const char* name : {"missing.jpg", "folder.jpg", "data/missing.jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(dataFileName(name), name);
    EXPECT_EQ(findDataFile(name), nullptr);
    EXPECT_EQ(takeMessages(), (std::vector<Message>{{"error", "Couldn't open file!"}}));
    EXPECT_TRUE(platform::takeQuitMessage());
  }
  // Still unregistered: the next request looks again and finds the new file.
  writeFile("missing.jpg", "late");
  registerDataFile("missing.jpg");
  EXPECT_EQ(contentOf(findDataFile("missing.jpg")), "late");
}

}  // namespace
}  // namespace velm::testing
