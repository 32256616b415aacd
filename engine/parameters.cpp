#include "engine/parameters.h"

#include "engine/engine_context.h"

namespace velm {

void registerTweakableParameters() {
  static constexpr struct {
    const char* name;
    float value;
  } kParameters[] = {
      {"EfEx::dist", 0.06f}, {"EfEx::h", 0.17f}, {"font x-pos", 0.5f}, {"int", 0.1f},
      {"pow", 0.04f},        {"range", 0.88f},   {"pos_x", 0.5f},      {"pos_z", 0.5f},
  };
  auto& parameters = EngineContext::get().parameters;
  for (const auto& p : kParameters) parameters.push_back(new DData<float>(p.name, p.value));
}

}  // namespace velm
