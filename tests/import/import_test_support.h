// Helpers for the import tests: small ".x" and ".3ds" files written by the
// tests themselves, a 1 x 1 picture for texture names to point at, and
// read-back of what an import put into the GPU buffers and the node tree.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/math3d.h"
#include "geometry/mesh.h"
#include "scene/mesh_instance.h"
#include "scene/node.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {

// ---------------------------------------------------------------- ".x" text

struct XMaterial {
  std::array<float, 4> diffuse{0.5f, 0.5f, 0.5f, 1.0f};
  float power = 8;
  std::array<float, 3> specular{0.25f, 0.25f, 0.25f};
  std::vector<std::string> textures;  // TextureFilename entries
};

struct XMesh {
  std::vector<Vector3> positions;
  std::vector<std::array<int, 3>> faces;
  std::vector<Vector3> normals;                 // per position, or none
  std::vector<std::vector<TexCoord>> channels;  // per position, 0, 1 or 2 sets
  XMaterial material;
};

struct XFrame {
  std::string name;
  Matrix transform = Matrix::identity();  // rows as written in the file
  std::vector<XMesh> meshes;
  std::vector<XFrame> children;
};

// A text ".x" file with `root` as its only top-level frame.
std::string directXText(const XFrame& root);

// A unit cube of half size h centred on the origin, 12 triangles wound as a
// Direct3D file winds front faces (clockwise seen from outside, so
// (b - a) x (c - a) points out), outward face normals, and on every side
// texture coordinates (0, 0) at its top-left corner and (1, 1) at its
// bottom-right, seen from outside with +y up.
XMesh directXCube(float h);

// ---------------------------------------------------------------- ".3ds"

// One triangle-mesh object in a ".3ds" file: positions as stored (z up),
// faces as stored, mapping coordinates as stored (v up the picture).
struct TdsObject {
  std::string name;
  std::vector<Vector3> positions;
  std::vector<std::array<int, 3>> faces;
  std::vector<TexCoord> uvs;
  std::array<float, 3> ambient{0.1f, 0.2f, 0.3f};
  std::array<float, 3> diffuse{0.9f, 0.8f, 0.7f};
  std::array<float, 3> specular{0.4f, 0.5f, 0.6f};
  std::string texture;
};

// A ".3ds" file holding the object with its material and a keyframer node
// of its name at the origin.
std::string tdsFile(const TdsObject& object);

// ---------------------------------------------------------------- reading back

// The bytes of a 1 x 1 opaque PNG picture.
std::string tinyPng();

struct GpuContents {
  std::vector<VertexAttributes> vertices;
  std::vector<uint32_t> indices;
};
// What the mesh's GPU buffers hold (vertexCount records, indexCount indices).
GpuContents gpuContents(Mesh& mesh);

// The geometric normal (b - a) x (c - a) of triangle t.
Vector3 triangleNormal(const GpuContents& g, size_t t);

// Every MeshInstance below `node` (depth first), with its world matrix
// given the world matrix of `node`'s parent.
struct PlacedInstance {
  MeshInstance* instance;
  Matrix world;
};
std::vector<PlacedInstance> instancesBelow(INode* node, const Matrix& parentWorld = Matrix::identity());

// The meshes that are children of an instance.
std::vector<Mesh*> meshesOf(INode* instance);

// World positions of every vertex of every mesh below `node`.
std::vector<Vector3> worldPositions(INode* node, const Matrix& parentWorld = Matrix::identity());

// Row-vector matrices element by element within `tolerance`.
::testing::AssertionResult matricesNear(const Matrix& a, const Matrix& b, float tolerance = 1e-5f);

}  // namespace velm::testing
