// EGL surfaceless context: renders into framebuffer objects only.
#include <epoxy/egl.h>

#include "platform/gfx/gl_context.h"

namespace gfx {
namespace {

class EglContext final : public GlContext {
 public:
  EglContext(EGLDisplay display, EGLContext context, bool debug)
      : display_(display), context_(context), debug_(debug) {}
  ~EglContext() override {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglTerminate(display_);
  }
  bool makeCurrent() override {
    return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
  }
  void swapBuffers() override {}
  void drawableSize(int* width, int* height) const override { *width = *height = 0; }
  bool hasWindow() const override { return false; }
  bool isDebug() const override { return debug_; }

 private:
  EGLDisplay display_;
  EGLContext context_;
  bool debug_;
};

bool hasExtension(EGLDisplay display, const char* name) {
  return epoxy_has_egl_extension(display, name);
}

// Tries the display kinds in order of preference and returns an initialised one.
EGLDisplay openDisplay() {
  if (hasExtension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
    EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
  }
  if (hasExtension(EGL_NO_DISPLAY, "EGL_EXT_platform_device") &&
      hasExtension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration")) {
    EGLDeviceEXT devices[8];
    EGLint count = 0;
    if (eglQueryDevicesEXT(8, devices, &count) && count > 0) {
      EGLDisplay d = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
      if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
    }
  }
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr)) return d;
  return EGL_NO_DISPLAY;
}

}  // namespace

std::unique_ptr<GlContext> createSurfacelessContext(const ContextOptions& options,
                                                    std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<GlContext> {
    if (error) *error = why;
    return nullptr;
  };
  EGLDisplay display = openDisplay();
  if (display == EGL_NO_DISPLAY) return fail("no EGL display could be opened");
  if (!hasExtension(display, "EGL_KHR_surfaceless_context")) {
    eglTerminate(display);
    return fail("the EGL display does not support surfaceless contexts");
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(display);
    return fail("EGL cannot bind the desktop OpenGL API");
  }

  EGLConfig config = nullptr;
  if (!hasExtension(display, "EGL_KHR_no_config_context")) {
    const EGLint attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &count) || count == 0) {
      eglTerminate(display);
      return fail("no EGL config renders desktop OpenGL");
    }
  }
  const EGLint contextAttributes[] = {
      EGL_CONTEXT_MAJOR_VERSION, 4,
      EGL_CONTEXT_MINOR_VERSION, 5,
      EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
      EGL_CONTEXT_OPENGL_DEBUG, options.debug ? EGL_TRUE : EGL_FALSE,
      EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
  if (context == EGL_NO_CONTEXT) {
    eglTerminate(display);
    return fail("EGL could not create an OpenGL 4.5 core context");
  }
  auto result = std::make_unique<EglContext>(display, context, options.debug);
  if (!result->makeCurrent()) return fail("EGL could not make the context current");
  return result;
}

}  // namespace gfx
