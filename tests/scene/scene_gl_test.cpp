// Lit mesh instances through a Scene on the real OpenGL backend (headless,
// llvmpipe where there is no GPU): "SolidObject.fxo" draws a textured,
// normal-mapped box lit by two point lights into the colour, velocity, depth
// and distortion outputs. With VELM_SCENE_STILLS set to a folder, the
// outputs are also written there as PNG pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "geometry/modifiers.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/scene/scene_test_support.h"
#include "tests/support/gl_pictures.h"
#include "tests/support/headless_gl.h"

namespace velm::testing {
namespace {

class SceneOnOpenGl : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    window->settings.width = 320;  // picture 320 x 179
    window->settings.height = 240;
    ASSERT_NO_FATAL_FAILURE(gl.install(320, 240));
    device = nullptr;

    folder = makeScratchFolder("velm-scene");
    ASSERT_FALSE(folder.empty()) << "no scratch folder";
  }
  void TearDown() override {
    delete scene;
    delete camera;
    delete warm;
    delete cold;
    instances.clear();
    for (Mesh* m : meshes) delete m;
    SceneTest::TearDown();
    removeScratchFolder(folder);
    gl.expectNoErrors();
  }

  // A texture made from an RGBA picture through the data-file cache.
  Texture* texture(const std::string& name, int size, const PixelFunction& pixel) {
    return pngTexture(folder, name, size, pixel);
  }

  MeshInstance* addBox(float halfSize, const Matrix& transform) {
    MeshInstance* instance = &instances.emplace_back();
    meshes.push_back(makeBox(halfSize));
    instance->addChild(meshes.back());
    instance->transform = transform;
    scene->graph->root.addChild(instance);
    return instance;
  }

  void buildScene() {
    scene = new Scene();
    camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
    camera->position = {0.0f, 2.5f, -5.5f};
    camera->target = {0, 0, 0};
    scene->graph->camera = camera;
    scene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
    scene->lighting.velocityScale = 1.0f;
    // Warm light above right, blue light low on the left; both lie within
    // about one falloff unit of the box, so they reach it at full strength.
    warm = new NodePointlight(4, 4, -3, 1.2f, 1.0f, 100.0f, 1.0f, 0.85f, 0.7f, 1.0f);
    cold = new NodePointlight(-5, 0.5f, -1, 1.0f, 1.0f, 100.0f, 0.35f, 0.55f, 1.0f, 1.0f);
    scene->graph->root.addChild(warm);
    scene->graph->root.addChild(cold);
  }

  Picture read(RenderTarget* target) { return readPicture(target->surface); }

  // The pixel a world point lands in, in the scene's pictures.
  std::pair<int, int> pixelOf(Vector3 world, int width, int height) const {
    const PicturePoint p = projectToPicture(camera->viewProjection(), world, width, height);
    return {static_cast<int>(p.x), static_cast<int>(p.y)};
  }

  void saveStills(const std::string& prefix, const Picture& colour, const Picture& velocity, const Picture& depth,
                  const Picture& distortion) {
    const char* stills = stillsFolder("VELM_SCENE_STILLS");
    if (!stills) return;
    const std::string base = std::string(stills) + "/" + prefix;
    writePng(base + "-colour.png", colour.width(), colour.height(), overBlack(colour.pixels.bytes));
    writePng(base + "-velocity.png", velocity);
    writePng(base + "-distortion.png", distortion);
    // Depth: drawn pixels (at least the near plane away) from white (nearest)
    // to dark grey (farthest); nothing drawn is black.
    float nearest = 1e30f, farthest = 0;
    for (int y = 0; y < depth.height(); ++y)
      for (int x = 0; x < depth.width(); ++x)
        if (const float d = depth.depthAt(x, y); d >= 1.0f) nearest = std::min(nearest, d), farthest = std::max(farthest, d);
    std::vector<uint8_t> grey(static_cast<size_t>(depth.width() * depth.height() * 4), 255);
    for (int y = 0; y < depth.height(); ++y)
      for (int x = 0; x < depth.width(); ++x) {
        const float d = depth.depthAt(x, y);
        const float t = farthest > nearest ? (d - nearest) / (farthest - nearest) : 0.0f;
        const auto v = static_cast<uint8_t>(d >= 1.0f ? 255.0f - 200.0f * t : 0.0f);
        uint8_t* p = &grey[static_cast<size_t>((y * depth.width() + x) * 4)];
        p[0] = p[1] = p[2] = v;
      }
    writePng(base + "-depth.png", depth.width(), depth.height(), grey);
  }

