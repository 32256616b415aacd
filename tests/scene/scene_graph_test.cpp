// Nodes and the scene: lookup and child lists, the path key, the four tree
// walks in their orders, the motion history, the clears before each draw,
// renderNow, registerLights and the diagnostic walk.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/scene.h"
#include "tests/scene/scene_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;

bool near(const Matrix& a, const Matrix& b, float tolerance = 1e-5f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (std::fabs(a.m[i][j] - b.m[i][j]) > tolerance) return false;
  return true;
}

// A node that records what the walks hand it.
class ProbeNode : public INode {
 public:
  ProbeNode(std::vector<std::string>* log, const std::string& label) : log_(log) { setName(label); }
  void update(const Matrix& parentWorld, float time) override {
    log_->push_back("update " + name + " " + std::to_string(time));
    lastParentWorld = parentWorld;
  }
  Matrix lastParentWorld{};

 private:
  std::vector<std::string>* log_;
};

// A renderable that records its draw and the path key it finds.
class ProbeRenderable : public INodeRenderable {
 public:
  ProbeRenderable(std::vector<std::string>* log, const std::string& label) : log_(log) { setName(label); }
  void render(const Matrix& parentWorld) override {
    log_->push_back("render " + name);
    keys.push_back(currentScene->graph->currentKey);
    parentWorlds.push_back(parentWorld);
  }
  BoundingBox bounds() override { return {}; }
  std::vector<uint32_t> keys;
  std::vector<Matrix> parentWorlds;

 private:
  std::vector<std::string>* log_;
};

using NodeTest = SceneTest;

TEST_F(NodeTest, FindSearchesDepthFirstFromTheNodeItself) {
  DummyNode root, a, a1, b;
  a.setName("twin");
  a1.setName("child");
  b.setName("twin");
  root.addChild(&a);
  a.addChild(&a1);
  root.addChild(&b);
  EXPECT_EQ(root.find(""), &root) << "the unnamed root matches the empty name";
  EXPECT_EQ(root.find("twin"), &a) << "first in pre-order";
  EXPECT_EQ(root.find("child"), &a1);
  EXPECT_EQ(root.find("Twin"), nullptr) << "case-sensitive";
  EXPECT_EQ(b.find("child"), nullptr);
}

TEST_F(NodeTest, ChildListKeepsDuplicatesAndIgnoresStrangers) {
  DummyNode parent, child, stranger;
  parent.addChild(&child);
  parent.addChild(&child);
  EXPECT_EQ(parent.children.size(), 2u);
  parent.removeChild(&stranger);
  EXPECT_EQ(parent.children.size(), 2u);
  parent.removeChild(&child);  // the later entry, which the index remembers
  ASSERT_EQ(parent.children.size(), 1u);
  parent.removeChild(&child);  // no longer indexed
  EXPECT_EQ(parent.children.size(), 1u);
}

TEST_F(NodeTest, PathKeyFollowsTheFormulaAndSeparatesPaths) {
  DummyNode a, b, shared;
  const uint32_t n = nodeKeyValue(&shared);
  EXPECT_EQ(pathKey(0, &shared), n * n + 10000u);
  const uint32_t pk = 0x12345678u;
  EXPECT_EQ(pathKey(pk, &shared), (n * n + 10000u) ^ (n * pk) ^ (pk >> 16) ^ (pk << 16));
  EXPECT_NE(nodeKeyValue(&a), nodeKeyValue(&b));
  EXPECT_NE(pathKey(pathKey(0, &a), &shared), pathKey(pathKey(0, &b), &shared));
}

class SceneWalkTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    scene = new Scene();
    camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
    camera->position = {0, 0, -10};
    camera->target = {0, 0, 0};
    scene->graph->camera = camera;
  }
  void TearDown() override {
    delete scene;
    delete camera;
    SceneTest::TearDown();
  }
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
};

TEST_F(SceneWalkTest, TickUpdatesChildrenBeforeTheirParentWithTheParentWorld) {
  std::vector<std::string> log;
  ProbeNode parent(&log, "parent"), first(&log, "first"), second(&log, "second");
  parent.transform = translationMatrix(1, 2, 3);
  parent.addChild(&first);
  parent.addChild(&second);
  scene->graph->root.addChild(&parent);
  scene->tick(0.25f);
  EXPECT_EQ(currentScene, scene);
  EXPECT_THAT(log, ElementsAre("update first 0.250000", "update second 0.250000", "update parent 0.250000"));
  EXPECT_TRUE(near(first.lastParentWorld, translationMatrix(1, 2, 3)));
  EXPECT_TRUE(near(parent.lastParentWorld, Matrix::identity()));
}

