// The production's model files (made by the build into data/) as the scenes
// import them: the nodes each scene looks up by name, the single-mesh shape
// some set-ups rely on, sizes that fit the scenes' transforms, cameras and
// spacings, and front faces that agree with the normals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/model_importer.h"
#include "geometry/modifiers.h"
#include "tests/import/import_test_support.h"

namespace velm::testing {
namespace {

namespace fs = std::filesystem;

Matrix scaling(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
  return m;
}

struct Range {
  Vector3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  void add(Vector3 p) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
};
Range rangeOf(const std::vector<Vector3>& points) {
  Range r;
  for (const Vector3& p : points) r.add(p);
  return r;
}

class ProductionModels : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // Texture names in the models resolve under data/ of the repository.
    fs::current_path(fs::path(VELM_FIXTURES).parent_path().parent_path());
  }

  // Imports as the scenes do: the flipNormals each scene sets for the file,
  // bumpFromDiffuse always on.
  INode* load(const std::string& file) {
    static const char* flipped[] = {"block1.x", "talo.x", "SkyTeaPot.x", "harmonia.x", "lolo.x", "piippu.3ds"};
    importer.flipNormals = std::find(std::begin(flipped), std::end(flipped), file) != std::end(flipped);
    importer.bumpFromDiffuse = true;
    const std::string path = "data/" + file;
    EXPECT_TRUE(fs::exists(path)) << path << " is missing: build the velm_models target";
    INode* root = importer.import(path);
    EXPECT_NE(root, nullptr) << path;
    return root;
  }

  ModelImporter importer;
};

enum class Kind { Instance, Dummy };

// Every node name a scene set-up looks up, with the kind of node it expects.
TEST_F(ProductionModels, EveryModelImportsWithTheNodesItsSceneLooksUp) {
  struct Lookup {
    std::string file;
    std::vector<std::pair<std::string, Kind>> nodes;
  };
  const std::vector<Lookup> table{
      {"block1.x", {}},
      {"talo.x", {{"ChamferCyl01", Kind::Instance}}},
      {"SkyTeaPot.x", {}},
      {"ostrel2.x", {{"Text01", Kind::Instance}}},
      {"brisamobile2.x", {{"Dummy01", Kind::Dummy}, {"object2", Kind::Instance}, {"object3", Kind::Instance}}},
      {"town.x",
       {{"Plane01", Kind::Instance}, {"Plane02", Kind::Instance}, {"Plane03", Kind::Instance},
        {"Plane04", Kind::Instance}, {"Plane05", Kind::Instance}, {"Plane06", Kind::Instance},
        {"Plane07", Kind::Instance}, {"Plane08", Kind::Instance}, {"Plane09", Kind::Instance}}},
      {"valot.x", {{"valo01", Kind::Instance}, {"valo02", Kind::Instance}, {"valo03", Kind::Instance}}},
      {"harmonia.x", {{"pallo", Kind::Instance}, {"langat", Kind::Instance}}},
      {"lolo.x", {}},
      {"piippu.3ds", {}},
      {"chain.x", {}},
      {"liberty.x", {}},
  };
  for (const Lookup& row : table) {
    SCOPED_TRACE(row.file);
    INode* root = load(row.file);
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(instancesBelow(root).empty());
    for (const auto& [name, kind] : row.nodes) {
      INode* node = root->find(name);
      ASSERT_NE(node, nullptr) << name;
      if (kind == Kind::Instance) {
        EXPECT_NE(dynamic_cast<MeshInstance*>(node), nullptr) << name;
        // one instance of that name, so what the scene changes is all of it
        int count = 0;
        for (const PlacedInstance& p : instancesBelow(root)) count += p.instance->name == name;
        EXPECT_EQ(count, 1) << name;
      } else {
        EXPECT_NE(dynamic_cast<DummyNode*>(node), nullptr) << name;
      }
    }
  }
  // The town's smoke comes from Dummy01's transform times the model's alone:
  // it must hang straight under the root.
  INode* mobile = load("brisamobile2.x");
  ASSERT_NE(mobile, nullptr);
  const auto& top = mobile->children;
  EXPECT_NE(std::find_if(top.begin(), top.end(), [](INode* n) { return n->name == "Dummy01"; }), top.end());
}

// The pipe, the lolo, the statue and the chain link are prepared through the
// root's first child (the instance) and its first child (the mesh).
TEST_F(ProductionModels, SingleMeshModelsHangTheirMeshUnderTheRootsFirstChild) {
  for (const std::string file : {"piippu.3ds", "lolo.x", "liberty.x", "chain.x", "SkyTeaPot.x"}) {
    SCOPED_TRACE(file);
    INode* root = load(file);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(instancesBelow(root).size(), 1u);
    root->firstChild();
    INode* first = root->nextChild();
    ASSERT_NE(dynamic_cast<MeshInstance*>(first), nullptr);
    first->firstChild();
    EXPECT_NE(dynamic_cast<Mesh*>(first->nextChild()), nullptr);
  }
}

