// Particles through a Scene on the real OpenGL backend (headless, llvmpipe
// where there is no GPU) with "Quad.fxo": faint squares that face the camera
// whatever its direction and roll, smoke that thickens where particles
// overlap, solid objects in front hiding it, and a spawner's rising plume.
// With VELM_PARTICLE_STILLS set to a folder, the pictures are also written
// there as PNG files (shown over black).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "particles/scene_particles.h"
#include "particles/texture_particle_system.h"
#include "scene/camera.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/particles/particle_test_support.h"
#include "tests/support/gl_pictures.h"

namespace velm::testing {
namespace {

struct Point {
  float x, y;
};

class ParticlesOnOpenGl : public ParticleTest {
 protected:

  Picture renderScene(float time) {
    scene->render(time);
    return readPicture(scene->output()->surface);
  }

  // Where a world point lands in the picture, in pixels (not rounded), and
  // its clip w.
  Point pixelOf(Vector3 world, const Picture& picture, float* w = nullptr) const {
    const PicturePoint p = projectToPicture(camera->viewProjection(), world, picture.width(), picture.height());
    if (w) *w = p.w;
    return {p.x, p.y};
  }

  void saveStill(const std::string& name, const Picture& picture) {
    saveStillOverBlack("VELM_PARTICLE_STILLS", name, picture.pixels);
  }

  Texture* whiteTexture() {
    return makeTexture("white.png", 16, [](int, int, uint8_t* p) { p[0] = p[1] = p[2] = p[3] = 255; });
  }

  // A round soft sprite: a Gaussian alpha that reaches zero before the edge,
  // bluish white at the rim and white in the core.
  Texture* softSprite() {
    return makeTexture("sprite.png", 64, [](int x, int y, uint8_t* p) {
      const float dx = (x + 0.5f) / 32.0f - 1.0f, dy = (y + 0.5f) / 32.0f - 1.0f;
      const float r = std::sqrt(dx * dx + dy * dy);
      const float edge = std::clamp((1.0f - r) / 0.25f, 0.0f, 1.0f);
      const float core = std::exp(-6.0f * r * r);
      p[0] = static_cast<uint8_t>(255.0f * (0.78f + 0.22f * core));
      p[1] = static_cast<uint8_t>(255.0f * (0.86f + 0.14f * core));
      p[2] = 255;
      p[3] = static_cast<uint8_t>(255.0f * std::exp(-4.0f * r * r) * edge * edge * (3.0f - 2.0f * edge));
    });
  }

  MeshInstance* addBox(Vector3 centre, float halfSize, Colour ambient) {
    Mesh* mesh = EngineContext::get().createMesh();
    meshgen::Cube(halfSize, halfSize, halfSize).generate(*mesh);
    auto* instance = new MeshInstance(mesh);
    instances.emplace_back(instance);
    instance->transform = translationMatrix(centre.x, centre.y, centre.z);
    instance->material.ambient = ambient;
    instance->material.diffuse = {0, 0, 0, 1};
    instance->material.specular = {0, 0, 0, 1};
    scene->graph->root.addChild(instance);
    return instance;
  }

