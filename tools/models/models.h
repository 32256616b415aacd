// The production's twelve models, each built as the engine sees it after
// import (see model.h), with the node names, shapes and sizes its scene
// relies on. Every builder is deterministic: no clock, no global state.
#pragma once

#include <string>
#include <vector>

#include "model.h"

namespace velm::models {

// All twelve, in a fixed order: block1.x, talo.x, SkyTeaPot.x, ostrel2.x,
// brisamobile2.x, town.x, valot.x, harmonia.x, lolo.x, piippu.3ds, chain.x,
// liberty.x.
std::vector<Model> makeProductionModels();

// The data file's bytes for a model (".x" or ".3ds" by its file name).
std::string encodeModel(const Model& model);

// One builder per file (models_*.cpp).
Model makeBlock();
Model makeWorkshopRoom();
Model makeSkyTeapot();
Model makeOstrel();
Model makeMobile();
Model makeTown();
Model makeLamps();
Model makeHarmonium();
Model makeLolo();
Model makePipe();
Model makeChainLink();
Model makeStatue();

// A material with a texture (may be empty), diffuse colour and shine.
ModelMaterial material(const std::string& name, const std::string& texture, double r, double g, double b,
                       double specular = 0.5, double power = 16);

}  // namespace velm::models
