// Lit, solid geometry: the Material record, the MeshInstance node that draws
// the Mesh nodes below it with "SolidObject.fxo" into the scene's four outputs
// (colour, velocity, depth, distortion), and the process-wide context shared
// by those draws. An instance owns neither its meshes nor its textures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math3d.h"
#include "scene/node.h"

namespace velm {

class Mesh;
class Scene;
class Texture;
class TShader;

struct Material {
  Colour ambient{0.1f, 0.1f, 0.1f, 1.0f};
  Colour diffuse{0.2f, 0.2f, 0.2f, 1.0f};
  Colour specular{1.0f, 1.0f, 1.0f, 1.0f};
  float specularPower = 5.0f;
  float lightBleed = 0.0f;
  bool receivesDirectional = true;
  Texture* texture = nullptr;    // not owned
  Texture* normalMap = nullptr;  // not owned
  float bumpiness = 1.0f;
  bool lit = true;       // gates every light and the normal and tangent derivation
  int32_t blendMode = 0;  // 0 opaque, 1 additive, 2 alpha blended; others act as 0
  float blendFactor = 1.0f;
  float limitIllumination = 0.0f;
  std::string effectFile;  // empty: "SolidObject.fxo"
  std::string technique;   // empty: "SolidObject"
};

// Shared by every solid-object draw: the binding of the draw in progress, the
// scene being drawn (set by the scene's draw each frame) and the stack of
// parent world matrices of the mesh recursion.
struct SolidDrawContext {
  // Created on first use, never destroyed.
  static SolidDrawContext& get();

  TShader* binding = nullptr;
  Scene* scene = nullptr;
  std::vector<Matrix> worldStack;
};

class MeshInstance : public INodeRenderable {
 public:
  MeshInstance() = default;
  // Adds `mesh` as the first child.
  explicit MeshInstance(Mesh* mesh);
  ~MeshInstance() = default;

  void update(const Matrix&, float) override {}
  // Binds the effect with the material, the scene's lights, camera and motion,
  // draws every Mesh of the subtree (children first) and ends the effect.
  // Nothing happens while `visible` is false.
  void render(const Matrix& parentWorld) override;
  // Always the empty box (10000, 10000, 10000) .. (-10000, -10000, -10000).
  BoundingBox bounds() override;

  Material material;
  BoundingBox box;
  bool visible = true;

 private:
  void drawSubtree(const Matrix& parentWorld, INode* node);
  void setMeshMatrices(INode* mesh);
};

}  // namespace velm
