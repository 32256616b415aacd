// The scene: a renderable that owns one node tree, its camera pointer, its
// depth, distortion and optional velocity targets and the per-path motion
// history, and runs the four tree walks (update, motion history, light
// collection, draw). It does not own the nodes of its tree or its camera, and
// it never deletes a node.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/math3d.h"
#include "post/buffer_renderable.h"
#include "scene/lighting.h"
#include "scene/node.h"

namespace velm {

class PerspectiveCamera;
class RenderTarget;
class Scene;

// A motion-history map: a key never stored reads (and is stored) as the identity.
class TransformHistory {
 public:
  Matrix& operator[](uint32_t key) { return entries.try_emplace(key, Matrix::identity()).first->second; }
  size_t size() const { return entries.size(); }
  bool contains(uint32_t key) const { return entries.count(key) != 0; }

  std::map<uint32_t, Matrix> entries;
};

// The 32-bit value that stands for a node in path keys: a bijective hash of
// its serial, so it is unique per node and the same in every run.
uint32_t nodeKeyValue(const INode* node);
// The key of `node` reached along the path whose key is `parentKey` (0 above the root).
uint32_t pathKey(uint32_t parentKey, const INode* node);

struct SceneGraph {
  explicit SceneGraph(Scene* ownerScene);
  // Returns the targets to the pool and empties the tree (no node is deleted).
  ~SceneGraph();
  SceneGraph(const SceneGraph&) = delete;
  SceneGraph& operator=(const SceneGraph&) = delete;

  DummyNode root;
  std::list<NodePointlight*> registeredLights;
  std::vector<std::pair<NodePointlight*, Matrix>> frameLights;  // rebuilt every render
  PerspectiveCamera* camera = nullptr;  // not owned; set by the scene's set-up
  Scene* owner;
  RenderTarget* depthTarget = nullptr;       // R32F, from the pool
  RenderTarget* distortionTarget = nullptr;  // A8R8G8B8, from the pool
  float lastMotionTime = -1.0f;
  RenderTarget* velocityTarget = nullptr;  // optional, acquired by the set-up
  TransformHistory previousTransforms;     // world x viewProjection, update before last
  TransformHistory currentTransforms;      // world x viewProjection, last update
  float time = 0.0f;
  uint32_t currentKey = 0;  // the path key of the node being drawn
  float deltaTime = 0.0f;   // the time step of the last motion-history update
};

// Scene nodes are destroyed only by the two scene teardowns, through Scene*.
class Scene final : public BufferRenderable {
 public:
  Scene();
  ~Scene();

  // Runs the update walk (children before their parent) with `time`.
  void tick(float time);
  // The scene render: motion history, lights, clears of the extra targets and
  // of the bound output, then the draw walk (children before their parent).
  void draw(float time) override;
  // render() without its time test and without recording the time.
  void renderNow(float time);
  INode* findNode(const std::string& name) { return graph->root.find(name); }
  RenderTarget* velocityTarget() override;
  RenderTarget* depthTarget() override;
  RenderTarget* distortionTarget() override;
  // Appends every point light of `subtree` (children before parent) to registeredLights.
  void registerLights(INode* subtree);
  // The diagnostic walk: one progress report at depth 0 plus one per node;
  // each node's line goes to sceneTreeLog when that is set.
  void dumpTree(INode* node, int depth, std::vector<INode*>& ancestors);

  SceneGraph* graph;
  SceneLighting lighting;
};

// The scene being ticked or rendered; particle systems read its camera.
extern Scene* currentScene;
// Where dumpTree's lines go; null (silent) unless a developer sets it.
extern void (*sceneTreeLog)(const std::string& line);

}  // namespace velm
