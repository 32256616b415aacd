// Quad subdivision: counts and output order, the linear and Catmull-Clark
// rules, pass alternation with the scratch mesh, broken input, and the chain
// scene's room.
#include <algorithm>
#include <cmath>
#include <set>

#include "engine/engine_context.h"
#include "geometry/modifiers.h"
#include "geometry/subdivide.h"
#include "tests/geometry/geometry_test_support.h"

namespace velm::testing {
namespace {

using meshmodify::Subdivide;

class Subdivision : public GeometryTest {};

const int kBoxEdgeEnds[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 5},
                                 {2, 6}, {3, 7}, {7, 4}, {6, 7}, {5, 6}, {4, 5}};
const int kBoxFaceCorners[6][4] = {{3, 2, 1, 0}, {5, 6, 7, 4}, {1, 5, 4, 0}, {4, 7, 3, 0}, {7, 6, 2, 3}, {6, 5, 1, 2}};

Vector3 boxCorner(int i, Vector3 h) {
  const Vector3 signs[8] = {{-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1},
                            {-1, 1, -1},  {-1, 1, 1},  {1, 1, 1},  {1, 1, -1}};
  return {signs[i].x * h.x, signs[i].y * h.y, signs[i].z * h.z};
}

TEST_F(Subdivision, CountsGrowAsEachPassSplitsEveryFaceIntoQuads) {
  const struct {
    int passes;
    size_t vertices, edges, faces;
  } cases[] = {{1, 26, 48, 24}, {2, 98, 192, 96}, {3, 386, 768, 384}};
  for (int linear : {1, 0})
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(linear ? "linear, " : "smoothing, ") + std::to_string(c.passes) + " passes");
      Mesh* mesh = box(1, 1, 1);
      Subdivide(c.passes, linear).apply(*mesh);
      EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
      const EditableModel& model = modelOf(*mesh);
      EXPECT_EQ(model.vertices.size(), c.vertices);
      EXPECT_EQ(model.edges.size(), c.edges);
      ASSERT_EQ(model.faces.size(), c.faces);
      for (const FaceBase* f : model.faces) ASSERT_NE(dynamic_cast<const QuadFace*>(f), nullptr);
    }
}

TEST_F(Subdivision, ALinearPassListsCopiesAndEdgePointsByEdgeThenFacePoints) {
  const Vector3 h{1, 2, 3};
  Mesh* mesh = box(h.x, h.y, h.z);
  Subdivide(1, 1).apply(*mesh);

  // Copies as the edge list first reaches their vertices, each edge's point
  // after its ends, then the face points of F0 to F5.
  std::vector<Vector3> expected;
  bool copied[8] = {};
  for (const auto& ends : kBoxEdgeEnds) {
    for (int end : ends)
      if (!copied[end]) {
        copied[end] = true;
        expected.push_back(boxCorner(end, h));
      }
    expected.push_back((boxCorner(ends[0], h) + boxCorner(ends[1], h)) * 0.5f);
  }
  for (const auto& corners : kBoxFaceCorners) {
    Vector3 sum;
    for (int c : corners) sum = sum + boxCorner(c, h);
    expected.push_back(sum * 0.25f);
  }
  const std::vector<Vector3> got = positionsOf(modelOf(*mesh).vertices);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(near(got[i], expected[i])) << "vertex " << i;
  EXPECT_EQ(got[1], boxCorner(1, h));  // the listed order: V0, V1, point of E0, V2, ...
  EXPECT_EQ(got[3], boxCorner(2, h));
  EXPECT_EQ(got[8], boxCorner(4, h));
}

