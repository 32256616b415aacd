// The mesh node: geometry kept twice, as an editable model (vertex objects,
// shared edges, triangle and quad faces) that generators, modifiers and
// subdivision work on, and as GPU vertex and index buffers that are drawn.
// A four-state machine records which side is current; each side is rebuilt
// from the other only when something needs it. Smooth vertex normals and
// tangent frames are derived lazily behind flags. Meshes made by the engine
// context are owned by it; nothing here draws with an effect or knows lights.
//
// What a drawer (the mesh instance) calls, per mesh, in this order:
//   mesh->refreshNormals();   // if lit: bring the smooth vertex normals up to date
//   mesh->refreshTangents();  // if lit and normal-mapped: the tangent frames
//   ... its own effect parameters and pass ...
//   mesh->draw();             // uploads a changed model once, then one indexed draw
// The vertex format of the draw is gfx::fvf::MeshVertex (64 bytes: position,
// normal, texture coordinates 0 and 1, tangent as set 2, binormal as set 3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/math3d.h"
#include "geometry/gpu_mesh.h"
#include "scene/node.h"

namespace platform {
struct GlyphMesh;
}

namespace velm {

// The 64-byte attribute block of a vertex, in its GPU order.
struct VertexAttributes {
  Vector3 position;
  Vector3 normal;
  TexCoord texcoord0;
  TexCoord texcoord1;
  Vector3 tangent;
  Vector3 binormal;
};
static_assert(sizeof(VertexAttributes) == 64, "the mesh vertex format is 64 bytes");
static_assert(offsetof(VertexAttributes, texcoord0) == 24 && offsetof(VertexAttributes, tangent) == 40);

// A vertex kind offers exactly the attributes it overrides: every getter here
// returns null and every setter ignores its value. Getters point into the
// vertex's own storage, and callers write through them. For a kind that has
// a position, position() is also the start of its attribute block of
// attributeSize() bytes, which is what the GPU buffers receive.
class VertexBase {
 public:
  VertexBase() = default;
  VertexBase(const VertexBase&) = default;
  VertexBase& operator=(const VertexBase&) = default;
  virtual ~VertexBase() = default;

  virtual Vector3* position() { return nullptr; }
  virtual Vector3* normal() { return nullptr; }
  virtual TexCoord* texcoord0() { return nullptr; }
  virtual TexCoord* texcoord1() { return nullptr; }
  // Pair 0 for i = 0, pair 1 for i = 1, null otherwise.
  virtual TexCoord* texcoord(int32_t i) {
    return i == 0 ? texcoord0() : i == 1 ? texcoord1() : nullptr;
  }
  // An attribute slot that no vertex kind stores.
  virtual uint32_t* spare() { return nullptr; }
  virtual Vector3* tangent() { return nullptr; }
  virtual Vector3* binormal() { return nullptr; }
  virtual void setPosition(const Vector3&) {}
  virtual void setNormal(const Vector3&) {}
  virtual void setTexcoord0(const TexCoord&) {}
  virtual void setTexcoord1(const TexCoord&) {}
  virtual void setSpare(uint32_t) {}
  // Pair i for i = 0 or 1, nothing otherwise.
  virtual void setTexcoord(int32_t i, const TexCoord& uv) {
    if (i == 0) setTexcoord0(uv);
    if (i == 1) setTexcoord1(uv);
  }
  virtual int32_t attributeSize() const = 0;
  // A new vertex of the same kind with every attribute copied.
  virtual VertexBase* clone() const = 0;
};

// The one vertex kind in use: every attribute of the 64-byte block.
class Vertex final : public VertexBase {
 public:
  Vertex() = default;
  Vertex(float x, float y, float z) { attributes.position = {x, y, z}; }

  Vector3* position() override { return &attributes.position; }
  Vector3* normal() override { return &attributes.normal; }
  TexCoord* texcoord0() override { return &attributes.texcoord0; }
  TexCoord* texcoord1() override { return &attributes.texcoord1; }
  Vector3* tangent() override { return &attributes.tangent; }
  Vector3* binormal() override { return &attributes.binormal; }
  void setPosition(const Vector3& p) override { attributes.position = p; }
  void setNormal(const Vector3& n) override { attributes.normal = n; }
  void setTexcoord0(const TexCoord& uv) override { attributes.texcoord0 = uv; }
  void setTexcoord1(const TexCoord& uv) override { attributes.texcoord1 = uv; }
  int32_t attributeSize() const override { return static_cast<int32_t>(sizeof(VertexAttributes)); }
  VertexBase* clone() const override { return new Vertex(*this); }

  VertexAttributes attributes;
};

// A side shared by the faces that meet along it. The two words are zero when
// an edge is made and travel with its copies; nothing reads them.
struct Edge {
  VertexBase* first = nullptr;
  VertexBase* second = nullptr;
  uint32_t spare0 = 0;
  uint32_t spare1 = 0;
};

// A face stores its edges going round it, not its vertices: corner k is the
// vertex that edges k and k + 1 share (cyclically); see cornerList().
class FaceBase {
 public:
  FaceBase() = default;
  FaceBase(const FaceBase&) = default;
  FaceBase& operator=(const FaceBase&) = default;
  virtual ~FaceBase() = default;

  virtual int32_t edgeCount() const = 0;
  // A copy with the same edge pointers and face data.
  virtual FaceBase* clone() const = 0;
  virtual void setEdge(int32_t j, Edge* edge) = 0;
  virtual Edge* edge(int32_t j) const = 0;
  // Appends the corners as a triangle list: a triangle c0, c1, c2; a quad
  // c0, c1, c2, c2, c3, c0.
  virtual void triangulate(std::vector<VertexBase*>& list) const = 0;

