// Cameras, Catmull-Rom paths, buffer renderables and the shared math they
// rest on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/math3d.h"
#include "engine/surfaces.h"
#include "post/buffer_renderable.h"
#include "scene/camera.h"
#include "scene/catmull_rom_path.h"
#include "tests/scene/scene_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;

// (x, y, z, 1) x m with the w column kept.
std::array<float, 4> transform4(Vector3 p, const Matrix& m) {
  std::array<float, 4> r{};
  for (int j = 0; j < 4; ++j) r[j] = p.x * m.m[0][j] + p.y * m.m[1][j] + p.z * m.m[2][j] + m.m[3][j];
  return r;
}

void expectNear(const Matrix& a, const Matrix& b, float tolerance = 1e-5f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tolerance) << "entry " << i << "," << j;
}

float planeSide(const Plane& p, Vector3 v) { return p.a * v.x + p.b * v.y + p.c * v.z + p.d; }

using CameraTest = SceneTest;

TEST_F(CameraTest, DefaultCameraAtTheOriginHasTheIdentityView) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  expectNear(camera.view(), Matrix::identity());
  EXPECT_FALSE(camera.isOrthographic());
}

TEST_F(CameraTest, LookAtPutsTheTargetOnThePositiveViewAxis) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  camera.position = {3, 4, 5};
  camera.target = {3, 4, 15};
  camera.up = {0, 2, 0};  // need not be unit length
  const Vector3 target = transformPoint(camera.target, camera.view());
  EXPECT_NEAR(target.x, 0.0f, 1e-5f);
  EXPECT_NEAR(target.y, 0.0f, 1e-5f);
  EXPECT_NEAR(target.z, 10.0f, 1e-5f);
  const Vector3 above = transformPoint({3, 5, 5}, camera.view());
  EXPECT_NEAR(above.y, 1.0f, 1e-5f);
  const Vector3 right = transformPoint({4, 4, 5}, camera.view());
  EXPECT_NEAR(right.x, 1.0f, 1e-5f) << "left-handed: +x stays on the right";
}

TEST_F(CameraTest, RollTurnsThePictureAQuarterTurn) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  camera.roll = std::numbers::pi_v<float> / 2;
  const Vector3 p = transformPoint({1, 0, 5}, camera.view());
  EXPECT_NEAR(p.x, 0.0f, 1e-6f);
  EXPECT_NEAR(p.y, 1.0f, 1e-6f);
  EXPECT_NEAR(p.z, 5.0f, 1e-6f);
}

TEST_F(CameraTest, ProjectionUsesThePictureAspectAndKeepsM44One) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  const Matrix p = camera.projection();
  const float c = 1.0f / std::tan(0.65f);
  EXPECT_FLOAT_EQ(p.m[0][0], c / (640.0f / 359.0f)) << "the letterboxed 640 x 359 picture, not 640 x 480";
  EXPECT_FLOAT_EQ(p.m[1][1], c);
  EXPECT_FLOAT_EQ(p.m[2][2], 200.0f / 199.0f);
  EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
  EXPECT_FLOAT_EQ(p.m[3][2], -200.0f / 199.0f);
  EXPECT_FLOAT_EQ(p.m[3][3], 1.0f);
  EXPECT_EQ(p.m[0][1], 0.0f);
  EXPECT_EQ(p.m[3][0], 0.0f);
  // Clip w is view z + 1: a point at depth 0 is not at infinity.
  EXPECT_FLOAT_EQ(transform4({0, 0, 0}, p)[3], 1.0f);
  EXPECT_FLOAT_EQ(transform4({2, 1, 7}, p)[3], 8.0f);
  // Depth 0 at the near plane in the usual projection; here w is shifted.
  const auto atFar = transform4({0, 0, 200}, p);
  EXPECT_FLOAT_EQ(atFar[2], 200.0f);
}

TEST_F(CameraTest, ViewProjectionIsViewTimesProjection) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  camera.position = {10, 5, -20};
  camera.target = {0, 0, 0};
  camera.roll = 0.3f;
  expectNear(camera.viewProjection(), camera.view() * camera.projection());
  const Matrix reversed = camera.projection() * camera.view();
  float difference = 0;
  for (int i = 0; i < 16; ++i) difference += std::fabs(reversed.m[i / 4][i % 4] - camera.viewProjection().m[i / 4][i % 4]);
  EXPECT_GT(difference, 1.0f) << "the reversed product is a different matrix";
}

