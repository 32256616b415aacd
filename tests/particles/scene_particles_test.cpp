// The scenes' particle classes: the town's fixed-jitter smog and the chained
// seed it leaves the generator with, the harmonium's ageing smoke and its
// process-wide ages, and the smoke spawner's emission.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/random.h"
#include "particles/scene_particles.h"
#include "scene/scene.h"
#include "tests/particles/particle_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;

// The sideways jitter the smog's update gives the n-th live slot: the
// generator restarted from the fixed seed, two draws per live slot before it.
std::pair<float, float> jitterOfLiveSlot(int n) {
  seedRandom(ParticleSystem2::kJitterSeed);
  float j1 = 0, j2 = 0;
  for (int i = 0; i <= n; ++i) {
    j1 = randomSigned() * 0.5f;
    j2 = randomSigned() * 0.5f;
  }
  return {j1, j2};
}

using ParticleSystem2Test = ParticleTest;

TEST_F(ParticleSystem2Test, EachSlotDriftsTheSameWayOnEveryTickAndRisesAlongZ) {
  ParticleSystem2 smog(10, nullptr);
  for (int i = 0; i < 4; ++i) smog.add(new Particle{10.0f, 0.35f, {0, 0, 0}});
  smog.remove(1);  // a removed slot draws nothing: slot 2 takes the second live slot's jitter

  const float dt = 0.05f;
  for (int tick = 1; tick <= 3; ++tick) {
    smog.update(Matrix::identity(), dt);
    int live = 0;
    for (int slot : {0, 2, 3}) {
      const Particle& p = *smog.slots[static_cast<size_t>(slot)];
      const auto [j1, j2] = jitterOfLiveSlot(live++);
      float x = 0, y = 0, z = 0, size = 10.0f, opacity = 0.35f;
      for (int k = 0; k < tick; ++k) {  // the same arithmetic, tick after tick
        x += 10.0f * dt * j1;
        y += 10.0f * dt * j2;
        z += 10.0f * dt;
        size += dt * 0.07f;
        opacity -= dt * 0.065f;
      }
      EXPECT_EQ(p.position.x, x) << "slot " << slot << " tick " << tick;
      EXPECT_EQ(p.position.y, y) << "slot " << slot << " tick " << tick;
      EXPECT_EQ(p.position.z, z) << "slot " << slot << " tick " << tick;
      EXPECT_EQ(p.size, size);
      EXPECT_EQ(p.opacity, opacity);
    }
  }
  // Different slots drift in different directions.
  EXPECT_NE(smog.slots[0]->position.x, smog.slots[2]->position.x);
  EXPECT_NEAR(smog.slots[3]->position.z, 1.5f, 1e-5f) << "10 units per second";
}

TEST_F(ParticleSystem2Test, OtherUsersOfTheGeneratorStillSeeAVaryingSequence) {
  ParticleSystem2 smog(10, nullptr);
  smog.add(new Particle{10.0f, 0.35f, {}});
  // After each update the generator runs from the chained seed, whose next
  // value becomes the seed after the following update.
  uint32_t expectedSeed = ParticleSystem2::kFirstChainedSeed;
  std::vector<int> seen;
  for (int tick = 0; tick < 4; ++tick) {
    seedRandom(expectedSeed);
    const auto nextSeed = static_cast<uint32_t>(randomInt());
    const int expectedDraw = randomInt();

    smog.update(Matrix::identity(), tick == 2 ? 0.0f : 0.05f);  // dt = 0 reseeds all the same
    EXPECT_EQ(ParticleSystem2::chainedSeed, nextSeed) << "tick " << tick;
    seen.push_back(randomInt());
    EXPECT_EQ(seen.back(), expectedDraw) << "tick " << tick;
    expectedSeed = nextSeed;
  }
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
  EXPECT_NE(seen[2], seen[3]);
}

TEST_F(ParticleSystem2Test, ZeroStepLeavesParticlesAndNeverRemovesFadedOnes) {
  ParticleSystem2 smog(10, nullptr);
  smog.add(new Particle{10.0f, 0.35f, {1, 2, 3}});
  smog.update(Matrix::identity(), 0.0f);
  EXPECT_EQ(smog.slots[0]->position, (Vector3{1, 2, 3}));
  EXPECT_EQ(smog.slots[0]->size, 10.0f);
  EXPECT_EQ(smog.slots[0]->opacity, 0.35f);

  // 0.35 fades out after about 5.4 s; ten seconds later it is still there.
  for (int tick = 0; tick < 200; ++tick) smog.update(Matrix::identity(), 0.05f);
  EXPECT_EQ(smog.count, 1);
  EXPECT_LT(smog.slots[0]->opacity, -0.2f);
}

