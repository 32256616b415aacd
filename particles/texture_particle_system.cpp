#include "particles/texture_particle_system.h"

#include <string>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/surfaces.h"
#include "scene/camera.h"
#include "scene/scene.h"

namespace velm {
namespace {

const char* const kQuadEffect = "Quad.fxo";

// The quad corners of one particle, two triangles: (0,0) (0,1) (1,1) and
// (0,0) (1,1) (1,0).
constexpr float kCorners[TextureParticleSystem::kVerticesPerParticle][2] = {
    {0, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 1}, {1, 0}};

// The effect file is read into the data-file cache by the first draw that
// needs it. A file found nowhere is reported once, not on every frame.
void registerQuadEffect() {
  static bool missing = false;
  if (missing || findDataFile(kQuadEffect)) return;
  registerDataFile(kQuadEffect);
  missing = findDataFile(kQuadEffect) == nullptr;
}

}  // namespace

TextureParticleSystem::TextureParticleSystem(int32_t capacityValue, Texture* textureValue)
    : capacity(capacityValue), texture(textureValue) {
  gfx::Device* device = EngineContext::get().device;
  if (device && capacity > 0)
    checked(device->createVertexBuffer(static_cast<uint32_t>(capacity) * kBytesPerParticle, gfx::Usage::Dynamic,
                                       gfx::fvf::Particle, gfx::Pool::Default, &vertexBuffer));
}

TextureParticleSystem::~TextureParticleSystem() {
  for (Particle* particle : slots) delete particle;
  slots.clear();
  if (vertexBuffer) vertexBuffer->release();
  vertexBuffer = nullptr;
}

int32_t TextureParticleSystem::add(Particle* particle) {
  if (freeSlots.empty()) {
    if (count >= capacity) return -1;
    slots.push_back(particle);
    ++count;
    return static_cast<int32_t>(slots.size()) - 1;
  }
  const int32_t index = freeSlots.back();
  freeSlots.pop_back();
  slots[static_cast<size_t>(index)] = particle;
  ++count;
  return index;
}

void TextureParticleSystem::remove(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= slots.size()) return;
  Particle*& slot = slots[static_cast<size_t>(index)];
  if (!slot) return;
  delete slot;
  slot = nullptr;
  freeSlots.push_back(index);
  --count;
}

uint32_t TextureParticleSystem::buildVertices(ParticleVertex* out, uint32_t room) const {
  uint32_t written = 0;
  for (const Particle* p : slots) {
    if (!p) continue;
    if (written == room) break;
    for (const auto& corner : kCorners)
      *out++ = {p->position.x, p->position.y, p->position.z, corner[0], corner[1], p->opacity, p->size};
    ++written;
  }
  return written;
}

void TextureParticleSystem::render(const Matrix&) {
  gfx::Device* device = EngineContext::get().device;
  if (!device || !vertexBuffer) return;

  // Only the live particles' bytes are locked and sent. An empty system
  // locks nothing: a zero-length lock would mean the whole buffer.
  uint32_t particles = 0;
  if (count > 0) {
    void* data = nullptr;
    const auto live = static_cast<uint32_t>(count);
    if (checked(vertexBuffer->lock(0, live * kBytesPerParticle, &data, 0))) {
      particles = buildVertices(static_cast<ParticleVertex*>(data), live);
      checked(vertexBuffer->unlock());
    }
  }

  registerQuadEffect();
  TShader shader(kQuadEffect, "Quad");
  setTexture(shader, "tex", texture);
  setFloat(shader, "alpha", 0.1f);
  // The effect expands each point in view space, so it takes the view and the
  // projection apart: "worldViewProjection" carries the projection alone.
  Matrix projection = Matrix::identity(), view = Matrix::identity();
  if (currentScene && currentScene->graph->camera) {
    projection = currentScene->graph->camera->projection();
    view = currentScene->graph->camera->view();
  }
  setMatrix(shader, "worldViewProjection", projection);
  setMatrix(shader, "view", view);

  checked(device->setFVF(gfx::fvf::Particle));
  checked(device->setStreamSource(0, vertexBuffer, 0, sizeof(ParticleVertex)));
  checked(device->setIndices(nullptr));
  shader.begin();
  shader.beginPass(0);
  checked(device->drawPrimitive(gfx::PrimitiveType::TriangleList, 0, particles * 2));
  shader.endPass();
  shader.end();
}

}  // namespace velm
