// The GPU side of a mesh: buffer sizes and growth, upload and draw calls,
// the rebuild of the editable side with and without welding, text meshes,
// and the loading-progress points.
#include <cmath>
#include <limits>
#include <random>

#include "engine/data_files.h"
#include "engine/loading_screen.h"
#include "geometry/weld.h"
#include "tests/geometry/geometry_test_support.h"

namespace velm::testing {
namespace {

using Calls = std::vector<std::string>;

class GpuBuffers : public GeometryTest {
 protected:
  std::string name(const void* object) { return gfx::RecordingDevice::nameOf(object); }
  // Fills `mesh`'s GPU side directly with these records and indices and makes it GpuCurrent.
  void fillRecords(Mesh& mesh, const std::vector<VertexAttributes>& records, const std::vector<uint32_t>& indices) {
    std::vector<VertexBase*> vertices;
    for (const VertexAttributes& r : records) {
      auto* v = new Vertex;
      v->attributes = r;
      vertices.push_back(v);
    }
    gpuOf(mesh).fill(vertices, &indices);
    for (VertexBase* v : vertices) delete v;
    mesh.data->state = MeshState::GpuCurrent;
  }
  static VertexAttributes at(float x, float y, float z) {
    VertexAttributes r;
    r.position = {x, y, z};
    return r;
  }
};

TEST_F(GpuBuffers, AQuadUploadsAsTwoTrianglesAndDrawsInOneCall) {
  Mesh* mesh = newMesh();
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{2, 3, 0, 1}});
  VertexBase* v1 = modelOf(*mesh).vertices[1];
  v1->setNormal({0, 0, 1});
  v1->setTexcoord0({0.5f, 0.25f});
  v1->setTexcoord1({2, 3});
  *v1->tangent() = {1, 0, 0};
  *v1->binormal() = {0, 1, 0};
  device->clearCalls();
  mesh->draw();

  const GpuMesh& gpu = gpuOf(*mesh);
  const std::string vb = name(gpu.vertexBuffer), ib = name(gpu.indexBuffer);
  EXPECT_EQ(calls(), (Calls{
                         "createIndexBuffer(24, 0x00000200, 102, 2) -> " + ib,
                         "createVertexBuffer(256, 0x00000200, 0x00000000, 2) -> " + vb,
                         "lock(" + vb + ", 0, 256, 0x00002000)",
                         "unlock(" + vb + ")",
                         "lock(" + ib + ", 0, 24, 0x00002000)",
                         "unlock(" + ib + ")",
                         "setStreamSource(0, " + vb + ", 0, 64)",
                         "setFVF(0x00500412)",
                         "setIndices(" + ib + ")",
                         "drawIndexedPrimitive(4, 0, 0, 4, 0, 2)",
                     }));
  EXPECT_EQ(gpu.vertexCount, 4);
  EXPECT_EQ(gpu.indexCount, 6);
  EXPECT_EQ(gpu.stride, 64);
  // Corners 2, 3, 0, 1 as (c0, c1, c2, c2, c3, c0).
  EXPECT_EQ(readBack<uint32_t>(gpu.indexBuffer, 6), (std::vector<uint32_t>{2, 3, 0, 0, 1, 2}));
  const auto records = readBack<VertexAttributes>(gpu.vertexBuffer, 4);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(std::memcmp(&records[i], modelOf(*mesh).vertices[i]->position(), 64), 0) << i;
  EXPECT_EQ(records[1].texcoord1.v, 3.0f);
  EXPECT_EQ(records[1].binormal, (Vector3{0, 1, 0}));
}

