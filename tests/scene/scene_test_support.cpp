#include "tests/scene/scene_test_support.h"

#include <sstream>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "geometry/mesh.h"
#include "platform/messages.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

namespace velm::testing {

std::vector<float> loggedFloats(const std::string& call) {
  std::vector<float> values;
  const size_t open = call.find('['), close = call.find(']', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || close == std::string::npos) return values;
  std::istringstream in(call.substr(open + 1, close - open - 1));
  for (float v = 0; in >> v;) values.push_back(v);
  return values;
}

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
  platform::setMessageBoxHook(
      [this](const std::string& title, const std::string& text) { messages.emplace_back(title, text); });
  (void)platform::takeQuitMessage();
  loadingInProgress = false;  // progress reports count but draw nothing
  progressCounter = 50;
  loadingProgress = 0.0f;
  loadingTexture = nullptr;
  window = std::make_unique<RenderWindow>();
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = new gfx::RecordingDevice(window->settings.width, window->settings.height);
  context.device = device;
}

void SceneTest::TearDown() {
  currentScene = nullptr;
  SolidDrawContext& solid = SolidDrawContext::get();
  solid.scene = nullptr;
  solid.binding = nullptr;
  solid.worldStack.clear();
  sceneTreeLog = nullptr;
  EffectRegistry::destroy();
  EngineContext::get().shutdown();
  device = nullptr;
  resetDataFileCacheForTesting();
  loadingInProgress = true;
  progressCounter = 50;
  window.reset();
  for (const auto& [title, text] : messages) ADD_FAILURE() << "unexpected message: " << title << " / " << text;
  EXPECT_FALSE(platform::takeQuitMessage()) << "unexpected quit request";
  platform::setMessageBoxHook(nullptr);
}

std::vector<std::string> SceneTest::callsWith(const std::string& part) const {
  std::vector<std::string> out;
  for (const std::string& c : calls())
    if (c.find(part) != std::string::npos) out.push_back(c);
  return out;
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

}  // namespace velm::testing
