// The conversion rules of the model importer on small files the tests write:
// the node tree (roots with and without meshes, a node with two meshes),
// vertices (normals, their flipping, the two texture-coordinate channels),
// materials and the normal map, progress steps, and a file that cannot be
// read. Two fixtures of known shape pin down what this library release
// hands over for ".x" and ".3ds" and what the conversion makes of it.
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "platform/messages.h"
#include "tests/import/import_test_support.h"

namespace velm::testing {
namespace {

class ImportTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    writeFile("wall.png", tinyPng());
    writeFile("wall_normal.png", tinyPng());
    writeFile("loading.png", tinyPng());
  }

  INode* importText(const std::string& name, const std::string& text, bool flip = false, bool bump = false) {
    writeFile(name, text);
    importer.flipNormals = flip;
    importer.bumpFromDiffuse = bump;
    return importer.import(name);
  }

  // Counts loading-progress reports from here on (a loading picture must
  // exist for reports to count; fewer than 50 draw nothing).
  void countProgress() {
    loadingTexture = EngineContext::get().createTexture(dataFileName("loading.png"));
    progressCounter = 0;
  }

  // A triangle with one channel of texture coordinates and outward normals.
  static XMesh triangle(float z = 0) {
    XMesh m;
    m.positions = {{0, 0, z}, {0, 1, z}, {1, 0, z}};
    m.faces = {{0, 1, 2}};
    m.normals = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    m.channels = {{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}}};
    return m;
  }

  static Matrix placed(float x, float y, float z) {
    Matrix m = rotationZ(0.5f);
    setTranslation(m, x, y, z);
    return m;
  }

  ModelImporter importer;
};

TEST_F(ImportTest, ARootWithoutMeshesBecomesADummyNamedAfterItWithItsTransform) {
  XFrame root{"Scene", placed(1, 2, 3), {}, {}};
  root.children.push_back({"Part", placed(4, 5, 6), {triangle()}, {}});
  INode* node = importText("scene.x", directXText(root));

  ASSERT_NE(node, nullptr);
  EXPECT_NE(dynamic_cast<DummyNode*>(node), nullptr);
  EXPECT_EQ(node->name, "Scene");
  EXPECT_TRUE(matricesNear(node->transform, placed(1, 2, 3)));
  ASSERT_EQ(node->children.size(), 1u);
  auto* part = dynamic_cast<MeshInstance*>(node->children.front());
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->name, "Part");
  EXPECT_TRUE(matricesNear(part->transform, placed(4, 5, 6)));
  EXPECT_EQ(importer.root, node);
}

TEST_F(ImportTest, ARootWithMeshesBecomesAnUnnamedIdentityDummyAboveItsInstances) {
  XFrame root{"Plane01", placed(1, 2, 3), {triangle(), triangle(1)}, {}};
  root.children.push_back({"Kid", placed(7, 8, 9), {}, {}});
  INode* node = importText("plane.x", directXText(root));

  ASSERT_NE(node, nullptr);
  EXPECT_NE(dynamic_cast<DummyNode*>(node), nullptr);
  EXPECT_EQ(node->name, "");
  EXPECT_TRUE(matricesNear(node->transform, Matrix::identity()));
  // Two instances named after the node, each with its own mesh named
  // "Plane01Mesh", carrying the node's transform; the node's child hangs
  // beside them with its own transform only.
  std::vector<INode*> children(node->children.begin(), node->children.end());
  ASSERT_EQ(children.size(), 3u);
  std::vector<Mesh*> seen;
  for (int i = 0; i < 2; ++i) {
    auto* instance = dynamic_cast<MeshInstance*>(children[static_cast<size_t>(i)]);
    ASSERT_NE(instance, nullptr) << i;
    EXPECT_EQ(instance->name, "Plane01");
    EXPECT_TRUE(matricesNear(instance->transform, placed(1, 2, 3)));
    const std::vector<Mesh*> meshes = meshesOf(instance);
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0]->name, "Plane01Mesh");
    seen.push_back(meshes[0]);
  }
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_EQ(seen[0], importer.meshes[0]);
  EXPECT_EQ(seen[1], importer.meshes[1]);
  EXPECT_NE(dynamic_cast<DummyNode*>(children[2]), nullptr);
  EXPECT_EQ(children[2]->name, "Kid");
  EXPECT_TRUE(matricesNear(children[2]->transform, placed(7, 8, 9)));
}