TEST_F(GpuBuffers, CapacitiesStartAtTheMinimumsAndOnlyGrow) {
  GpuMesh gpu(10, 4);  // at least 10 vertices and 12 indices
  EXPECT_EQ(gpu.stride, -1);
  EXPECT_EQ(gpu.device, device);
  const struct {
    int32_t indices, vertices;
    int32_t indexCapacity, vertexCapacity;
    int created;
  } steps[] = {
      {3, 2, 12, 10, 2},  // both made at their minimums
      {12, 10, 12, 10, 0},
      {0, 0, 12, 10, 0},
      {13, 0, 13, 10, 1},  // the index buffer grows alone
      {0, 11, 13, 11, 1},
      {5, 5, 13, 11, 0},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(std::to_string(s.indices) + " indices, " + std::to_string(s.vertices) + " vertices");
    device->clearCalls();
    gpu.ensureCapacity(s.indices, s.vertices, 64);
    EXPECT_EQ(gpu.indexCapacity, s.indexCapacity);
    EXPECT_EQ(gpu.vertexCapacity, s.vertexCapacity);
    EXPECT_EQ(static_cast<int>(std::count_if(calls().begin(), calls().end(),
                                             [](const std::string& c) { return c.rfind("create", 0) == 0; })),
              s.created);
    EXPECT_EQ(gpu.indexBuffer->length(), static_cast<uint32_t>(4 * s.indexCapacity));
    EXPECT_EQ(gpu.vertexBuffer->length(), static_cast<uint32_t>(64 * s.vertexCapacity));
  }
  // Growing releases the old buffer first.
  const std::string oldIndexBuffer = name(gpu.indexBuffer);
  device->clearCalls();
  gpu.ensureCapacity(20, 0, 64);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(calls()[0], "release(" + oldIndexBuffer + ")");
  EXPECT_EQ(calls()[1], "createIndexBuffer(80, 0x00000200, 102, 2) -> " + name(gpu.indexBuffer));

  device->clearCalls();
  const std::string ib = name(gpu.indexBuffer), vb = name(gpu.vertexBuffer);
  gpu.release();
  EXPECT_EQ(calls(), (Calls{"release(" + ib + ")", "release(" + vb + ")"}));
  EXPECT_EQ(gpu.indexBuffer, nullptr);
  EXPECT_EQ(gpu.vertexBuffer, nullptr);
}

TEST_F(GpuBuffers, ASmallerUploadKeepsTheBuffers) {
  Mesh* mesh = newMesh();
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 1, 0}}, {{0, 1, 2, 3}, {1, 4, 5, 2}});
  mesh->draw();
  GpuMesh& gpu = gpuOf(*mesh);
  gfx::VertexBuffer* vb = gpu.vertexBuffer;
  gfx::IndexBuffer* ib = gpu.indexBuffer;
  EXPECT_EQ(gpu.vertexCapacity, 6);
  EXPECT_EQ(gpu.indexCapacity, 12);

  buildModel(*mesh, {}, {});  // write access; then drop the second quad and its two vertices
  auto& model = modelOf(*mesh);
  delete model.faces[1];
  model.faces.pop_back();
  delete model.vertices[5];
  delete model.vertices[4];
  model.vertices.resize(4);
  device->clearCalls();
  mesh->draw();
  EXPECT_EQ(gpu.vertexBuffer, vb);
  EXPECT_EQ(gpu.indexBuffer, ib);
  EXPECT_EQ(gpu.vertexCapacity, 6);
  EXPECT_EQ(gpu.indexCapacity, 12);
  EXPECT_EQ(gpu.vertexCount, 4);
  EXPECT_EQ(gpu.indexCount, 6);
  EXPECT_EQ(calls().back(), "drawIndexedPrimitive(4, 0, 0, 4, 0, 2)");
  EXPECT_EQ(calls()[0], "lock(" + name(vb) + ", 0, 256, 0x00002000)");
}

TEST_F(GpuBuffers, FillWithoutIndicesLeavesTheIndexBufferAlone) {
  GpuMesh gpu(0, 0);
  Vertex a(1, 2, 3), b(4, 5, 6);
  std::vector<VertexBase*> vertices{&a, &b};
  const std::vector<uint32_t> indices{0, 1, 1};
  gpu.fill(vertices, &indices);
  a.setPosition({7, 8, 9});
  device->clearCalls();
  gpu.fill({&a}, nullptr);
  EXPECT_EQ(calls().size(), 2u);  // the vertex buffer's lock and unlock only
  EXPECT_EQ(gpu.vertexCount, 1);
  EXPECT_EQ(gpu.indexCount, 3);
  EXPECT_EQ(readBack<uint32_t>(gpu.indexBuffer, 3), indices);
  EXPECT_EQ(readBack<VertexAttributes>(gpu.vertexBuffer, 1)[0].position, (Vector3{7, 8, 9}));
}