// Chain links: scaled by 0.3 they are 2.5 long inside (the particle
// spacing), centred, long along y.
TEST_F(ProductionModels, ChainLinksThreadAtTheParticleSpacing) {
  INode* link = load("chain.x");
  ASSERT_NE(link, nullptr);
  const Range r = rangeOf(worldPositions(link, scaling(0.3f)));
  const float wire = r.hi.z - r.lo.z;
  EXPECT_NEAR(r.hi.y - r.lo.y - 2 * wire, 2.5f, 0.03f);
  EXPECT_NEAR(r.hi.y + r.lo.y, 0.0f, 1e-3f);
  EXPECT_NEAR(r.hi.x + r.lo.x, 0.0f, 1e-3f);
  EXPECT_GT(r.hi.x - r.lo.x - 2 * wire, wire) << "the neighbouring link's wire must pass through";
}

// Workshop blocks run 6.8 along +x from their joint (the next joint is 8.16
// away), with the hinge pin at the joint.
TEST_F(ProductionModels, BlocksSpanTheJointSpacing) {
  INode* block = load("block1.x");
  ASSERT_NE(block, nullptr);
  const Range beam = rangeOf(worldPositions(block->find("Box01")));
  EXPECT_NEAR(beam.hi.x - beam.lo.x, 6.8f, 1e-3f);
  EXPECT_GT(beam.lo.x, 0.3f);
  EXPECT_LT(beam.hi.x, 8.16f - 0.3f);
  const Range pin = rangeOf(worldPositions(block->find("Cylinder01")));
  EXPECT_NEAR(pin.lo.x + pin.hi.x, 0.0f, 1e-3f);
  EXPECT_NEAR(pin.lo.y + pin.hi.y, 0.0f, 1e-3f);
}

// The pipe, turned up by its root and scaled by 0.4 as the shared assets do,
// stands from y = 0 to the smoke spawner at y = 3.4; its faces arrive
// reversed and face outwards once inverted.
TEST_F(ProductionModels, PipesReachTheSmokeSpawner) {
  INode* pipe = load("piippu.3ds");
  ASSERT_NE(pipe, nullptr);
  MeshInstance* instance = instancesBelow(pipe).at(0).instance;
  Mesh* mesh = meshesOf(instance).at(0);
  // Side faces (not caps, not the bore) facing away from the pipe's axis,
  // out of those whose normal is mostly horizontal; the axis is the file's z.
  auto outwardShare = [](const std::vector<std::array<Vector3, 3>>& triangles) {
    size_t sides = 0, outward = 0;
    for (const auto& t : triangles) {
      const Vector3 n = cross(t[1] - t[0], t[2] - t[0]);
      const Vector3 radial{t[0].x, t[0].y, 0};
      if (std::fabs(n.z) > 0.5f * length(n) || length(radial) < 0.8f) continue;
      ++sides;
      outward += dot(n, radial) > 0;
    }
    return sides ? double(outward) / double(sides) : -1.0;
  };
  const GpuContents imported = gpuContents(*mesh);
  std::vector<std::array<Vector3, 3>> before;
  for (size_t t = 0; t < imported.indices.size() / 3; ++t)
    before.push_back({imported.vertices[imported.indices[3 * t]].position,
                      imported.vertices[imported.indices[3 * t + 1]].position,
                      imported.vertices[imported.indices[3 * t + 2]].position});
  EXPECT_LT(outwardShare(before), 0.1) << "the .3ds faces should arrive reversed";

  // The shared assets' preparation.
  mesh->data->normalsLocked = false;
  mesh->data->weld = true;
  meshmodify::InvertFaces().apply(*mesh);
  mesh->transform(scaling(0.4f));
  std::vector<std::array<Vector3, 3>> after;
  for (FaceBase* face : mesh->faces()) {
    const std::vector<VertexBase*> c = cornerList(*face);
    after.push_back({*c[0]->position() * 2.5f, *c[1]->position() * 2.5f, *c[2]->position() * 2.5f});
  }
  EXPECT_GT(outwardShare(after), 0.9);

  Range r;
  const Matrix world = instance->transform * pipe->transform;
  for (VertexBase* v : mesh->vertices()) r.add(transformPoint(*v->position(), world));
  EXPECT_NEAR(r.hi.y, 3.4f, 1e-3f);
  EXPECT_NEAR(r.lo.y, 0.0f, 1e-3f);
  EXPECT_LT(r.hi.x, 0.6f);
}

