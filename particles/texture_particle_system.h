// Texture particle systems: a scene node that owns a fixed number of numbered
// particle slots and draws every live particle as a camera-facing textured
// square, with one vertex buffer, one lock and one draw per frame through
// "Quad.fxo". It never moves its particles (subclasses do that in update())
// and never compacts its slots: a freed slot is reused by the next add.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/math3d.h"
#include "platform/gfx/device.h"
#include "scene/node.h"

namespace velm {

class Texture;

// One particle, in world space. A plain record of 20 bytes.
struct Particle {
  float size = 0.0f;     // edge of the square, world units
  float opacity = 0.0f;  // 0..1; values outside are drawn clamped
  Vector3 position;
};
static_assert(sizeof(Particle) == 20);

// What the vertex buffer holds (the Particle vertex format, 28 bytes): the
// particle's position, the quad corner (each 0 or 1, also the texture
// coordinate) and the pair (opacity, size) the effect expands it with.
struct ParticleVertex {
  float x, y, z;
  float cornerU, cornerV;
  float opacity, size;
};
static_assert(sizeof(ParticleVertex) == 28);

class TextureParticleSystem : public INodeRenderable {
 public:
  static constexpr uint32_t kVerticesPerParticle = 6;
  static constexpr uint32_t kBytesPerParticle = kVerticesPerParticle * sizeof(ParticleVertex);  // 168

  // An empty system with room for `capacity` particles drawn with `texture`
  // (not owned). Creates the dynamic vertex buffer on the engine's device.
  TextureParticleSystem(int32_t capacity, Texture* texture);
  // Destroys the particles still in their slots and releases the buffer.
  virtual ~TextureParticleSystem();

  // Takes ownership of `particle` and returns its slot: the most recently
  // freed slot if there is one, else a new slot while fewer than `capacity`
  // particles live. Returns -1 when full; the particle then stays the
  // caller's to destroy.
  int32_t add(Particle* particle);
  // Destroys the particle in slot `index` and frees the slot. An index that
  // holds no particle is ignored.
  void remove(int32_t index);

  // Writes six vertices per live particle, in slot order and packed, to
  // `out`, stopping after `room` particles. Returns the number of particles
  // written. Allocates nothing.
  uint32_t buildVertices(ParticleVertex* out, uint32_t room) const;

  // Rebuilds the vertex buffer and draws all live particles with the camera
  // of currentScene. `parentWorld` is ignored: positions are world positions.
  void render(const Matrix& parentWorld) override;
  // Not used by anything; an empty box.
  BoundingBox bounds() override { return {}; }

  int32_t count = 0;  // live particles: the non-null entries of `slots`
  int32_t capacity;
  gfx::VertexBuffer* vertexBuffer = nullptr;  // capacity x 168 bytes; owned
  Texture* texture;                           // not owned
  std::vector<Particle*> slots;               // null where a particle was removed; owned
  std::vector<int32_t> freeSlots;             // a stack: back() is the last freed slot
};

}  // namespace velm
