#include "geometry/subdivide.h"

#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/engine_context.h"
#include "engine/fatal_error.h"
#include "geometry/mesh.h"

namespace velm::meshmodify {

Subdivide::Subdivide(int32_t passes, int32_t linear)
    : options(std::make_unique<SubdivideOptions>()), iterations(passes) {
  options->linear = linear;
}

Subdivide::~Subdivide() = default;

void Subdivide::apply(Mesh& mesh) {
  // No passes (or a negative count): nothing to do and no scratch mesh.
  if (iterations <= 0) return;
  if (!scratch) scratch = EngineContext::get().createMesh();

  Mesh* source = &mesh;
  Mesh* target = scratch;
  for (int32_t pass = 0; pass < iterations; ++pass) {
    target->clearEdit();
    target->data->state = MeshState::EditCurrent;
    subdivideOnce(*source, options.get(), *target);
    std::swap(source, target);
  }
  // An odd count leaves the result in the scratch mesh.
  if (iterations % 2 == 1) mesh.copyFrom(*scratch);
}

namespace {

struct Halves {
  Edge* first = nullptr;
  Edge* second = nullptr;
};

// References to the positions of the face points on either side of an edge.
struct EdgeFaces {
  Vector3* first = nullptr;
  Vector3* second = nullptr;
};

bool sharesVertex(const Edge* h, const Edge* k) {
  return h->first == k->first || h->first == k->second || h->second == k->first || h->second == k->second;
}

Vector3 dividedBy(Vector3 v, float d) { return {v.x / d, v.y / d, v.z / d}; }

}  // namespace

void Subdivide::subdivideOnce(Mesh& input, const SubdivideOptions* options, Mesh& output) {
  const std::vector<FaceBase*>& inFaces = input.faces();
  const std::vector<Edge*>& inEdges = input.edges();
  const std::vector<VertexBase*>& inVertices = input.vertices();
  std::vector<VertexBase*>* outVertices = nullptr;
  std::vector<Edge*>* outEdges = nullptr;
  std::vector<FaceBase*>* outFaces = nullptr;
  output.editLists(&outVertices, &outEdges, &outFaces);
  const bool smoothing = options->linear == 0;

  // The working tables, keyed by object identity; they are looked up, never walked.
  std::unordered_map<const VertexBase*, VertexBase*> vertexCopies;
  std::unordered_map<const Edge*, Halves> edgeHalves;
  std::unordered_map<const Edge*, Vector3*> edgePoints;
  std::unordered_map<const Edge*, EdgeFaces> edgeFaces;
  std::unordered_map<const VertexBase*, std::vector<Vector3*>> vertexFacePoints;
  std::unordered_map<const VertexBase*, std::vector<Vector3>> vertexMidpoints;
  vertexCopies.reserve(inVertices.size());
  edgeHalves.reserve(inEdges.size());
  edgePoints.reserve(inEdges.size());
  outVertices->reserve(outVertices->size() + inVertices.size() + inEdges.size() + inFaces.size());
  outEdges->reserve(outEdges->size() + 2 * inEdges.size() + 4 * inFaces.size());
  outFaces->reserve(outFaces->size() + 4 * inFaces.size());

  auto copyOf = [&](VertexBase* v) {
    auto [it, made] = vertexCopies.try_emplace(v, nullptr);
    if (made) {
      it->second = v->clone();
      outVertices->push_back(it->second);
    }
    return it->second;
  };

  // Phase 1: every edge splits at a new vertex into two halves.
  for (Edge* edge : inEdges) {
    VertexBase* a = copyOf(edge->first);
    VertexBase* b = copyOf(edge->second);
    VertexBase* m = a->clone();
    *m->position() = dividedBy(*b->position() + *a->position(), 2.0f);
    if (m->texcoord0() && a->texcoord0() && b->texcoord0()) {
      const TexCoord ta = *a->texcoord0(), tb = *b->texcoord0();
      *m->texcoord0() = {(tb.u + ta.u) * 0.5f, (tb.v + ta.v) * 0.5f};
    }
    if (m->texcoord1() && a->texcoord1() && b->texcoord1()) {
      const TexCoord ta = *a->texcoord1(), tb = *b->texcoord1();
      *m->texcoord1() = {(tb.u + ta.u) * 0.5f, (tb.v + ta.v) * 0.5f};
    }
    outVertices->push_back(m);
    edgePoints[edge] = m->position();
    Edge* firstHalf = new Edge{a, m, 0, 0};
    Edge* secondHalf = new Edge{m, b, 0, 0};
    edgeHalves[edge] = {firstHalf, secondHalf};
    outEdges->push_back(firstHalf);
    outEdges->push_back(secondHalf);
    if (smoothing) {
      vertexMidpoints[a].push_back(*m->position());
      vertexMidpoints[b].push_back(*m->position());
    }
  }

  // Phase 2: a point inside every face and one quad per face corner.
  std::vector<const Halves*> faceHalves;
  std::vector<Edge*> innerEdges;
  for (FaceBase* face : inFaces) {
    const int32_t n = face->edgeCount();
    faceHalves.assign(static_cast<size_t>(n), nullptr);
    bool complete = true;
    for (int32_t j = 0; j < n && complete; ++j) {
      const auto it = edgeHalves.find(face->edge(j));
      complete = it != edgeHalves.end();
      if (complete) faceHalves[static_cast<size_t>(j)] = &it->second;
    }
    if (!complete) continue;  // an edge missing from the edge list: the face has no place to go

    const std::vector<VertexBase*> corners = cornerList(*face);
    VertexBase* f = corners[0]->clone();
    Vector3 sum;
    for (VertexBase* c : corners) sum = sum + *c->position();
    *f->position() = dividedBy(sum, static_cast<float>(n));
    const float inverseCount = 1.0f / static_cast<float>(n);
    for (int32_t set = 0; set < 2; ++set) {
      TexCoord* target = f->texcoord(set);
      if (!target) continue;
      TexCoord total;
      for (VertexBase* c : corners)
        if (const TexCoord* t = c->texcoord(set)) {
          total.u += t->u;
          total.v += t->v;
        }
      *target = {total.u * inverseCount, total.v * inverseCount};
    }
    outVertices->push_back(f);
    Vector3* facePoint = f->position();

    if (smoothing)
      for (VertexBase* c : corners) {
        const auto it = vertexCopies.find(c);
        if (it != vertexCopies.end()) vertexFacePoints[it->second].push_back(facePoint);
      }

    innerEdges.assign(static_cast<size_t>(n), nullptr);
    for (int32_t j = 0; j < n; ++j) {
      VertexBase* edgeVertex = faceHalves[static_cast<size_t>(j)]->first->second;
      Edge* inner = new Edge{edgeVertex, f, 0, 0};
      outEdges->push_back(inner);
      innerEdges[static_cast<size_t>(j)] = inner;
      if (smoothing) {
        EdgeFaces& sides = edgeFaces[face->edge(j)];
        if (!sides.first)
          sides.first = facePoint;
        else if (!sides.second)
          sides.second = facePoint;
        else
          fatalError(188);
      }
    }

    for (int32_t j = 0; j < n; ++j) {
      const int32_t k = (j + 1) % n;
      const Halves& hj = *faceHalves[static_cast<size_t>(j)];
      const Halves& hk = *faceHalves[static_cast<size_t>(k)];
      const std::pair<Edge*, Edge*> candidates[] = {
          {hj.first, hk.first}, {hj.first, hk.second}, {hj.second, hk.first}, {hj.second, hk.second}};
      const std::pair<Edge*, Edge*>* chosen = nullptr;
      for (const auto& candidate : candidates)
        if (sharesVertex(candidate.first, candidate.second)) {
          chosen = &candidate;
          break;
        }
      if (!chosen) {
        fatalError(230);
        continue;  // no corner to build a quad around
      }
      outFaces->push_back(new QuadFace(chosen->first, chosen->second, innerEdges[static_cast<size_t>(k)],
                                       innerEdges[static_cast<size_t>(j)]));
    }
  }

  if (!smoothing) return;

  // Phase 3: Catmull-Clark edge points, then vertex points.
  for (Edge* edge : inEdges) {
    const auto sides = edgeFaces.find(edge);
    // Fewer than two faces: the edge point keeps its midpoint.
    if (sides == edgeFaces.end() || !sides->second.first || !sides->second.second) continue;
    const Vector3 a = *edge->first->position();
    const Vector3 b = *edge->second->position();
    *edgePoints[edge] = dividedBy(b + a + *sides->second.first + *sides->second.second, 4.0f);
  }
  for (VertexBase* vertex : inVertices) {
    const auto copy = vertexCopies.find(vertex);
    if (copy == vertexCopies.end()) continue;  // on no edge: not in the output
    VertexBase* p = copy->second;
    const auto facePoints = vertexFacePoints.find(p);
    const auto midpoints = vertexMidpoints.find(p);
    if (facePoints == vertexFacePoints.end() || midpoints == vertexMidpoints.end()) continue;
    const size_t n = facePoints->second.size();
    // Only a vertex inside a closed surface has as many edges as faces around
    // it. One on no face, on the rim of an open surface (more edges) or on a
    // broken one (fewer) stays where it is, like the midpoints of its rim edges.
    if (n == 0 || midpoints->second.size() != n) continue;
    Vector3 faceSum, midSum;
    for (const Vector3* fp : facePoints->second) faceSum = faceSum + *fp;
    for (const Vector3& mid : midpoints->second) midSum = midSum + mid;
    const float count = static_cast<float>(n);
    const Vector3 f = dividedBy(faceSum, count);
    const Vector3 r = dividedBy(midSum, count);
    const Vector3 old = *p->position();
    *p->position() = dividedBy(old * (count - 3.0f) + (r * 2.0f + f), count);
  }
}

}  // namespace velm::meshmodify