TEST_F(Subdivision, FaceF0BecomesFourQuadsAroundItsFacePoint) {
  Mesh* mesh = box(1, 1, 1);
  Subdivide(1, 1).apply(*mesh);
  // Output numbers: V0 0, V1 1, E0 2, V2 3, E1 4, V3 5, E2 6, E3 7, face point of F0 20.
  const auto corners = cornerNumbers(modelOf(*mesh));
  EXPECT_EQ(std::vector<std::vector<int>>(corners.begin(), corners.begin() + 4),
            (std::vector<std::vector<int>>{{5, 6, 20, 7}, {3, 4, 20, 6}, {1, 2, 20, 4}, {0, 7, 20, 2}}));
  // Edges: the halves by input edge, then the inner edges by face.
  const EditableModel& model = modelOf(*mesh);
  EXPECT_EQ(indexIn(model.vertices, model.edges[0]->first), 0);
  EXPECT_EQ(indexIn(model.vertices, model.edges[0]->second), 2);
  EXPECT_EQ(indexIn(model.vertices, model.edges[1]->first), 2);
  EXPECT_EQ(indexIn(model.vertices, model.edges[1]->second), 1);
  EXPECT_EQ(indexIn(model.vertices, model.edges[24]->first), 7);  // F0's first inner edge: point of E3 to f
  EXPECT_EQ(indexIn(model.vertices, model.edges[24]->second), 20);
  // Every quad keeps its face's outward winding.
  for (const FaceBase* f : model.faces) {
    const auto c = cornerList(*f);
    const Vector3 n = cross(*c[1]->position() - *c[0]->position(), *c[2]->position() - *c[1]->position());
    EXPECT_GT(dot(n, *c[2]->position()), 0.0f);  // corner 2 is the face point
  }
}

TEST_F(Subdivision, ASmoothingPassRoundsTheUnitBox) {
  Mesh* mesh = box(1, 1, 1);
  Subdivide(1, 0).apply(*mesh);
  const std::vector<Vector3> p = positionsOf(modelOf(*mesh).vertices);
  ASSERT_EQ(p.size(), 26u);
  const Vector3 facePoints[6] = {{0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, -1}, {1, 0, 0}, {0, 0, 1}};
  for (int f = 0; f < 6; ++f) EXPECT_TRUE(near(p[static_cast<size_t>(20 + f)], facePoints[f])) << "face " << f;
  EXPECT_TRUE(near(p[17], {0.75f, 0.75f, 0}));  // E9, from (1, 1, 1) to (1, 1, -1)
  EXPECT_TRUE(near(p[12], {5 / 9.0f, 5 / 9.0f, 5 / 9.0f}));  // the corner (1, 1, 1)
  // By symmetry every corner, edge point and face point lies as far out as its like.
  const std::set<size_t> corners = {0, 1, 3, 5, 8, 10, 12, 14};
  for (size_t i = 0; i < p.size(); ++i) {
    const float expected = i >= 20 ? 1.0f : corners.count(i) ? 5 / 3.0f : 1.5f;
    EXPECT_NEAR(std::fabs(p[i].x) + std::fabs(p[i].y) + std::fabs(p[i].z), expected, 1e-5f) << "vertex " << i;
  }
}

TEST_F(Subdivision, TextureCoordinatesAreAveragedNeverSmoothed) {
  Mesh* mesh = box(1, 1, 1);
  for (VertexBase* v : modelOf(*mesh).vertices) {
    const Vector3 p = *v->position();
    v->setTexcoord0({p.x, p.y});
    v->setTexcoord1({p.z, 2});
    v->setNormal({0, 0, 7});
  }
  Subdivide(1, 0).apply(*mesh);
  const auto& v = modelOf(*mesh).vertices;
  EXPECT_EQ(v[12]->texcoord0()->u, 1.0f);  // the corner moved, its pair did not
  EXPECT_EQ(v[17]->texcoord0()->u, 1.0f);  // E9's point: mean of (1, 1) and (1, 1)
  EXPECT_EQ(v[17]->texcoord0()->v, 1.0f);
  EXPECT_EQ(v[17]->texcoord1()->u, 0.0f);  // mean of z = 1 and z = -1
  EXPECT_EQ(v[21]->texcoord0()->v, 1.0f);  // F1 (+y): mean over its corners
  EXPECT_EQ(v[21]->texcoord1()->v, 2.0f);
  for (VertexBase* x : v) EXPECT_EQ(*x->normal(), (Vector3{0, 0, 7}));  // cloned, not recomputed yet
}

