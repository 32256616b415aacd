#include "tests/scene/scene_test_support.h"

#include <cstdlib>

#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "scene/scene.h"

namespace velm::testing {

Mesh* makeBox(float h) {
  auto* mesh = new Mesh(0, 0);
  std::vector<VertexBase*>* vertices = nullptr;
  std::vector<Edge*>* edges = nullptr;
  std::vector<FaceBase*>* faces = nullptr;
  mesh->editLists(&vertices, &edges, &faces);
  // Per side: outward normal n, tangent u and binormal v with u x v = n, so
  // the corners -u-v, +u-v, +u+v, -u+v face outwards (clockwise seen from
  // outside, left-handed). u runs along texture u, v along texture v (down).
  struct Side {
    Vector3 n, u, v;
  };
  const Side sides[6] = {
      {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},  {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
      {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},   {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
  };
  const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (const Side& side : sides) {
    Vertex* c[4];
    for (int k = 0; k < 4; ++k) {
      const Vector3 p = (side.n + side.u * corner[k][0] + side.v * corner[k][1]) * h;
      c[k] = new Vertex(p.x, p.y, p.z);
      const TexCoord uv{0.5f * (corner[k][0] + 1.0f), 0.5f * (corner[k][1] + 1.0f)};
      c[k]->setTexcoord0(uv);
      c[k]->setTexcoord1(uv);
      vertices->push_back(c[k]);
    }
    Edge* e[4];
    for (int k = 0; k < 4; ++k) {
      e[k] = new Edge{c[(k + 3) % 4], c[k], 0, 0};  // edge k ends at corner k
      edges->push_back(e[k]);
    }
    faces->push_back(new QuadFace(e[0], e[1], e[2], e[3]));
  }
  return mesh;
}

void SceneTest::SetUp() {
  captureMessageBoxes(&messages);
  resetLoadingScreen(false);  // progress reports count but draw nothing
  window = std::make_unique<RenderWindow>();
  device = installRecordingDevice(*window);
}

void SceneTest::TearDown() {
  clearSceneGlobals();
  sceneTreeLog = nullptr;
  releaseEngine();
  device = nullptr;
  loadingInProgress = true;
  progressCounter = 50;
  window.reset();
  expectNoMessageBoxes(messages);
}

std::vector<std::string> SceneTest::callsWith(const std::string& part) const {
  return recordedCallsWith(calls(), part);
}

std::vector<std::string> SceneTest::effectSetters() const {
  std::vector<std::string> out;
  for (const std::string& c : calls()) {
    if (c.rfind("effect#", 0) != 0) continue;
    const size_t dot = c.find('.'), open = c.find('(', dot);
    const std::string method = c.substr(dot + 1, open - dot - 1);
    if (method.rfind("set", 0) != 0 || method == "setTechnique") continue;
    const size_t comma = c.find(',', open);
    out.push_back(method + "(" + c.substr(open + 1, comma - open - 1) + ")");
  }
  return out;
}

std::vector<float> SceneTest::floatsSet(const std::string& name) const {
  std::vector<float> values;
  const std::string key = ".setFloat(" + name + ", ";
  for (const std::string& c : calls()) {
    const size_t at = c.find(key);
    if (at != std::string::npos) values.push_back(std::strtof(c.c_str() + at + key.size(), nullptr));
  }
  return values;
}

std::string SceneTest::nameOf(RenderTarget* target) {
  return gfx::RecordingDevice::nameOf(target ? target->getTexture() : nullptr);
}

}  // namespace velm::testing