  Vector3 faceNormal;    // (c1 - c0) x (c2 - c0), not normalised
  Vector3 faceTangent;
  Vector3 faceBinormal;
};

class TriFace final : public FaceBase {
 public:
  TriFace(Edge* e0, Edge* e1, Edge* e2) : edges{e0, e1, e2} {}
  int32_t edgeCount() const override { return 3; }
  FaceBase* clone() const override { return new TriFace(*this); }
  void setEdge(int32_t j, Edge* e) override { edges[j] = e; }
  Edge* edge(int32_t j) const override { return edges[j]; }
  void triangulate(std::vector<VertexBase*>& list) const override;

  Edge* edges[3];
};

class QuadFace final : public FaceBase {
 public:
  QuadFace(Edge* e0, Edge* e1, Edge* e2, Edge* e3) : edges{e0, e1, e2, e3} {}
  int32_t edgeCount() const override { return 4; }
  FaceBase* clone() const override { return new QuadFace(*this); }
  void setEdge(int32_t j, Edge* e) override { edges[j] = e; }
  Edge* edge(int32_t j) const override { return edges[j]; }
  void triangulate(std::vector<VertexBase*>& list) const override;

  Edge* edges[4];
};

// The corners of a face in order. Corner 0 is the endpoint of edge 0 that
// edge 1 also touches (edge 0's first when neither does); corner k is edge
// k's first when corner k - 1 is its second, otherwise edge k's second.
std::vector<VertexBase*> cornerList(const FaceBase& face);

// The editable side of one mesh. Owns every element in its lists.
// Invariants: edge endpoints are in `vertices`; face edges are in `edges`;
// consecutive edges of a face share a vertex.
class EditableModel {
 public:
  EditableModel() = default;
  EditableModel(const EditableModel&) = delete;
  EditableModel& operator=(const EditableModel&) = delete;
  ~EditableModel();

  // Destroys every vertex, edge and face and empties the lists; flags stay.
  void clear();
  // Smooth vertex normals from area-weighted face normals. Returns whether it
  // computed (true for a model without vertices; false when the vertex kind
  // has no normal or the normals are already current).
  bool computeNormals();
  // Per-vertex tangent and binormal from texture-coordinate pair 1; nothing
  // when already current or when the vertex kind lacks them.
  void computeTangents();

  bool vertexNormalsCurrent = false;
  bool faceNormalsCurrent = false;
  bool tangentsCurrent = false;
  std::vector<VertexBase*> vertices;
  std::vector<Edge*> edges;
  std::vector<FaceBase*> faces;
};

class Mesh;

enum class MeshState : int32_t {
  Empty = 0,        // nothing stored yet
  EditCurrent = 1,  // the editable model is the truth; the GPU buffers are stale
  GpuCurrent = 2,   // the GPU buffers are the truth; the editable model is stale
  BothCurrent = 3,  // both agree
};

struct MeshData {
  std::unique_ptr<GpuMesh> gpu;
  std::unique_ptr<EditableModel> edit;
  MeshState state = MeshState::Empty;
  bool normalsLocked = false;  // the normals came with the model: never recompute them
  bool weld = false;           // the rebuild from the GPU side merges coincident vertices
  Mesh* mesh = nullptr;        // the owner
};

class Mesh : public INode {
 public:
  // An unnamed, Empty mesh whose GPU buffers, once made, hold at least
  // `minVertices` vertices and 3 x `minTriangles` indices.
  Mesh(int32_t minVertices, int32_t minTriangles);
  // Releases the GPU buffers and destroys the editable model.
  virtual ~Mesh();

  // Read access. A GpuCurrent mesh is rebuilt first (then BothCurrent); an
  // Empty one reports error 166 and returns its empty list. Do not modify.
  const std::vector<VertexBase*>& vertices();
  const std::vector<Edge*>& edges();
  const std::vector<FaceBase*>& faces();
  // Write access: the editable side becomes the truth (EditCurrent, rebuilt
  // first when only the GPU side was current). Each non-null argument
  // receives the list and marks the vertex and face normals stale.
  void editLists(std::vector<VertexBase*>** outVertices, std::vector<Edge*>** outEdges,
                 std::vector<FaceBase*>** outFaces);

  // Brings the vertex normals up to date unless they are locked; computing
  // them makes the mesh EditCurrent. Nothing on an Empty mesh.
  void refreshNormals();
  // Derives tangent frames in EditCurrent only; error 202 on an Empty mesh.
  void refreshTangents();
  // Uploads an EditCurrent model, then draws the buffers; error 141 when Empty.
  void draw();

  // Replaces the editable model by a copy of `source`'s (or a rebuild of its
  // GPU side, welded by this mesh's flag); error 117 when the source is Empty.
  void copyFrom(Mesh& source);
  // Bakes a matrix into positions (as points) and normals (as directions, not
  // renormalised). Needs a mesh that holds data; an Empty one is left alone.
  void transform(const Matrix& matrix);
  // Fills the GPU side from a text character's mesh; the mesh becomes GpuCurrent.
  void loadFromD3DXMesh(const platform::GlyphMesh& glyph);
  // Destroys every element of the editable model; flags and state stay.
  void clearEdit();
  // Stores copies of the given lists (any may be null) in place of the old
  // elements of that kind: edges are re-pointed at the copied vertices and
  // faces at the copied edges. Clears all three derived-data flags.
  void setGeometry(const std::vector<VertexBase*>* newVertices, const std::vector<Edge*>* newEdges,
                   const std::vector<FaceBase*>* newFaces);

  std::unique_ptr<MeshData> data;

 private:
  // Rebuilds the editable side from the GPU buffers (with the weld flag).
  void rebuildFromGpu();
};

}  // namespace velm
