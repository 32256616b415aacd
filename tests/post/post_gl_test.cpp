// The post effects on the real OpenGL backend (headless, llvmpipe where there
// is no GPU): colour adjustment, blur along a map with depth, displacement by
// a map, the opaque outputs, and the whole chain over a lit moving box drawn
// through a Scene. With VELM_POST_STILLS set to a folder, the chain's
// pictures are also written there as PNG files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "geometry/modifiers.h"
#include "geometry/subdivide.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/scene/scene_test_support.h"
#include "tests/support/gl_pictures.h"
#include "tests/support/headless_gl.h"

namespace velm::testing {
namespace {

// A filled rectangle in pixels of the target, top-left origin.
struct Rect {
  uint32_t x, y, width, height;
  uint32_t argb;
};

// Clears the bound target to `background`, then each rectangle to its colour.
void fill(uint32_t background, const std::vector<Rect>& rects) {
  gfx::Device* device = EngineContext::get().device;
  device->clear(gfx::ClearTarget, background, 1.0f, 0);
  gfx::Viewport whole;
  device->getViewport(&whole);
  for (const Rect& r : rects) {
    device->setViewport({r.x, r.y, r.width, r.height, 0.0f, 1.0f});
    device->clear(gfx::ClearTarget, r.argb, 1.0f, 0);
  }
  device->setViewport(whole);
}

// A renderable whose picture is a few filled rectangles.
class Painting final : public BufferRenderable {
 public:
  Painting(uint32_t background, std::initializer_list<Rect> rects) : background_(background), rects_(rects) {}
  void draw(float) override { fill(background_, rects_); }

 private:
  uint32_t background_;
  std::vector<Rect> rects_;
};

constexpr uint32_t kGrey = 0xff808080u;   // the scenes' clear of velocity, depth and distortion
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kWhite = 0xffffffffu;

class PostOnOpenGl : public SceneTest {
 protected:
  static constexpr int kWidth = 320, kHeight = 179;  // the picture of a 320 x 240 window

  void SetUp() override {
    SceneTest::SetUp();
    window->settings.width = 320;
    window->settings.height = 240;
    ASSERT_NO_FATAL_FAILURE(gl.install(320, 240));
    device = nullptr;
  }
  void TearDown() override {
    delete scene;
    delete camera;
    delete light;
    instances.clear();
    for (Mesh* m : meshes) delete m;
    SceneTest::TearDown();
    gl.expectNoErrors();
  }

  // A screen-sized target of `format` filled with rectangles.
  RenderTarget* painted(gfx::Format format, uint32_t background, std::initializer_list<Rect> rects = {}) {
    RenderTarget* t = EngineContext::get().acquireRenderTarget(format);
    t->bind(0);
    fill(background, rects);
    t->unbind();
    return t;
  }
  RenderTarget* painted(uint32_t background, std::initializer_list<Rect> rects = {}) {
    return painted(gfx::Format::A8R8G8B8, background, rects);
  }
  Picture read(RenderTarget* target) { return readPicture(target->surface); }