TEST_F(GpuBuffers, ACornerMissingFromTheVertexListIsDrawnAtVertexZero) {
  Mesh* mesh = newMesh();
  buildModel(*mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  std::unique_ptr<VertexBase> stray(modelOf(*mesh).vertices[3]);  // still a corner, no longer listed
  modelOf(*mesh).vertices.pop_back();
  mesh->draw();
  expectFatalErrors({320});
  EXPECT_EQ(readBack<uint32_t>(gpuOf(*mesh).indexBuffer, 6), (std::vector<uint32_t>{0, 1, 2, 2, 0, 0}));
  EXPECT_EQ(gpuOf(*mesh).vertexCount, 3);
  EXPECT_EQ(stateOf(*mesh), MeshState::BothCurrent);
}

TEST_F(GpuBuffers, ATwoTriangleSquareRebuildsWithAndWithoutWelding) {
  // Two triangles sharing no vertex record: (0, 1, 2) and (3, 4, 5), where
  // 3 and 4 repeat the positions of 0 and 2 with other attributes.
  std::vector<VertexAttributes> records = {at(0, 0, 0), at(1, 0, 0), at(1, 1, 0), at(0, 0, 0), at(1, 1, 0), at(0, 1, 0)};
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].normal = {0, 0, static_cast<float>(i)};
    records[i].texcoord0 = {static_cast<float>(i), 0.5f};
    records[i].texcoord1 = {9, 9};
    records[i].tangent = {9, 9, 9};
    records[i].binormal = {9, 9, 9};
  }
  const struct {
    bool weld;
    size_t vertices, edges;
    std::vector<std::vector<int>> corners;
  } cases[] = {
      {false, 6, 6, {{1, 2, 0}, {4, 5, 3}}},
      {true, 4, 5, {{1, 2, 0}, {2, 3, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weld ? "welded" : "not welded");
    Mesh* mesh = newMesh();
    fillRecords(*mesh, records, {0, 1, 2, 3, 4, 5});
    mesh->data->weld = c.weld;
    const EditableModel& model = modelOf(*mesh);
    ASSERT_EQ(mesh->vertices().size(), c.vertices);
    EXPECT_EQ(model.edges.size(), c.edges);
    ASSERT_EQ(model.faces.size(), 2u);
    for (const FaceBase* f : model.faces) EXPECT_NE(dynamic_cast<const TriFace*>(f), nullptr);
    EXPECT_EQ(cornerNumbers(model), c.corners);
    // Edges are made in the order (v0, v1), (v1, v2), (v2, v0) of each triangle.
    EXPECT_EQ(indexIn(model.vertices, model.edges[0]->first), 0);
    EXPECT_EQ(indexIn(model.vertices, model.edges[0]->second), 1);
    EXPECT_EQ(indexIn(model.vertices, model.edges[2]->first), 2);
    for (size_t i = 0; i < model.vertices.size(); ++i) {
      VertexBase* v = model.vertices[i];
      // The welded list skips record 3 and takes record 4's place with record 5.
      const size_t record = c.weld && i == 3 ? 5 : i;
      EXPECT_EQ(*v->position(), records[record].position);
      EXPECT_EQ(*v->normal(), records[record].normal);  // the first of coinciding records wins
      EXPECT_EQ(v->texcoord0()->u, records[record].texcoord0.u);
      EXPECT_EQ(v->texcoord1()->u, 0.0f);
      EXPECT_EQ(*v->tangent(), Vector3{});
      EXPECT_EQ(*v->binormal(), Vector3{});
    }
    EXPECT_FALSE(model.vertexNormalsCurrent || model.faceNormalsCurrent || model.tangentsCurrent);
  }
}

TEST_F(GpuBuffers, WeldingTakesTheFirstMadeVertexWithinTheDistance) {
  const struct {
    const char* what;
    std::vector<VertexAttributes> records;
    std::vector<int> mappedTo;  // the made vertex each record maps to
  } cases[] = {
      {"0.0009 apart: welded", {at(0, 0, 0), at(0.0009f, 0, 0)}, {0, 0}},
      {"0.001 apart: kept apart", {at(0, 0, 0), at(0.001f, 0, 0)}, {0, 1}},
      {"diagonal 0.0005 on each axis: welded", {at(1, 1, 1), at(1.0005f, 1.0005f, 1.0005f)}, {0, 0}},
      // Record 2 is too far from vertex 0 and record 1 made no vertex; record 3
      // is near both vertex 0 and vertex 1 and takes the first.
      {"first match wins",
       {at(0, 0, 0), at(0.0008f, 0, 0), at(0.0016f, 0, 0), at(0.0009f, 0, 0)},
       {0, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh* mesh = newMesh();
    std::vector<uint32_t> indices;
    for (size_t i = 0; i < c.records.size(); ++i) indices.insert(indices.end(), {uint32_t(i), uint32_t(i), uint32_t(i)});
    fillRecords(*mesh, c.records, indices);
    mesh->data->weld = true;
    const EditableModel& model = modelOf(*mesh);
    (void)mesh->faces();
    ASSERT_EQ(model.faces.size(), c.records.size());
    for (size_t i = 0; i < c.records.size(); ++i)
      EXPECT_EQ(indexIn(model.vertices, cornerList(*model.faces[i])[0]), c.mappedTo[i]) << "record " << i;
  }
}

// The hashed search must name the same vertex as the search in list order.
TEST(WeldSearch, TheHashedSearchAgreesWithThePlainOne) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> cell(-3, 3);
  std::uniform_real_distribution<float> jitter(-0.0012f, 0.0012f);
  std::vector<Vector3> made;
  WeldIndex index;
  int welded = 0;
  const float inf = std::numeric_limits<float>::infinity();
  for (int i = 0; i < 6000; ++i) {
    // Clusters on a coarse grid whose points straddle cell borders.
    Vector3 p{cell(random) * 0.002f + jitter(random), cell(random) * 0.002f + jitter(random),
              cell(random) * 0.002f + jitter(random)};
    if (i % 97 == 0 && !made.empty()) p = made[static_cast<size_t>(i) % made.size()];  // exact repeats
    if (i == 50) p = {inf, 0, 0};
    if (i == 51) p = {std::nanf(""), 0, 0};
    if (i == 52) p = {1e30f, -1e30f, 0};
    const int32_t expected = findWeldTargetLinear(made, p);
    ASSERT_EQ(index.find(p), expected) << "query " << i;
    if (expected >= 0) {
      ++welded;
    } else {
      made.push_back(p);
      index.add(p);
    }
  }
  EXPECT_GT(welded, 1000);
  EXPECT_GT(made.size(), 1000u);
  EXPECT_TRUE(withinWeldDistance({0, 0, 0}, {0.0009f, 0, 0}));
  EXPECT_FALSE(withinWeldDistance({0, 0, 0}, {0.001f, 0, 0}));
}

TEST_F(GpuBuffers, ATextMeshIsClonedIntoFullRecords) {
  Mesh* mesh = newMesh();
  const platform::GlyphMesh glyph = glyphSquare();
  mesh->loadFromD3DXMesh(glyph);
  EXPECT_EQ(stateOf(*mesh), MeshState::GpuCurrent);
  const GpuMesh& gpu = gpuOf(*mesh);
  EXPECT_EQ(gpu.vertexCount, 4);
  EXPECT_EQ(gpu.indexCount, 6);
  EXPECT_EQ(gpu.stride, 64);
  EXPECT_EQ(readBack<uint32_t>(gpu.indexBuffer, 6), glyph.indices);
  const auto records = readBack<VertexAttributes>(gpu.vertexBuffer, 4);
  for (size_t i = 0; i < 4; ++i) {
    VertexAttributes expected;
    expected.position = {glyph.positions[3 * i], glyph.positions[3 * i + 1], glyph.positions[3 * i + 2]};
    expected.normal = {0, 0, -1};
    EXPECT_EQ(std::memcmp(&records[i], &expected, 64), 0) << i;
  }
  device->clearCalls();
  mesh->draw();
  EXPECT_EQ(calls().back(), "drawIndexedPrimitive(4, 0, 0, 4, 0, 2)");

  // A bigger character later reuses the mesh and grows its buffers.
  platform::GlyphMesh bigger;
  for (int i = 0; i < 5; ++i) bigger.positions.insert(bigger.positions.end(), {float(i), 0, 0});
  bigger.normals.assign(15, 0.5f);
  bigger.indices = {0, 1, 2, 2, 3, 4, 4, 0, 1};
  mesh->loadFromD3DXMesh(bigger);
  EXPECT_EQ(gpu.vertexCount, 5);
  EXPECT_EQ(gpu.indexCount, 9);
  EXPECT_EQ(readBack<uint32_t>(gpu.indexBuffer, 9), bigger.indices);
  EXPECT_EQ(readBack<VertexAttributes>(gpu.vertexBuffer, 5)[4].normal, (Vector3{0.5f, 0.5f, 0.5f}));
}

TEST_F(GpuBuffers, BufferWorkAndRebuildsAreProgressPoints) {
  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));
  loadingTexture = EngineContext::get().createTexture(dataFileName("loading.jpg"));
  progressCounter = 0;
  auto reports = [] { return progressCounter; };

  auto mesh = std::make_unique<Mesh>(0, 0);
  meshgen::Cube(1, 1, 1).generate(*mesh);
  mesh->draw();
  EXPECT_EQ(reports(), 2);  // two buffers made

  mesh->data->state = MeshState::GpuCurrent;
  (void)mesh->vertices();
  EXPECT_EQ(reports(), 5);  // the rebuild's three checkpoints

  progressCounter = 0;
  GpuMesh& gpu = gpuOf(*mesh);
  gpu.ensureCapacity(gpu.indexCapacity + 1, gpu.vertexCapacity + 1, 64);
  EXPECT_EQ(reports(), 4);  // a release and a creation each

  progressCounter = 0;
  mesh.reset();  // the mesh's destruction releases both buffers
  EXPECT_EQ(reports(), 2);

  loadingInProgress = false;
  Mesh quiet(0, 0);
  meshgen::Cube(1, 1, 1).generate(quiet);
  quiet.draw();
  EXPECT_EQ(reports(), 2);
}

}  // namespace
}  // namespace velm::testing
