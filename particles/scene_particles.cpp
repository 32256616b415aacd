#include "particles/scene_particles.h"

#include "engine/random.h"

using velm::Matrix;
using velm::Particle;

uint32_t ParticleSystem2::chainedSeed = ParticleSystem2::kFirstChainedSeed;

void ParticleSystem2::update(const Matrix&, float dt) {
  // The same seed on every tick gives the particle in a slot the same two
  // jitter values each time, so it drifts in a fixed direction.
  velm::seedRandom(kJitterSeed);
  for (Particle* p : slots) {
    if (!p) continue;
    p->opacity -= dt * 0.065f;
    p->size += dt * 0.07f;
    const float j1 = velm::randomSigned() * 0.5f;
    const float j2 = velm::randomSigned() * 0.5f;
    p->position.x += 10.0f * dt * j1;
    p->position.y += 10.0f * dt * j2;
    p->position.z += 10.0f * dt;
  }
  velm::seedRandom(chainedSeed);
  chainedSeed = static_cast<uint32_t>(velm::randomInt());
}

namespace Ef2 {

std::vector<float>& SPSystem::ages() {
  static std::vector<float> table;
  return table;
}

float SPSystem::ageOf(int32_t slot) {
  const std::vector<float>& table = ages();
  return slot >= 0 && static_cast<size_t>(slot) < table.size() ? table[static_cast<size_t>(slot)] : 0.0f;
}

void SPSystem::setAge(int32_t slot, float age) {
  if (slot < 0) return;
  std::vector<float>& table = ages();
  if (static_cast<size_t>(slot) >= table.size()) table.resize(static_cast<size_t>(slot) + 1, 0.0f);
  table[static_cast<size_t>(slot)] = age;
}

void SPSystem::update(const Matrix&, float dt) {
  for (size_t i = 0; i < slots.size(); ++i) {
    Particle* p = slots[i];
    if (!p) continue;
    const auto slot = static_cast<int32_t>(i);
    float age = ageOf(slot);
    p->position.y += dt;
    // The fade uses the age before this tick: 0.2 at birth, 0 at 8 s.
    const float f = (kLifetime - age) * 0.125f;
    p->opacity = f * f * 0.2f;
    p->size += dt * 0.3f;
    age += dt;
    if (age > kLifetime) {
      remove(slot);
      age = 0.0f;
    }
    setAge(slot, age);
  }
}

}  // namespace Ef2

void SavuParticleSpawner::update(const Matrix& parentWorld, float dt) {
  emitAccumulator += dt;
  if (emitAccumulator <= kEmitInterval) return;
  const velm::Vector3 origin = velm::transformPoint({0, 0, 0}, velm::multiply(localTransform(), parentWorld));
  while (emitAccumulator > kEmitInterval) {
    emitAccumulator -= kEmitInterval;
    auto* particle = new Particle{0.1f, 1.0f, origin};
    if (!targetSystem || targetSystem->add(particle) < 0) delete particle;
  }
}