// Normals: kept and locked when the file has them (negated with
// flipNormals, the winding untouched), zero and free to be derived when not.
TEST_F(ImportTest, NormalsAreKeptFlippedOrLeftToTheMesh) {
  struct Case {
    bool withNormals, flip;
    float expectedZ;
    bool locked;
  };
  for (const Case& c : {Case{true, false, -1.0f, true}, Case{true, true, 1.0f, true}, Case{false, false, 0.0f, false},
                        Case{false, true, 0.0f, false}}) {
    SCOPED_TRACE(::testing::Message() << "normals " << c.withNormals << ", flip " << c.flip);
    XMesh mesh = triangle();
    if (!c.withNormals) mesh.normals.clear();
    INode* node = importText("normals.x", directXText({"Root", Matrix::identity(), {}, {{"Tri", Matrix::identity(), {mesh}, {}}}}),
                             c.flip);
    ASSERT_NE(node, nullptr);
    Mesh& imported = *importer.meshes.at(0);
    EXPECT_EQ(imported.data->normalsLocked, c.locked);
    EXPECT_EQ(imported.data->state, MeshState::GpuCurrent);
    const GpuContents g = gpuContents(imported);
    ASSERT_EQ(g.vertices.size(), 3u);
    for (const VertexAttributes& v : g.vertices) {
      EXPECT_FLOAT_EQ(v.normal.x, 0);
      EXPECT_FLOAT_EQ(v.normal.y, 0);
      EXPECT_FLOAT_EQ(v.normal.z, c.expectedZ);
    }
    ASSERT_EQ(g.indices.size(), 3u);
    EXPECT_LT(triangleNormal(g, 0).z, 0) << "the winding does not follow the normals";
  }
}