TEST_F(SceneWalkTest, DrawWalkRendersChildrenFirstWithTheirOwnPathKeys) {
  std::vector<std::string> log;
  ProbeRenderable outer(&log, "outer"), inner(&log, "inner");
  DummyNode group;
  group.transform = translationMatrix(5, 0, 0);
  outer.addChild(&inner);
  group.addChild(&outer);
  scene->graph->root.addChild(&group);
  scene->render(1.0f);
  EXPECT_THAT(log, ElementsAre("render inner", "render outer"));
  const uint32_t groupKey = pathKey(pathKey(0, &scene->graph->root), &group);
  const uint32_t outerKey = pathKey(groupKey, &outer);
  EXPECT_EQ(outer.keys, std::vector<uint32_t>{outerKey});
  EXPECT_EQ(inner.keys, std::vector<uint32_t>{pathKey(outerKey, &inner)});
  EXPECT_TRUE(near(outer.parentWorlds[0], translationMatrix(5, 0, 0))) << "renderables get the parent world";
}

TEST_F(SceneWalkTest, MotionHistoryRunsOncePerDistinctTime) {
  DummyNode node;
  scene->graph->root.addChild(&node);
  SceneGraph& g = *scene->graph;
  const uint32_t key = pathKey(pathKey(0, &g.root), &node);

  EXPECT_FALSE(g.currentTransforms.contains(key));
  scene->render(10.0f);
  EXPECT_FLOAT_EQ(g.deltaTime, 11.0f) << "first render: t + 1";
  EXPECT_TRUE(near(g.previousTransforms[key], Matrix::identity())) << "a new path starts from the identity";
  const Matrix first = translationMatrix(0, 0, 0) * camera->viewProjection();
  EXPECT_TRUE(near(g.currentTransforms[key], first));

  node.transform = translationMatrix(1, 0, 0);
  scene->render(10.005f);  // drawn (more than 0.001 later) but within 0.01: no update
  EXPECT_FLOAT_EQ(g.deltaTime, 11.0f);
  EXPECT_TRUE(near(g.currentTransforms[key], first));
  EXPECT_FLOAT_EQ(g.time, 10.005f);

  scene->render(10.05f);
  EXPECT_NEAR(g.deltaTime, 0.05f, 1e-5f);
  EXPECT_TRUE(near(g.previousTransforms[key], first));
  EXPECT_TRUE(near(g.currentTransforms[key], translationMatrix(1, 0, 0) * camera->viewProjection()));
}

TEST_F(SceneWalkTest, NodeUnderTwoParentsHasTwoHistories) {
  DummyNode left, right, shared;
  left.transform = translationMatrix(-3, 0, 0);
  right.transform = translationMatrix(3, 0, 0);
  left.addChild(&shared);
  right.addChild(&shared);
  scene->graph->root.addChild(&left);
  scene->graph->root.addChild(&right);
  scene->render(1.0f);
  SceneGraph& g = *scene->graph;
  const uint32_t rootKey = pathKey(0, &g.root);
  const uint32_t viaLeft = pathKey(pathKey(rootKey, &left), &shared);
  const uint32_t viaRight = pathKey(pathKey(rootKey, &right), &shared);
  ASSERT_NE(viaLeft, viaRight);
  EXPECT_EQ(g.currentTransforms.size(), 5u) << "root, two parents, two paths to the shared node";
  EXPECT_TRUE(near(g.currentTransforms[viaLeft], translationMatrix(-3, 0, 0) * camera->viewProjection()));
  EXPECT_TRUE(near(g.currentTransforms[viaRight], translationMatrix(3, 0, 0) * camera->viewProjection()));
}

TEST_F(SceneWalkTest, LightsAreCollectedInPreOrderEveryRender) {
  NodePointlight a(1, 2, 3, 7, 1, 250, 1, 1, 1, 1), b(0, 0, 0, 5, 2, 50, 1, 0, 0, 1);
  DummyNode group;
  group.transform = translationMatrix(10, 0, 0);
  group.addChild(&b);
  a.addChild(&group);
  scene->render(1.0f);
  EXPECT_TRUE(scene->graph->frameLights.empty());
  scene->graph->root.addChild(&a);
  scene->render(2.0f);
  const auto& lights = scene->graph->frameLights;
  ASSERT_EQ(lights.size(), 2u);
  EXPECT_EQ(lights[0].first, &a);
  EXPECT_EQ(translationOf(lights[0].second), (Vector3{1, 2, 3}));
  EXPECT_EQ(lights[1].first, &b);
  EXPECT_EQ(translationOf(lights[1].second), (Vector3{11, 2, 3}));
  scene->graph->root.removeChild(&a);
  scene->render(3.0f);
  EXPECT_TRUE(scene->graph->frameLights.empty()) << "rebuilt, not accumulated";
}

TEST_F(SceneWalkTest, RegisterLightsListsChildrenBeforeTheirParent) {
  NodePointlight parent(0, 0, 0, 1, 1, 1, 1, 1, 1, 1), child(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
  DummyNode plain, plainChild;
  plain.addChild(&plainChild);
  scene->registerLights(&plain);
  EXPECT_TRUE(scene->graph->registeredLights.empty());
  parent.addChild(&child);
  scene->registerLights(&parent);
  EXPECT_THAT(scene->graph->registeredLights, ElementsAre(&child, &parent));
}

// The target surfaces bound at slot 0 and the clears, in order.
std::vector<std::string> clearSequence(const std::vector<std::string>& calls) {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind("setRenderTarget(", 0) == 0 || c.rfind("clear(", 0) == 0 || c == "beginScene()" ||
        c == "endScene()")
      out.push_back(c);
  return out;
}

