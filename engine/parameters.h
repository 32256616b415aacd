// Tweakable parameters: named values registered with the engine context so
// they can be listed and shown as text. Nothing looks them up or reads them
// back after registration, and nothing frees them.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

namespace velm {

class IDData {
 public:
  // The value as text.
  virtual std::string toString() = 0;
  // Takes one 32-bit value; nothing calls it and DData ignores it.
  virtual void reserved(int32_t argument) = 0;

 protected:
  ~IDData() = default;  // parameters live until the process ends
};

template <typename T>
class DData final : public IDData {
 public:
  DData(const std::string& parameterName, T initialValue) : name(parameterName), value(initialValue) {}

  // The stream's default formatting (for a float: six significant digits,
  // general notation), so 0.06f reads "0.06".
  std::string toString() override {
    std::stringstream text(std::ios::in | std::ios::out);
    text << value;
    return text.str();
  }
  void reserved(int32_t) override {}

  std::string name;
  T value;
};

// Appends the production's eight parameters to the engine context's list, in
// their fixed order.
void registerTweakableParameters();

}  // namespace velm
