// The texture particle system against the recording device: slots and the
// free-slot stack, a full system, the packed vertex buffer, and the calls of
// one draw.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/surfaces.h"
#include "particles/texture_particle_system.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "tests/particles/particle_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

Particle* particle(float size, float opacity, Vector3 position) { return new Particle{size, opacity, position}; }

// The vertices the buffer holds, read back through a lock of the whole buffer.
std::vector<ParticleVertex> bufferVertices(TextureParticleSystem& system, uint32_t vertexCount) {
  void* data = nullptr;
  EXPECT_EQ(system.vertexBuffer->lock(0, 0, &data, gfx::LockReadOnly), gfx::Result::Ok);
  std::vector<ParticleVertex> out(vertexCount);
  if (data) std::memcpy(out.data(), data, vertexCount * sizeof(ParticleVertex));
  system.vertexBuffer->unlock();
  return out;
}

void expectMatrixNear(const std::vector<float>& logged, const Matrix& expected, const std::string& what) {
  ASSERT_EQ(logged.size(), 16u) << what;
  for (int i = 0; i < 16; ++i) {
    const float e = expected.m[i / 4][i % 4];
    EXPECT_NEAR(logged[static_cast<size_t>(i)], e, 1e-4f + 1e-5f * std::fabs(e)) << what << " entry " << i;
  }
}

class TextureParticleSystemTest : public ParticleTest {
 protected:
  void SetUp() override {
    ParticleTest::SetUp();
    buildScene({0, 2, -10}, {0, 0, 0});
  }
  // Renders the scene at `time` and keeps only the calls made from then on.
  void renderAt(float time) {
    device->clearCalls();
    scene->render(time);
  }
};

TEST_F(TextureParticleSystemTest, ConstructionMakesADynamicBufferOfSixVerticesPerParticle) {
  device->clearCalls();
  auto system = std::make_unique<TextureParticleSystem>(50, nullptr);
  // 50 x 168 bytes, dynamic, XYZ | TEX2, default pool.
  EXPECT_THAT(device->calls(), ElementsAre("createVertexBuffer(8400, 0x00000200, 0x00000202, 0) -> " +
                                           gfx::RecordingDevice::nameOf(system->vertexBuffer)));
  EXPECT_EQ(system->count, 0);
  EXPECT_EQ(system->capacity, 50);
  EXPECT_THAT(system->slots, IsEmpty());
  EXPECT_TRUE(system->isRenderable());

  const size_t live = device->liveObjectCount();
  const std::string buffer = gfx::RecordingDevice::nameOf(system->vertexBuffer);
  system->add(particle(1, 1, {}));
  device->clearCalls();
  system.reset();
  EXPECT_THAT(device->calls(), ElementsAre("release(" + buffer + ")"));
  EXPECT_EQ(device->liveObjectCount(), live - 1);
}

