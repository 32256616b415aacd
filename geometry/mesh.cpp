#include "geometry/mesh.h"

#include <algorithm>
#include <unordered_map>

#include "engine/fatal_error.h"

namespace velm {

// ---------------------------------------------------------------- faces

void TriFace::triangulate(std::vector<VertexBase*>& list) const {
  const std::vector<VertexBase*> c = cornerList(*this);
  list.insert(list.end(), {c[0], c[1], c[2]});
}

void QuadFace::triangulate(std::vector<VertexBase*>& list) const {
  const std::vector<VertexBase*> c = cornerList(*this);
  list.insert(list.end(), {c[0], c[1], c[2], c[2], c[3], c[0]});
}

std::vector<VertexBase*> cornerList(const FaceBase& face) {
  const int32_t n = face.edgeCount();
  std::vector<VertexBase*> corners(static_cast<size_t>(n));
  const Edge* e0 = face.edge(0);
  const Edge* e1 = face.edge(1);
  auto touches = [](const Edge* e, const VertexBase* v) { return e->first == v || e->second == v; };
  if (touches(e1, e0->first))
    corners[0] = e0->first;
  else if (touches(e1, e0->second))
    corners[0] = e0->second;
  else
    corners[0] = e0->first;
  for (int32_t k = 1; k < n; ++k) {
    const Edge* e = face.edge(k);
    corners[static_cast<size_t>(k)] = corners[static_cast<size_t>(k - 1)] == e->second ? e->first : e->second;
  }
  return corners;
}

// ---------------------------------------------------------------- editable model

EditableModel::~EditableModel() { clear(); }

void EditableModel::clear() {
  for (VertexBase* v : vertices) delete v;
  for (Edge* e : edges) delete e;
  for (FaceBase* f : faces) delete f;
  vertices.clear();
  edges.clear();
  faces.clear();
}

namespace {

// The first three corners of a face (the ones its plane is taken from) and,
// separately, each distinct corner once.
struct FaceCorners {
  std::vector<VertexBase*> all;
  std::vector<VertexBase*> distinct;
  explicit FaceCorners(const FaceBase& face) : all(cornerList(face)) {
    for (VertexBase* c : all)
      if (std::find(distinct.begin(), distinct.end(), c) == distinct.end()) distinct.push_back(c);
  }
};

}  // namespace

bool EditableModel::computeNormals() {
  if (vertices.empty()) return true;
  if (!vertices.front()->normal() || vertexNormalsCurrent) return false;
  for (VertexBase* v : vertices) *v->normal() = {};

  if (!faceNormalsCurrent) {
    for (FaceBase* f : faces) {
      const std::vector<VertexBase*> c = cornerList(*f);
      const Vector3 p0 = *c[0]->position();
      f->faceNormal = cross(*c[1]->position() - p0, *c[2]->position() - p0);
    }
    faceNormalsCurrent = true;
  }
  for (FaceBase* f : faces)
    for (VertexBase* c : FaceCorners(*f).distinct) *c->normal() = *c->normal() + f->faceNormal;
  for (VertexBase* v : vertices) *v->normal() = normalize(*v->normal());
  vertexNormalsCurrent = true;
  return true;
}

void EditableModel::computeTangents() {
  if (vertices.empty()) return;
  VertexBase* firstVertex = vertices.front();
  if (!firstVertex->tangent() || !firstVertex->binormal() || tangentsCurrent) return;
  for (VertexBase* v : vertices) {
    *v->tangent() = {};
    *v->binormal() = {};
  }
  for (FaceBase* f : faces) {
    const std::vector<VertexBase*> c = cornerList(*f);
    const Vector3 e1 = *c[1]->position() - *c[0]->position();
    const Vector3 e2 = *c[2]->position() - *c[0]->position();
    auto pair1 = [](VertexBase* v) { return v->texcoord1() ? *v->texcoord1() : TexCoord{}; };
    const TexCoord t0 = pair1(c[0]), t1 = pair1(c[1]), t2 = pair1(c[2]);
    const float du1 = t1.u - t0.u, dv1 = t1.v - t0.v;
    const float du2 = t2.u - t0.u, dv2 = t2.v - t0.v;
    const float det = du1 * dv2 - du2 * dv1;
    if (det == 0.0f) {
      f->faceTangent = {};
      f->faceBinormal = {};
    } else {
      auto divided = [det](Vector3 v) { return Vector3{v.x / det, v.y / det, v.z / det}; };
      f->faceTangent = divided(e1 * dv2 - e2 * dv1);
      f->faceBinormal = divided(e2 * du1 - e1 * du2);
    }
  }
  for (FaceBase* f : faces)
    for (VertexBase* c : FaceCorners(*f).distinct) {
      *c->tangent() = *c->tangent() + f->faceTangent;
      *c->binormal() = *c->binormal() + f->faceBinormal;
    }
  for (VertexBase* v : vertices) {
    *v->tangent() = normalize(*v->tangent());
    *v->binormal() = normalize(*v->binormal());
  }
  tangentsCurrent = true;
}

// ---------------------------------------------------------------- mesh

Mesh::Mesh(int32_t minVertices, int32_t minTriangles) : data(std::make_unique<MeshData>()) {
  data->gpu = std::make_unique<GpuMesh>(minVertices, minTriangles);
  data->edit = std::make_unique<EditableModel>();
  data->mesh = this;
}

Mesh::~Mesh() {
  data->gpu->release();
  data->edit.reset();
  data.reset();
}

void Mesh::rebuildFromGpu() { data->gpu->rebuildEditable(*this, data->weld); }

namespace {

// The common part of the three read accesses.
void prepareRead(Mesh& mesh, MeshData& data, void (Mesh::*rebuild)()) {
  if (data.state == MeshState::GpuCurrent) {
    (mesh.*rebuild)();
    data.state = MeshState::BothCurrent;
  } else if (data.state == MeshState::Empty) {
    fatalError(166);
  }
}

}  // namespace

const std::vector<VertexBase*>& Mesh::vertices() {
  prepareRead(*this, *data, &Mesh::rebuildFromGpu);
  return data->edit->vertices;
}

const std::vector<Edge*>& Mesh::edges() {
  prepareRead(*this, *data, &Mesh::rebuildFromGpu);
  return data->edit->edges;
}

const std::vector<FaceBase*>& Mesh::faces() {
  prepareRead(*this, *data, &Mesh::rebuildFromGpu);
  return data->edit->faces;
}

void Mesh::editLists(std::vector<VertexBase*>** outVertices, std::vector<Edge*>** outEdges,
                     std::vector<FaceBase*>** outFaces) {
  if (data->state == MeshState::GpuCurrent) rebuildFromGpu();
  data->state = MeshState::EditCurrent;
  EditableModel& edit = *data->edit;
  auto hand = [&edit](auto** out, auto& list) {
    if (!out) return;
    *out = &list;
    edit.vertexNormalsCurrent = false;
    edit.faceNormalsCurrent = false;
  };
  hand(outVertices, edit.vertices);
  hand(outEdges, edit.edges);
  hand(outFaces, edit.faces);
}

void Mesh::refreshNormals() {
  if (data->normalsLocked || data->state == MeshState::Empty) return;
  if (data->state == MeshState::GpuCurrent) {
    rebuildFromGpu();
    data->state = MeshState::BothCurrent;
  }
  if (data->edit->computeNormals()) data->state = MeshState::EditCurrent;
}

void Mesh::refreshTangents() {
  switch (data->state) {
    case MeshState::EditCurrent:
      data->edit->computeTangents();
      break;
    case MeshState::Empty:
      fatalError(202);
      break;
    case MeshState::GpuCurrent:
    case MeshState::BothCurrent:
      break;
  }
}

void Mesh::draw() {
  if (data->state == MeshState::Empty) {
    fatalError(141);
    return;
  }
  if (data->state == MeshState::EditCurrent) {
    data->gpu->upload(*this);
    data->state = MeshState::BothCurrent;
  }
  data->gpu->draw();
}

void Mesh::copyFrom(Mesh& source) {
  if (&source == this) {
    // Copying onto itself keeps the model; only the state follows the rule.
    if (data->state == MeshState::Empty) fatalError(117);
    else if (data->state == MeshState::GpuCurrent) rebuildFromGpu();
    if (data->state != MeshState::Empty) data->state = MeshState::EditCurrent;
    return;
  }
  switch (source.data->state) {
    case MeshState::Empty:
      fatalError(117);
      return;
    case MeshState::GpuCurrent:
      source.data->gpu->rebuildEditable(*this, data->weld);
      break;
    case MeshState::EditCurrent:
    case MeshState::BothCurrent: {
      clearEdit();
      EditableModel& from = *source.data->edit;
      EditableModel& to = *data->edit;
      std::unordered_map<const VertexBase*, VertexBase*> vertexMap;
      std::unordered_map<const Edge*, Edge*> edgeMap;
      vertexMap.reserve(from.vertices.size());
      edgeMap.reserve(from.edges.size());
      to.vertices.reserve(from.vertices.size());
      to.edges.reserve(from.edges.size());
      to.faces.reserve(from.faces.size());
      for (VertexBase* v : from.vertices) {
        VertexBase* copy = v->clone();
        vertexMap[v] = copy;
        to.vertices.push_back(copy);
      }
      auto mapVertex = [&vertexMap](VertexBase* v) {
        const auto it = vertexMap.find(v);
        return it == vertexMap.end() ? v : it->second;
      };
      for (Edge* e : from.edges) {
        Edge* copy = new Edge{mapVertex(e->first), mapVertex(e->second), e->spare0, e->spare1};
        edgeMap[e] = copy;
        to.edges.push_back(copy);
      }
      for (FaceBase* f : from.faces) {
        FaceBase* copy = f->clone();
        for (int32_t j = 0; j < copy->edgeCount(); ++j) {
          const auto it = edgeMap.find(copy->edge(j));
          if (it != edgeMap.end()) copy->setEdge(j, it->second);
        }
        to.faces.push_back(copy);
      }
      break;
    }
  }
  data->state = MeshState::EditCurrent;
}

void Mesh::transform(const Matrix& matrix) {
  if (data->state == MeshState::Empty) return;
  if (data->state != MeshState::EditCurrent && data->state != MeshState::BothCurrent) {
    rebuildFromGpu();
    data->state = MeshState::BothCurrent;
  }
  EditableModel& edit = *data->edit;
  edit.vertexNormalsCurrent = false;
  edit.faceNormalsCurrent = false;
  for (VertexBase* v : edit.vertices) {
    if (Vector3* p = v->position()) *p = transformPoint(*p, matrix);
    if (Vector3* n = v->normal()) *n = transformDirection(*n, matrix);
  }
  data->state = MeshState::EditCurrent;
}

void Mesh::loadFromD3DXMesh(const platform::GlyphMesh& glyph) { data->gpu->loadFromD3DXMesh(*this, glyph); }

void Mesh::clearEdit() { data->edit->clear(); }

void Mesh::setGeometry(const std::vector<VertexBase*>* newVertices, const std::vector<Edge*>* newEdges,
                       const std::vector<FaceBase*>* newFaces) {
  EditableModel& edit = *data->edit;
  edit.vertexNormalsCurrent = false;
  edit.faceNormalsCurrent = false;
  edit.tangentsCurrent = false;

  std::unordered_map<const VertexBase*, VertexBase*> vertexMap;
  std::unordered_map<const Edge*, Edge*> edgeMap;
  if (newVertices) {
    for (VertexBase* v : edit.vertices) delete v;
    edit.vertices.clear();
    edit.vertices.reserve(newVertices->size());
    vertexMap.reserve(newVertices->size());
    for (VertexBase* v : *newVertices) {
      VertexBase* copy = v->clone();
      vertexMap[v] = copy;
      edit.vertices.push_back(copy);
    }
  }
  if (newEdges) {
    for (Edge* e : edit.edges) delete e;
    edit.edges.clear();
    edit.edges.reserve(newEdges->size());
    edgeMap.reserve(newEdges->size());
    auto mapVertex = [&vertexMap](VertexBase* v) {
      const auto it = vertexMap.find(v);
      return it == vertexMap.end() ? v : it->second;
    };
    for (Edge* e : *newEdges) {
      Edge* copy = new Edge{mapVertex(e->first), mapVertex(e->second), e->spare0, e->spare1};
      edgeMap[e] = copy;
      edit.edges.push_back(copy);
    }
  }
  if (newFaces) {
    for (FaceBase* f : edit.faces) delete f;
    edit.faces.clear();
    edit.faces.reserve(newFaces->size());
    for (FaceBase* f : *newFaces) {
      FaceBase* copy = f->clone();
      for (int32_t j = 0; j < copy->edgeCount(); ++j) {
        const auto it = edgeMap.find(copy->edge(j));
        if (it != edgeMap.end()) copy->setEdge(j, it->second);
      }
      edit.faces.push_back(copy);
    }
  }
}

}  // namespace velm
