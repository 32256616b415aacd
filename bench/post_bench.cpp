// One frame of the chain scene's post chain on the headless OpenGL device
// (llvmpipe where there is no GPU): motion blur of the scene's picture along
// its velocity with its depth, HSV on the blur, mapped distortion by the
// scene's distortion target, and the quad onto the back buffer; the scene
// itself is drawn once beforehand. The picture sizes are those of a 640 x 480
// and a 1920 x 1440 window (640 x 359 and 1920 x 1079). Each iteration ends
// with glFinish, so the time is the GPU's (or llvmpipe's) work too.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/render_window.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "geometry/modifiers.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

namespace {

using namespace velm;

// A lit room with a few boxes, seen by a camera that moved between the two
// scene renders, so every pixel carries motion, depth and a normal; the
// velocity scale is the chain scene's (the passes cost the same whatever the
// picture holds).
struct ChainLikeScene {
  explicit ChainLikeScene(uint32_t width, uint32_t height) {
    loadingInProgress = false;
    window.settings.width = width;
    window.settings.height = height;
    window.createHeadlessDevice();
    EngineContext& context = EngineContext::get();
    scene = std::make_unique<Scene>();  // its targets need the device
    Scene& s = *scene;
    s.graph->camera = &camera;
    s.graph->velocityTarget = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
    s.lighting.velocityScale = 0.1f;
    s.graph->root.addChild(&light);
    Mesh* room = context.createMesh();
    meshgen::Cube(12, 12, 12).generate(*room);
    meshmodify::InvertFaces().apply(*room);
    instances.emplace_back(std::make_unique<MeshInstance>(room));
    for (int i = 0; i < 6; ++i) {
      Mesh* box = context.createMesh();
      meshgen::Cube(1, 1, 1).generate(*box);
      instances.emplace_back(std::make_unique<MeshInstance>(box));
      instances.back()->transform = translationMatrix(4.0f * std::cos(i * 1.05f), 0.8f * i - 2.0f, 4.0f * std::sin(i * 1.05f));
    }
    for (auto& instance : instances) s.graph->root.addChild(instance.get());
    camera.position = {0, 1, -7};
    camera.target = {0, 0, 0};
    s.render(1.0f);
    camera.position = {0.3f, 1.1f, -6.8f};
    camera.target = {0.1f, 0, 0};
    s.render(1.05f);
    glFinish();
  }
  ~ChainLikeScene() {
    for (auto& instance : instances) scene->graph->root.removeChild(instance.get());
    scene->graph->root.removeChild(&light);
    scene.reset();
  }

  RenderWindow window;
  PerspectiveCamera camera{1.3f, 1.0f, 200.0f};
  NodePointlight light{0, 3, -5, 5.0f, 1.0f, 100.0f, 1.0f, 0.9f, 0.8f, 1.0f};
  std::vector<std::unique_ptr<MeshInstance>> instances;
  std::unique_ptr<Scene> scene;
};

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void tearDownEngine() {
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
}

enum Stage { kWholeChain, kBlurOnly, kHsvOnly, kDistortionOnly, kQuadOnly };

// One frame of the chain, or one of its passes alone (inputs from the scene).
void runChain(benchmark::State& state, Stage stage) {
  const auto width = static_cast<uint32_t>(state.range(0));
  {
    ChainLikeScene chain(width, width * 3 / 4);
    Scene& scene = *chain.scene;
    const float s = 0.1f;  // a spectrum level
    // One frame of the measured work at time t.
    auto frame = [&](float t) {
      switch (stage) {
        case kWholeChain: {
          MotionblurEffect blur(scene.output(), scene.velocityTarget(), scene.depthTarget(), 0.01f);
          HSVEffect hsv(&blur, 0.0f, 2.0f + 5.0f * s, 1.0f + 2.0f * s);
          blur.render(t);
          hsv.render(t);
          MappedDistortionEffect warp(hsv.output(), scene.distortionTarget(), 0.03f * s, 0.03f);
          warp.render(t);
          drawScreenQuad(warp.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
          break;
        }
        case kBlurOnly: {
          MotionblurEffect blur(scene.output(), scene.velocityTarget(), scene.depthTarget(), 0.01f);
          blur.render(t);
          break;
        }
        case kHsvOnly: {
          HSVEffect hsv(&scene, 0.0f, 2.0f + 5.0f * s, 1.0f + 2.0f * s);
          hsv.render(t);
          break;
        }
        case kDistortionOnly: {
          MappedDistortionEffect warp(scene.output(), scene.distortionTarget(), 0.03f * s, 0.03f);
          warp.render(t);
          break;
        }
        case kQuadOnly:
          drawScreenQuad(scene.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
          break;
      }
      glFinish();
    };
    // Two frames first: the driver compiles each program on its first draw.
    frame(2.0f);
    frame(2.02f);
    float t = 2.04f;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
      frame(t);
      t += 0.02f;
    }
    // CPU time of every thread of the process (llvmpipe's rasteriser threads
    // included) per frame: the work done, less sensitive than the wall time to
    // other programs competing for the cores.
    state.counters["cpu_all_threads_ms"] =
        1000.0 * (processCpuSeconds() - cpuBefore) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    const gfx::Viewport picture = chain.window.defaultViewport();
    state.SetLabel(std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
                   EngineContext::get().device->rendererName());
  }
  tearDownEngine();
}

void BM_ChainPostFrame(benchmark::State& state) { runChain(state, kWholeChain); }
void BM_MotionblurPass(benchmark::State& state) { runChain(state, kBlurOnly); }
void BM_HsvPass(benchmark::State& state) { runChain(state, kHsvOnly); }
void BM_DistortionPass(benchmark::State& state) { runChain(state, kDistortionOnly); }
void BM_FinalQuad(benchmark::State& state) { runChain(state, kQuadOnly); }
BENCHMARK(BM_ChainPostFrame)->Arg(640)->Arg(1920)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MotionblurPass)->Arg(640)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HsvPass)->Arg(640)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DistortionPass)->Arg(640)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FinalQuad)->Arg(640)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
