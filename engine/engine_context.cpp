#include "engine/engine_context.h"

namespace velm {

EngineContext& EngineContext::get() {
  static EngineContext* context = new EngineContext();  // never deleted: it outlives every user
  return *context;
}

}  // namespace velm
