#include "geometry/gpu_mesh.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "engine/engine_context.h"
#include "engine/fatal_error.h"
#include "engine/gfx_check.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"
#include "geometry/weld.h"
#include "platform/glyph_mesh.h"

namespace velm {

namespace {

constexpr int32_t kRecordSize = static_cast<int32_t>(sizeof(VertexAttributes));  // 64

// Frees a list of elements the rebuild made before the model copied them.
template <typename T>
void destroyAll(std::vector<T*>& list) {
  for (T* element : list) delete element;
  list.clear();
}

}  // namespace

GpuMesh::GpuMesh(int32_t minVertexCount, int32_t minTriangleCount)
    : device(EngineContext::get().device), minVertices(minVertexCount), minTriangles(minTriangleCount) {}

GpuMesh::~GpuMesh() { release(); }

void GpuMesh::ensureCapacity(int32_t indices, int32_t vertices, int32_t vertexStride) {
  if (indices != 0 && indices > indexCapacity) {
    if (indexBuffer) {
      reportProgress();
      indexBuffer->release();
      indexBuffer = nullptr;
    }
    const int32_t capacity = std::max(indices, 3 * minTriangles);
    reportProgress();
    // A failed creation leaves no buffer and no capacity, so the next fill tries again.
    indexCapacity = 0;
    if (device && checked(device->createIndexBuffer(static_cast<uint32_t>(capacity) * 4u, gfx::Usage::Dynamic,
                                                    gfx::Format::Index32, gfx::Pool::SystemMem, &indexBuffer)))
      indexCapacity = capacity;
    else
      indexBuffer = nullptr;
  }
  if (vertices != 0 && vertices > vertexCapacity) {
    if (vertexBuffer) {
      reportProgress();
      vertexBuffer->release();
      vertexBuffer = nullptr;
    }
    const int32_t capacity = std::max(vertices, minVertices);
    reportProgress();
    vertexCapacity = 0;
    if (device && checked(device->createVertexBuffer(static_cast<uint32_t>(vertexStride * capacity),
                                                     gfx::Usage::Dynamic, 0, gfx::Pool::SystemMem,
                                                     &vertexBuffer)))
      vertexCapacity = capacity;
    else
      vertexBuffer = nullptr;
  }
}

void GpuMesh::fill(const std::vector<VertexBase*>& vertexList, const std::vector<uint32_t>* indexList) {
  if (vertexList.empty()) {
    // Nothing to hold: the mesh draws nothing until it is filled again.
    vertexCount = 0;
    indexCount = 0;
    return;
  }
  stride = vertexList.front()->attributeSize();
  ensureCapacity(indexList ? static_cast<int32_t>(indexList->size()) : 0, static_cast<int32_t>(vertexList.size()),
                 stride);

  vertexCount = static_cast<int32_t>(vertexList.size());
  void* bytes = nullptr;
  if (vertexBuffer && checked(vertexBuffer->lock(0, static_cast<uint32_t>(vertexCount * stride), &bytes,
                                                 gfx::LockDiscard))) {
    auto* out = static_cast<uint8_t*>(bytes);
    for (VertexBase* v : vertexList) {
      // A vertex kind's attribute block starts at its position.
      if (const Vector3* block = v->position())
        std::memcpy(out, block, static_cast<size_t>(stride));
      else
        std::memset(out, 0, static_cast<size_t>(stride));
      out += stride;
    }
    checked(vertexBuffer->unlock());
  }

  if (!indexList) return;
  indexCount = static_cast<int32_t>(indexList->size());
  if (indexCount > 0 && indexBuffer &&
      checked(indexBuffer->lock(0, static_cast<uint32_t>(indexCount) * 4u, &bytes, gfx::LockDiscard))) {
    std::memcpy(bytes, indexList->data(), static_cast<size_t>(indexCount) * 4u);
    checked(indexBuffer->unlock());
  }
}

void GpuMesh::upload(Mesh& mesh) {
  const EditableModel& edit = *mesh.data->edit;
  std::unordered_map<const VertexBase*, uint32_t> numbers;
  numbers.reserve(edit.vertices.size());
  for (size_t i = 0; i < edit.vertices.size(); ++i) numbers.emplace(edit.vertices[i], static_cast<uint32_t>(i));

  std::vector<uint32_t> indices;
  indices.reserve(edit.faces.size() * 6);
  std::vector<VertexBase*> corners;
  for (const FaceBase* face : edit.faces) {
    corners.clear();
    face->triangulate(corners);
    for (const VertexBase* corner : corners) {
      const auto it = numbers.find(corner);
      if (it == numbers.end()) {
        fatalError(320);
        indices.push_back(0);
      } else {
        indices.push_back(it->second);
      }
    }
  }
  fill(edit.vertices, &indices);
  mesh.data->state = MeshState::GpuCurrent;
}

void GpuMesh::draw() {
  if (!indexBuffer || !vertexBuffer) return;
  const uint32_t triangles = static_cast<uint32_t>(indexCount) / 3u;
  if (triangles == 0) return;  // emptied by a fill without vertices
  checked(device->setStreamSource(0, vertexBuffer, 0, static_cast<uint32_t>(stride)));
  checked(device->setFVF(gfx::fvf::MeshVertex));
  checked(device->setIndices(indexBuffer));
  checked(device->drawIndexedPrimitive(gfx::PrimitiveType::TriangleList, 0, 0, static_cast<uint32_t>(vertexCount),
                                       0, triangles));
}

void GpuMesh::rebuildEditable(Mesh& mesh, bool weld) {
  std::vector<VertexBase*> vertices;
  std::vector<Edge*> edges;
  std::vector<FaceBase*> faces;

  reportProgress();
  // GPU vertex i -> its editable vertex.
  std::vector<VertexBase*> mapped;
  void* bytes = nullptr;
  if (vertexBuffer && checked(vertexBuffer->lock(0, 0, &bytes, gfx::LockReadOnly))) {
    const int32_t stored = std::min(vertexCount, static_cast<int32_t>(vertexBuffer->length()) / kRecordSize);
    const auto* records = static_cast<const uint8_t*>(bytes);
    WeldIndex weldIndex;
    mapped.reserve(static_cast<size_t>(std::max(stored, 0)));
    for (int32_t i = 0; i < stored; ++i) {
      VertexAttributes record;
      std::memcpy(&record, records + static_cast<size_t>(i) * kRecordSize, sizeof record);
      if (weld && !vertices.empty()) {
        const int32_t target = weldIndex.find(record.position);
        if (target >= 0) {
          mapped.push_back(vertices[static_cast<size_t>(target)]);
          continue;
        }
      }
      auto* v = new Vertex(record.position.x, record.position.y, record.position.z);
      v->attributes.normal = record.normal;
      v->attributes.texcoord0 = record.texcoord0;
      vertices.push_back(v);
      if (weld) weldIndex.add(record.position);
      mapped.push_back(v);
    }
    checked(vertexBuffer->unlock());
  }

  reportProgress();
  if (indexBuffer && checked(indexBuffer->lock(0, 0, &bytes, gfx::LockReadOnly))) {
    const int32_t stored = std::min(indexCount, static_cast<int32_t>(indexBuffer->length()) / 4);
    const auto* indices = static_cast<const uint32_t*>(bytes);
    // Editable vertex -> its number, for the edge lookup by unordered pair.
    std::unordered_map<const VertexBase*, uint32_t> numbers;
    numbers.reserve(vertices.size());
    for (size_t i = 0; i < vertices.size(); ++i) numbers.emplace(vertices[i], static_cast<uint32_t>(i));
    std::unordered_map<uint64_t, Edge*> edgeByPair;
    auto findOrMakeEdge = [&](VertexBase* a, VertexBase* b) {
      const uint64_t na = numbers[a], nb = numbers[b];
      const uint64_t key = std::min(na, nb) << 32 | std::max(na, nb);
      Edge*& edge = edgeByPair[key];
      if (!edge) {
        edge = new Edge{a, b, 0, 0};
        edges.push_back(edge);
      }
      return edge;
    };
    for (int32_t t = 0; t < stored / 3; ++t) {
      const uint32_t i0 = indices[3 * t], i1 = indices[3 * t + 1], i2 = indices[3 * t + 2];
      // An index past the stored vertices names nothing: that triangle is left out.
      if (i0 >= mapped.size() || i1 >= mapped.size() || i2 >= mapped.size()) continue;
      VertexBase* v0 = mapped[i0];
      VertexBase* v1 = mapped[i1];
      VertexBase* v2 = mapped[i2];
      Edge* e01 = findOrMakeEdge(v0, v1);
      Edge* e12 = findOrMakeEdge(v1, v2);
      Edge* e20 = findOrMakeEdge(v2, v0);
      faces.push_back(new TriFace(e01, e12, e20));
    }
    checked(indexBuffer->unlock());
  }

  reportProgress();
  mesh.data->state = MeshState::EditCurrent;
  mesh.setGeometry(&vertices, &edges, &faces);
  destroyAll(faces);
  destroyAll(edges);
  destroyAll(vertices);
}

void GpuMesh::loadFromD3DXMesh(Mesh& mesh, const platform::GlyphMesh& glyph) {
  std::vector<VertexBase*>* editVertices = nullptr;
  std::vector<Edge*>* editEdges = nullptr;
  std::vector<FaceBase*>* editFaces = nullptr;
  mesh.editLists(&editVertices, &editEdges, &editFaces);

  // The clone in the engine's vertex format: position and normal, zeros elsewhere.
  const size_t count = glyph.positions.size() / 3;
  const size_t triangles = glyph.indices.size() / 3;
  std::vector<VertexAttributes> records(count);
  for (size_t i = 0; i < count; ++i) {
    records[i].position = {glyph.positions[3 * i], glyph.positions[3 * i + 1], glyph.positions[3 * i + 2]};
    if (3 * i + 2 < glyph.normals.size())
      records[i].normal = {glyph.normals[3 * i], glyph.normals[3 * i + 1], glyph.normals[3 * i + 2]};
  }

  stride = kRecordSize;
  ensureCapacity(static_cast<int32_t>(3 * triangles), static_cast<int32_t>(count), kRecordSize);
  vertexCount = static_cast<int32_t>(count);
  void* bytes = nullptr;
  if (count > 0 && vertexBuffer &&
      checked(vertexBuffer->lock(0, static_cast<uint32_t>(count) * kRecordSize, &bytes, gfx::LockDiscard))) {
    std::memcpy(bytes, records.data(), count * sizeof(VertexAttributes));
    checked(vertexBuffer->unlock());
  }
  indexCount = static_cast<int32_t>(3 * triangles);
  if (triangles > 0 && indexBuffer &&
      checked(indexBuffer->lock(0, static_cast<uint32_t>(3 * triangles * 4), &bytes, gfx::LockDiscard))) {
    std::memcpy(bytes, glyph.indices.data(), 3 * triangles * sizeof(uint32_t));
    checked(indexBuffer->unlock());
  }
  mesh.data->state = MeshState::GpuCurrent;
}

void GpuMesh::release() {
  if (indexBuffer) {
    reportProgress();
    indexBuffer->release();
    indexBuffer = nullptr;
  }
  if (vertexBuffer) {
    reportProgress();
    vertexBuffer->release();
    vertexBuffer = nullptr;
  }
  indexCapacity = 0;
  vertexCapacity = 0;
}

}  // namespace velm
