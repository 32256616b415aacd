#include "geometry/model_importer.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <cstring>
#include <fstream>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"
#include "platform/messages.h"
#include "scene/mesh_instance.h"

namespace velm {

namespace {

// The ".x" reader is chosen by the file's own header, text or binary alike.
bool isDirectXFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && std::memcmp(magic, "xof ", 4) == 0;
}

// The library's column-vector matrix as an engine row-vector matrix. With
// `mirrorZ`, the z mirror the ".x" reader applied (S M S, S = diag(1, 1, -1))
// is taken off again: every entry with exactly one index 2 changes sign.
Matrix engineMatrix(const aiMatrix4x4& a, bool mirrorZ) {
  Matrix m;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float value = a[j][i];
      if (mirrorZ && ((i == 2) != (j == 2))) value = -value;
      m.m[i][j] = value;
    }
  return m;
}

bool readColour(const aiMaterial& material, const char* key, Colour* out) {
  aiColor4D colour;
  if (aiGetMaterialColor(&material, key, 0, 0, &colour) != AI_SUCCESS) return false;
  *out = {colour.r, colour.g, colour.b, colour.a};
  return true;
}

// The texture file name of `type` at `index`, or empty. These are the
// library's "$tex.file" entries that older releases spelt "$tex.file.diffuse[0]".
std::string textureName(const aiMaterial& material, aiTextureType type, unsigned index) {
  aiString name;
  if (aiGetMaterialString(&material, AI_MATKEY_TEXTURE(type, index), &name) != AI_SUCCESS) return {};
  return std::string(name.C_Str());
}

}  // namespace

ModelImporter::ModelImporter() = default;

INode* ModelImporter::import(const std::string& fileName) {
  meshes.clear();
  materials.clear();
  meshMaterials.clear();
  root = nullptr;

  scene = importer.ReadFile(fileName, 0);
  reportProgress();
  if (!scene) {
    // The set-ups rely on their models; say so the way a missing data file is said.
    platform::showMessageBox("error", "Couldn't open file!");
    platform::postQuitMessage();
    return nullptr;
  }
  mirrorZ_ = isDirectXFile(fileName);

  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    meshes.push_back(convertMesh(*scene->mMeshes[i]));
    meshMaterials.push_back(static_cast<int32_t>(scene->mMeshes[i]->mMaterialIndex));
  }
  for (unsigned i = 0; i < scene->mNumMaterials; ++i) materials.push_back(convertMaterial(*scene->mMaterials[i]));
  if (scene->mRootNode) convertNode(*scene->mRootNode, nullptr);
  return root;
}

Mesh* ModelImporter::convertMesh(const aiMesh& source) const {
  const int32_t vertexCount = static_cast<int32_t>(source.mNumVertices);
  const int32_t faceCount = static_cast<int32_t>(source.mNumFaces);
  const bool hasNormals = source.mNormals != nullptr;
  const aiVector3D* channel0 = source.mTextureCoords[0];
  const aiVector3D* channel1 = source.mTextureCoords[1];
  const float zSign = mirrorZ_ ? -1.0f : 1.0f;

  std::vector<Vertex> vertices(static_cast<size_t>(vertexCount));
  for (int32_t i = 0; i < vertexCount; ++i) {
    VertexAttributes& v = vertices[static_cast<size_t>(i)].attributes;
    const aiVector3D& p = source.mVertices[i];
    v.position = {p.x, p.y, zSign * p.z};
    if (hasNormals) {
      const aiVector3D& n = source.mNormals[i];
      v.normal = {n.x, n.y, zSign * n.z};
      if (flipNormals) v.normal = v.normal * -1.0f;
    }
    if (channel0) {
      const TexCoord uv{channel0[i].x, 1.0f - channel0[i].y};
      v.texcoord0 = uv;
      if (!channel1 || bumpFromDiffuse) v.texcoord1 = uv;
    }
    if (channel1 && !bumpFromDiffuse) {
      const TexCoord uv{channel1[i].x, channel1[i].y};
      v.texcoord1 = uv;
      if (!channel0) v.texcoord0 = uv;
    }
  }

  // One triangle per face with the library's winding reversed. Points and
  // lines (fewer than three indices) and faces that name a missing vertex
  // have no triangle to give and are left out.
  std::vector<uint32_t> indices;
  indices.reserve(static_cast<size_t>(faceCount) * 3);
  for (int32_t f = 0; f < faceCount; ++f) {
    const aiFace& face = source.mFaces[f];
    if (face.mNumIndices < 3) continue;
    const uint32_t a = face.mIndices[1], b = face.mIndices[0], c = face.mIndices[2];
    if (a >= source.mNumVertices || b >= source.mNumVertices || c >= source.mNumVertices) continue;
    indices.insert(indices.end(), {a, b, c});
  }

  auto* mesh = new Mesh(vertexCount, faceCount);
  if (hasNormals) mesh->data->normalsLocked = true;
  mesh->data->state = MeshState::GpuCurrent;
  std::vector<VertexBase*> vertexList;
  vertexList.reserve(vertices.size());
  for (Vertex& v : vertices) vertexList.push_back(&v);
  mesh->data->gpu->fill(vertexList, &indices);
  return mesh;
}

