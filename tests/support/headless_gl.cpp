#include "tests/support/headless_gl.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/engine_context.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"

namespace velm::testing {

void HeadlessGl::install(uint32_t width, uint32_t height) {
  std::string error;
  auto context = gfx::createSurfacelessContext({.debug = true}, &error);
  ASSERT_TRUE(context) << "no headless OpenGL context: " << error;
  auto gl = gfx::createGlDevice(std::move(context), width, height,
                                [this](const std::string& m) { errors.push_back(m); }, &error);
  ASSERT_TRUE(gl) << error;
  EngineContext& engine = EngineContext::get();
  delete engine.device;
  engine.device = gl.release();
}

void HeadlessGl::expectNoErrors() const {
  for (const std::string& e : errors) ADD_FAILURE() << "OpenGL error: " << e;
}

}  // namespace velm::testing