  HeadlessGl gl;  // its errors fail the test
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  NodePointlight* light = nullptr;
  std::deque<MeshInstance> instances;
  std::vector<Mesh*> meshes;
};

// A depth picture value (R32F) from a clear colour: the red byte / 255.
constexpr uint32_t depthClear(uint8_t byte) { return 0xff000000u | (uint32_t{byte} << 16); }

// ---- colour adjustment ------------------------------------------------------

TEST_F(PostOnOpenGl, HsvTurnsHueAndScalesSaturationAndValue) {
  struct Case {
    const char* what;
    uint32_t colour;
    float hue, saturation, value;
    Rgba expected;
  };
  const Case cases[] = {
      {"hue 120 turns red into green", 0xffff0000u, 120.0f, 1.0f, 1.0f, {0, 255, 0, 255}},
      {"hue -120 turns red into blue", 0xffff0000u, -120.0f, 1.0f, 1.0f, {0, 0, 255, 255}},
      {"hue 480 wraps to 120", 0xffff0000u, 480.0f, 1.0f, 1.0f, {0, 255, 0, 255}},
      {"hue 60 turns green into cyan", 0xff00ff00u, 60.0f, 1.0f, 1.0f, {0, 255, 255, 255}},
      {"saturation 0 gives the grey of the value", 0xffc86432u, 0.0f, 0.0f, 1.0f, {200, 200, 200, 255}},
      {"value 2 doubles a mid grey", 0xff646464u, 0.0f, 1.0f, 2.0f, {200, 200, 200, 255}},
      {"value 0.5 halves a colour", 0xffc86432u, 0.0f, 1.0f, 0.5f, {100, 50, 25, 255}},
      {"the identity keeps a colour", 0xffc86432u, 0.0f, 1.0f, 1.0f, {200, 100, 50, 255}},
      {"saturation 0.5 moves halfway to the value", 0xffc86432u, 0.0f, 0.5f, 1.0f, {200, 150, 125, 255}},
      {"5 / 5 drives a dull blue to a bright pure hue", 0xff285078u, 0.0f, 5.0f, 5.0f, {0, 255, 255, 255}},
      {"black stays black", kBlack, 90.0f, 5.0f, 5.0f, {0, 0, 0, 255}},
  };
  for (const Case& c : cases) {
    Painting source(c.colour, {});
    source.render(1.0f);
    HSVEffect hsv(&source, c.hue, c.saturation, c.value);
    hsv.render(1.0f);
    const Rgba got = read(hsv.output()).at(kWidth / 2, kHeight / 2);
    EXPECT_NEAR(got.r, c.expected.r, 1) << c.what << " " << got;
    EXPECT_NEAR(got.g, c.expected.g, 1) << c.what << " " << got;
    EXPECT_NEAR(got.b, c.expected.b, 1) << c.what << " " << got;
    EXPECT_EQ(got.a, 255) << c.what;
  }
}

TEST_F(PostOnOpenGl, OutputsAreOpaquePicturesOfTheIntendedColours) {
  // A picture with uncovered (transparent black) parts, like a scene's.
  Painting scenePicture(0x00000000u, {{40, 30, 60, 50, 0xffc86432u}, {200, 100, 40, 40, 0xff2040ffu}});
  scenePicture.render(1.0f);
  RenderTarget* grey = painted(kGrey);
  MotionblurEffect blur(scenePicture.output(), grey, grey, 0.5f);
  blur.render(1.0f);
  HSVEffect hsv(&blur, 0.0f, 1.0f, 1.0f);
  hsv.render(1.0f);
  MappedDistortionEffect warp(hsv.output(), grey, 0.5f, 0.03f);
  warp.render(1.0f);
  const Picture source = read(scenePicture.output());
  for (BufferRenderable* stage : std::initializer_list<BufferRenderable*>{&blur, &hsv, &warp}) {
    const Picture out = read(stage->output());
    EXPECT_TRUE(out.opaque());
    EXPECT_LE(out.differences(source, 1), 0) << "each neutral stage hands on the picture as it was";
    EXPECT_EQ(out.at(5, 5), (Rgba{0, 0, 0, 255})) << "uncovered parts are opaque black";
    EXPECT_EQ(out.at(60, 50), (Rgba{200, 100, 50, 255}));
  }
  // The last output drawn onto a cleared picture with the same blend adds
  // exactly its colours.
  RenderTarget* screen = painted(0x00000000u);
  screen->bind(0);
  drawScreenQuad(warp.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  screen->unbind();
  EXPECT_EQ(read(screen).differences(source), 0);
}

// ---- motion blur --------------------------------------------------------------

TEST_F(PostOnOpenGl, BlurOfAStillPictureLeavesItUnchanged) {
  RenderTarget* picture = painted(0xff204060u, {{10, 10, 3, 150, kWhite}, {100, 40, 50, 1, 0xffff0000u},
                                                {200, 100, 9, 9, 0xff00ff00u}});
  RenderTarget* still = painted(kGrey);
  RenderTarget* depth = painted(gfx::Format::R32F, kGrey, {{90, 30, 80, 60, depthClear(153)}});
  for (RenderTarget* depthPicture : {depth, static_cast<RenderTarget*>(nullptr)}) {
    MotionblurEffect blur(picture, still, depthPicture, 0.8f);
    blur.render(1.0f);
    const Picture out = read(blur.output());
    EXPECT_EQ(out.differences(read(picture)), 0);
    EXPECT_TRUE(out.opaque());
  }
}

TEST_F(PostOnOpenGl, BlurSmearsAlongTheMapsMotionOnly) {
  // A white bar, 4 pixels wide; everything moves right at full scale, so the
  // blur runs 2 x radius x (1 - 128/255) of the width: 20 pixels, 10 either
  // way (and 5.6 pixels up or down for downward motion, in v units).
  RenderTarget* picture = painted(kBlack, {{150, 60, 4, 60, kWhite}});
  RenderTarget* right = painted(0xffff8080u);
  RenderTarget* down = painted(0xff80ff80u);
  const float radius = 20.0f / (kWidth * 2.0f * (1.0f - 128.0f / 255.0f));
  MotionblurEffect horizontal(picture, right, nullptr, radius);
  horizontal.render(1.0f);
  const Picture h = read(horizontal.output());
  EXPECT_GT(h.meanRed(143, 143, 62, 117), 20) << "smeared 7 pixels to the left";
  EXPECT_GT(h.meanRed(160, 160, 62, 117), 20) << "smeared 6 pixels to the right";
  EXPECT_EQ(h.maxRed(138, 138, 60, 119), 0) << "but no further than half the blur";
  EXPECT_EQ(h.maxRed(166, 166, 60, 119), 0);
  EXPECT_LT(h.meanRed(150, 153, 62, 117), 150) << "the bar's own pixels are spread out";
  EXPECT_EQ(h.maxRed(140, 165, 0, 55), 0) << "nothing runs up";
  EXPECT_EQ(h.maxRed(140, 165, 125, kHeight - 1), 0) << "or down";
  // The same bar moving down smears it at its ends only.
  MotionblurEffect vertical(picture, down, nullptr, radius);
  vertical.render(1.0f);
  const Picture v = read(vertical.output());
  EXPECT_EQ(v.maxRed(0, 149, 0, kHeight - 1), 0);
  EXPECT_EQ(v.maxRed(154, kWidth - 1, 0, kHeight - 1), 0);
  EXPECT_EQ(v.meanRed(150, 153, 66, 113), 255) << "inside the bar the smear finds the bar only";
  EXPECT_GT(v.meanRed(150, 153, 56, 59), 20);
  EXPECT_GT(v.meanRed(150, 153, 120, 123), 20);
}

TEST_F(PostOnOpenGl, DepthKeepsStillAndMovingLayersApart) {
  // A white square in front (depth 0.6), a black backdrop behind (0.9).
  const Rect square{120, 60, 60, 60, kWhite};
  RenderTarget* picture = painted(kBlack, {square});
  RenderTarget* depth = painted(gfx::Format::R32F, depthClear(230), {{120, 60, 60, 60, depthClear(153)}});
  RenderTarget* flat = painted(gfx::Format::R32F, depthClear(230));
  const float radius = 0.1f;  // about 32 pixels of blur at full scale

  // The backdrop moves right behind the still square: with depth, the
  // backdrop next to the square does not take up its white.
  RenderTarget* backdropMoves = painted(0xffff8080u, {{120, 60, 60, 60, kGrey}});
  MotionblurEffect withDepth(picture, backdropMoves, depth, radius);
  withDepth.render(1.0f);
  MotionblurEffect withoutDepth(picture, backdropMoves, flat, radius);
  withoutDepth.render(1.0f);
  const Picture kept = read(withDepth.output()), bled = read(withoutDepth.output());
  for (int x : {110, 115, 185, 190}) {
    EXPECT_EQ(kept.maxRed(x, x, 60, 119), 0) << "x " << x;
    EXPECT_GT(bled.meanRed(x, x, 60, 119), 0) << "x " << x << ": without depth the square bleeds out";
  }
  EXPECT_EQ(kept.at(150, 90).r, 255) << "the still square stays sharp";
  EXPECT_EQ(kept.at(121, 90).r, 255);

  // The square moves right over a still, striped backdrop: it smears inside
  // its own outline, its edges taking in the grey backdrop it passes (16
  // pixels either way) but not the green stripes beyond that reach; the
  // backdrop itself, stripes included, is not smeared at all.
  RenderTarget* striped = painted(0xff303030u, {{100, 0, 4, kHeight, 0xff00ff00u}, {196, 0, 4, kHeight, 0xff00ff00u},
                                                square});
  RenderTarget* squareMoves = painted(kGrey, {{120, 60, 60, 60, 0xffff8080u}});
  MotionblurEffect fast(striped, squareMoves, depth, radius);
  fast.render(1.0f);
  const Picture before = read(striped), after = read(fast.output());
  int changedOutside = 0, greenInSquare = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Rgba a = after.at(x, y);
      const bool inSquare = x >= 120 && x < 180 && y >= 60 && y < 120;
      if (!inSquare) changedOutside += !(a == before.at(x, y));
      else greenInSquare += std::abs(a.g - a.r) > 1;
    }
  EXPECT_EQ(changedOutside, 0) << "the still backdrop keeps every pixel";
  EXPECT_EQ(greenInSquare, 0) << "the square mixes in no green from the stripes";
  EXPECT_LT(after.at(121, 90).r, 255) << "the square's edge takes in the backdrop it passes";
  EXPECT_LT(after.at(178, 90).r, 255);
  EXPECT_GT(after.at(121, 90).r, 0x30);
  EXPECT_EQ(after.at(150, 90).r, 255);
}

// ---- mapped distortion ------------------------------------------------------

// The brightness-weighted mean position of a row's pixels between x0 and x1.
double centroid(const Picture& p, int y, int x0, int x1) {
  double sum = 0, weighted = 0;
  for (int x = x0; x <= x1; ++x) {
    const double b = p.at(x, y).r + p.at(x, y).g + p.at(x, y).b;
    sum += b;
    weighted += b * x;
  }
  return sum > 0 ? weighted / sum : -1;
}
double columnCentroid(const Picture& p, int x, int y0, int y1) {
  double sum = 0, weighted = 0;
  for (int y = y0; y <= y1; ++y) {
    const double b = p.at(x, y).r + p.at(x, y).g + p.at(x, y).b;
    sum += b;
    weighted += b * y;
  }
  return sum > 0 ? weighted / sum : -1;
}

TEST_F(PostOnOpenGl, DistortionWithAGreyMapOrNoFactorLeavesThePicture) {
  RenderTarget* picture = painted(0xff204060u, {{10, 10, 3, 150, kWhite}, {100, 40, 50, 1, 0xffff0000u},
                                                {200, 100, 9, 9, 0xff00ff00u}});
  RenderTarget* grey = painted(kGrey);
  RenderTarget* wild = painted(0xffff00ffu, {{50, 50, 100, 100, 0xff00ff00u}});
  struct Case {
    const char* what;
    RenderTarget* map;
    float factor, timedelta;
  };
  for (const Case& c : {Case{"grey map", grey, 0.5f, 0.03f}, Case{"factor 0", wild, 0.0f, 0.03f},
                        Case{"factor 0 over no time", wild, 0.0f, 0.0f}}) {
    MappedDistortionEffect warp(picture, c.map, c.factor, c.timedelta);
    warp.render(1.0f);
    const Picture out = read(warp.output());
    EXPECT_EQ(out.differences(read(picture)), 0) << c.what;
    EXPECT_TRUE(out.opaque()) << c.what;
  }
}

TEST_F(PostOnOpenGl, DistortionMovesThePictureAlongTheMap) {
  // A white 10 x 10 square over black. The move is 2 x factor x
  // sin(2 (map - 128/255) / timedelta) in texture units: about factor /
  // timedelta x the map offset for small offsets, folding back past a
  // quarter turn.
  RenderTarget* picture = painted(kBlack, {{150, 80, 10, 10, kWhite}});
  auto move = [](float map, float factor, float timedelta, int size) {
    return 2.0f * factor * std::sin(2.0f * (map - 128.0f / 255.0f) / timedelta) * static_cast<float>(size);
  };
  struct Case {
    const char* what;
    uint32_t map;
    float factor, timedelta;
    float red, green;  // the map's channels
    float minimumMove;  // in pixels, along the larger axis
  };
  const Case cases[] = {
      {"red moves right", 0xffff8080u, 0.02f, 1.5f, 1.0f, 128.0f / 255.0f, 7.0f},
      {"a negative factor moves the other way", 0xffff8080u, -0.02f, 1.5f, 1.0f, 128.0f / 255.0f, 7.0f},
      {"green moves down", 0xff80ff80u, 0.02f, 1.5f, 128.0f / 255.0f, 1.0f, 4.0f},
      {"black moves up and left", kBlack, 0.02f, 1.5f, 0.0f, 0.0f, 7.0f},
      {"a shorter time moves further", 0xffff8080u, 0.02f, 1.0f, 1.0f, 128.0f / 255.0f, 10.0f},
      {"past a quarter turn the move folds back", 0xffff8080u, 0.02f, 0.3f, 1.0f, 128.0f / 255.0f, 1.0f},
  };
  for (const Case& c : cases) {
    const float dx = move(c.red, c.factor, c.timedelta, kWidth), dy = move(c.green, c.factor, c.timedelta, kHeight);
    EXPECT_GE(std::max(std::fabs(dx), std::fabs(dy)), c.minimumMove) << c.what << " (the case itself)";
    RenderTarget* map = painted(c.map);
    MappedDistortionEffect warp(picture, map, c.factor, c.timedelta);
    warp.render(1.0f);
    const Picture out = read(warp.output());
    const double x = centroid(out, static_cast<int>(std::lround(84.5 + dy)), 100, 210);
    const double y = columnCentroid(out, static_cast<int>(std::lround(154.5 + dx)), 30, 150);
    EXPECT_NEAR(x - 154.5, dx, 0.6) << c.what;
    EXPECT_NEAR(y - 84.5, dy, 0.6) << c.what;
  }
  EXPECT_LT(move(1.0f, 0.02f, 0.3f, kWidth), 0.0f) << "the folded case moves left";
}

TEST_F(PostOnOpenGl, APictureAsItsOwnMapBendsItSteadily) {
  // A grid of coloured bars on a dark ground, twice: the picture and a copy.
  const uint32_t colours[] = {0xffd04020u, 0xff20a0d0u, 0xff80ff80u, 0xff402080u, 0xffe0e0e0u};
  gfx::Device* device3d = EngineContext::get().device;
  RenderTarget* picture = painted(0xff101010u);
  RenderTarget* copy = painted(0xff101010u);
  for (RenderTarget* t : {picture, copy}) {
    t->bind(0);
    for (uint32_t i = 0; i < 16; ++i) {
      device3d->setViewport({i * 20u, 0, 10, kHeight, 0.0f, 1.0f});
      device3d->clear(gfx::ClearTarget, colours[i % 5], 1.0f, 0);
      device3d->setViewport({0, i * 11u, kWidth, 4, 0.0f, 1.0f});
      device3d->clear(gfx::ClearTarget, colours[(i + 2) % 5], 1.0f, 0);
    }
    t->unbind();
  }
  ASSERT_EQ(read(picture).differences(read(copy)), 0);
  MappedDistortionEffect selfMapped(picture, picture, 0.01f, 0.03f);
  selfMapped.render(1.0f);
  MappedDistortionEffect copyMapped(picture, copy, 0.01f, 0.03f);
  copyMapped.render(1.0f);
  const Picture wave = read(selfMapped.output());
  EXPECT_EQ(wave.differences(read(copyMapped.output())), 0) << "the same as with a copy for map";
  EXPECT_GT(wave.differences(read(picture), 8), kWidth * kHeight / 20) << "and visibly moved";
  // Another frame with the same inputs gives the same picture.
  MappedDistortionEffect again(picture, picture, 0.01f, 0.03f);
  again.render(2.0f);
  EXPECT_EQ(read(again.output()).differences(wave), 0);
}

// ---- the chain over a scene ------------------------------------------------------

TEST_F(PostOnOpenGl, ChainOverALitMovingBoxBlursTintsAndBends) {
  const std::string folder = makeScratchFolder("velm-post");
  ASSERT_FALSE(folder.empty()) << "no scratch folder";
  // A checker texture for the box.
  Texture* checker = pngTexture(folder, "checker.png", 64, warmChecker);
  ASSERT_FALSE(HasFatalFailure()) << "the checker's PNG file is written";

  scene = new Scene();
  camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  camera->position = {0.0f, 2.5f, -5.5f};
  camera->target = {0, 0, 0};
  scene->graph->camera = camera;
  scene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  scene->lighting.velocityScale = 0.1f;  // as the caption overlay's scene
  light = new NodePointlight(3, 4, -4, 1.2f, 1.0f, 100.0f, 1.0f, 0.9f, 0.8f, 1.0f);
  scene->graph->root.addChild(light);
  auto add = [&](float halfSize, const Matrix& transform) {
    MeshInstance* instance = &instances.emplace_back();
    meshes.push_back(makeBox(halfSize));
    instance->addChild(meshes.back());
    instance->transform = transform;
    scene->graph->root.addChild(instance);
    return instance;
  };
  MeshInstance* box = add(1.0f, rotationY(0.6f));
  box->material.ambient = {0.15f, 0.15f, 0.15f, 1};
  box->material.diffuse = {0.9f, 0.9f, 0.9f, 1};
  box->material.specular = {0.5f, 0.5f, 0.5f, 1};
  box->material.specularPower = 24;
  box->material.texture = checker;
  // A still, lit floor and back wall.
  Matrix slab = Matrix::identity();
  slab.m[0][0] = 5.0f;
  slab.m[1][1] = 0.1f;
  slab.m[2][2] = 5.0f;
  setTranslation(slab, 0, -1.2f, 2.0f);
  add(1.0f, slab)->material.diffuse = {0.5f, 0.55f, 0.6f, 1};
  Matrix wall = Matrix::identity();
  wall.m[0][0] = 6.0f;
  wall.m[1][1] = 4.0f;
  wall.m[2][2] = 0.1f;
  setTranslation(wall, 0, 1.0f, 6.0f);
  add(1.0f, wall)->material.diffuse = {0.35f, 0.3f, 0.45f, 1};
  // A still, rounded, textured blob on the left: smooth normals for the
  // distortion to bend along.
  Mesh* blobMesh = EngineContext::get().createMesh();
  meshgen::Cube(1.1f, 1.1f, 1.1f).generate(*blobMesh);
  meshmodify::Subdivide(3, 0).apply(*blobMesh);
  meshmodify::Texgen(0, 1.0f).apply(*blobMesh);
  MeshInstance* blob = &instances.emplace_back(blobMesh);
  blob->transform = translationMatrix(-2.3f, -0.3f, 1.0f);
  blob->material.texture = checker;
  blob->material.diffuse = {0.8f, 0.8f, 0.8f, 1};
  scene->graph->root.addChild(blob);

  scene->render(1.0f);
  box->transform = rotationY(0.75f) * translationMatrix(0.5f, 0, 0);  // turning and moving right
  scene->render(1.05f);

  MotionblurEffect blur(scene->output(), scene->velocityTarget(), scene->depthTarget(), 0.4f);
  HSVEffect hsv(&blur, 40.0f, 1.8f, 1.2f);
  blur.render(1.05f);
  hsv.render(1.05f);
  MappedDistortionEffect warp(hsv.output(), scene->distortionTarget(), 0.01f, 0.03f);
  warp.render(1.05f);
  // The town's first wave: the blurred picture bends itself.
  MappedDistortionEffect wave(blur.output(), blur.output(), 0.01f, 0.03f);
  wave.render(1.05f);
  // The town's blur: the colour picture as its own blur map.
  MotionblurEffect glow(scene->output(), scene->output(), scene->depthTarget(), 0.015f);
  glow.render(1.05f);

  Picture colour = read(scene->output());
  colour.pixels.bytes = overBlack(colour.pixels.bytes);
  const Picture blurred = read(blur.output()), tinted = read(hsv.output()), bent = read(warp.output()),
                waved = read(wave.output()), glowed = read(glow.output());
  if (const char* stills = stillsFolder("VELM_POST_STILLS")) {
    const std::string base = std::string(stills) + "/chain-";
    writePng(base + "0-scene.png", colour);
    writePng(base + "1-blur.png", blurred);
    writePng(base + "2-hsv.png", tinted);
    writePng(base + "3-distortion.png", bent);
    writePng(base + "4-self-mapped-wave.png", waved);
    writePng(base + "5-colour-mapped-blur.png", glowed);
  }
  removeScratchFolder(folder);

  for (const Picture* p : {&blurred, &tinted, &bent, &waved, &glowed}) EXPECT_TRUE(p->opaque());
  EXPECT_GT(glowed.differences(colour, 8), 500) << "a colour picture as map smears it";
  // The box moved, so its picture changed; the still room did not, apart
  // from where the box's smear crosses it.
  // The moving pixels, and how far the longest smear among them reaches.
  const Picture velocity = read(scene->velocityTarget());
  int x0 = kWidth, x1 = -1, y0 = kHeight, y1 = -1;
  float reach = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Rgba v = velocity.at(x, y);
      if (v.r == 128 && v.g == 128) continue;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      const float du = 0.4f * (v.r - 128) / 255.0f * kWidth, dv = 0.4f * (v.g - 128) / 255.0f * kHeight;
      reach = std::max(reach, std::sqrt(du * du + dv * dv));
    }
  ASSERT_GE(x1, x0) << "the box moved";
  EXPECT_GT(reach, 5.0f);
  // The box's picture is smeared; the still room beyond the smear's reach
  // keeps every pixel.
  int boxChanged = 0, roomChanged = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const Rgba a = blurred.at(x, y), b = colour.at(x, y);
      const bool changed = std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 6;
      if (x >= x0 && x <= x1 && y >= y0 && y <= y1) boxChanged += changed;
      else if (x < x0 - reach - 1 || x > x1 + reach + 1 || y < y0 - reach - 1 || y > y1 + reach + 1)
        roomChanged += changed;
    }
  EXPECT_GT(boxChanged, 300);
  EXPECT_EQ(roomChanged, 0) << "still pixels out of the box's reach keep their colour";
  // The tint turned the wall's pale violet towards warm yellow.
  const Rgba wallBefore = blurred.at(kWidth / 2, 25), wallAfter = tinted.at(kWidth / 2, 25);
  EXPECT_GT(wallBefore.b, 100) << "the wall is there";
  EXPECT_GT(wallAfter.g - wallAfter.b, wallBefore.g - wallBefore.b) << wallBefore << " -> " << wallAfter;
  EXPECT_GT(bent.differences(tinted, 8), 500) << "the normals bend the picture";
  EXPECT_GT(waved.differences(blurred, 8), 500) << "the picture bends itself";
}

}  // namespace
}  // namespace velm::testing
