// Scene-graph nodes: the node base with its children, name, local transform
// and per-tick update, the grouping node, and the drawable-node interface.
// Nodes never own their children and are never deleted by the engine; the
// tree walks live with the scene.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "engine/math3d.h"

namespace velm {

struct BoundingBox {
  Vector3 minimum, maximum;
};

class INode {
 public:
  INode();
  INode(const INode&) = delete;
  INode& operator=(const INode&) = delete;

  // Called by the update walk with the parent's world matrix and the scene's tick time.
  virtual void update(const Matrix& parentWorld, float time);
  virtual Matrix localTransform() const { return transform; }
  virtual bool isRenderable() const { return false; }

  // Appends `child` (twice is allowed: two entries) and returns its position.
  std::list<INode*>::iterator addChild(INode* child);
  // Unlinks the entry recorded for `child`; unknown children are ignored.
  void removeChild(INode* child);
  void setName(const std::string& newName) { name = newName; }
  // Depth first, this node first, children in order; exact name match.
  INode* find(const std::string& wanted);
  // The node's own child cursor, shared by every walk over it.
  void firstChild() { cursor = children.begin(); }
  INode* nextChild() { return cursor == children.end() ? nullptr : *cursor++; }

  int32_t serial;
  std::list<INode*> children;
  std::map<INode*, std::list<INode*>::iterator> childIndex;
  std::list<INode*>::iterator cursor;
  Matrix transform = Matrix::identity();
  std::string name;

 protected:
  ~INode() = default;  // nodes are not deleted through the base
};

class DummyNode : public INode {};

class INodeRenderable : public INode {
 public:
  bool isRenderable() const override { return true; }
  // Draws the node; it applies its own transform to `parentWorld`.
  virtual void render(const Matrix& parentWorld) = 0;
  virtual BoundingBox bounds() = 0;

 protected:
  ~INodeRenderable() = default;
};

}  // namespace velm