TEST_F(Subdivision, ATriangleBecomesThreeQuadsAndAQuadFour) {
  Mesh* mesh = newMesh();
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  Subdivide(1, 1).apply(*mesh);
  const EditableModel& model = modelOf(*mesh);
  EXPECT_EQ(model.vertices.size(), 7u);
  EXPECT_EQ(model.edges.size(), 9u);
  // Input edges run c2-c0, c0-c1, c1-c2: copies c2 0, c0 1, c1 3; points 2, 4, 5; face point 6.
  EXPECT_EQ(cornerNumbers(model), (std::vector<std::vector<int>>{{1, 4, 6, 2}, {3, 5, 6, 4}, {0, 2, 6, 5}}));
  EXPECT_TRUE(near(*model.vertices[6]->position(), {1 / 3.0f, 1 / 3.0f, 0}));

  Mesh* quad = newMesh();
  buildModel(*quad, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  Subdivide(1, 1).apply(*quad);
  EXPECT_EQ(modelOf(*quad).vertices.size(), 9u);
  EXPECT_EQ(modelOf(*quad).edges.size(), 12u);
  EXPECT_EQ(modelOf(*quad).faces.size(), 4u);
  for (const auto& c : cornerNumbers(modelOf(*quad))) EXPECT_EQ(c[2], 8);
}

TEST_F(Subdivision, PassesAlternateWithTheScratchMesh) {
  const size_t counts[] = {8, 26, 98, 386};
  for (int passes = 0; passes <= 3; ++passes) {
    SCOPED_TRACE(std::to_string(passes) + " passes");
    Mesh* mesh = box(1, 1, 1);
    const int32_t meshesBefore = EngineContext::get().meshCount;
    Subdivide subdivide(passes, 1);
    subdivide.apply(*mesh);
    EXPECT_EQ(modelOf(*mesh).vertices.size(), counts[passes]);
    if (passes == 0) {
      EXPECT_EQ(subdivide.scratch, nullptr);
      EXPECT_EQ(EngineContext::get().meshCount, meshesBefore);
      EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
      continue;
    }
    ASSERT_NE(subdivide.scratch, nullptr);
    EXPECT_EQ(EngineContext::get().meshCount, meshesBefore + 1);
    EXPECT_EQ(EngineContext::get().meshes.count(subdivide.scratch), 1u);
    // The scratch mesh holds the last pass it wrote: the result itself for an
    // odd count (the caller has a copy), the pass before for an even one.
    const EditableModel& scratch = modelOf(*subdivide.scratch);
    EXPECT_EQ(scratch.vertices.size(), passes % 2 ? counts[passes] : counts[passes - 1]);
    if (passes % 2) {
      EXPECT_EQ(positionsOf(scratch.vertices), positionsOf(modelOf(*mesh).vertices));
      EXPECT_NE(scratch.vertices[0], modelOf(*mesh).vertices[0]);
    }
    // A second apply reuses the scratch mesh.
    Mesh* const scratchMesh = subdivide.scratch;
    subdivide.apply(*mesh);
    EXPECT_EQ(subdivide.scratch, scratchMesh);
    EXPECT_EQ(EngineContext::get().meshCount, meshesBefore + 1);
  }
}

TEST_F(Subdivision, AVertexOnNoEdgeIsDropped) {
  Mesh* mesh = box(1, 1, 1);
  std::vector<VertexBase*>* vertices = nullptr;
  mesh->editLists(&vertices, nullptr, nullptr);
  vertices->insert(vertices->begin() + 3, new Vertex(50, 50, 50));
  Subdivide(1, 1).apply(*mesh);
  EXPECT_EQ(modelOf(*mesh).vertices.size(), 26u);
  for (const Vector3& p : positionsOf(modelOf(*mesh).vertices)) EXPECT_LT(p.x, 2.0f);
}

TEST_F(Subdivision, OpenSurfacesKeepTheirRimInAsmoothingPass) {
  // One quad alone: every edge has one face and every corner more edges than faces.
  Mesh* linear = newMesh();
  Mesh* smooth = newMesh();
  for (Mesh* m : {linear, smooth}) buildModel(*m, {{0, 0, 0}, {2, 0, 0}, {2, 2, 1}, {0, 2, 0}}, {{0, 1, 2, 3}});
  Subdivide(1, 1).apply(*linear);
  Subdivide(1, 0).apply(*smooth);
  EXPECT_EQ(positionsOf(modelOf(*smooth).vertices), positionsOf(modelOf(*linear).vertices));

  // A box with a dangling edge from V6 to a vertex on no face: V6 and the
  // loose end stay, the dangling edge keeps its midpoint, the rest is smoothed.
  Mesh* mesh = box(1, 1, 1);
  std::vector<VertexBase*>* vertices = nullptr;
  std::vector<Edge*>* edges = nullptr;
  mesh->editLists(&vertices, &edges, nullptr);
  vertices->push_back(new Vertex(3, 3, 3));
  edges->push_back(new Edge{(*vertices)[6], vertices->back(), 0, 0});
  Subdivide(1, 0).apply(*mesh);
  const std::vector<Vector3> p = positionsOf(modelOf(*mesh).vertices);
  ASSERT_EQ(p.size(), 28u);
  EXPECT_EQ(p[12], (Vector3{1, 1, 1}));
  EXPECT_EQ(p[20], (Vector3{3, 3, 3}));
  EXPECT_EQ(p[21], (Vector3{2, 2, 2}));
  EXPECT_TRUE(near(p[0], {-5 / 9.0f, -5 / 9.0f, -5 / 9.0f}));
  expectFatalErrors({});
}

TEST_F(Subdivision, BrokenInputReportsAndCarriesOn) {
  // Three triangles on one edge: the third face is not recorded for it.
  Mesh* fin = newMesh();
  buildModel(*fin, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
  Subdivide(1, 0).apply(*fin);
  expectFatalErrors({188});
  EXPECT_EQ(modelOf(*fin).faces.size(), 9u);
  Mesh* finLinear = newMesh();
  buildModel(*finLinear, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}});
  Subdivide(1, 1).apply(*finLinear);
  expectFatalErrors({});
  // The shared edge (vertex 4 of the output) uses the first two faces: (B + A + F1 + F2) / 4.
  EXPECT_TRUE(near(*modelOf(*fin).vertices[4]->position(), {(1 + 1 / 3.0f + 1 / 3.0f) / 4, 0, 0}));

  // A quad whose edges 0 and 1 (and 2 and 3) share no vertex: those corners get no quad.
  Mesh* broken = newMesh();
  std::vector<VertexBase*>* v = nullptr;
  std::vector<Edge*>* e = nullptr;
  std::vector<FaceBase*>* f = nullptr;
  broken->editLists(&v, &e, &f);
  for (Vector3 p : {Vector3{0, 0, 0}, Vector3{1, 0, 0}, Vector3{1, 1, 0}, Vector3{0, 1, 0}})
    v->push_back(new Vertex(p.x, p.y, p.z));
  Edge* ab = new Edge{(*v)[0], (*v)[1]};
  Edge* cd = new Edge{(*v)[2], (*v)[3]};
  Edge* bc = new Edge{(*v)[1], (*v)[2]};
  Edge* da = new Edge{(*v)[3], (*v)[0]};
  e->assign({ab, bc, cd, da});
  f->push_back(new QuadFace(ab, cd, bc, da));
  Subdivide(1, 1).apply(*broken);
  expectFatalErrors({230, 230});
  EXPECT_EQ(modelOf(*broken).faces.size(), 2u);
  EXPECT_EQ(modelOf(*broken).vertices.size(), 9u);
}

