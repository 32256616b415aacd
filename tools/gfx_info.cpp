// velm-gfx-info: opens the headless OpenGL context the tests and the capture
// use and prints which renderer it got. Exits 1 when none can be opened.
#include <iostream>

#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"

int main() {
  std::string error;
  auto context = gfx::createSurfacelessContext({}, &error);
  if (!context) {
    std::cerr << "velm-gfx-info: no headless OpenGL context: " << error << "\n";
    return 1;
  }
  auto device = gfx::createGlDevice(std::move(context), 16, 16, nullptr, &error);
  if (!device) {
    std::cerr << "velm-gfx-info: " << error << "\n";
    return 1;
  }
  std::cout << "OpenGL renderer: " << device->rendererName() << "\n";
  return 0;
}
