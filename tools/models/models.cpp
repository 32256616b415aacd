#include "models.h"

#include <stdexcept>

#include "writers.h"

namespace velm::models {

ModelMaterial material(const std::string& name, const std::string& texture, double r, double g, double b,
                       double specular, double power) {
  ModelMaterial m;
  m.name = name;
  m.texture = texture;
  m.diffuse[0] = r;
  m.diffuse[1] = g;
  m.diffuse[2] = b;
  m.diffuse[3] = 1.0;
  m.specular[0] = m.specular[1] = m.specular[2] = specular;
  m.specularPower = power;
  m.ambient[0] = r * 0.2;
  m.ambient[1] = g * 0.2;
  m.ambient[2] = b * 0.2;
  return m;
}

std::vector<Model> makeProductionModels() {
  std::vector<Model> all;
  all.push_back(makeBlock());
  all.push_back(makeWorkshopRoom());
  all.push_back(makeSkyTeapot());
  all.push_back(makeOstrel());
  all.push_back(makeMobile());
  all.push_back(makeTown());
  all.push_back(makeLamps());
  all.push_back(makeHarmonium());
  all.push_back(makeLolo());
  all.push_back(makePipe());
  all.push_back(makeChainLink());
  all.push_back(makeStatue());
  for (const Model& model : all)
    for (const ModelMesh& mesh : model.meshes)
      if (mesh.part.countMisoriented() != 0)
        throw std::logic_error(model.fileName + ": mesh " + mesh.name + " has faces wound against its normals");
  return all;
}

std::string encodeModel(const Model& model) {
  const std::string& name = model.fileName;
  if (name.size() > 4 && name.substr(name.size() - 4) == ".3ds") return write3ds(model);
  return writeDirectX(model);
}

}  // namespace velm::models