  HeadlessGl gl;  // its errors fail the test
  std::string folder;
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  NodePointlight* warm = nullptr;
  NodePointlight* cold = nullptr;
  std::deque<MeshInstance> instances;
  std::vector<Mesh*> meshes;
};

TEST_F(SceneOnOpenGl, LitTexturedNormalMappedBoxWritesAllFourOutputs) {
  buildScene();
  const float pi = 3.14159265f;
  Texture* checker = texture("checker.png", 64, warmChecker);
  // Round bumps: height sin(2 pi x / 16) sin(2 pi y / 16), normal (-dh/dx, -dh/dy, 1).
  Texture* bumps = texture("bumps.png", 64, [&](int x, int y, uint8_t* p) {
    const float k = 2 * pi / 16, a = 2.5f;
    const float dx = a * k * std::cos(k * x) * std::sin(k * y), dy = a * k * std::sin(k * x) * std::cos(k * y);
    const float l = std::sqrt(dx * dx + dy * dy + 1);
    p[0] = static_cast<uint8_t>(127.5f - 127.5f * dx / l);
    p[1] = static_cast<uint8_t>(127.5f - 127.5f * dy / l);
    p[2] = static_cast<uint8_t>(127.5f + 127.5f / l);
    p[3] = 255;
  });
  ASSERT_NE(checker->getTexture(), nullptr);
  ASSERT_NE(bumps->getTexture(), nullptr);

  MeshInstance* box = addBox(1.0f, rotationY(0.6f));
  box->material.ambient = {0.15f, 0.15f, 0.15f, 1};
  box->material.diffuse = {0.9f, 0.9f, 0.9f, 1};
  box->material.specular = {0.6f, 0.6f, 0.6f, 1};
  box->material.specularPower = 24;
  box->material.texture = checker;
  box->material.normalMap = bumps;
  // A wide, flat, untextured slab under it that never moves; its normals go
  // through a non-uniform scale.
  Matrix slab = Matrix::identity();
  slab.m[0][0] = 4.0f;
  slab.m[1][1] = 0.1f;
  slab.m[2][2] = 4.0f;
  setTranslation(slab, 0, -1.2f, 1.0f);
  MeshInstance* floor = addBox(1.0f, slab);
  floor->material.diffuse = {0.6f, 0.6f, 0.6f, 1};
  floor->material.specularPower = 8;

  scene->render(1.0f);
  box->transform = rotationY(0.6f) * translationMatrix(0.4f, 0, 0);  // 0.4 to the right in 0.05 s
  scene->render(1.05f);

  const Picture colour = read(scene->output());
  const Picture velocity = read(scene->velocityTarget());
  const Picture depth = read(scene->depthTarget());
  const Picture distortion = read(scene->distortionTarget());
  saveStills("lit-box", colour, velocity, depth, distortion);
  ASSERT_EQ(colour.width(), 320);
  ASSERT_EQ(colour.height(), 179);
  const int w = colour.width(), h = colour.height();

  // Background: transparent black, grey velocity and distortion, cleared depth.
  const Rgba clearColour = colour.at(2, 2), clearVelocity = velocity.at(2, 2), clearDistortion = distortion.at(2, 2);
  EXPECT_EQ(clearColour.a, 0) << clearColour;
  EXPECT_EQ(clearColour.r + clearColour.g + clearColour.b, 0) << clearColour;
  EXPECT_EQ(clearVelocity.r, 128) << clearVelocity;
  EXPECT_EQ(clearVelocity.g, 128) << clearVelocity;
  EXPECT_EQ(clearDistortion.r, 128) << clearDistortion;
  EXPECT_NEAR(depth.depthAt(2, 2), 128.0f / 255.0f, 1e-6f);

  // The box's centre: opaque, lit, neither black nor washed out; its depth
  // is the distance along the view axis.
  const Vector3 centre = transformPoint({0, 0, 0}, box->transform);
  const auto [cx, cy] = pixelOf(centre, w, h);
  const Rgba middle = colour.at(cx, cy);
  EXPECT_EQ(middle.a, 255) << middle;
  EXPECT_GT(luminance(middle), 30.0f) << middle;
  EXPECT_LT(luminance(middle), 250.0f) << middle;
  const Vector3 toCentre = centre - camera->position;
  const float centreDepth = dot(toCentre, normalize(camera->target - camera->position));
  EXPECT_GT(depth.depthAt(cx, cy), centreDepth - 1.8f);
  EXPECT_LT(depth.depthAt(cx, cy), centreDepth);

  // Lights: the side facing the warm light is warmer than the side facing
  // the blue one.
  const Vector3 warmSide = transformPoint({0, 0.3f, -1.0f}, box->transform);  // front, facing the warm light
  const Vector3 coldSide = transformPoint({-1.0f, 0.0f, -0.3f}, box->transform);  // left, facing the blue one
  const auto [wx, wy] = pixelOf(warmSide, w, h);
  const auto [kx, ky] = pixelOf(coldSide, w, h);
  double warmRed = 0, warmBlue = 0, coldRed = 0, coldBlue = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      warmRed += colour.at(wx + dx, wy + dy).r;
      warmBlue += colour.at(wx + dx, wy + dy).b;
      coldRed += colour.at(kx + dx, ky + dy).r;
      coldBlue += colour.at(kx + dx, ky + dy).b;
    }
  EXPECT_GT(warmRed / warmBlue, coldRed / coldBlue) << "front " << colour.at(wx, wy) << " left " << colour.at(kx, ky);

  // Motion: the box moved right, so its pixels carry red above grey, and
  // the static slab and the background stay grey.
  int moving = 0, movingRight = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba v = velocity.at(x, y);
      if (v.r != 128 || v.g != 128) ++moving;
      if (v.r > 150) ++movingRight;
    }
  const Rgba boxVelocity = velocity.at(cx, cy);
  EXPECT_GT(boxVelocity.r, 150) << boxVelocity;
  EXPECT_NEAR(boxVelocity.g, 128, 20) << boxVelocity;
  const auto [fx, fy] = pixelOf({-3.0f, -1.1f, 3.0f}, w, h);  // the slab's far left, clear of the box
  EXPECT_EQ(colour.at(fx, fy).a, 255) << "the slab is drawn there";
  EXPECT_EQ(velocity.at(fx, fy).r, 128) << velocity.at(fx, fy);
  EXPECT_EQ(velocity.at(fx, fy).g, 128) << velocity.at(fx, fy);
  EXPECT_GT(movingRight, 1000);
  EXPECT_LT(moving, movingRight + 200) << "only the box moves";

  // Distortion: the box's normals offset it; the slab's top faces the sky,
  // so its offset leans one way only.
  EXPECT_NE(distortion.at(cx, cy).r, 128) << distortion.at(cx, cy);
}

