// Per-frame costs of the particle systems on the headless OpenGL device
// (llvmpipe where there is no GPU) at the 640 x 359 picture of a 640 x 480
// window: the harmonium's steady-state smoke (16 spawners x 50 per second x
// 8 s, about 6,400 live particles) and the town's full smog system (4,000
// large, overlapping particles at 40 s), each built and drawn with one lock
// and one draw into the scene's cleared output. Each iteration ends with
// glFinish, so the rasteriser's work is inside the time; the empty scene is
// that frame without particles. The vertex build alone runs on the CPU. With
// VELM_BENCH_STILLS set to a folder, the last measured frames are written
// there as PNG files (shown over black).
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/render_window.h"
#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "particles/scene_particles.h"
#include "particles/texture_particle_system.h"
#include "scene/camera.h"
#include "scene/scene.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using namespace velm;

enum class Setting { Empty, Harmonium, Town };

double processCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Textures made here, so the benchmark needs nothing from data/ but the
// compiled effects: a round soft sprite with an alpha channel, and a smog puff
// without one (bright where dense, black around).
Texture* makeTexture(const std::string& path, int channels, float (*density)(float r)) {
  const int size = 128;
  std::vector<uint8_t> pixels(static_cast<size_t>(size * size * channels));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = (x + 0.5f) / (size * 0.5f) - 1.0f, dy = (y + 0.5f) / (size * 0.5f) - 1.0f;
      const float d = density(std::sqrt(dx * dx + dy * dy));
      uint8_t* p = &pixels[static_cast<size_t>((y * size + x) * channels)];
      if (channels == 4) {
        p[0] = 210, p[1] = 225, p[2] = 255, p[3] = static_cast<uint8_t>(255.0f * d);
      } else {
        p[0] = static_cast<uint8_t>(230.0f * d), p[1] = static_cast<uint8_t>(225.0f * d);
        p[2] = static_cast<uint8_t>(220.0f * d);
      }
    }
  stbi_write_png(path.c_str(), size, size, channels, pixels.data(), size * channels);
  return EngineContext::get().createTexture(dataFileName(path));
}
float spriteDensity(float r) { return r >= 1.0f ? 0.0f : std::exp(-4.0f * r * r) * (1.0f - r * r); }
float puffDensity(float r) { return r >= 0.95f ? 0.0f : (0.95f - r) / 0.95f; }

// A headless device, a scene with a camera and one particle system in the
// state the setting asks for; everything is torn down with the engine.
struct ParticleBench {
  explicit ParticleBench(Setting setting) {
    loadingInProgress = false;
    window.settings.width = 640;  // picture 640 x 359
    window.settings.height = 480;
    window.createHeadlessDevice();
    ready = EngineContext::get().device != nullptr;
    if (!ready) return;
    folder = (std::filesystem::temp_directory_path() / "velm-particles-bench").string();
    std::filesystem::create_directories(folder);
    scene = std::make_unique<Scene>();
    scene->graph->camera = &camera;
    if (setting == Setting::Harmonium) buildHarmonium();
    if (setting == Setting::Town) buildTown();
  }
  ~ParticleBench() {
    scene.reset();
    system.reset();
    spawners.clear();
    carriers.clear();
    EffectRegistry::destroy();
    EngineContext::get().shutdown();
  }

  // Sixteen pipes laid out about the centre as the harmonium scene spreads
  // them, each with a spawner 3.4 above it, after ten seconds of ticks. The
  // camera stands at the near end of its orbit (the heavier case).
  void buildHarmonium() {
    camera.position = {4.5f, 6.8f, 6.6f};
    camera.target = {0, 0, 0};
    auto* smoke = new Ef2::SPSystem(150000, makeTexture(folder + "/sprite.png", 4, spriteDensity));
    system.reset(smoke);
    // The ages by slot outlive every system; start as a fresh program does.
    Ef2::SPSystem::ages().clear();
    seedRandom(8383);
    auto draw = [] { return static_cast<float>(randomInt() % 20000) / 10000.0f; };
    for (int i = 0; i < 16; ++i) {
      auto* carrier = carriers.emplace_back(std::make_unique<DummyNode>()).get();
      const float r1 = 0.4f * (draw() - 1.0f), r2 = draw() / 3.0f, r3 = 0.4f * (draw() - 1.0f);
      carrier->transform = translationMatrix(4.5f * r3, 4.5f * r2 - 3.0f, 4.5f * r1);
      auto* spawner = spawners.emplace_back(std::make_unique<SavuParticleSpawner>(smoke)).get();
      spawner->transform = translationMatrix(0, 3.4f, 0);
      carrier->addChild(spawner);
      scene->graph->root.addChild(carrier);
    }
    scene->graph->root.addChild(smoke);
    for (int tick = 0; tick < 200; ++tick) scene->tick(0.05f);
  }

