#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/parameters.h"

namespace velm {
namespace {

TEST(Parameters, ToStringUsesTheStreamsDefaultFloatFormat) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {0.06f, "0.06"}, {0.5f, "0.5"},          {0.17f, "0.17"},   {0.88f, "0.88"},    {0.0f, "0"},
      {-2.5f, "-2.5"}, {1234567.0f, "1.23457e+06"}, {0.0001f, "0.0001"}, {0.00001f, "1e-05"}, {100.0f, "100"},
  };
  for (const auto& c : cases) {
    DData<float> parameter("p", c.value);
    EXPECT_EQ(parameter.toString(), c.text) << c.text;
    parameter.reserved(7);
    EXPECT_EQ(parameter.value, c.value) << "the second operation changes nothing";
    EXPECT_EQ(parameter.name, "p");
  }
}

TEST(Parameters, TheEightAreRegisteredInOrderAndDuplicatesAreKept) {
  std::vector<IDData*>& list = EngineContext::get().parameters;
  const std::vector<IDData*> before = list;
  registerTweakableParameters();
  registerTweakableParameters();  // same names again: both kept, in order

  const std::vector<std::pair<std::string, float>> expected = {
      {"EfEx::dist", 0.06f}, {"EfEx::h", 0.17f}, {"font x-pos", 0.5f}, {"int", 0.1f},
      {"pow", 0.04f},        {"range", 0.88f},   {"pos_x", 0.5f},      {"pos_z", 0.5f},
  };
  ASSERT_EQ(list.size(), before.size() + 16);
  for (size_t i = 0; i < 16; ++i) {
    auto* parameter = dynamic_cast<DData<float>*>(list[before.size() + i]);
    ASSERT_NE(parameter, nullptr);
    EXPECT_EQ(parameter->name, expected[i % 8].first) << i;
    EXPECT_EQ(parameter->value, expected[i % 8].second) << i;
  }
  EXPECT_EQ(list[before.size()]->toString(), "0.06");
  EXPECT_TRUE(EngineContext::get().spareParameters.empty());

  // The program never frees them; the test does, to leave the list as it was.
  for (size_t i = before.size(); i < list.size(); ++i) delete static_cast<DData<float>*>(list[i]);
  list = before;
}

}  // namespace
}  // namespace velm
