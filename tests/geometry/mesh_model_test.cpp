// The editable model: vertex kinds, corner order, the four mesh states and
// their transitions, derived normals and tangents, copies and transforms.
#include <cmath>
#include <functional>

#include "engine/engine_context.h"
#include "tests/geometry/geometry_test_support.h"

namespace velm::testing {
namespace {

using Calls = std::vector<std::string>;

// A vertex kind with a position only: everything else comes from the base.
class PositionOnlyVertex final : public VertexBase {
 public:
  Vector3* position() override { return &p; }
  int32_t attributeSize() const override { return 12; }
  VertexBase* clone() const override { return new PositionOnlyVertex(*this); }
  Vector3 p;
};

TEST(VertexKinds, VertexAttributesFormOneBlockInGpuOrder) {
  Vertex v(1, 2, 3);
  EXPECT_EQ(v.attributeSize(), 64);
  const auto* block = reinterpret_cast<const char*>(v.position());
  EXPECT_EQ(reinterpret_cast<const char*>(v.normal()) - block, 12);
  EXPECT_EQ(reinterpret_cast<const char*>(v.texcoord0()) - block, 24);
  EXPECT_EQ(reinterpret_cast<const char*>(v.texcoord1()) - block, 32);
  EXPECT_EQ(reinterpret_cast<const char*>(v.tangent()) - block, 40);
  EXPECT_EQ(reinterpret_cast<const char*>(v.binormal()) - block, 52);
  EXPECT_EQ(*v.position(), (Vector3{1, 2, 3}));
  EXPECT_EQ(*v.normal(), Vector3{});
  EXPECT_EQ(v.spare(), nullptr);

  EXPECT_EQ(v.texcoord(0), v.texcoord0());
  EXPECT_EQ(v.texcoord(1), v.texcoord1());
  EXPECT_EQ(v.texcoord(2), nullptr);
  EXPECT_EQ(v.texcoord(-1), nullptr);
  v.setTexcoord(0, {1, 2});
  v.setTexcoord(1, {3, 4});
  v.setTexcoord(2, {5, 6});  // no such pair: ignored
  v.setSpare(7);
  v.setNormal({0, 1, 0});
  v.tangent()->x = 9;  // written through the getter

  std::unique_ptr<VertexBase> copy(v.clone());
  ASSERT_NE(dynamic_cast<Vertex*>(copy.get()), nullptr);
  EXPECT_EQ(std::memcmp(copy->position(), v.position(), 64), 0);
  EXPECT_EQ(copy->texcoord0()->u, 1.0f);
  EXPECT_EQ(copy->texcoord1()->v, 4.0f);
  EXPECT_EQ(copy->tangent()->x, 9.0f);
  EXPECT_NE(copy->position(), v.position());
}

TEST(VertexKinds, BaseOffersNothingAKindDoesNotOverride) {
  PositionOnlyVertex v;
  v.setNormal({1, 0, 0});
  v.setTexcoord(0, {1, 1});
  EXPECT_EQ(v.normal(), nullptr);
  EXPECT_EQ(v.texcoord0(), nullptr);
  EXPECT_EQ(v.texcoord1(), nullptr);
  EXPECT_EQ(v.texcoord(0), nullptr);
  EXPECT_EQ(v.tangent(), nullptr);
  EXPECT_EQ(v.binormal(), nullptr);
  EXPECT_EQ(v.spare(), nullptr);
  EXPECT_NE(v.position(), nullptr);
}

TEST(Faces, CornersFollowFromTheSharedEndpointsOfTheEdges) {
  Vertex a, b, c, d;
  Edge ab{&a, &b}, ba{&b, &a}, bc{&b, &c}, cb{&c, &b}, ca{&c, &a}, cd{&c, &d}, da{&d, &a};
  const struct {
    const char* what;
    Edge *e0, *e1, *e2;
    std::vector<VertexBase*> corners;
  } cases[] = {
      {"edge 0's second is shared", &ab, &bc, &ca, {&b, &c, &a}},
      {"edge 0's first is shared", &ba, &bc, &ca, {&b, &c, &a}},
      {"edges stored against the walk", &ba, &cb, &ca, {&b, &c, &a}},
      {"edges 0 and 1 share nothing: edge 0's first", &ab, &cd, &da, {&a, &d, &a}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    TriFace face(k.e0, k.e1, k.e2);
    EXPECT_EQ(cornerList(face), k.corners);
  }

  Edge ad{&a, &d};
  QuadFace quad(&ab, &bc, &cd, &da);
  EXPECT_EQ(cornerList(quad), (std::vector<VertexBase*>{&b, &c, &d, &a}));
  std::vector<VertexBase*> triangles;
  quad.triangulate(triangles);
  EXPECT_EQ(triangles, (std::vector<VertexBase*>{&b, &c, &d, &d, &a, &b}));
  TriFace tri(&ab, &bc, &ca);
  triangles.clear();
  tri.triangulate(triangles);
  EXPECT_EQ(triangles, (std::vector<VertexBase*>{&b, &c, &a}));

  std::unique_ptr<FaceBase> copy(quad.clone());
  EXPECT_EQ(copy->edgeCount(), 4);
  EXPECT_EQ(copy->edge(2), &cd);
  copy->setEdge(2, &ad);
  EXPECT_EQ(quad.edge(2), &cd);
}

class MeshStates : public GeometryTest {};

// Every operation from every state: the state it leaves and the fatal errors it shows.
TEST_F(MeshStates, EveryOperationFromEveryState) {
  auto make = [this](MeshState state) {
    Mesh* mesh = newMesh();
    switch (state) {
      case MeshState::Empty:
        break;
      case MeshState::EditCurrent:
        meshgen::Cube(1, 1, 1).generate(*mesh);
        break;
      case MeshState::GpuCurrent:
        mesh->loadFromD3DXMesh(glyphSquare());
        break;
      case MeshState::BothCurrent:
        meshgen::Cube(1, 1, 1).generate(*mesh);
        mesh->draw();
        break;
    }
    EXPECT_EQ(stateOf(*mesh), state);
    return mesh;
  };
  Mesh* source = box(2, 2, 2);
  const platform::GlyphMesh glyph = glyphSquare();
  using E = MeshState;
  const struct {
    const char* operation;
    std::function<void(Mesh&)> run;
    MeshState after[4];  // from Empty, EditCurrent, GpuCurrent, BothCurrent
    int errorFromEmpty;  // 0: none
  } cases[] = {
      {"editLists", [](Mesh& m) { m.editLists(nullptr, nullptr, nullptr); },
       {E::EditCurrent, E::EditCurrent, E::EditCurrent, E::EditCurrent}, 0},
      {"vertices", [](Mesh& m) { (void)m.vertices(); }, {E::Empty, E::EditCurrent, E::BothCurrent, E::BothCurrent}, 166},
      {"edges", [](Mesh& m) { (void)m.edges(); }, {E::Empty, E::EditCurrent, E::BothCurrent, E::BothCurrent}, 166},
      {"faces", [](Mesh& m) { (void)m.faces(); }, {E::Empty, E::EditCurrent, E::BothCurrent, E::BothCurrent}, 166},
      {"refreshNormals", [](Mesh& m) { m.refreshNormals(); },
       {E::Empty, E::EditCurrent, E::EditCurrent, E::EditCurrent}, 0},
      {"refreshTangents", [](Mesh& m) { m.refreshTangents(); },
       {E::Empty, E::EditCurrent, E::GpuCurrent, E::BothCurrent}, 202},
      {"draw", [](Mesh& m) { m.draw(); }, {E::Empty, E::BothCurrent, E::GpuCurrent, E::BothCurrent}, 141},
      {"transform", [](Mesh& m) { m.transform(Matrix::identity()); },
       {E::Empty, E::EditCurrent, E::EditCurrent, E::EditCurrent}, 0},
      {"copyFrom", [source](Mesh& m) { m.copyFrom(*source); },
       {E::EditCurrent, E::EditCurrent, E::EditCurrent, E::EditCurrent}, 0},
      {"loadFromD3DXMesh", [&glyph](Mesh& m) { m.loadFromD3DXMesh(glyph); },
       {E::GpuCurrent, E::GpuCurrent, E::GpuCurrent, E::GpuCurrent}, 0},
  };
  for (const auto& c : cases)
    for (int from = 0; from < 4; ++from) {
      SCOPED_TRACE(std::string(c.operation) + " from state " + std::to_string(from));
      Mesh* mesh = make(static_cast<MeshState>(from));
      c.run(*mesh);
      EXPECT_EQ(stateOf(*mesh), c.after[from]);
      if (from == 0 && c.errorFromEmpty)
        expectFatalErrors({c.errorFromEmpty});
      else
        expectFatalErrors({});
    }
}

TEST_F(MeshStates, AnEmptyMeshDrawsNothingAndReadsEmptyLists) {
  Mesh* mesh = newMesh();
  device->clearCalls();
  mesh->draw();
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(mesh->vertices().empty());
  EXPECT_TRUE(mesh->edges().empty());
  EXPECT_TRUE(mesh->faces().empty());
  expectFatalErrors({141, 166, 166, 166});

  Mesh* target = box(1, 1, 1);
  target->copyFrom(*mesh);  // nothing copied, target unchanged
  expectFatalErrors({117});
  EXPECT_EQ(modelOf(*target).vertices.size(), 8u);
  EXPECT_EQ(stateOf(*target), MeshState::EditCurrent);
}

TEST_F(MeshStates, WriteAccessWithoutListsStillMakesTheNextDrawUpload) {
  Mesh* mesh = box(1, 1, 1);
  mesh->draw();
  ASSERT_EQ(stateOf(*mesh), MeshState::BothCurrent);
  device->clearCalls();
  mesh->draw();  // nothing changed: no upload
  EXPECT_EQ(std::count_if(calls().begin(), calls().end(), [](const std::string& s) { return s.rfind("lock(", 0) == 0; }),
            0);
  mesh->editLists(nullptr, nullptr, nullptr);
  EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  device->clearCalls();
  mesh->draw();
  EXPECT_EQ(std::count_if(calls().begin(), calls().end(), [](const std::string& s) { return s.rfind("lock(", 0) == 0; }),
            2);  // vertices and indices
  EXPECT_EQ(stateOf(*mesh), MeshState::BothCurrent);
}

TEST_F(MeshStates, WriteAccessMarksNormalsStaleOnlyForListsHandedOut) {
  Mesh* mesh = box(1, 1, 1);
  EditableModel& model = modelOf(*mesh);
  std::vector<VertexBase*>* vertices = nullptr;
  std::vector<Edge*>* edges = nullptr;
  std::vector<FaceBase*>* faces = nullptr;
  const struct {
    std::vector<VertexBase*>** v;
    std::vector<Edge*>** e;
    std::vector<FaceBase*>** f;
    bool stale;
  } cases[] = {{nullptr, nullptr, nullptr, false}, {&vertices, nullptr, nullptr, true},
               {nullptr, &edges, nullptr, true}, {nullptr, nullptr, &faces, true}};
  for (const auto& c : cases) {
    model.vertexNormalsCurrent = model.faceNormalsCurrent = model.tangentsCurrent = true;
    mesh->editLists(c.v, c.e, c.f);
    EXPECT_EQ(model.vertexNormalsCurrent, !c.stale);
    EXPECT_EQ(model.faceNormalsCurrent, !c.stale);
    EXPECT_TRUE(model.tangentsCurrent);
  }
  EXPECT_EQ(vertices, &model.vertices);
  EXPECT_EQ(edges, &model.edges);
  EXPECT_EQ(faces, &model.faces);
}

TEST_F(MeshStates, ReadingAGpuMeshRebuildsItOnce) {
  Mesh* mesh = newMesh();
  mesh->loadFromD3DXMesh(glyphSquare());
  const std::vector<VertexBase*>& vertices = mesh->vertices();
  EXPECT_EQ(stateOf(*mesh), MeshState::BothCurrent);
  ASSERT_EQ(vertices.size(), 4u);
  VertexBase* first = vertices[0];
  EXPECT_EQ(mesh->faces().size(), 2u);
  EXPECT_EQ(mesh->edges().size(), 5u);
  EXPECT_EQ(mesh->vertices()[0], first);  // not rebuilt again
}

class Normals : public GeometryTest {};

TEST_F(Normals, BoxCornersPointAwayFromTheCentre) {
  Mesh* mesh = box(1, 2, 3);
  mesh->refreshNormals();
  // Sides weigh by area: 4 x 6 across x, 2 x 6 across y, 2 x 4 across z.
  for (VertexBase* v : modelOf(*mesh).vertices) {
    const Vector3 p = *v->position();
    EXPECT_TRUE(near(*v->normal(), normalize({std::copysign(24.0f, p.x), std::copysign(12.0f, p.y),
                                              std::copysign(8.0f, p.z)})));
  }
  // A face normal is (c1 - c0) x (c2 - c0), twice the area of that triangle.
  const FaceBase* f0 = modelOf(*mesh).faces[0];  // the -y side, 2 x 6
  EXPECT_TRUE(near(f0->faceNormal, {0, -12, 0}));
  EXPECT_TRUE(modelOf(*mesh).vertexNormalsCurrent);
  EXPECT_TRUE(modelOf(*mesh).faceNormalsCurrent);
}

TEST_F(Normals, AQuadTakesItsNormalFromItsFirstThreeCorners) {
  const struct {
    const char* what;
    float liftOfCorner3;
  } cases[] = {{"flat", 0.0f}, {"non-planar", 5.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh* mesh = newMesh();
    buildModel(*mesh, {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, c.liftOfCorner3, 0}}, {{0, 1, 2, 3}});
    mesh->refreshNormals();
    // (0,0,1) x (1,0,1) = (0, 1, 0); the lifted corner changes nothing.
    for (VertexBase* v : modelOf(*mesh).vertices) EXPECT_TRUE(near(*v->normal(), {0, 1, 0}));
  }
}

TEST_F(Normals, LargerFacesWeighMoreAndIsolatedVerticesStayZero) {
  Mesh* mesh = newMesh();
  // Two triangles meeting at vertex 0: a big one in the x-y plane (normal -z)
  // and a small one in the x-z plane (normal +y); vertex 5 is on no face.
  buildModel(*mesh, {{0, 0, 0}, {0, 2, 0}, {2, 0, 0}, {0, 0, 1}, {1, 0, 0}, {9, 9, 9}}, {{0, 1, 2}, {0, 3, 4}});
  mesh->refreshNormals();
  const auto& v = modelOf(*mesh).vertices;
  EXPECT_TRUE(near(*v[0]->normal(), normalize({0, 1, -4})));
  EXPECT_TRUE(near(*v[1]->normal(), {0, 0, -1}));
  EXPECT_TRUE(near(*v[3]->normal(), {0, 1, 0}));
  EXPECT_EQ(*v[5]->normal(), Vector3{});
}

TEST_F(Normals, AreComputedOnceUntilAnEdit) {
  Mesh* mesh = box(1, 1, 1);
  mesh->refreshNormals();
  mesh->draw();
  ASSERT_EQ(stateOf(*mesh), MeshState::BothCurrent);
  VertexBase* v0 = modelOf(*mesh).vertices[0];
  v0->setNormal({7, 7, 7});  // a recomputation would overwrite it
  mesh->refreshNormals();
  EXPECT_EQ(*v0->normal(), (Vector3{7, 7, 7}));
  EXPECT_EQ(stateOf(*mesh), MeshState::BothCurrent);

  std::vector<VertexBase*>* vertices = nullptr;
  mesh->editLists(&vertices, nullptr, nullptr);
  v0->setPosition({-3, -1, -1});  // stretch the corner along -x
  mesh->refreshNormals();
  EXPECT_NE(*v0->normal(), (Vector3{7, 7, 7}));
  EXPECT_NEAR(length(*v0->normal()), 1.0f, 1e-6f);
}

TEST_F(Normals, LockedNormalsStayAsTheyCame) {
  Mesh* mesh = newMesh();
  platform::GlyphMesh glyph = glyphSquare();
  glyph.normals = {0, 0, -2, 0, 0, -2, 0, 0, -2, 0, 0, -2};  // deliberately not unit
  mesh->loadFromD3DXMesh(glyph);
  mesh->data->normalsLocked = true;
  mesh->refreshNormals();
  EXPECT_EQ(stateOf(*mesh), MeshState::GpuCurrent);
  EXPECT_EQ(*mesh->vertices()[2]->normal(), (Vector3{0, 0, -2}));

  Mesh* edited = box(1, 1, 1);
  edited->data->normalsLocked = true;
  edited->refreshNormals();
  EXPECT_EQ(*modelOf(*edited).vertices[0]->normal(), Vector3{});
  EXPECT_FALSE(modelOf(*edited).vertexNormalsCurrent);
}

class Tangents : public GeometryTest {};

TEST_F(Tangents, FollowTexturePairOneAndSkipFacesWithoutArea) {
  Mesh* mesh = newMesh();
  // Triangle 0-1-2 in the x-y plane with pair-1 coordinates (u along x, v
  // along y); triangle 3-4-5 has all pair-1 coordinates equal (det = 0).
  buildModel(*mesh, {{0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {5, 0, 0}, {6, 0, 0}, {5, 1, 0}}, {{0, 1, 2}, {3, 4, 5}});
  auto& v = modelOf(*mesh).vertices;
  v[1]->setTexcoord1({1, 0});
  v[2]->setTexcoord1({0, 1});
  for (int i = 3; i < 6; ++i) v[i]->setTexcoord1({0.5f, 0.5f});
  for (VertexBase* x : v) x->setTexcoord0({x->position()->y, x->position()->x});  // pair 0 is swapped: unused
  mesh->refreshTangents();

  const auto& faces = modelOf(*mesh).faces;
  // E1 = (2, 0, 0), E2 = (0, 4, 0), (du, dv) = (1, 0) and (0, 1): det = 1.
  EXPECT_NEAR(faces[0]->faceTangent.y, 0.0f, 1e-6f);
  EXPECT_NEAR(faces[0]->faceTangent.x, 2.0f, 1e-5f);
  EXPECT_NEAR(faces[0]->faceBinormal.x, 0.0f, 1e-6f);
  EXPECT_NEAR(faces[0]->faceBinormal.y, 4.0f, 1e-5f);
  EXPECT_EQ(faces[1]->faceTangent, Vector3{});
  EXPECT_EQ(faces[1]->faceBinormal, Vector3{});
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(near(*v[i]->tangent(), {1, 0, 0}));
    EXPECT_TRUE(near(*v[i]->binormal(), {0, 1, 0}));
  }
  for (int i = 3; i < 6; ++i) {
    EXPECT_EQ(*v[i]->tangent(), Vector3{});
    EXPECT_EQ(*v[i]->binormal(), Vector3{});
  }
  EXPECT_TRUE(modelOf(*mesh).tangentsCurrent);
}

TEST_F(Tangents, AreNotRederivedAfterLaterEdits) {
  Mesh* mesh = newMesh();
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  auto& v = modelOf(*mesh).vertices;
  v[1]->setTexcoord1({1, 0});
  v[2]->setTexcoord1({0, 1});
  mesh->refreshTangents();
  ASSERT_TRUE(near(*v[0]->tangent(), {1, 0, 0}));

  std::vector<VertexBase*>* vertices = nullptr;
  mesh->editLists(&vertices, nullptr, nullptr);
  v[1]->setTexcoord1({0, 1});
  v[2]->setTexcoord1({1, 0});  // would swap tangent and binormal
  mesh->refreshTangents();
  EXPECT_TRUE(near(*v[0]->tangent(), {1, 0, 0}));

  // Tangents are derived only while the editable side is the truth.
  Mesh* drawn = newMesh();
  buildModel(*drawn, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  modelOf(*drawn).vertices[1]->setTexcoord1({1, 0});
  modelOf(*drawn).vertices[2]->setTexcoord1({0, 1});
  drawn->draw();
  drawn->refreshTangents();
  EXPECT_EQ(*modelOf(*drawn).vertices[0]->tangent(), Vector3{});
  EXPECT_FALSE(modelOf(*drawn).tangentsCurrent);
}

class MeshEditing : public GeometryTest {};

TEST_F(MeshEditing, TransformBakesPointsAndDirections) {
  Mesh* mesh = box(1, 1, 1);
  mesh->refreshNormals();
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = 2.0f;
  setTranslation(m, 10, 0, 0);
  m.m[0][3] = 5.0f;  // the w column is ignored
  mesh->transform(m);
  EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  VertexBase* v6 = modelOf(*mesh).vertices[6];
  EXPECT_TRUE(near(*v6->position(), {12, 2, 2}));
  EXPECT_NEAR(length(*v6->normal()), 2.0f, 1e-5f);  // not renormalised, not translated
  EXPECT_FALSE(modelOf(*mesh).vertexNormalsCurrent);
  mesh->refreshNormals();
  EXPECT_NEAR(length(*v6->normal()), 1.0f, 1e-6f);

  // A GPU-only mesh is rebuilt first.
  Mesh* gpu = newMesh();
  gpu->loadFromD3DXMesh(glyphSquare());
  gpu->transform(translationMatrix(0, 0, 3));
  EXPECT_EQ(stateOf(*gpu), MeshState::EditCurrent);
  EXPECT_TRUE(near(*modelOf(*gpu).vertices[2]->position(), {1, 1, 3}));
  EXPECT_TRUE(near(*modelOf(*gpu).vertices[2]->normal(), {0, 0, -1}));
}

TEST_F(MeshEditing, CopyFromMakesAnIndependentDeepCopy) {
  Mesh* source = box(1, 2, 3);
  modelOf(*source).edges[4]->spare0 = 11;
  modelOf(*source).edges[4]->spare1 = 12;
  modelOf(*source).vertices[3]->setTexcoord1({0.25f, 0.5f});
  Mesh* target = newMesh();
  buildModel(*target, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  modelOf(*target).vertexNormalsCurrent = true;

  target->copyFrom(*source);
  EXPECT_EQ(stateOf(*target), MeshState::EditCurrent);
  const EditableModel& from = modelOf(*source);
  const EditableModel& to = modelOf(*target);
  ASSERT_EQ(to.vertices.size(), 8u);
  ASSERT_EQ(to.edges.size(), 12u);
  ASSERT_EQ(to.faces.size(), 6u);
  EXPECT_TRUE(to.vertexNormalsCurrent);  // the copy leaves this model's flags alone
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_NE(to.vertices[i], from.vertices[i]);
    EXPECT_EQ(std::memcmp(to.vertices[i]->position(), from.vertices[i]->position(), 64), 0);
  }
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_NE(to.edges[i], from.edges[i]);
    EXPECT_EQ(indexIn(to.vertices, to.edges[i]->first), indexIn(from.vertices, from.edges[i]->first));
    EXPECT_EQ(indexIn(to.vertices, to.edges[i]->second), indexIn(from.vertices, from.edges[i]->second));
  }
  EXPECT_EQ(to.edges[4]->spare0, 11u);
  EXPECT_EQ(to.edges[4]->spare1, 12u);
  for (size_t i = 0; i < 6; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_EQ(indexIn(to.edges, to.faces[i]->edge(j)), indexIn(from.edges, from.faces[i]->edge(j)));
  EXPECT_EQ(cornerNumbers(to), cornerNumbers(from));
  EXPECT_EQ(dynamic_cast<const QuadFace*>(to.faces[0]) != nullptr, true);
}

TEST_F(MeshEditing, CopyFromAGpuMeshRebuildsWithTheTargetsWeldFlag) {
  platform::GlyphMesh glyph = glyphSquare();
  // The same square as six separate records.
  glyph.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0};
  glyph.normals.assign(18, 0.0f);
  glyph.indices = {0, 1, 2, 3, 4, 5};
  Mesh* source = newMesh();
  source->loadFromD3DXMesh(glyph);
  for (bool weld : {false, true}) {
    Mesh* target = newMesh();
    target->data->weld = weld;
    target->copyFrom(*source);
    EXPECT_EQ(stateOf(*target), MeshState::EditCurrent);
    EXPECT_EQ(modelOf(*target).vertices.size(), weld ? 4u : 6u);
  }
  EXPECT_EQ(stateOf(*source), MeshState::GpuCurrent);
}

TEST_F(MeshEditing, SetGeometryStoresRelinkedCopiesAndClearEditEmptiesTheModel) {
  Mesh* source = box(1, 1, 1);
  Mesh* mesh = newMesh();
  modelOf(*mesh).vertexNormalsCurrent = modelOf(*mesh).faceNormalsCurrent = modelOf(*mesh).tangentsCurrent = true;
  const EditableModel& from = modelOf(*source);
  mesh->setGeometry(&from.vertices, &from.edges, &from.faces);
  const EditableModel& to = modelOf(*mesh);
  EXPECT_FALSE(to.vertexNormalsCurrent || to.faceNormalsCurrent || to.tangentsCurrent);
  ASSERT_EQ(to.vertices.size(), 8u);
  for (const Edge* e : to.edges) {
    EXPECT_GE(indexIn(to.vertices, e->first), 0);
    EXPECT_GE(indexIn(to.vertices, e->second), 0);
  }
  for (const FaceBase* f : to.faces)
    for (int j = 0; j < 4; ++j) EXPECT_GE(indexIn(to.edges, f->edge(j)), 0);
  EXPECT_EQ(cornerNumbers(to), cornerNumbers(from));
  EXPECT_EQ(stateOf(*mesh), MeshState::Empty);  // the caller sets the state

  // Only the vertex list: the old vertices go, edges and faces stay.
  Mesh* other = box(3, 3, 3);
  Edge* keptEdge = modelOf(*other).edges[0];
  other->setGeometry(&from.vertices, nullptr, nullptr);
  EXPECT_EQ(modelOf(*other).edges[0], keptEdge);
  EXPECT_EQ(*modelOf(*other).vertices[6]->position(), (Vector3{1, 1, 1}));

  mesh->data->state = MeshState::BothCurrent;
  mesh->clearEdit();
  EXPECT_TRUE(to.vertices.empty() && to.edges.empty() && to.faces.empty());
  EXPECT_EQ(stateOf(*mesh), MeshState::BothCurrent);
}

}  // namespace
}  // namespace velm::testing
