// A model as the engine should see it after import: a tree of named frames
// with row-vector transforms, meshes hung on frames, and materials with
// colours and texture file names. The writers turn it into ".x" or ".3ds"
// bytes; the model definitions (models_*.cpp) build one per data file.
#pragma once

#include <string>
#include <vector>

#include "mesh_kit.h"

namespace velm::models {

struct ModelMaterial {
  std::string name;
  double diffuse[4] = {0.8, 0.8, 0.8, 1.0};
  double specularPower = 8.0;
  double specular[3] = {0.5, 0.5, 0.5};
  double emissive[3] = {0, 0, 0};
  double ambient[3] = {0.1, 0.1, 0.1};  // only ".3ds" can carry it
  std::string texture;                  // a data-file name, or empty
};

struct ModelMesh {
  std::string name;
  MeshPart part;
  int material = 0;
};

struct ModelNode {
  std::string name;
  Mat4 transform;
  std::vector<int> meshes;  // indices into Model::meshes
  std::vector<ModelNode> children;

  ModelNode& child(const std::string& childName, const Mat4& childTransform = Mat4::identity()) {
    children.push_back({childName, childTransform, {}, {}});
    return children.back();
  }
};

struct Model {
  std::string fileName;  // "block1.x", "piippu.3ds", ...
  // The scenes import this file with the importer's flipNormals set, so the
  // file stores every normal the other way round.
  bool importedWithFlippedNormals = false;
  ModelNode root;
  std::vector<ModelMesh> meshes;
  std::vector<ModelMaterial> materials;

  int addMaterial(const ModelMaterial& material) {
    materials.push_back(material);
    return static_cast<int>(materials.size() - 1);
  }
  // Adds a mesh and hangs it on `node`.
  int addMesh(ModelNode& node, const std::string& meshName, MeshPart part, int material) {
    meshes.push_back({meshName, std::move(part), material});
    node.meshes.push_back(static_cast<int>(meshes.size() - 1));
    return static_cast<int>(meshes.size() - 1);
  }
};

}  // namespace velm::models