TEST_F(SceneOnOpenGl, NormalMapAddsRelief) {
  buildScene();
  Texture* ridges = texture("ridges.png", 64, [](int x, int, uint8_t* p) {
    const float slope = std::sin(2 * 3.14159265f * x / 8) * 0.8f;
    const float l = std::sqrt(slope * slope + 1);
    p[0] = static_cast<uint8_t>(127.5f + 127.5f * slope / l);
    p[1] = 128;
    p[2] = static_cast<uint8_t>(127.5f + 127.5f / l);
    p[3] = 255;
  });
  // The luminance range along a line across the front face of a fresh,
  // untextured box (tangent frames are derived on its first draw).
  auto spread = [&](Texture* normalMap) {
    MeshInstance* box = addBox(1.0f, rotationY(0.6f));
    box->material.diffuse = {0.8f, 0.8f, 0.8f, 1};
    box->material.normalMap = normalMap;
    scene->renderNow(1.0f);
    scene->graph->root.removeChild(box);
    const Picture colour = read(scene->output());
    const auto [cx, cy] = pixelOf(transformPoint({0, 0, -1}, box->transform), colour.width(), colour.height());
    float low = 255, high = 0;
    for (int dx = -12; dx <= 12; ++dx) {
      const float l = luminance(colour.at(cx + dx, cy));
      low = std::min(low, l);
      high = std::max(high, l);
    }
    return high - low;
  };
  const float flat = spread(nullptr);
  const float ridged = spread(ridges);
  EXPECT_GT(ridged, flat + 20.0f) << "the ridges light and shade across the face (flat " << flat << ")";
  EXPECT_FALSE(meshes.back()->data->edit->vertices.empty());
  EXPECT_NE(*meshes.back()->data->edit->vertices[0]->tangent(), (Vector3{0, 0, 0})) << "tangent frames derived";
}

