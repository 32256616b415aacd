// The box generator, texture-coordinate generation and face inversion.
#include <cmath>

#include "geometry/modifiers.h"
#include "tests/geometry/geometry_test_support.h"

namespace velm::testing {
namespace {

class BoxGenerator : public GeometryTest {};

const std::vector<std::vector<int>> kBoxFaceCorners = {{3, 2, 1, 0}, {5, 6, 7, 4}, {1, 5, 4, 0},
                                                       {4, 7, 3, 0}, {7, 6, 2, 3}, {6, 5, 1, 2}};

Vector3 centreOf(const std::vector<VertexBase*>& corners) {
  Vector3 sum;
  for (VertexBase* c : corners) sum = sum + *c->position();
  return sum * (1.0f / static_cast<float>(corners.size()));
}

// (c1 - c0) x (c2 - c1) of a face's first three corners.
Vector3 windingNormal(const FaceBase& face) {
  const std::vector<VertexBase*> c = cornerList(face);
  return cross(*c[1]->position() - *c[0]->position(), *c[2]->position() - *c[1]->position());
}

TEST_F(BoxGenerator, BuildsTheEightVerticesTwelveEdgesAndSixQuads) {
  Mesh* mesh = box(1, 2, 3);
  EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  const EditableModel& model = modelOf(*mesh);
  EXPECT_EQ(positionsOf(model.vertices), (std::vector<Vector3>{{-1, -2, -3},
                                                                {-1, -2, 3},
                                                                {1, -2, 3},
                                                                {1, -2, -3},
                                                                {-1, 2, -3},
                                                                {-1, 2, 3},
                                                                {1, 2, 3},
                                                                {1, 2, -3}}));
  for (VertexBase* v : model.vertices) {
    EXPECT_EQ(*v->normal(), Vector3{});
    EXPECT_EQ(v->texcoord0()->u, 0.0f);
  }
  const int edgeEnds[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 5},
                               {2, 6}, {3, 7}, {7, 4}, {6, 7}, {5, 6}, {4, 5}};
  ASSERT_EQ(model.edges.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    SCOPED_TRACE("edge " + std::to_string(i));
    EXPECT_EQ(indexIn(model.vertices, model.edges[i]->first), edgeEnds[i][0]);
    EXPECT_EQ(indexIn(model.vertices, model.edges[i]->second), edgeEnds[i][1]);
    EXPECT_EQ(model.edges[i]->spare0 | model.edges[i]->spare1, 0u);
  }
  const int faceEdges[6][4] = {{3, 2, 1, 0}, {11, 10, 9, 8}, {0, 5, 11, 4},
                               {4, 8, 7, 3}, {7, 9, 6, 2},   {6, 10, 5, 1}};
  ASSERT_EQ(model.faces.size(), 6u);
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE("face " + std::to_string(f));
    ASSERT_NE(dynamic_cast<const QuadFace*>(model.faces[f]), nullptr);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(indexIn(model.edges, model.faces[f]->edge(j)), faceEdges[f][j]);
    // Outwards: along the direction from the box centre to the face centre.
    EXPECT_GT(dot(windingNormal(*model.faces[f]), centreOf(cornerList(*model.faces[f]))), 0.0f);
  }
  EXPECT_EQ(cornerNumbers(model), kBoxFaceCorners);
}

TEST_F(BoxGenerator, ReplacesWhateverTheMeshHeld) {
  Mesh* mesh = box(5, 5, 5);
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{8, 9, 10}});  // appended beside the box
  ASSERT_EQ(modelOf(*mesh).vertices.size(), 11u);
  mesh->draw();
  meshgen::Cube(1, 1, 1).generate(*mesh);
  EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  EXPECT_EQ(modelOf(*mesh).vertices.size(), 8u);
  EXPECT_EQ(modelOf(*mesh).edges.size(), 12u);
  EXPECT_EQ(modelOf(*mesh).faces.size(), 6u);
  EXPECT_EQ(*modelOf(*mesh).vertices[6]->position(), (Vector3{1, 1, 1}));
}

class FaceInversion : public GeometryTest {};