TEST_F(SceneWalkTest, RenderClearsTheExtraTargetsGreyAndTheOutputBlack) {
  auto name = [](RenderTarget* t) { return gfx::RecordingDevice::nameOf(t->surface); };
  scene->render(1.0f);  // acquires the output
  const std::string out = name(scene->output()), depth = name(scene->depthTarget()),
                    distortion = name(scene->distortionTarget());
  device->clearCalls();
  scene->render(2.0f);
  EXPECT_THAT(clearSequence(calls()),
              ElementsAre("setRenderTarget(0, " + out + ")", "clear(0x00000003, 0x00000000, 1, 0)",
                          "setRenderTarget(0, " + depth + ")", "clear(0x00000003, 0xff808080, 1, 0)",
                          "setRenderTarget(0, " + out + ")", "setRenderTarget(0, " + distortion + ")",
                          "clear(0x00000003, 0xff808080, 1, 0)", "setRenderTarget(0, " + out + ")",
                          "clear(0x00000003, 0x00000000, 1, 0)", "beginScene()", "endScene()",
                          "setRenderTarget(0, backbuffer)"));

  scene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  device->clearCalls();
  scene->render(3.0f);
  const auto sequence = clearSequence(calls());
  ASSERT_GE(sequence.size(), 4u);
  EXPECT_EQ(sequence[2], "setRenderTarget(0, " + name(scene->velocityTarget()) + ")");
  EXPECT_EQ(sequence[3], "clear(0x00000003, 0xff808080, 1, 0)");
  EXPECT_EQ(sequence[5], "setRenderTarget(0, " + depth + ")");
}

TEST_F(SceneWalkTest, RenderNowDrawsWithoutRecordingTheTime) {
  std::vector<std::string> log;
  ProbeRenderable probe(&log, "probe");
  scene->graph->root.addChild(&probe);
  scene->renderNow(5.0f);
  scene->renderNow(5.0f);
  EXPECT_EQ(log.size(), 2u) << "no time test";
  EXPECT_FLOAT_EQ(scene->lastTime, -1.0f);
  EXPECT_NE(scene->output(), nullptr);
  scene->render(5.0f);
  scene->render(5.0f);
  EXPECT_EQ(log.size(), 3u) << "render still draws once at that time";
}

TEST_F(SceneWalkTest, DestructionGivesEveryTargetBackToThePool) {
  EngineContext& context = EngineContext::get();
  scene->graph->velocityTarget = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  scene->render(1.0f);
  std::vector<RenderTarget*> held = {scene->output(), scene->velocityTarget(), scene->depthTarget(),
                                     scene->distortionTarget()};
  DummyNode child;  // on the stack: deleting it with the scene would crash
  scene->graph->root.addChild(&child);
  EXPECT_TRUE(context.renderTargetPool.empty());
  delete scene;
  scene = nullptr;
  EXPECT_EQ(context.renderTargetPool.size(), 4u);
  for (RenderTarget* t : held)
    EXPECT_NE(std::find(context.renderTargetPool.begin(), context.renderTargetPool.end(), t),
              context.renderTargetPool.end());
}

TEST_F(SceneWalkTest, DumpTreeDescribesEveryNodeAndReportsOneStepEach) {
  static std::vector<std::string> lines;
  lines.clear();
  sceneTreeLog = [](const std::string& line) { lines.push_back(line); };
  Texture picture;  // a loading picture lets progress reports count
  loadingTexture = &picture;
  loadingInProgress = true;
  progressCounter = 0;

  DummyNode model, group, last;
  model.setName("model");
  NodePointlight light(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
  std::vector<std::string> log;
  ProbeRenderable drawn(&log, "");
  model.addChild(&group);
  model.addChild(&last);
  group.addChild(&light);
  group.addChild(&drawn);
  std::vector<INode*> ancestors;
  scene->dumpTree(&model, 0, ancestors);
  loadingTexture = nullptr;
  loadingInProgress = false;

  auto id = [](const INode& n) { return "#" + std::to_string(n.serial) + ": "; };
  EXPECT_THAT(lines, ElementsAre(id(model) + "DummyNode, \"model\"", "+-" + id(group) + "DummyNode",
                                 "| +-" + id(light) + "NodePointlight",
                                 "| `-" + id(drawn) + "[unknown] (renderable)", "`-" + id(last) + "DummyNode"));
  EXPECT_EQ(progressCounter, 6) << "one for the walk plus one per node";
  EXPECT_TRUE(ancestors.empty());
}

}  // namespace
}  // namespace velm::testing