using SmokeTest = ParticleTest;

TEST_F(SmokeTest, SmokeRisesGrowsAndFadesQuadraticallyFromTheAgeBeforeTheTick) {
  struct Case {
    float ageBefore, dt;
  };
  const Case cases[] = {{0.0f, 0.5f}, {2.0f, 0.05f}, {4.0f, 0.25f}, {6.0f, 0.0f}, {7.5f, 0.5f}};
  for (const Case& c : cases) {
    Ef2::SPSystem one(1, nullptr);
    one.add(new Particle{0.1f, 1.0f, {1, 2, 3}});
    Ef2::SPSystem::setAge(0, c.ageBefore);
    one.update(Matrix::identity(), c.dt);
    const Particle& p = *one.slots[0];
    const float f = (8.0f - c.ageBefore) * 0.125f;
    EXPECT_FLOAT_EQ(p.opacity, f * f * 0.2f) << "age " << c.ageBefore;
    EXPECT_EQ(p.position, (Vector3{1, 2 + c.dt, 3})) << "age " << c.ageBefore;
    EXPECT_FLOAT_EQ(p.size, 0.1f + c.dt * 0.3f) << "age " << c.ageBefore;
    EXPECT_EQ(Ef2::SPSystem::ageOf(0), c.ageBefore + c.dt) << "age " << c.ageBefore;
  }
}

TEST_F(SmokeTest, AgeOfExactlyEightSurvivesOneMoreTickAndTheFreedSlotStartsAtZero) {
  Ef2::SPSystem smoke(10, nullptr);
  smoke.add(new Particle{0.1f, 1.0f, {}});
  smoke.add(new Particle{0.1f, 1.0f, {}});
  Ef2::SPSystem::setAge(0, 7.5f);

  smoke.update(Matrix::identity(), 0.5f);  // slot 0 reaches exactly 8.0
  EXPECT_EQ(Ef2::SPSystem::ageOf(0), 8.0f);
  ASSERT_NE(smoke.slots[0], nullptr) << "8.0 is not older than 8";
  EXPECT_FLOAT_EQ(smoke.slots[0]->opacity, 0.0625f * 0.0625f * 0.2f) << "faded from 7.5";
  smoke.update(Matrix::identity(), 0.0f);  // a zero step ages nothing
  ASSERT_NE(smoke.slots[0], nullptr);
  EXPECT_EQ(smoke.slots[0]->opacity, 0.0f) << "faded from 8.0";

  smoke.update(Matrix::identity(), 0.5f);
  EXPECT_EQ(smoke.slots[0], nullptr);
  EXPECT_EQ(smoke.count, 1);
  EXPECT_EQ(Ef2::SPSystem::ageOf(0), 0.0f) << "the slot's age is reset";
  EXPECT_EQ(Ef2::SPSystem::ageOf(1), 1.0f);

  // The next particle takes the freed slot and starts young.
  ASSERT_EQ(smoke.add(new Particle{0.1f, 1.0f, {}}), 0);
  smoke.update(Matrix::identity(), 0.25f);
  EXPECT_FLOAT_EQ(smoke.slots[0]->opacity, 0.2f);
  EXPECT_EQ(Ef2::SPSystem::ageOf(0), 0.25f);
}

TEST_F(SmokeTest, ZeroStepOnlyRecomputesTheOpacity) {
  Ef2::SPSystem smoke(4, nullptr);
  smoke.add(new Particle{0.7f, 1.0f, {1, 2, 3}});
  Ef2::SPSystem::setAge(0, 4.0f);
  smoke.update(Matrix::identity(), 0.0f);
  const Particle& p = *smoke.slots[0];
  EXPECT_EQ(p.position, (Vector3{1, 2, 3}));
  EXPECT_EQ(p.size, 0.7f);
  EXPECT_FLOAT_EQ(p.opacity, 0.05f);  // (0.5)^2 x 0.2
  EXPECT_EQ(Ef2::SPSystem::ageOf(0), 4.0f);
}

