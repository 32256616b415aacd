// The OpenGL 4.5 core backend of gfx::Device. Conventions that every shader
// and test relies on: clip depth 0..1 and row 0 of every target is the top
// (glClipControl upper-left), row-vector matrices uploaded as they are, an
// offscreen back buffer blitted flipped to the window at present.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_context.h"

namespace gfx {

using GlErrorCallback = std::function<void(const std::string& message)>;

// Creates the device on a context (made current here) with a back buffer of
// width x height. onGlError receives every error the driver reports through
// debug output (a debug context reports all of them). Null on failure.
std::unique_ptr<Device> createGlDevice(std::unique_ptr<GlContext> context, uint32_t width,
                                       uint32_t height, GlErrorCallback onGlError,
                                       std::string* error);

}  // namespace gfx