// Unlit, ambient-only materials so colours are predictable: colour = ambient.
void ambientOnly(MeshInstance* instance, Colour ambient) {
  instance->material.ambient = ambient;
  instance->material.diffuse = {0, 0, 0, 1};
  instance->material.specular = {0, 0, 0, 1};
}

TEST_F(SceneOnOpenGl, BlendingTechniquesLayerOverWhatIsBehind) {
  buildScene();
  scene->graph->root.removeChild(warm);
  scene->graph->root.removeChild(cold);
  camera->position = {0, 0, -6};
  MeshInstance* backdrop = addBox(3.0f, translationMatrix(0, 0, 6));
  ambientOnly(backdrop, {0.2f, 0.2f, 0.2f, 1});
  MeshInstance* additive = addBox(0.6f, translationMatrix(-1.6f, 0, 0));
  ambientOnly(additive, {0, 0.5f, 0, 1});
  additive->material.technique = "AdditiveObject";
  MeshInstance* alpha = addBox(0.6f, translationMatrix(0, 0, 0));
  ambientOnly(alpha, {1, 0, 0, 1});
  alpha->material.technique = "AlphaObject";
  alpha->material.blendFactor = 0.5f;
  MeshInstance* solid = addBox(0.6f, translationMatrix(1.6f, 0, 0));
  ambientOnly(solid, {0, 0, 1, 1});

  scene->render(1.0f);
  backdrop->transform = translationMatrix(0.3f, 0, 6);  // only the backdrop moves
  scene->render(1.05f);
  const Picture colour = read(scene->output());
  const Picture velocity = read(scene->velocityTarget());
  const Picture depth = read(scene->depthTarget());
  const Picture distortion = read(scene->distortionTarget());
  saveStills("techniques", colour, velocity, depth, distortion);
  const int w = colour.width(), h = colour.height();
  auto at = [&](const Picture& p, Vector3 world) {
    const auto [x, y] = pixelOf(world, w, h);
    return p.at(x, y);
  };
  auto depthAt = [&](Vector3 world) {
    const auto [x, y] = pixelOf(world, w, h);
    return depth.depthAt(x, y);
  };
  const Vector3 behind{2.8f, 1.2f, 3.0f}, inAdditive{-1.6f, 0, -0.6f}, inAlpha{0, 0, -0.6f}, inSolid{1.6f, 0, -0.6f};
  const Rgba back = at(colour, behind), backVelocity = at(velocity, behind);
  EXPECT_NEAR(back.g, 51, 2) << back;
  EXPECT_GT(backVelocity.r, 140) << "the backdrop moved right " << backVelocity;

  // Additive: adds its colour, leaves velocity and distortion as they were.
  const Rgba added = at(colour, inAdditive);
  EXPECT_NEAR(added.r, 51, 2) << added;
  EXPECT_NEAR(added.g, 51 + 128, 3) << added;
  EXPECT_EQ(at(velocity, inAdditive).r, backVelocity.r);
  EXPECT_EQ(at(distortion, inAdditive).r, at(distortion, behind).r);
  // Alpha blended at half coverage: half its colour, half the motion behind.
  const Rgba mixed = at(colour, inAlpha);
  EXPECT_NEAR(mixed.r, 128 + 25, 3) << mixed;
  EXPECT_NEAR(mixed.g, 25, 3) << mixed;
  EXPECT_NEAR(at(velocity, inAlpha).r, (128 + backVelocity.r) / 2, 2);
  // Opaque: its own colour, no motion.
  const Rgba opaque = at(colour, inSolid);
  EXPECT_EQ(opaque.b, 255) << opaque;
  EXPECT_EQ(opaque.a, 255) << opaque;
  EXPECT_EQ(at(velocity, inSolid).r, 128);
  // Every technique writes its own depth.
  EXPECT_NEAR(depthAt(inSolid), 5.4f, 0.05f);
  EXPECT_NEAR(depthAt(inAdditive), 5.4f, 0.05f);
  EXPECT_NEAR(depthAt(behind), 9.0f, 0.05f);
}