// The room stood up by the workshop: floor at y = -15, the hub pillar's top
// at y = -9.5 just under the arms' lowest joint (-8) and narrow enough to stay
// inside the lifted camera's circle (radius 7), walls beyond the camera's
// circle (radius 24.5), ceiling above its highest place (about 21).
TEST_F(ProductionModels, TheWorkshopRoomHoldsTheArmsAndTheCamera) {
  INode* room = load("talo.x");
  ASSERT_NE(room, nullptr);
  Matrix squash = Matrix::identity();
  squash.m[2][2] = 0.8f;
  const Matrix scene = squash * rotationX(1.5707964f) * translationMatrix(0, -15, 0);
  const Range pillar = rangeOf(worldPositions(room->find("ChamferCyl01"), scene));
  EXPECT_NEAR(pillar.hi.y, -9.5f, 1e-3f);
  EXPECT_NEAR(pillar.lo.y, -15.0f, 1e-3f);
  for (float extent : {pillar.hi.x, -pillar.lo.x, pillar.hi.z, -pillar.lo.z}) EXPECT_LT(extent, 7.0f);
  const Range floor = rangeOf(worldPositions(room->find("Floor"), scene));
  EXPECT_NEAR(floor.hi.y, -15.0f, 1e-3f);
  const Range all = rangeOf(worldPositions(room, scene));
  EXPECT_GT(all.hi.y, 21.0f);
  for (float extent : {all.hi.x, -all.lo.x, all.hi.z, -all.lo.z}) EXPECT_GT(extent, 50.0f);
}

// The teapot sky, as the town stands it: the camera flies at heights 6.5 to
// 73 within 96.6 of the axis and sees 200 far, so the body is wider than
// that at those heights, and its far side and lid stay within reach.
TEST_F(ProductionModels, TheSkyEnclosesTheTownCamera) {
  INode* sky = load("SkyTeaPot.x");
  ASSERT_NE(sky, nullptr);
  const Matrix scene = rotationX(1.57f) * rotationY(1.57f) * scaling(50.1f) * translationMatrix(0, -60, 0);
  // The spout and handle stand out along the world's z axis (their roots sit
  // inside the body, where the sky, drawn body last, never shows them); the
  // body alone is measured in the directions round the world's x axis.
  float narrowest = 1e30f, widest = 0, top = -1e30f;
  for (const Vector3& p : worldPositions(sky, scene)) {
    top = std::max(top, p.y);
    if (std::fabs(p.z) > 0.8f * std::fabs(p.x)) continue;
    if (p.y > 6.5f && p.y < 73.0f) narrowest = std::min(narrowest, std::hypot(p.x, p.z));
    widest = std::max(widest, std::hypot(p.x, p.z));
  }
  EXPECT_GT(narrowest, 97.0f);
  EXPECT_LT(widest + 96.6f, 200.0f);
  EXPECT_LT(std::hypot(96.6f, top - 73.0f), 200.0f);
  EXPECT_NEAR(rangeOf(worldPositions(sky, scene)).lo.y, -60.0f, 0.5f);
}

// The town lies level, at half the world's scale, under its scene's
// rotations: the ground planes at y = 0 and every house above them; the
// lamps, under the town's transform, glow above the ground.
TEST_F(ProductionModels, TheTownLiesLevelUnderItsSceneTransform) {
  INode* town = load("town.x");
  ASSERT_NE(town, nullptr);
  const Matrix scene = scaling(2) * rotationY(-0.95f) * rotationX(1.2707963f) * town->transform;
  for (int i = 1; i <= 9; ++i) {
    const Range plane = rangeOf(worldPositions(town->find("Plane0" + std::to_string(i)), scene * Matrix::identity()));
    EXPECT_NEAR(plane.lo.y, 0.0f, 1e-3f) << i;
    EXPECT_NEAR(plane.hi.y, 0.0f, 1e-3f) << i;
  }
  town->transform = Matrix::identity();
  const Range all = rangeOf(worldPositions(town, scene));
  EXPECT_NEAR(all.lo.y, 0.0f, 1e-3f);
  EXPECT_GT(all.hi.y, 30.0f) << "the tower reaches the height the camera looks at";
  for (float extent : {all.hi.x, -all.lo.x, all.hi.z, -all.lo.z}) EXPECT_LT(extent, 40.0f);

  INode* lamps = load("valot.x");
  ASSERT_NE(lamps, nullptr);
  for (int i = 1; i <= 3; ++i) {
    const Range glow = rangeOf(worldPositions(lamps->find("valo0" + std::to_string(i)), scene));
    EXPECT_GT(glow.lo.y, 3.0f) << i;
    EXPECT_LT(glow.hi.y, 8.0f) << i;
  }
}