TEST_F(TextureParticleSystemTest, FreedSlotsAreReusedLastFreedFirst) {
  TextureParticleSystem system(10, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(system.add(particle(1, 1, {})), i);
  system.remove(1);
  system.remove(3);
  EXPECT_EQ(system.count, 3);
  EXPECT_EQ(system.slots[1], nullptr);
  EXPECT_EQ(system.slots[3], nullptr);
  EXPECT_THAT(system.freeSlots, ElementsAre(1, 3));

  Particle* first = particle(2, 1, {});
  EXPECT_EQ(system.add(first), 3);  // the last freed
  EXPECT_EQ(system.slots[3], first);
  EXPECT_EQ(system.add(particle(1, 1, {})), 1);
  EXPECT_EQ(system.slots.size(), 5u) << "reuse does not grow the slots";
  EXPECT_EQ(system.add(particle(1, 1, {})), 5) << "no freed slot left: a new one";
  EXPECT_EQ(system.count, 6);
  EXPECT_THAT(system.freeSlots, IsEmpty());
}

TEST_F(TextureParticleSystemTest, FullSystemRefusesAndLeavesItsCount) {
  TextureParticleSystem system(3, nullptr);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(system.add(particle(1, 1, {})), i);
  auto refused = std::make_unique<Particle>(Particle{1, 1, {}});
  EXPECT_EQ(system.add(refused.get()), -1);  // still the caller's: unique_ptr frees it
  EXPECT_EQ(system.count, 3);
  EXPECT_EQ(system.slots.size(), 3u);

  // A freed slot takes one more, then the system is full again.
  system.remove(0);
  EXPECT_EQ(system.add(particle(1, 1, {})), 0);
  EXPECT_EQ(system.add(refused.get()), -1);
  EXPECT_EQ(system.count, 3);

  TextureParticleSystem none(0, nullptr);
  EXPECT_EQ(none.add(refused.get()), -1);
  EXPECT_EQ(none.count, 0);
}

TEST_F(TextureParticleSystemTest, RemovingAnEmptyOrUnknownSlotChangesNothing) {
  TextureParticleSystem system(4, nullptr);
  system.add(particle(1, 1, {}));
  system.add(particle(1, 1, {}));
  system.remove(0);
  system.remove(0);   // already empty
  system.remove(-1);  // never a slot
  system.remove(7);
  EXPECT_EQ(system.count, 1);
  EXPECT_THAT(system.freeSlots, ElementsAre(0));
  EXPECT_EQ(system.add(particle(1, 1, {})), 0);
  EXPECT_EQ(system.add(particle(1, 1, {})), 2);
}

TEST_F(TextureParticleSystemTest, VerticesArePackedInSlotOrderSkippingRemovedSlots) {
  auto* system = new TextureParticleSystem(8, nullptr);
  std::unique_ptr<TextureParticleSystem> owner(system);
  scene->graph->root.addChild(system);
  const Particle values[] = {
      {0.5f, 0.25f, {1, 2, 3}}, {9, 9, {9, 9, 9}}, {1.5f, 0.75f, {-4, 5, -6}}, {9, 9, {9, 9, 9}}, {2.5f, -0.5f, {7, 8, 9}}};
  for (const Particle& p : values) system->add(new Particle(p));
  system->remove(1);
  system->remove(3);

  renderAt(1.0f);
  const std::string buffer = gfx::RecordingDevice::nameOf(system->vertexBuffer);
  EXPECT_THAT(callsWith("lock("), ElementsAre("lock(" + buffer + ", 0, 504, 0x00000000)", "unlock(" + buffer + ")"));
  EXPECT_THAT(callsWith("drawPrimitive("), ElementsAre("drawPrimitive(4, 0, 6)"));

  const float corners[6][2] = {{0, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 1}, {1, 0}};
  std::vector<ParticleVertex> expected;
  for (int i : {0, 2, 4})
    for (const auto& c : corners) {
      const Particle& p = values[i];
      expected.push_back({p.position.x, p.position.y, p.position.z, c[0], c[1], p.opacity, p.size});
    }
  const std::vector<ParticleVertex> written = bufferVertices(*system, 18);
  ASSERT_EQ(written.size(), expected.size());
  for (size_t v = 0; v < expected.size(); ++v)
    EXPECT_EQ(std::memcmp(&written[v], &expected[v], sizeof(ParticleVertex)), 0) << "vertex " << v;

  // The build stops where the room ends.
  std::vector<ParticleVertex> room(13, ParticleVertex{});
  EXPECT_EQ(system->buildVertices(room.data(), 2), 2u);
  EXPECT_EQ(room[6].size, 1.5f);
  EXPECT_EQ(room[12].size, 0.0f) << "nothing past two particles";

  // A particle placed in a freed slot is drawn in that slot's place.
  system->add(new Particle{3.5f, 1.0f, {0, 0, 1}});  // slot 3
  renderAt(2.0f);
  EXPECT_THAT(callsWith("drawPrimitive("), ElementsAre("drawPrimitive(4, 0, 8)"));
  const std::vector<ParticleVertex> again = bufferVertices(*system, 24);
  EXPECT_EQ(again[12].size, 3.5f);
  EXPECT_EQ(again[18].size, 2.5f);
}

TEST_F(TextureParticleSystemTest, NoLiveParticlesDrawZeroTriangles) {
  auto* system = new TextureParticleSystem(8, nullptr);
  std::unique_ptr<TextureParticleSystem> owner(system);
  scene->graph->root.addChild(system);
  for (const bool afterRemovals : {false, true}) {
    if (afterRemovals) {
      system->add(particle(1, 1, {}));
      system->add(particle(1, 1, {}));
      system->remove(0);
      system->remove(1);
    }
    renderAt(afterRemovals ? 2.0f : 1.0f);
    EXPECT_THAT(callsWith("drawPrimitive("), ElementsAre("drawPrimitive(4, 0, 0)")) << afterRemovals;
    EXPECT_THAT(callsWith("lock("), IsEmpty()) << "nothing to write, so no lock";
  }
}

TEST_F(TextureParticleSystemTest, DrawBindsTheQuadEffectWithTheCameraAndSetsNoStatesOfItsOwn) {
  Texture* smog = makeTexture("smog.png", 4, [](int, int, uint8_t* p) { p[0] = p[1] = p[2] = p[3] = 200; });
  auto* system = new TextureParticleSystem(8, smog);
  std::unique_ptr<TextureParticleSystem> owner(system);
  // The parent's transform does not move the particles.
  DummyNode parent;
  parent.transform = translationMatrix(100, 0, 0);
  parent.addChild(system);
  scene->graph->root.addChild(&parent);
  system->add(particle(1, 1, {1, 2, 3}));
  system->add(particle(1, 1, {4, 5, 6}));
  camera->position = {3, 4, -12};
  camera->roll = 0.3f;

  scene->render(0.5f);  // the first draw also loads the effect
  renderAt(1.0f);
  const std::vector<std::string>& all = device->calls();
  size_t first = 0;
  while (first < all.size() && all[first].rfind("lock(", 0) != 0) ++first;
  ASSERT_LT(first, all.size());
  size_t last = first;
  while (last < all.size() && all[last] != "endScene()") ++last;
  std::vector<std::string> draw(all.begin() + static_cast<long>(first), all.begin() + static_cast<long>(last));
  // Matrices are checked below by value.
  for (std::string& c : draw)
    if (c.find("setMatrix(") != std::string::npos) c = c.substr(0, c.find(',')) + ")";

  const std::string buffer = gfx::RecordingDevice::nameOf(system->vertexBuffer);
  const std::string texture = gfx::RecordingDevice::nameOf(smog->getTexture());
  ASSERT_FALSE(callsWith("setTechnique(Quad)").empty());
  const std::string effect = callsWith("setTechnique(Quad)")[0].substr(0, callsWith("setTechnique(Quad)")[0].find('.'));
  EXPECT_THAT(draw, ElementsAreArray(std::vector<std::string>{
                        "lock(" + buffer + ", 0, 336, 0x00000000)",
                        "unlock(" + buffer + ")",
                        effect + ".setTexture(tex, " + texture + ")",
                        effect + ".setFloat(alpha, 0.1)",
                        effect + ".setMatrix(worldViewProjection)",
                        effect + ".setMatrix(view)",
                        "setFVF(0x00000202)",
                        "setStreamSource(0, " + buffer + ", 0, 28)",
                        "setIndices(null)",
                        effect + ".setTechnique(Quad)",
                        effect + ".begin(0)",
                        effect + ".beginPass(0)",
                        "drawPrimitive(4, 0, 4)",
                        effect + ".endPass()",
                        effect + ".end()",
                    }));
  expectMatrixNear(loggedFloats(callsWith(".setMatrix(worldViewProjection")[0]), camera->projection(),
                   "the projection alone");
  expectMatrixNear(loggedFloats(callsWith(".setMatrix(view")[0]), camera->view(), "the view");
  const std::vector<ParticleVertex> written = bufferVertices(*system, 12);
  EXPECT_EQ(written[0].x, 1.0f) << "world positions as they are";
  EXPECT_EQ(written[6].z, 6.0f);
}

}  // namespace
}  // namespace velm::testing