  // Five particles a tick about a point drifting one unit per second, 800
  // ticks: all 4,000 places taken. Silent music: size 10, opacity 0.35. Seen
  // from about the town camera's distance, looking up the plume.
  void buildTown() {
    camera.position = {-22.8f, 6.5f, -93.8f};
    camera.target = {0.0f, 40.0f, 120.0f};
    camera.farPlane = 1000.0f;
    auto* smog = new ParticleSystem2(4000, makeTexture(folder + "/smog.png", 3, puffDensity));
    system.reset(smog);
    scene->graph->root.addChild(smog);
    seedRandom(1);
    float drift = 0.0f;
    for (int tick = 0; tick < 800; ++tick) {
      for (int n = 0; n < 5; ++n) {
        const float z = randomSigned(), y = randomSigned(), x = randomSigned();
        auto* particle = new Particle{10.0f, 0.35f, {2.5f * x, 2.5f * y, drift + 2.5f * z}};
        if (smog->add(particle) < 0) delete particle;
      }
      smog->update(Matrix::identity(), 0.05f);
      drift -= 0.05f;
    }
  }

  void saveStill(const char* name) {
    const char* stills = std::getenv("VELM_BENCH_STILLS");
    if (!stills || !name) return;
    gfx::Readback frame;
    if (gfx::failed(EngineContext::get().device->readSurface(scene->output()->surface, &frame))) return;
    for (size_t i = 3; i < frame.bytes.size(); i += 4) frame.bytes[i] = 255;
    std::filesystem::create_directories(stills);
    const std::string path = std::string(stills) + "/" + name;
    stbi_write_png(path.c_str(), static_cast<int>(frame.width), static_cast<int>(frame.height), 4,
                   frame.bytes.data(), static_cast<int>(frame.width) * 4);
  }

  RenderWindow window;
  bool ready = false;
  std::string folder;
  PerspectiveCamera camera{1.3f, 1.0f, 200.0f};
  std::unique_ptr<Scene> scene;
  std::unique_ptr<TextureParticleSystem> system;
  std::vector<std::unique_ptr<DummyNode>> carriers;
  std::vector<std::unique_ptr<SavuParticleSpawner>> spawners;
};

// Renders the scene (clears, then the particles' build and one draw) frame
// after frame.
void runFrames(benchmark::State& state, Setting setting, const char* still) {
  ParticleBench bench(setting);
  if (!bench.ready) {
    state.SkipWithError("no headless OpenGL device");
    return;
  }
  float time = 1.0f;
  // The first frames compile the programs.
  for (int i = 0; i < 2; ++i) bench.scene->renderNow(time += 0.02f);
  glFinish();
  const double cpuBefore = processCpuSeconds();
  for (auto _ : state) {
    bench.scene->renderNow(time += 0.02f);
    glFinish();
  }
  // CPU time of every thread (llvmpipe's rasteriser threads included) per
  // frame: the work done, less sensitive than the wall time to other
  // programs competing for the cores.
  state.counters["cpu_all_threads_ms"] =
      1000.0 * (processCpuSeconds() - cpuBefore) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
  if (bench.system) state.counters["particles"] = static_cast<double>(bench.system->count);
  const gfx::Viewport picture = bench.window.defaultViewport();
  state.SetLabel(std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
                 EngineContext::get().device->rendererName());
  bench.saveStill(still);
}

void BM_EmptySceneFrame(benchmark::State& state) { runFrames(state, Setting::Empty, nullptr); }
void BM_HarmoniumSmokeFrame(benchmark::State& state) { runFrames(state, Setting::Harmonium, "harmonium-smoke.png"); }
void BM_TownSmogFrame(benchmark::State& state) { runFrames(state, Setting::Town, "town-smog.png"); }
BENCHMARK(BM_EmptySceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HarmoniumSmokeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TownSmogFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The vertex build alone, into memory of the locked range's size: the work
// between the lock and the unlock, allocation-free.
void BM_HarmoniumVertexBuild(benchmark::State& state) {
  ParticleBench bench(Setting::Harmonium);
  if (!bench.ready) {
    state.SkipWithError("no headless OpenGL device");
    return;
  }
  const TextureParticleSystem& smoke = *bench.system;
  std::vector<ParticleVertex> vertices(static_cast<size_t>(smoke.count) * TextureParticleSystem::kVerticesPerParticle);
  for (auto _ : state) {
    benchmark::DoNotOptimize(smoke.buildVertices(vertices.data(), static_cast<uint32_t>(smoke.count)));
    benchmark::ClobberMemory();
  }
  state.counters["particles"] = static_cast<double>(smoke.count);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * smoke.count *
                          TextureParticleSystem::kBytesPerParticle);
}
BENCHMARK(BM_HarmoniumVertexBuild)->Unit(benchmark::kMicrosecond);

}  // namespace