// The mobile's spinners turn about their own x axis; under the scene's
// rotations that axis is the world's vertical, the thread they hang from.
TEST_F(ProductionModels, TheMobileSpinsAboutItsHangingThreads) {
  INode* mobile = load("brisamobile2.x");
  ASSERT_NE(mobile, nullptr);
  const Matrix turn = rotationX(-0.5f) * rotationY(0.7f) * rotationY(-1.57f) * rotationX(1.5707964f);
  for (const std::string name : {"object2", "object3"}) {
    const Vector3 axis = normalize(transformDirection(transformDirection({1, 0, 0}, mobile->find(name)->transform), turn));
    EXPECT_GT(std::fabs(axis.y), 0.999f) << name;
  }
  const Vector3 smoke = transformPoint({0, 0, 0}, mobile->find("Dummy01")->transform);
  const Range body = rangeOf(worldPositions(mobile));
  EXPECT_GT(smoke.x, body.lo.x);
  EXPECT_LT(smoke.x, body.hi.x);
}

// The text faces the side the town's camera flies on.
TEST_F(ProductionModels, TheTextFacesTheTownCamera) {
  INode* text = load("ostrel2.x");
  ASSERT_NE(text, nullptr);
  const Matrix scene = scaling(1.5f) * rotationX(3.1415f) * translationMatrix(30, 90, 30) * text->transform;
  const Matrix world = text->find("Text01")->transform * scene;
  const Vector3 front = normalize(transformDirection({0, 0, -1}, world));
  const Vector3 toCamera = normalize(Vector3{-25, 30, -60} - Vector3{30, 90, 30});
  EXPECT_GT(dot(front, toCamera), 0.99f);
  const Vector3 up = normalize(transformDirection({0, 1, 0}, world));
  EXPECT_GT(up.y, 0.8f) << "upright, not upside down";
}

// Sizes that fit: the statue 30 tall about its origin after the chain
// scene's 0.25, the harmonium a few units wide at its scale 14, the lolo a
// few tens of units before its carriers' 0.4 x 0.02..0.06.
TEST_F(ProductionModels, ModelSizesFitTheirScenes) {
  struct Size {
    std::string file;
    float scale, minHeight, maxHeight;
  };
  for (const Size& s : {Size{"liberty.x", 0.25f, 29.0f, 31.0f}, Size{"harmonia.x", 14.0f, 4.0f, 8.0f},
                        Size{"lolo.x", 0.4f, 4.0f, 30.0f}}) {
    SCOPED_TRACE(s.file);
    INode* root = load(s.file);
    ASSERT_NE(root, nullptr);
    const Range r = rangeOf(worldPositions(root, scaling(s.scale)));
    EXPECT_GT(r.hi.y - r.lo.y, s.minHeight);
    EXPECT_LT(r.hi.y - r.lo.y, s.maxHeight);
    EXPECT_LT(std::fabs(r.hi.y + r.lo.y), 0.35f * (r.hi.y - r.lo.y)) << "roughly centred on its origin";
  }
}

// Front faces agree with the normals the scenes import (their flipNormals
// included) in every ".x" model: the engine draws the faces whose
// (b - a) x (c - a) points at the camera, and lights them by these normals.
TEST_F(ProductionModels, FrontFacesAgreeWithTheImportedNormals) {
  for (const std::string file : {"block1.x", "talo.x", "SkyTeaPot.x", "ostrel2.x", "brisamobile2.x", "town.x",
                                 "valot.x", "harmonia.x", "lolo.x", "chain.x", "liberty.x"}) {
    SCOPED_TRACE(file);
    INode* root = load(file);
    ASSERT_NE(root, nullptr);
    size_t agree = 0, total = 0;
    for (const PlacedInstance& p : instancesBelow(root))
      for (Mesh* mesh : meshesOf(p.instance)) {
        const GpuContents g = gpuContents(*mesh);
        for (size_t t = 0; t < g.indices.size() / 3; ++t) {
          const Vector3 n = g.vertices[g.indices[3 * t]].normal + g.vertices[g.indices[3 * t + 1]].normal +
                            g.vertices[g.indices[3 * t + 2]].normal;
          agree += dot(triangleNormal(g, t), n) > 0;
          ++total;
        }
      }
    EXPECT_GT(total, 0u);
    EXPECT_EQ(agree, total);
  }
  // The sky is seen from within: its faces look towards its axis.
  INode* sky = load("SkyTeaPot.x");
  ASSERT_NE(sky, nullptr);
  const GpuContents g = gpuContents(*meshesOf(instancesBelow(sky).at(0).instance).at(0));
  size_t inward = 0;
  const size_t triangles = g.indices.size() / 3;
  for (size_t t = 0; t < triangles; ++t) {
    const Vector3 a = g.vertices[g.indices[3 * t]].position;
    inward += dot(triangleNormal(g, t), Vector3{a.x, a.y, 0} * -1.0f) > 0;  // the model's axis is z
  }
  EXPECT_GT(inward, triangles * 3 / 4);
}

}  // namespace
}  // namespace velm::testing