TEST_F(SmokeTest, AgesAreKeptBySlotForEverySystemOfTheProcess) {
  Ef2::SPSystem first(4, nullptr), second(4, nullptr);
  first.add(new Particle{0.1f, 1.0f, {}});
  second.add(new Particle{0.1f, 1.0f, {}});
  first.update(Matrix::identity(), 1.0f);
  second.update(Matrix::identity(), 1.0f);
  EXPECT_EQ(Ef2::SPSystem::ageOf(0), 2.0f) << "slot 0 of both systems ages one entry";
  EXPECT_FLOAT_EQ(second.slots[0]->opacity, (7.0f / 8.0f) * (7.0f / 8.0f) * 0.2f);
  EXPECT_EQ(Ef2::SPSystem::ageOf(3), 0.0f) << "a slot never seen reads 0";
}

using SpawnerTest = ParticleTest;

TEST_F(SpawnerTest, EmitsOneParticlePerWhole0_02SecondsStrictlyAndCarriesTheRest) {
  struct Case {
    std::vector<float> ticks;
    int emitted;
    float kept;
  };
  const Case cases[] = {
      {{0.05f}, 2, 0.01f},          // 0.05 -> 0.03 -> 0.01
      {{0.0f}, 0, 0.0f},            // dt = 0 emits nothing
      {{0.02f}, 0, 0.02f},          // not greater than 0.02
      {{0.03f}, 1, 0.01f},
      {{0.01f, 0.015f}, 1, 0.005f},  // the remainder of the first tick counts
  };
  for (const Case& c : cases) {
    Ef2::SPSystem smoke(100, nullptr);
    SavuParticleSpawner spawner(&smoke);
    EXPECT_EQ(spawner.emitAccumulator, 0.0f);
    for (float dt : c.ticks) spawner.update(Matrix::identity(), dt);
    EXPECT_EQ(smoke.count, c.emitted) << "ticks " << ::testing::PrintToString(c.ticks);
    EXPECT_NEAR(spawner.emitAccumulator, c.kept, 1e-6f) << "ticks " << ::testing::PrintToString(c.ticks);
  }
}

TEST_F(SpawnerTest, ParticlesStartAtTheSpawnersWorldOriginInTheSceneTick) {
  buildScene({0, 0, -10}, {0, 0, 0});
  Ef2::SPSystem smoke(100, nullptr);
  DummyNode carrier;
  carrier.transform = rotationZ(1.5707964f) * translationMatrix(5, 0, 2);
  SavuParticleSpawner spawner(&smoke);
  spawner.transform = translationMatrix(0, 3.4f, 0);
  carrier.addChild(&spawner);
  scene->graph->root.addChild(&carrier);
  scene->graph->root.addChild(&smoke);

  scene->tick(0.05f);
  // The smoke system updates after the spawner in the walk (it comes later
  // among the root's children), so the new particles already rose once.
  ASSERT_EQ(smoke.count, 2);
  for (const Particle* p : smoke.slots) {
    ASSERT_NE(p, nullptr);
    // (0, 3.4, 0) turned a quarter about z lands on (-3.4, 0, 0), then moved.
    EXPECT_NEAR(p->position.x, 5.0f - 3.4f, 1e-5f);
    EXPECT_NEAR(p->position.y, 0.05f, 1e-5f);
    EXPECT_NEAR(p->position.z, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(p->size, 0.1f + 0.05f * 0.3f);
    EXPECT_FLOAT_EQ(p->opacity, 0.2f);
  }
}

TEST_F(SpawnerTest, AFullTargetDropsWhatItCannotTake) {
  Ef2::SPSystem smoke(3, nullptr);
  SavuParticleSpawner spawner(&smoke);
  spawner.update(Matrix::identity(), 0.1f);  // five particles for three places
  EXPECT_EQ(smoke.count, 3);
  EXPECT_EQ(smoke.slots.size(), 3u);
  const Particle* p = smoke.slots[2];
  EXPECT_EQ(p->size, 0.1f);
  EXPECT_EQ(p->opacity, 1.0f);
  EXPECT_EQ(p->position, (Vector3{0, 0, 0}));
}

}  // namespace
}  // namespace velm::testing