// Texture-coordinate pairs from channels 0 and 1. A ".x" file's (u, v)
// arrive as written in pair 0; channel 1 goes into pair 1 as the library
// hands it over (its v counted from the other edge), unless bumpFromDiffuse
// makes pair 1 repeat pair 0.
TEST_F(ImportTest, TexturePairsFollowTheChannelRules) {
  const std::vector<TexCoord> first{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
  const std::vector<TexCoord> second{{0.7f, 0.8f}, {0.9f, 0.15f}, {0.25f, 0.35f}};
  std::vector<TexCoord> secondAsHandedOver;
  for (const TexCoord& uv : second) secondAsHandedOver.push_back({uv.u, 1.0f - uv.v});
  struct Case {
    int channels;
    bool bump;
    std::vector<TexCoord> pair0, pair1;
  };
  for (const Case& c : {Case{1, false, first, first}, Case{1, true, first, first},
                        Case{2, false, first, secondAsHandedOver}, Case{2, true, first, first},
                        Case{0, false, {{0, 0}, {0, 0}, {0, 0}}, {{0, 0}, {0, 0}, {0, 0}}}}) {
    SCOPED_TRACE(::testing::Message() << c.channels << " channels, bump " << c.bump);
    XMesh mesh = triangle();
    mesh.channels.clear();
    if (c.channels >= 1) mesh.channels.push_back(first);
    if (c.channels >= 2) mesh.channels.push_back(second);
    ASSERT_NE(importText("uv.x", directXText({"Root", Matrix::identity(), {}, {{"Tri", Matrix::identity(), {mesh}, {}}}}),
                         false, c.bump),
              nullptr);
    const GpuContents g = gpuContents(*importer.meshes.at(0));
    ASSERT_EQ(g.vertices.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      // The library makes one vertex per face corner, in face order.
      const size_t source = i;
      EXPECT_NEAR(g.vertices[i].texcoord0.u, c.pair0[source].u, 1e-6f);
      EXPECT_NEAR(g.vertices[i].texcoord0.v, c.pair0[source].v, 1e-6f);
      EXPECT_NEAR(g.vertices[i].texcoord1.u, c.pair1[source].u, 1e-6f);
      EXPECT_NEAR(g.vertices[i].texcoord1.v, c.pair1[source].v, 1e-6f);
      EXPECT_EQ(g.vertices[i].tangent.x, 0.0f);
      EXPECT_EQ(g.vertices[i].binormal.y, 0.0f);
    }
  }
}

// Materials: colours as stored (".x" has no ambient colour: the default
// stays), the diffuse texture, the normal map from bumpFromDiffuse or from a
// normal-map texture, and one progress step per texture entry.
TEST_F(ImportTest, MaterialsTakeColoursTexturesAndNormalMaps) {
  struct Case {
    std::vector<std::string> textures;
    bool bump;
    bool hasTexture;
    enum { None, SameAsTexture, Own } normalMap;
    int textureSteps;
  };
  for (const Case& c : {Case{{"wall.png"}, false, true, Case::None, 1}, Case{{"wall.png"}, true, true, Case::SameAsTexture, 2},
                        Case{{"wall.png", "wall_normal.png"}, false, true, Case::Own, 2},
                        Case{{"wall.png", "wall_normal.png"}, true, true, Case::Own, 3},
                        Case{{}, true, false, Case::None, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.textures.size() << " textures, bump " << c.bump);
    XMesh mesh = triangle();
    mesh.material.diffuse = {1.0f, 0.5f, 0.25f, 0.75f};
    mesh.material.specular = {0.1f, 0.2f, 0.3f};
    mesh.material.textures = c.textures;
    const std::string text = directXText({"Root", Matrix::identity(), {}, {{"Tri", Matrix::identity(), {mesh}, {}}}});
    // The same file without textures gives the steps that are not the materials'.
    XMesh plain = mesh;
    plain.material.textures.clear();
    countProgress();
    ASSERT_NE(importText("plain.x", directXText({"Root", Matrix::identity(), {}, {{"Tri", Matrix::identity(), {plain}, {}}}}),
                         false, c.bump),
              nullptr);
    const int baseSteps = progressCounter;
    countProgress();
    INode* node = importText("material.x", text, false, c.bump);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(progressCounter - baseSteps, c.textureSteps);

    ASSERT_EQ(importer.materials.size(), 1u);
    auto* instance = dynamic_cast<MeshInstance*>(node->children.front());
    ASSERT_NE(instance, nullptr);
    const Material& m = instance->material;
    EXPECT_NE(&m, importer.materials[0]) << "each instance holds its own copy";
    EXPECT_FLOAT_EQ(m.diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(m.diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(m.diffuse.b, 0.25f);
    EXPECT_FLOAT_EQ(m.diffuse.a, 0.75f);
    EXPECT_FLOAT_EQ(m.specular.g, 0.2f);
    EXPECT_FLOAT_EQ(m.specular.a, 1.0f);
    EXPECT_FLOAT_EQ(m.ambient.r, Material{}.ambient.r);
    EXPECT_EQ(m.texture != nullptr, c.hasTexture);
    switch (c.normalMap) {
      case Case::None: EXPECT_EQ(m.normalMap, nullptr); break;
      case Case::SameAsTexture: EXPECT_EQ(m.normalMap, m.texture); break;
      case Case::Own:
        EXPECT_NE(m.normalMap, nullptr);
        EXPECT_NE(m.normalMap, m.texture);
        break;
    }
  }
}

// What this library release makes of a ".x" file, and what the conversion
// gives the engine: a Direct3D cube comes in as written. Its faces are front
// faces ((b - a) x (c - a) points out, as the engine culls), a vertex at
// +z stays at +z, a frame's translation stays where the file put it, and
// each side's top-left corner keeps texture coordinates (0, 0).
TEST_F(ImportTest, DirectXFilesArriveAsWritten) {
  XFrame root{"Root", Matrix::identity(), {}, {}};
  Matrix moved = rotationY(0.3f);
  setTranslation(moved, 1, 2, 3);
  root.children.push_back({"Cube", moved, {directXCube(1.0f)}, {}});
  INode* node = importText("cube.x", directXText(root));
  ASSERT_NE(node, nullptr);
  auto* cube = dynamic_cast<MeshInstance*>(node->find("Cube"));
  ASSERT_NE(cube, nullptr);
  EXPECT_TRUE(matricesNear(cube->transform, moved));

  // The raw library output for comparison: z mirrored, faces reversed, v flipped.
  const aiMesh& raw = *importer.scene->mMeshes[0];
  ASSERT_EQ(raw.mNumFaces, 12u);

  const GpuContents g = gpuContents(*meshesOf(cube).at(0));
  ASSERT_EQ(g.indices.size(), 36u);
  ASSERT_EQ(g.vertices.size(), 36u) << "one vertex per face corner";
  const XMesh written = directXCube(1.0f);
  for (size_t t = 0; t < 12; ++t) {
    const Vector3 geometric = triangleNormal(g, t);
    const Vector3 centre = (g.vertices[g.indices[3 * t]].position + g.vertices[g.indices[3 * t + 1]].position +
                            g.vertices[g.indices[3 * t + 2]].position) *
                           (1.0f / 3.0f);
    EXPECT_GT(dot(geometric, centre), 0.0f) << "triangle " << t << " is not a front face";
    EXPECT_GT(dot(geometric, g.vertices[g.indices[3 * t]].normal), 0.0f) << "triangle " << t;
    // the file's face (a, b, c) comes back as the same cycle of positions
    const auto& f = written.faces[t];
    std::vector<Vector3> expected{written.positions[f[0]], written.positions[f[1]], written.positions[f[2]]};
    std::vector<Vector3> got{g.vertices[g.indices[3 * t]].position, g.vertices[g.indices[3 * t + 1]].position,
                             g.vertices[g.indices[3 * t + 2]].position};
    const bool sameCycle = got == expected || got == std::vector<Vector3>{expected[1], expected[2], expected[0]} ||
                           got == std::vector<Vector3>{expected[2], expected[0], expected[1]};
    EXPECT_TRUE(sameCycle) << "triangle " << t;
  }
  for (const VertexAttributes& v : g.vertices) {
    // top-left corner of its side: the corner where texture (0, 0) was written
    for (size_t i = 0; i < written.positions.size(); ++i)
      if (written.positions[i] == v.position && written.normals[i] == v.normal) {
        EXPECT_NEAR(v.texcoord0.u, written.channels[0][i].u, 1e-6f);
        EXPECT_NEAR(v.texcoord0.v, written.channels[0][i].v, 1e-6f);
      }
  }
  // the library's own data is mirrored; the conversion undid it
  EXPECT_TRUE(std::any_of(raw.mVertices, raw.mVertices + raw.mNumVertices,
                          [](const aiVector3D& p) { return p.z < -0.5f; }));
  EXPECT_NEAR(importer.scene->mRootNode->mChildren[0]->mTransformation.c4, -3.0f, 1e-6f);
}

// What this release makes of a ".3ds" file: a root "<3DSRoot>" that turns
// the file's z-up axes to y-up, the object's node under it, positions as
// stored, v counted from the top (1 - v), and the faces' winding reversed
// from the file's, so a file whose faces point out arrives inside out (the
// pipe's set-up inverts its faces back).
TEST_F(ImportTest, ThreeDsFilesArriveTurnedUpWithFacesReversed) {
  TdsObject tetra;
  tetra.name = "Tetra";
  // a tetrahedron standing on z = 0, faces wound counter-clockwise seen from
  // outside (the format's front faces): (b - a) x (c - a) points out
  tetra.positions = {{0, 0, 2}, {1, -1, 0}, {1, 1, 0}, {-1, 0, 0}};
  tetra.faces = {{1, 2, 0}, {2, 3, 0}, {3, 1, 0}, {1, 3, 2}};
  tetra.uvs = {{0.5f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}, {0.5f, 0.25f}};
  tetra.texture = "wall.png";
  writeFile("tetra.3ds", tdsFile(tetra));
  importer.flipNormals = false;
  importer.bumpFromDiffuse = false;
  INode* root = importer.import("tetra.3ds");
  ASSERT_NE(root, nullptr);
  EXPECT_NE(dynamic_cast<DummyNode*>(root), nullptr);
  EXPECT_EQ(root->name, "<3DSRoot>");
  // file z goes up, file y goes to -z
  const Vector3 up = transformDirection({0, 0, 1}, root->transform);
  const Vector3 back = transformDirection({0, 1, 0}, root->transform);
  EXPECT_NEAR(up.y, 1.0f, 1e-6f);
  EXPECT_NEAR(back.z, -1.0f, 1e-6f);
  root->firstChild();
  auto* instance = dynamic_cast<MeshInstance*>(root->nextChild());
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->name, "Tetra");
  EXPECT_TRUE(matricesNear(instance->transform, Matrix::identity()));
  EXPECT_NE(instance->material.texture, nullptr);
  EXPECT_NEAR(instance->material.ambient.g, 0.2f, 1e-6f);
  EXPECT_NEAR(instance->material.diffuse.r, 0.9f, 1e-6f);

  const GpuContents g = gpuContents(*meshesOf(instance).at(0));
  ASSERT_EQ(g.indices.size(), 12u);
  const Vector3 centroid{0.25f, 0.0f, 0.5f};
  for (size_t t = 0; t < 4; ++t) {
    const Vector3 a = g.vertices[g.indices[3 * t]].position;
    EXPECT_LT(dot(triangleNormal(g, t), a - centroid), 0.0f) << "triangle " << t << " should arrive reversed";
    // the library's smoothing-group normals point out of the file's faces
    EXPECT_GT(dot(g.vertices[g.indices[3 * t]].normal, a - centroid), 0.0f) << "triangle " << t;
  }
  for (const VertexAttributes& v : g.vertices)
    for (size_t i = 0; i < tetra.positions.size(); ++i)
      if (v.position == tetra.positions[i]) {
        EXPECT_NEAR(v.texcoord0.u, tetra.uvs[i].u, 1e-6f);
        EXPECT_NEAR(v.texcoord0.v, 1.0f - tetra.uvs[i].v, 1e-6f);
      }
}

// A file that cannot be read: null after one progress step, reported like a
// missing data file; the importer goes on working afterwards.
TEST_F(ImportTest, AnUnreadableModelGivesNullAfterOneStepAndIsReported) {
  writeFile("broken.x", "xof 0303txt 0032\nFrame Oops { FrameTransformMatrix { 1.0, nonsense");
  writeFile("noise.3ds", std::string(64, '\x07'));
  for (const std::string name : {"missing.x", "broken.x", "noise.3ds"}) {
    SCOPED_TRACE(name);
    countProgress();
    EXPECT_EQ(importer.import(name), nullptr);
    EXPECT_EQ(progressCounter, 1);
    EXPECT_EQ(importer.root, nullptr);
    EXPECT_TRUE(importer.meshes.empty());
    EXPECT_EQ(takeMessages(), (std::vector<Message>{{"error", "Couldn't open file!"}}));
    EXPECT_TRUE(platform::takeQuitMessage());
  }
  INode* node = importText("fine.x", directXText({"Root", Matrix::identity(), {}, {{"Tri", Matrix::identity(), {triangle()}, {}}}}));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->name, "Root");
}

// Each import starts from empty lists; the nodes and meshes of the one before stay.
TEST_F(ImportTest, EachImportReplacesTheListsButKeepsEarlierModels) {
  XFrame two{"Two", Matrix::identity(), {triangle(), triangle(1)}, {}};
  INode* first = importText("two.x", directXText({"Root", Matrix::identity(), {}, {two}}));
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(importer.meshes.size(), 2u);
  Mesh* earlier = importer.meshes[0];
  INode* second = importText("one.x", directXText({"Other", Matrix::identity(), {}, {{"One", Matrix::identity(), {triangle()}, {}}}}));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(importer.meshes.size(), 1u);
  EXPECT_EQ(importer.materials.size(), 1u);
  EXPECT_EQ(importer.meshMaterials, std::vector<int32_t>{0});
  EXPECT_EQ(importer.root, second);
  EXPECT_EQ(first->find("TwoMesh") != nullptr, true);
  EXPECT_EQ(gpuContents(*earlier).indices.size(), 3u);
}

}  // namespace
}  // namespace velm::testing