TEST_F(CameraTest, UpAlongTheViewGivesADegenerateView) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  camera.up = {0, 0, 3};
  const Matrix v = camera.view();
  for (int row = 0; row < 3; ++row) EXPECT_EQ(v.m[row][0], 0.0f) << "zero x axis";
}

TEST_F(CameraTest, FrustumPlanesKeepThePointsInsideTheVolume) {
  PerspectiveCamera camera(1.3f, 1.0f, 200.0f);
  camera.position = {0, 0, -10};
  camera.target = {0, 0, 0};
  const Frustum planes = camera.frustum();  // near, far, top, bottom, left, right
  const Vector3 inside{0, 0, 0};
  for (const Plane& p : planes) EXPECT_GT(planeSide(p, inside), 0.0f);
  EXPECT_LT(planeSide(planes[0], {0, 0, -10.5f}), 0.0f) << "behind the near plane";
  // With m44 = 1 the far plane lies where view z = far + (far - near) / ... :
  // w - z >= 0 gives view z <= 2 far - near, here 399, not 200.
  EXPECT_GT(planeSide(planes[1], {0, 0, 380.0f}), 0.0f);
  EXPECT_LT(planeSide(planes[1], {0, 0, 400.0f}), 0.0f) << "beyond the far plane";
  EXPECT_LT(planeSide(planes[2], {0, 100, 0}), 0.0f) << "above";
  EXPECT_LT(planeSide(planes[3], {0, -100, 0}), 0.0f) << "below";
  EXPECT_LT(planeSide(planes[4], {-100, 0, 0}), 0.0f) << "left";
  EXPECT_LT(planeSide(planes[5], {100, 0, 0}), 0.0f) << "right";
  // In an object's space: a world translation moves the volume with it.
  const Frustum moved = camera.frustumFor(translationMatrix(0, 100, 0));
  EXPECT_LT(planeSide(moved[2], {0, 0, 0}), 0.0f) << "the origin of that object lies above the picture";
}

TEST(CatmullRomPathTest, PassesThroughItsInnerPointsAndClamps) {
  const CatmullRomPath path({6.75f, 19.5f, 84.5f}, {8.055f, 96.5f, 73.0f}, {9.86f, 33.5f, 21.0f},
                            {8.45f, 96.5f, 6.5f});
  EXPECT_EQ(path.evaluate(0.0f), path.points[1]);
  EXPECT_EQ(path.evaluate(0.5f), path.points[2]);
  EXPECT_EQ(path.evaluate(1.0f), path.points[3]);
  EXPECT_EQ(path.evaluate(-3.0f), path.points[1]);
  EXPECT_EQ(path.evaluate(7.0f), path.points[3]);
  // u = 0.25: the middle of the first span, t = 0.5 between points 1 and 2.
  const Vector3 q = path.evaluate(0.25f);
  auto cr = [](float q0, float q1, float q2, float q3) {
    return 0.5f * (2 * q1 + (q2 - q0) * 0.5f + (2 * q0 - 5 * q1 + 4 * q2 - q3) * 0.25f +
                   (3 * q1 - q0 - 3 * q2 + q3) * 0.125f);
  };
  EXPECT_FLOAT_EQ(q.y, cr(19.5f, 96.5f, 33.5f, 96.5f));
  // u = 0.75: the last span repeats the last point as its missing neighbour.
  EXPECT_FLOAT_EQ(path.evaluate(0.75f).z, cr(73.0f, 21.0f, 6.5f, 6.5f));
}