TEST_F(SceneOnOpenGl, SkyIsDrawnBehindEverythingAndTwirlTwists) {
  buildScene();
  camera->position = {0, 0, 0};
  camera->target = {0, 0, 1};
  // The sky: a box around the camera, faces turned inwards. (Not too small:
  // with the projection's m44 of 1 the view volume's apex lies one unit
  // behind the camera, so near walls would be clipped at the picture edges.)
  MeshInstance* sky = addBox(20.0f, Matrix::identity());
  meshmodify::InvertFaces().apply(*meshes.back());
  ambientOnly(sky, {0.3f, 0.3f, 0.5f, 1});
  sky->material.technique = "skybox";
  // Drawn after the sky although it lies beyond the sky's walls.
  MeshInstance* beyond = addBox(4.0f, translationMatrix(0, 0, 30));
  ambientOnly(beyond, {1, 1, 0, 1});

  scene->renderNow(1.0f);
  const Picture colour = read(scene->output());
  const Picture depth = read(scene->depthTarget());
  const int w = colour.width(), h = colour.height();
  const Rgba centre = colour.at(w / 2, h / 2), corner = colour.at(5, 5);
  EXPECT_EQ(centre.r, 255) << centre;
  EXPECT_EQ(centre.b, 0) << centre;
  EXPECT_NEAR(corner.b, 128, 2) << corner;
  EXPECT_NEAR(depth.depthAt(w / 2, h / 2), 26.0f, 0.05f);
  EXPECT_FLOAT_EQ(depth.depthAt(5, 5), 200.0f) << "the sky lies at the far plane";

  // Twirl: with disM 0 the same silhouette as a solid box, with disM 3 a twisted one.
  scene->graph->root.removeChild(sky);
  scene->graph->root.removeChild(beyond);
  camera->position = {0, 0, -4};
  MeshInstance* twirled = addBox(1.0f, rotationX(0.4f));
  auto coverage = [&](const char* technique, float disM) {
    TShader twirl(dataFileName("SolidObject.fxo"), "TwirlObject", scene);
    setFloat(twirl, "disM", disM);
    const float axis[3] = {0, 1, 0};
    setFloat3(twirl, "axis", axis);
    twirled->material.technique = technique;
    scene->renderNow(2.0f);
    const Picture p = read(scene->output());
    int covered = 0;
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) covered += p.at(x, y).a > 0;
    return covered;
  };
  const int solidCoverage = coverage("SolidObject", 0.0f);
  EXPECT_EQ(coverage("TwirlObject", 0.0f), solidCoverage);
  const int twisted = coverage("TwirlObject", 3.0f);
  EXPECT_GT(std::abs(twisted - solidCoverage), solidCoverage / 50) << solidCoverage << " vs " << twisted;
}

}  // namespace
}  // namespace velm::testing