  std::vector<std::unique_ptr<MeshInstance>> instances;
};

TEST_F(ParticlesOnOpenGl, FaintSquaresFaceTheCameraFromAnyDirection) {
  struct View {
    const char* name;
    const char* still;
    Vector3 position, target;
    float roll;
  };
  const View views[] = {
      {"front", "squares-front.png", {0, 0, -10}, {0, 0, 0}, 0.0f},
      {"oblique", "squares-oblique.png", {7, 5, -5}, {0, 0, 0}, 0.0f},
      {"from above, rolled", "squares-above-rolled.png", {0.5f, 9, -1}, {0, 0, 0}, 0.5f},
  };
  useOpenGl(320, 240);  // picture 320 x 179
  buildScene({0, 0, -10}, {0, 0, 0});
  auto* system = new TextureParticleSystem(16, whiteTexture());
  std::unique_ptr<TextureParticleSystem> owner(system);
  scene->graph->root.addChild(system);
  const Vector3 places[] = {{0, 0, 0}, {-2.5f, 1.0f, 0.5f}, {2.0f, -1.5f, -0.5f}};
  for (const Vector3& p : places) system->add(new Particle{1.5f, 1.0f, p});

  float time = 1.0f;
  for (const View& v : views) {
    camera->position = v.position;
    camera->target = v.target;
    camera->roll = v.roll;
    const Picture picture = renderScene(time += 1.0f);
    saveStill(v.still, picture);
    const Matrix projection = camera->projection();
    for (const Vector3& place : places) {
      float w = 0;
      const Point centre = pixelOf(place, picture, &w);
      // Half the square in pixels, from the view-space size.
      const float hx = 0.75f * projection.m[0][0] / w * 0.5f * static_cast<float>(picture.width());
      const float hy = 0.75f * projection.m[1][1] / w * 0.5f * static_cast<float>(picture.height());
      EXPECT_NEAR(hx, hy, 0.5f) << v.name << ": the picture's aspect keeps squares square";
      // The lit pixels around the centre: their box and how much of it they fill.
      const int cx = static_cast<int>(centre.x), cy = static_cast<int>(centre.y);
      const int reach = static_cast<int>(hx) + 3;
      int left = cx, right = cx, top = cy, bottom = cy, lit = 0;
      for (int y = std::max(0, cy - reach); y <= std::min(picture.height() - 1, cy + reach); ++y)
        for (int x = std::max(0, cx - reach); x <= std::min(picture.width() - 1, cx + reach); ++x) {
          if (picture.at(x, y).r == 0) continue;
          ++lit;
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      const int width = right - left + 1, height = bottom - top + 1;
      EXPECT_NEAR(width, 2.0f * hx, 2.0f) << v.name << " at " << place.x;
      EXPECT_NEAR(height, 2.0f * hy, 2.0f) << v.name << " at " << place.x;
      EXPECT_GT(lit, width * height * 95 / 100) << v.name << ": an upright square fills its box";
      // One particle covers a tenth: white at 0.1 over transparent black.
      const Rgba middle = picture.at(cx, cy);
      EXPECT_NEAR(middle.r, 26, 2) << v.name << " " << middle;
      EXPECT_NEAR(middle.a, 26, 2) << v.name << " " << middle;
    }
  }
}

TEST_F(ParticlesOnOpenGl, OverlapsThickenAndSolidsInFrontHideTheSmoke) {
  useOpenGl(320, 240);  // picture 320 x 179
  buildScene({0, 0, -10}, {0, 0, 0});
  addBox({2, 0, 0}, 1.0f, {0, 0, 1, 1});  // blue, drawn before the particles
  auto* system = new TextureParticleSystem(16, whiteTexture());
  std::unique_ptr<TextureParticleSystem> owner(system);
  scene->graph->root.addChild(system);
  // The nearer of two stacked particles is drawn first; writing no depth, it
  // does not keep the farther one out. The farther one lies on the same line
  // of sight and is large enough to cover the same pixels.
  system->add(new Particle{1.0f, 1.0f, {-2, 0, 0}});
  system->add(new Particle{1.3f, 1.0f, {-2.6f, 0, 3}});
  // Beside them, one alone and one twice as opaque.
  system->add(new Particle{1.0f, 1.0f, {-2, 2.2f, 0}});
  system->add(new Particle{1.0f, 2.0f, {-2, -2.2f, 0}});
  // Behind the box and in front of it.
  system->add(new Particle{0.5f, 1.0f, {2, -0.4f, 4}});
  system->add(new Particle{0.5f, 1.0f, {2, 0.5f, -3}});
  // Faded below zero: nothing.
  system->add(new Particle{1.0f, -0.5f, {0, 2.5f, 0}});

  const Picture picture = renderScene(1.0f);
  saveStill("overlap-and-depth.png", picture);
  auto at = [&](Vector3 world) {
    const Point p = pixelOf(world, picture);
    return picture.at(static_cast<int>(p.x), static_cast<int>(p.y));
  };
  EXPECT_NEAR(at({-2, 0, 0}).r, 48, 2) << "1 - 0.9^2 of white";
  EXPECT_NEAR(at({-2, 0, 0}).a, 48, 2);
  EXPECT_NEAR(at({-2, 2.2f, 0}).r, 26, 2);
  EXPECT_NEAR(at({-2, -2.2f, 0}).r, 51, 2) << "opacity 2 covers a fifth";
  EXPECT_EQ(at({0, 2.5f, 0}).r, 0) << at({0, 2.5f, 0});
  EXPECT_EQ(at({0, 2.5f, 0}).a, 0);

  const Rgba hidden = at({2, -0.4f, 4}), veiled = at({2, 0.5f, -3}), bare = at({2, -0.75f, -1});
  EXPECT_EQ(bare.r, 0) << bare;
  EXPECT_EQ(bare.b, 255) << bare;
  EXPECT_EQ(hidden.r, 0) << "behind the box " << hidden;
  EXPECT_EQ(hidden.b, 255) << hidden;
  EXPECT_NEAR(veiled.r, 26, 2) << "in front of the box " << veiled;
  EXPECT_NEAR(veiled.b, 255, 2) << veiled;
  EXPECT_EQ(veiled.a, 255);
}

TEST_F(ParticlesOnOpenGl, LayersFainterThanOneStepStillAddUp) {
  useOpenGl(320, 240);  // picture 320 x 179
  buildScene({0, 0, -10}, {0, 0, 0});
  auto* system = new TextureParticleSystem(200, whiteTexture());
  std::unique_ptr<TextureParticleSystem> owner(system);
  scene->graph->root.addChild(system);
  // Each layer adds 0.3 of an 8-bit step: 100 of them cover 1 - (1 - 0.3/255)^100.
  const float opacity = 0.3f / 255.0f / 0.1f;
  for (int i = 0; i < 100; ++i) system->add(new Particle{2.0f, opacity, {0, 0, 0}});
  const Picture picture = renderScene(1.0f);
  const float expected = 255.0f * (1.0f - std::pow(1.0f - 0.3f / 255.0f, 100.0f));
  const Point centre = pixelOf({0, 0, 0}, picture);
  double sum = 0, alphaSum = 0;
  int n = 0;
  for (int dy = -8; dy < 8; ++dy)
    for (int dx = -8; dx < 8; ++dx, ++n) {
      const Rgba c = picture.at(static_cast<int>(centre.x) + dx, static_cast<int>(centre.y) + dy);
      sum += c.r;
      alphaSum += c.a;
    }
  EXPECT_NEAR(sum / n, expected, 2.5) << "a fine grain that averages out";
  EXPECT_NEAR(alphaSum / n, expected, 2.5);
  EXPECT_EQ(picture.at(static_cast<int>(centre.x) + 40, static_cast<int>(centre.y)).r, 0) << "nothing beside";
}

TEST_F(ParticlesOnOpenGl, SpawnedSmokeRisesAboveItsSpawnersAndFades) {
  useOpenGl(640, 480);  // picture 640 x 359
  buildScene({0, 6.5f, -8}, {0, 6.5f, 0});
  auto* smoke = new Ef2::SPSystem(150000, softSprite());
  std::unique_ptr<Ef2::SPSystem> owner(smoke);
  // Three swaying pipes' worth of smoke, the outer two swaying less.
  DummyNode carriers[3];
  std::vector<std::unique_ptr<SavuParticleSpawner>> spawners;
  const float xs[3] = {-3.5f, 0.0f, 3.5f}, sway[3] = {0.3f, 1.0f, 0.3f};
  for (int i = 0; i < 3; ++i) {
    spawners.push_back(std::make_unique<SavuParticleSpawner>(smoke));
    spawners.back()->transform = translationMatrix(0, 3.4f, 0);
    carriers[i].addChild(spawners.back().get());
    scene->graph->root.addChild(&carriers[i]);
  }
  scene->graph->root.addChild(smoke);
  auto place = [&](float t) {
    for (int i = 0; i < 3; ++i)
      carriers[i].transform = translationMatrix(xs[i] + sway[i] * std::sin(1.3f * t + static_cast<float>(i)), 0, 0);
  };

  float t = 0.0f;
  place(t);
  scene->tick(0.0f);
  for (int tick = 0; tick < 200; ++tick) {  // ten seconds: the first particles are gone
    t += 0.05f;
    place(t);
    scene->tick(0.05f);
  }
  EXPECT_GT(smoke->count, 3 * 390);
  EXPECT_LE(smoke->count, 3 * 402) << "nothing older than 8 s";
  EXPECT_LE(static_cast<int>(smoke->slots.size()), 3 * 402) << "freed slots are reused";

  const Picture picture = renderScene(t);
  saveStill("smoke.png", picture);
  // The brightest pixel and the summed brightness of the picture row through
  // a height, within 2.5 units of a plume's axis: young smoke is a narrow,
  // dense thread, old smoke a wide, thin veil.
  struct Row {
    int peak = 0;
    double sum = 0;
  };
  auto row = [&](float x, float height) {
    Row r;
    const Point left = pixelOf({x - 2.5f, height, 0}, picture), right = pixelOf({x + 2.5f, height, 0}, picture);
    const int y = static_cast<int>(left.y);
    for (int px = std::max(0, static_cast<int>(left.x)); px <= std::min(picture.width() - 1, static_cast<int>(right.x)); ++px) {
      r.peak = std::max(r.peak, picture.at(px, y).g);
      r.sum += picture.at(px, y).g;
    }
    return r;
  };
  for (int i : {0, 2}) {
    const float x = xs[i];
    const Row young = row(x, 4.4f), old = row(x, 9.9f), below = row(x, 2.5f);
    EXPECT_GT(young.peak, 20) << "thick smoke a second above the pipe at " << x;
    EXPECT_GT(young.peak, old.peak) << "thinner as it ages at " << x;
    EXPECT_GT(old.sum, young.sum) << "and wider at " << x;
    EXPECT_GT(old.peak, 2) << "still there after six and a half seconds at " << x;
    EXPECT_EQ(below.peak, 0) << "nothing below the pipe at " << x;
  }
  int saturated = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) saturated += picture.at(x, y).g == 255;
  EXPECT_EQ(saturated, 0) << "soft smoke never burns out to white";
}

}  // namespace
}  // namespace velm::testing
