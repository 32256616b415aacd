// Model import: reads a model file (".x" or ".3ds") with Assimp and turns it
// into a subtree of DummyNode and MeshInstance nodes whose meshes are filled
// straight into their GPU buffers, with materials converted to Material.
// It does not position, light or attach the subtree; the caller does. Nodes,
// meshes and materials it makes are never destroyed.
//
// What arrives, whatever the format:
//   - positions and row-vector node transforms as the file means them for a
//     left-handed, row-vector (Direct3D) consumer;
//   - each face as one triangle with the file's winding reversed relative to
//     the library's, texture pair 0 with v running down the picture.
// For ".x" the library (5.2) turns the file right-handed on reading: it
// negates z of positions, normals and frame matrices, reverses every face
// and flips v. The conversion undoes all of it, so a ".x" file arrives as
// written. ".3ds" files arrive as the library hands them over: the library's
// root node turns the file's z-up axes to y-up, and faces come in reversed
// (the pipe's set-up inverts them back).
#pragma once

#include <assimp/Importer.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/node.h"

struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

namespace velm {

class Mesh;
struct Material;

class ModelImporter {
 public:
  // Empty vectors, no scene and no root, both options false.
  ModelImporter();
  ModelImporter(const ModelImporter&) = delete;
  ModelImporter& operator=(const ModelImporter&) = delete;

  // Reads `fileName` (a path as given, relative to the working directory) and
  // returns the root of the converted hierarchy. A file the library cannot
  // open or read gives null after one progress step, and is reported the way
  // a missing data file is ("Couldn't open file!" and a quit request); a
  // caller must not prepare a model it did not get.
  INode* import(const std::string& fileName);

  std::vector<Mesh*> meshes;               // the last import's, in the library's mesh order
  const aiScene* scene = nullptr;          // owned by `importer`; replaced by the next read
  std::vector<Material*> materials;        // the last import's, in the library's material order
  std::vector<int32_t> meshMaterials;      // material index of each entry of `meshes`
  Assimp::Importer importer;
  INode* root = nullptr;                   // root of the last converted hierarchy
  bool flipNormals = false;                // negate every imported normal
  bool bumpFromDiffuse = false;            // pair 1 and the normal map reuse pair 0 and the diffuse texture

 private:
  Mesh* convertMesh(const aiMesh& source) const;
  Material* convertMaterial(const aiMaterial& source) const;
  void convertNode(const aiNode& node, INode* parent);

  bool mirrorZ_ = false;  // the file was read by the library's ".x" reader
};

}  // namespace velm