TEST(Math3dTest, SingularInverseCrossProductAndRotations) {
  Matrix singular = Matrix::identity();
  singular.m[2][2] = 0.0f;
  expectNear(inverse(singular), Matrix::identity(), 0.0f);
  const Matrix m = translationMatrix(1, 2, 3) * rotationY(0.7f);
  expectNear(inverse(m) * m, Matrix::identity());

  EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}), (Vector3{0, 0, 1}));
  EXPECT_EQ(cross({2, 3, 4}, {5, 6, 7}), (Vector3{3 * 7 - 4 * 6, 4 * 5 - 2 * 7, 2 * 6 - 3 * 5}));

  const float c = std::cos(0.5f), s = std::sin(0.5f);
  const Matrix x = rotationX(0.5f), y = rotationY(0.5f), z = rotationZ(0.5f);
  EXPECT_EQ((std::vector<float>{x.m[1][1], x.m[1][2], x.m[2][1], x.m[2][2]}), (std::vector<float>{c, -s, s, c}));
  EXPECT_EQ((std::vector<float>{y.m[0][0], y.m[0][2], y.m[2][0], y.m[2][2]}), (std::vector<float>{c, s, -s, c}));
  EXPECT_EQ((std::vector<float>{z.m[0][0], z.m[0][1], z.m[1][0], z.m[1][1]}), (std::vector<float>{c, s, -s, c}));
  EXPECT_LT(determinant3x3(Matrix{{{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}), 0.0f);
}

// A renderable that counts its draws.
class CountingRenderable : public BufferRenderable {
 public:
  void draw(float) override { ++draws; }
  int draws = 0;
};

using BufferRenderableTest = SceneTest;

TEST_F(BufferRenderableTest, DrawsOnlyWhenTheTimeMoved) {
  CountingRenderable r;
  EXPECT_EQ(r.output(), nullptr);
  EXPECT_EQ(r.velocityTarget(), nullptr);
  EXPECT_EQ(r.depthTarget(), nullptr);
  EXPECT_EQ(r.distortionTarget(), nullptr);
  r.render(0.0f);  // |0 - (-1)| > 0.001
  EXPECT_EQ(r.draws, 1);
  ASSERT_NE(r.output(), nullptr);
  EXPECT_EQ(r.output()->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(r.output()->width, 640u);
  EXPECT_EQ(r.output()->height, 359u);
  RenderTarget* first = r.output();
  r.render(0.0005f);
  r.render(0.001f);
  EXPECT_EQ(r.draws, 1);
  EXPECT_FLOAT_EQ(r.lastTime, 0.0f);
  r.render(0.0011f);
  EXPECT_EQ(r.draws, 2);
  EXPECT_EQ(r.output(), first) << "the target is kept";
}

TEST_F(BufferRenderableTest, RenderBindsClearsDrawsAndUnbinds) {
  CountingRenderable r;
  device->clearCalls();
  r.render(1.0f);
  const std::string target = gfx::RecordingDevice::nameOf(r.output()->surface);
  std::vector<std::string> sequence;
  for (const std::string& c : calls())
    if (c.rfind("setRenderTarget(", 0) == 0 || c.rfind("clear(", 0) == 0) sequence.push_back(c);
  EXPECT_THAT(sequence, ElementsAre("setRenderTarget(0, " + target + ")", "clear(0x00000003, 0x00000000, 1, 0)",
                                    "setRenderTarget(0, backbuffer)"));
}

TEST_F(BufferRenderableTest, TargetsGoRoundThePool) {
  EngineContext& context = EngineContext::get();
  { CountingRenderable neverRendered; }
  EXPECT_TRUE(context.renderTargetPool.empty());
  RenderTarget *a = nullptr, *b = nullptr;
  {
    CountingRenderable first, second;
    first.render(1.0f);
    second.render(1.0f);
    a = first.output();
    b = second.output();
    EXPECT_NE(a, b);
  }
  EXPECT_EQ(context.renderTargetPool.size(), 2u);
  const int32_t made = context.renderTargetCount;
  {
    CountingRenderable again;
    again.render(2.0f);
    EXPECT_TRUE(again.output() == a || again.output() == b) << "recycled, not made";
  }
  EXPECT_EQ(context.renderTargetCount, made);
  EXPECT_EQ(context.renderTargetPool.size(), 2u);
}

TEST_F(BufferRenderableTest, FullScreenPassRunsInTheFixedOrder) {
  TShader shader(dataFileName("SolidObject.fxo"), "SolidObject");
  device->clearCalls();
  fullScreenEffectPass(shader, [&] { setFloat(shader, "radius", 0.5f); });
  std::vector<std::string> effect;
  for (const std::string& c : calls()) {
    if (c.rfind("effect#", 0) == 0) effect.push_back(c.substr(c.find('.') + 1));
    if (c.rfind("drawPrimitiveUP(", 0) == 0) effect.push_back("quad");
  }
  EXPECT_THAT(effect, ElementsAre("setMatrix(worldViewProjection, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
                                  "setFloat(radius, 0.5)", "setTechnique(SolidObject)", "begin(0)", "beginPass(0)",
                                  "quad", "endPass()", "end()"));
  EXPECT_FALSE(shader.begun);
  EXPECT_THAT(callsWith("setRenderState(20,"), ElementsAre("setRenderState(20, 2)")) << "destination blend one";
  EXPECT_THAT(callsWith("setRenderState(19,"), ElementsAre("setRenderState(19, 5)")) << "source blend source alpha";
}

}  // namespace
}  // namespace velm::testing
