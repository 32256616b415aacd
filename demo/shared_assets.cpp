#include "demo/shared_assets.h"

#include <set>

#include "engine/data_files.h"
#include "engine/engine_context.h"
#include "geometry/mesh.h"
#include "geometry/model_importer.h"
#include "geometry/modifiers.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "text/glyph_font.h"

namespace velm {

ModelImporter* sharedImporter = nullptr;
Texture* moonTexture = nullptr;
Texture* pumTexture = nullptr;
Texture* moonNormalTexture = nullptr;
Texture* particleTexture = nullptr;
INode* sharedBlockModel = nullptr;
GlyphFont* blockFont = nullptr;
GlyphFont* scriptFont = nullptr;
Material* captionMaterial = nullptr;
INode* pipeModel = nullptr;
INode* loloModel = nullptr;
Scene* overlayScene = nullptr;
PerspectiveCamera* overlayCamera = nullptr;
NodePointlight* overlayLight = nullptr;

namespace {

Matrix uniformScale(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = s;
  m.m[1][1] = s;
  m.m[2][2] = s;
  return m;
}

// Bakes the font's size into every glyph mesh and gives it both texture
// pairs. The glyph map holds one mesh per distinct character (a repeated
// character of the glyph set keeps only its last mesh), so walking the map
// touches each mesh exactly once; the set guards against a mesh shared by
// two characters all the same.
void prepareGlyphs(GlyphFont& font, float scale) {
  std::set<Mesh*> done;
  const Matrix size = uniformScale(scale);
  for (const auto& [character, mesh] : font.glyphs) {
    if (!mesh || !done.insert(mesh).second) continue;
    mesh->transform(size);
    meshmodify::Texgen(0, 0.1f).apply(*mesh);
    meshmodify::Texgen(1, 0.1f).apply(*mesh);
  }
}

void pipeMaterial(Material& m) {
  m.ambient = {0, 0, 0, 0};
  m.diffuse = {0.1f, 0.1f, 0.1f, 0.1f};
  m.specular = {0.3f, 0.3f, 0.3f, 0.3f};
  m.specularPower = 8.0f;
  m.texture = moonTexture;
  m.normalMap = moonNormalTexture;
}

void loloMaterial(Material& m) {
  m.ambient = {0.2f, 0.2f, 0.2f, 0.2f};
  m.diffuse = {4, 4, 4, 4};
  m.specular = {1, 1, 1, 1};
  m.specularPower = 8.0f;
  m.texture = moonTexture;
  m.normalMap = moonNormalTexture;
  m.bumpiness = 1.5f;
}

}  // namespace

bool prepareSingleMeshModel(INode* model, const ModelPreparation& preparation) {
  if (!model || model->children.empty()) return false;
  auto* instance = dynamic_cast<MeshInstance*>(model->children.front());
  if (!instance || instance->children.empty()) return false;
  auto* mesh = dynamic_cast<Mesh*>(instance->children.front());
  if (!mesh) return false;

  if (preparation.setMaterial) preparation.setMaterial(instance->material);
  mesh->data->normalsLocked = false;  // recomputed from the welded geometry
  mesh->data->weld = true;
  if (preparation.invertFaces) meshmodify::InvertFaces().apply(*mesh);
  mesh->transform(uniformScale(0.4f));
  meshmodify::Texgen(0, preparation.texgenScale0).apply(*mesh);
  meshmodify::Texgen(1, preparation.texgenScale1).apply(*mesh);
  return true;
}

void setupSharedAssets() {
  sharedImporter = new ModelImporter();

  EngineContext& context = EngineContext::get();
  moonTexture = context.createTexture(dataFileName("data/moon.jpg"));
  pumTexture = context.createTexture(dataFileName("data/pum.jpg"));
  moonNormalTexture = context.createTexture(dataFileName("data/moon_normal.jpg"));
  particleTexture = context.createTexture(dataFileName("data/partikle.png"));

  sharedImporter->flipNormals = true;
  sharedImporter->bumpFromDiffuse = true;
  sharedBlockModel = sharedImporter->import("data/block1.x");

  blockFont = new GlyphFont(kBlockFontFace, 0.1f);
  blockFont->create();
  prepareGlyphs(*blockFont, 50.0f);

  scriptFont = new GlyphFont(kScriptFontFace, 10.1f);
  scriptFont->create();
  prepareGlyphs(*scriptFont, 110.0f);

  captionMaterial = new Material();
  captionMaterial->ambient = {0, 0, 0, 0};
  captionMaterial->diffuse = {1, 1, 1, 1};
  captionMaterial->specular = {1, 1, 1, 1};

  // A model that could not be read (already reported by the importer) or
  // that is not one instance holding one mesh is left as it came.
  pipeModel = sharedImporter->import("data/piippu.3ds");
  prepareSingleMeshModel(pipeModel, {pipeMaterial, true, 0.5f, 1.4f});

  loloModel = sharedImporter->import("data/lolo.x");
  prepareSingleMeshModel(loloModel, {loloMaterial, false, 0.1f, 0.4f});

  overlayScene = new Scene();
  overlayCamera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  overlayScene->graph->camera = overlayCamera;
  overlayScene->lighting.ambient = {1, 1, 1, 1};
  overlayScene->lighting.diffuse = {1, 1, 1, 1};
  overlayScene->lighting.specular = {1, 1, 1, 1};
  overlayLight = new NodePointlight(20.0f, 0.0f, -15.0f, 15.0f, 2.0f, 100.0f, 1, 1, 1, 1);
  overlayScene->graph->root.addChild(overlayLight);
  overlayScene->registerLights(overlayLight);
  overlayLight->intensity = 5000.0f;
  overlayLight->power = 0.12f;
}

}  // namespace velm
