#include "scene/node.h"

namespace velm {
namespace {
int32_t nextSerial = 0;
}

INode::INode() : serial(nextSerial++), cursor(children.end()) {}

void INode::update(const Matrix&, float) {}

std::list<INode*>::iterator INode::addChild(INode* child) {
  const auto position = children.insert(children.end(), child);
  childIndex[child] = position;
  return position;
}

void INode::removeChild(INode* child) {
  const auto it = childIndex.find(child);
  if (it == childIndex.end()) return;
  if (cursor == it->second) ++cursor;  // a walk in progress keeps a valid cursor
  children.erase(it->second);
  childIndex.erase(it);
}

INode* INode::find(const std::string& wanted) {
  if (name == wanted) return this;
  for (INode* child : children)
    if (INode* found = child->find(wanted)) return found;
  return nullptr;
}

}  // namespace velm