Material* ModelImporter::convertMaterial(const aiMaterial& source) const {
  auto* material = new Material();
  readColour(source, "$clr.ambient", &material->ambient);
  readColour(source, "$clr.diffuse", &material->diffuse);
  readColour(source, "$clr.specular", &material->specular);

  EngineContext& context = EngineContext::get();
  const std::string diffuse = textureName(source, aiTextureType_DIFFUSE, 0);
  if (!diffuse.empty()) {
    reportProgress();
    material->texture = context.createTexture(dataFileName(diffuse));
    if (bumpFromDiffuse) {
      reportProgress();
      material->normalMap = material->texture;
    }
  }
  if (!textureName(source, aiTextureType_DIFFUSE, 1).empty()) reportProgress();
  const std::string normals = textureName(source, aiTextureType_NORMALS, 0);
  if (!normals.empty()) {
    reportProgress();
    material->normalMap = context.createTexture(dataFileName(normals));
  }
  if (!textureName(source, aiTextureType_HEIGHT, 0).empty()) reportProgress();
  return material;
}

void ModelImporter::convertNode(const aiNode& node, INode* parent) {
  const std::string name(node.mName.C_Str());
  const Matrix transform = engineMatrix(node.mTransformation, mirrorZ_);

  if (node.mNumMeshes == 0) {
    auto* group = new DummyNode();
    group->setName(name);
    group->transform = transform;
    if (parent)
      parent->addChild(group);
    else
      root = group;
    for (unsigned i = 0; i < node.mNumChildren; ++i) convertNode(*node.mChildren[i], group);
    return;
  }

  // A node with meshes becomes one instance per mesh beside its siblings;
  // its children hang under the same parent with their own transforms.
  INode* holder = parent;
  for (unsigned k = 0; k < node.mNumMeshes; ++k) {
    const unsigned index = node.mMeshes[k];
    if (index >= meshes.size()) continue;  // a node naming a mesh the file lacks shows nothing
    Mesh* mesh = meshes[index];
    auto* instance = new MeshInstance();
    instance->addChild(mesh);
    mesh->setName(name + "Mesh");
    instance->setName(name);
    instance->transform = transform;
    const int32_t materialIndex = meshMaterials[index];
    if (materialIndex >= 0 && static_cast<size_t>(materialIndex) < materials.size())
      instance->material = *materials[static_cast<size_t>(materialIndex)];
    if (!holder) {
      holder = new DummyNode();
      if (!root) root = holder;
    }
    holder->addChild(instance);
  }
  if (!holder) {  // every mesh index was out of range: the children still need a home
    holder = new DummyNode();
    if (!root) root = holder;
  }
  for (unsigned i = 0; i < node.mNumChildren; ++i) convertNode(*node.mChildren[i], holder);
}

}  // namespace velm
