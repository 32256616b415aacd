// A headless OpenGL device (llvmpipe where there is no GPU) for tests that
// draw for real: a debug context whose reported errors are kept, so that each
// one fails the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velm::testing {

class HeadlessGl {
 public:
  // Deletes the engine context's device and puts a headless OpenGL device of
  // width x height in its place; a fatal failure where no context or device
  // can be made (the old device then stays).
  void install(uint32_t width, uint32_t height);
  // Fails the test once for each OpenGL error reported so far.
  void expectNoErrors() const;

  std::vector<std::string> errors;  // filled by the device; keep this alive while it is
};

}  // namespace velm::testing
