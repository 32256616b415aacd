// The production's three particle classes: the town's drifting smog
// (ParticleSystem2), the harmonium's rising smoke (Ef2::SPSystem) and the
// invisible node that emits that smoke from wherever it hangs in the tree
// (SavuParticleSpawner). They move particles in the scene's update walk; all
// their random draws go through the one process-wide generator.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/math3d.h"
#include "particles/texture_particle_system.h"
#include "scene/node.h"

// Smog that rises along z at 10 units per second while growing and fading;
// each particle drifts sideways in a direction fixed by its slot. Particles
// are never removed here (their opacity goes on falling below zero).
class ParticleSystem2 : public velm::TextureParticleSystem {
 public:
  using TextureParticleSystem::TextureParticleSystem;

  // Reseeds the generator with a fixed seed for the jitter pass, then hands
  // it on to the next seed of the chain so other users still see a varying
  // sequence.
  void update(const velm::Matrix& parentWorld, float time) override;

  // The seed the generator gets after each update; process-wide.
  static constexpr uint32_t kJitterSeed = 34939;
  static constexpr uint32_t kFirstChainedSeed = 38483;
  static uint32_t chainedSeed;
};

namespace Ef2 {

// Smoke that rises one unit per second, grows and fades quadratically to
// nothing over 8 seconds, and is removed once older than 8 seconds.
class SPSystem : public velm::TextureParticleSystem {
 public:
  using TextureParticleSystem::TextureParticleSystem;

  void update(const velm::Matrix& parentWorld, float time) override;

  // Ages in seconds by slot index, shared by every SPSystem of the process
  // (a slot never seen reads 0). Made on first use, freed at exit.
  static std::vector<float>& ages();
  static float ageOf(int32_t slot);
  static void setAge(int32_t slot, float age);

  static constexpr float kLifetime = 8.0f;
};

}  // namespace Ef2

// Emits 50 smoke particles per second of tick time at its own world origin
// into `targetSystem`; a remainder below one particle carries to the next tick.
class SavuParticleSpawner : public velm::DummyNode {
 public:
  explicit SavuParticleSpawner(Ef2::SPSystem* target) : targetSystem(target) {}

  void update(const velm::Matrix& parentWorld, float time) override;

  static constexpr float kEmitInterval = 0.02f;

  float emitAccumulator = 0.0f;
  Ef2::SPSystem* targetSystem;  // not owned
};
