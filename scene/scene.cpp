#include "scene/scene.h"

#include <cmath>

#include "engine/engine_context.h"
#include "engine/gfx_check.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "scene/camera.h"
#include "scene/mesh_instance.h"

namespace velm {

Scene* currentScene = nullptr;
void (*sceneTreeLog)(const std::string& line) = nullptr;

uint32_t nodeKeyValue(const INode* node) {
  // Multiplying by an odd constant is a bijection on 32-bit values, so two
  // nodes never share a value; the spread keeps the key mixing effective.
  return (static_cast<uint32_t>(node->serial) + 1u) * 2654435761u;
}

uint32_t pathKey(uint32_t parentKey, const INode* node) {
  const uint32_t n = nodeKeyValue(node);
  return (n * n + 10000u) ^ (n * parentKey) ^ (parentKey >> 16) ^ (parentKey << 16);
}

SceneGraph::SceneGraph(Scene* ownerScene) : owner(ownerScene) {
  EngineContext& context = EngineContext::get();
  depthTarget = context.acquireRenderTarget(gfx::Format::R32F);
  distortionTarget = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
}

SceneGraph::~SceneGraph() {
  EngineContext& context = EngineContext::get();
  if (velocityTarget) context.releaseRenderTarget(velocityTarget);
  context.releaseRenderTarget(depthTarget);
  context.releaseRenderTarget(distortionTarget);
  root.children.clear();
  root.childIndex.clear();
  root.cursor = root.children.end();
  registeredLights.clear();
}

Scene::Scene() : graph(new SceneGraph(this)) {}

Scene::~Scene() {
  if (currentScene == this) currentScene = nullptr;
  SolidDrawContext& solid = SolidDrawContext::get();
  if (solid.scene == this) solid.scene = nullptr;
  delete graph;
}

RenderTarget* Scene::velocityTarget() { return graph->velocityTarget; }
RenderTarget* Scene::depthTarget() { return graph->depthTarget; }
RenderTarget* Scene::distortionTarget() { return graph->distortionTarget; }

namespace {

// Every walk visits children through the visited node's own cursor, and
// computes world = local x parent world.

void updateWalk(const Matrix& parentWorld, INode* node, float time) {
  const Matrix world = node->localTransform() * parentWorld;
  node->firstChild();
  while (INode* child = node->nextChild()) updateWalk(world, child, time);
  node->update(parentWorld, time);
}

void motionWalk(SceneGraph& graph, const Matrix& viewProjection, const Matrix& parentWorld, INode* node,
                uint32_t parentKey) {
  const Matrix world = node->localTransform() * parentWorld;
  const uint32_t key = pathKey(parentKey, node);
  const Matrix current = graph.currentTransforms[key];
  graph.previousTransforms[key] = current;
  graph.currentTransforms[key] = world * viewProjection;
  node->firstChild();
  while (INode* child = node->nextChild()) motionWalk(graph, viewProjection, world, child, key);
}

void collectLights(SceneGraph& graph, const Matrix& parentWorld, INode* node) {
  const Matrix world = node->localTransform() * parentWorld;
  if (auto* light = dynamic_cast<NodePointlight*>(node)) graph.frameLights.emplace_back(light, world);
  node->firstChild();
  while (INode* child = node->nextChild()) collectLights(graph, world, child);
}

void drawWalk(SceneGraph& graph, const Matrix& parentWorld, INode* node, uint32_t parentKey) {
  const Matrix world = node->localTransform() * parentWorld;
  const uint32_t key = pathKey(parentKey, node);
  node->firstChild();
  while (INode* child = node->nextChild()) drawWalk(graph, world, child, key);
  graph.currentKey = key;
  if (node->isRenderable()) static_cast<INodeRenderable*>(node)->render(parentWorld);
}

void collectRegisteredLights(std::list<NodePointlight*>& lights, INode* node) {
  node->firstChild();
  while (INode* child = node->nextChild()) collectRegisteredLights(lights, child);
  if (auto* light = dynamic_cast<NodePointlight*>(node)) lights.push_back(light);
}

void clearExtraTarget(gfx::Device* device, RenderTarget* target) {
  if (!target) return;
  target->bind(0);
  if (device) checked(device->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0xff808080u, 1.0f, 0));
  target->unbind();
}

// The description's kind word. Kinds defined above the scene graph (particle
// systems) are not told apart here and read "[unknown]".
const char* nodeKind(INode* node) {
  if (dynamic_cast<DummyNode*>(node)) return "DummyNode";
  if (dynamic_cast<Mesh*>(node)) return "Mesh";
  if (dynamic_cast<MeshInstance*>(node)) return "MeshInstance";
  if (dynamic_cast<NodePointlight*>(node)) return "NodePointlight";
  return "[unknown]";
}

}  // namespace

void Scene::tick(float time) {
  currentScene = this;
  updateWalk(Matrix::identity(), &graph->root, time);
}

void Scene::draw(float time) {
  SceneGraph& g = *graph;
  const float step = std::fabs(g.lastMotionTime - time);
  if (step > 0.01f) {
    // A scene rendered before its camera was set records untransformed
    // world matrices rather than reading through a null camera.
    const Matrix viewProjection = g.camera ? g.camera->viewProjection() : Matrix::identity();
    motionWalk(g, viewProjection, Matrix::identity(), &g.root, 0);
    g.deltaTime = step;
    g.lastMotionTime = time;
  }
  currentScene = g.owner;
  g.frameLights.clear();
  collectLights(g, Matrix::identity(), &g.root);
  g.time = time;
  SolidDrawContext::get().scene = g.owner;

  gfx::Device* device = EngineContext::get().device;
  clearExtraTarget(device, g.velocityTarget);
  clearExtraTarget(device, g.depthTarget);
  clearExtraTarget(device, g.distortionTarget);
  if (!device) return;
  checked(device->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0x00000000u, 1.0f, 0));
  checked(device->beginScene());
  drawWalk(g, Matrix::identity(), &g.root, 0);
  checked(device->endScene());
}

void Scene::renderNow(float time) {
  EngineContext& context = EngineContext::get();
  if (!outputTarget) outputTarget = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  outputTarget->bind(0);
  if (context.device) checked(context.device->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0x00000000u, 1.0f, 0));
  draw(time);
  outputTarget->unbind();
}

void Scene::registerLights(INode* subtree) {
  if (subtree) collectRegisteredLights(graph->registeredLights, subtree);
}

void Scene::dumpTree(INode* node, int depth, std::vector<INode*>& ancestors) {
  if (depth == 0) reportProgress();
  // Tree drawing: at each ancestor level whether more siblings follow the
  // branch being walked (the ancestor's cursor already points past it).
  std::string line;
  for (int i = 0; i < depth && i < static_cast<int>(ancestors.size()); ++i) {
    const INode* ancestor = ancestors[static_cast<size_t>(i)];
    const bool more = ancestor->cursor != ancestor->children.end();
    if (i == depth - 1) line += more ? "+-" : "`-";
    else line += more ? "| " : "  ";
  }
  line += "#" + std::to_string(node->serial) + ": " + nodeKind(node);
  if (!node->name.empty()) line += ", \"" + node->name + "\"";
  if (node->isRenderable()) line += " (renderable)";
  if (sceneTreeLog) sceneTreeLog(line);
  reportProgress();
  ancestors.push_back(node);
  node->firstChild();
  while (INode* child = node->nextChild()) dumpTree(child, depth + 1, ancestors);
  ancestors.pop_back();
}

}  // namespace velm