TEST_F(FaceInversion, ReversesTheEdgeOrderAndSoTheWinding) {
  Mesh* mesh = box(1, 1, 1);
  const EditableModel& model = modelOf(*mesh);
  const std::vector<VertexBase*> vertices = model.vertices;
  const std::vector<Edge*> edges = model.edges;
  mesh->draw();
  meshmodify::InvertFaces().apply(*mesh);
  EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  EXPECT_EQ(model.vertices, vertices);
  EXPECT_EQ(model.edges, edges);

  const FaceBase& f0 = *model.faces[0];
  for (int j = 0; j < 4; ++j) EXPECT_EQ(f0.edge(j), edges[static_cast<size_t>(j)]);  // E0, E1, E2, E3
  EXPECT_EQ(cornerNumbers(model)[0], (std::vector<int>{1, 2, 3, 0}));
  for (const FaceBase* f : model.faces) {
    EXPECT_NE(dynamic_cast<const QuadFace*>(f), nullptr);
    EXPECT_LT(dot(windingNormal(*f), centreOf(cornerList(*f))), 0.0f);
  }
  mesh->refreshNormals();
  EXPECT_TRUE(near(*model.vertices[6]->normal(), normalize({-1, -1, -1})));

  meshmodify::InvertFaces().apply(*mesh);
  EXPECT_EQ(cornerNumbers(model), kBoxFaceCorners);

  // A triangle stays a triangle.
  Mesh* tri = newMesh();
  buildModel(*tri, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  meshmodify::InvertFaces().apply(*tri);
  ASSERT_NE(dynamic_cast<const TriFace*>(modelOf(*tri).faces[0]), nullptr);
  EXPECT_EQ(cornerNumbers(modelOf(*tri))[0], (std::vector<int>{1, 0, 2}));
}

class TextureGeneration : public GeometryTest {
 protected:
  // A mesh of loose vertices at `position`, one per normal, with locked normals.
  Mesh* verticesWithNormals(Vector3 position, const std::vector<Vector3>& normals) {
    Mesh* mesh = newMesh();
    std::vector<VertexBase*>* vertices = nullptr;
    mesh->editLists(&vertices, nullptr, nullptr);
    for (const Vector3& n : normals) {
      auto* v = new Vertex(position.x, position.y, position.z);
      v->setNormal(n);
      vertices->push_back(v);
    }
    mesh->data->normalsLocked = true;
    return mesh;
  }
};

TEST_F(TextureGeneration, ProjectsByTheAbsoluteNormalComponents) {
  const struct {
    Vector3 normal;
    float u, v;
  } cases[] = {
      {{0, 1, 0}, 1, 3},
      {{1, 0, 0}, 3, 3},
      {{0, 0, -1}, 1, 5},
      {{0.6f, 0.8f, 0}, 1 + 4 * 0.6f / 1.4f * 0.5f, 3},
      {{0, 0, 0}, 1, 3},  // no normal: projected as a floor
      {{-2, 0, 0}, 3, 3},
  };
  std::vector<Vector3> normals;
  for (const auto& c : cases) normals.push_back(c.normal);
  Mesh* mesh = verticesWithNormals({2, 4, 6}, normals);
  meshmodify::Texgen(0, 0.5f).apply(*mesh);
  const auto& vertices = modelOf(*mesh).vertices;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(vertices[i]->texcoord0()->u, cases[i].u, 1e-5f);
    EXPECT_NEAR(vertices[i]->texcoord0()->v, cases[i].v, 1e-5f);
    EXPECT_EQ(vertices[i]->texcoord1()->u, 0.0f);
    EXPECT_EQ(*vertices[i]->normal(), cases[i].normal);  // locked
  }

  // The second pair leaves the first alone.
  meshmodify::Texgen(1, 0.25f).apply(*mesh);
  EXPECT_NEAR(vertices[1]->texcoord1()->u, 1.5f, 1e-6f);
  EXPECT_NEAR(vertices[1]->texcoord1()->v, 1.5f, 1e-6f);
  EXPECT_NEAR(vertices[1]->texcoord0()->u, 3.0f, 1e-6f);
}

TEST_F(TextureGeneration, UsesNormalsItBringsUpToDate) {
  Mesh* mesh = box(1, 2, 3);
  meshmodify::Texgen(1, 2.0f).apply(*mesh);
  EXPECT_TRUE(modelOf(*mesh).vertexNormalsCurrent);
  // Corner V6 (1, 2, 3) meets sides of areas 24 (x), 12 (y) and 8 (z): its
  // normal is along (24, 12, 8), and the projections blend in that ratio.
  const TexCoord uv = *modelOf(*mesh).vertices[6]->texcoord1();
  EXPECT_NEAR(uv.u, (8 * 1 + 24 * (1 + 2) + 12 * 1) / 44.0f * 2.0f, 1e-5f);
  EXPECT_NEAR(uv.v, (8 * (3 + 2) + 24 * 3 + 12 * 3) / 44.0f * 2.0f, 1e-5f);
}

TEST_F(TextureGeneration, AMissingPairOrAnEmptyMeshChangesNothingButTheState) {
  Mesh* mesh = verticesWithNormals({2, 4, 6}, {{0, 1, 0}});
  mesh->draw();
  ASSERT_EQ(stateOf(*mesh), MeshState::BothCurrent);
  for (int32_t set : {2, -1}) {
    meshmodify::Texgen(set, 1.0f).apply(*mesh);
    EXPECT_EQ(stateOf(*mesh), MeshState::EditCurrent);
  }
  const VertexAttributes& block = dynamic_cast<const Vertex*>(modelOf(*mesh).vertices[0])->attributes;
  EXPECT_EQ(block.texcoord0.u + block.texcoord0.v + block.texcoord1.u + block.texcoord1.v, 0.0f);

  Mesh* empty = newMesh();
  meshmodify::Texgen(0, 1.0f).apply(*empty);
  EXPECT_EQ(stateOf(*empty), MeshState::EditCurrent);
  EXPECT_TRUE(modelOf(*empty).vertices.empty());
}

}  // namespace
}  // namespace velm::testing