// The chain scene's room: a box seen from inside, refined and textured.
TEST_F(Subdivision, TheChainRoomIsARoundedBoxFacingInwards) {
  Mesh* room = box(130, 130, 130);
  meshmodify::InvertFaces().apply(*room);
  Subdivide(2, 1).apply(*room);
  Subdivide(1, 0).apply(*room);
  meshmodify::Texgen(0, 0.002f).apply(*room);
  meshmodify::Texgen(1, 0.06f).apply(*room);
  room->refreshNormals();
  room->refreshTangents();
  room->draw();
  expectFatalErrors({});

  const EditableModel& model = modelOf(*room);
  ASSERT_EQ(model.vertices.size(), 386u);
  EXPECT_EQ(gpuOf(*room).indexCount, 384 * 6);
  EXPECT_EQ(stateOf(*room), MeshState::BothCurrent);
  bool centreOfCeiling = false;
  for (VertexBase* v : model.vertices) {
    const Vector3 p = *v->position();
    EXPECT_LT(dot(*v->normal(), p), 0.0f);  // seen from inside
    EXPECT_LE(std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}), 130.0f + 1e-3f);
    EXPECT_LT(std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z), 3 * 130.0f - 1.0f);  // no sharp corner is left
    EXPECT_TRUE(std::isfinite(v->texcoord0()->u) && std::isfinite(v->texcoord1()->v));
    EXPECT_NEAR(length(*v->tangent()), 1.0f, 1e-4f);
    centreOfCeiling = centreOfCeiling || (std::fabs(p.x) < 1e-3f && std::fabs(p.z) < 1e-3f && p.y > 129.99f);
  }
  EXPECT_TRUE(centreOfCeiling);  // the middles of the walls stay flat
}

}  // namespace
}  // namespace velm::testing
