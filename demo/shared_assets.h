// The production's shared assets: the one model importer the scene set-ups
// share, four textures, three small imported models prepared as building
// blocks (the arm block, the organ pipe and the lolo), the two glyph fonts
// with their glyphs scaled and texture-mapped, the caption material, and the
// small overlay scene the harmonium shows its captions in. setupSharedAssets()
// builds all of it once, before any scene set-up; nothing here is ever freed,
// and nothing here is attached to a scene except the overlay light.
#pragma once

namespace velm {

class GlyphFont;
class INode;
class ModelImporter;
class NodePointlight;
class PerspectiveCamera;
class Scene;
class Texture;
struct Material;

// Both options (flipNormals, bumpFromDiffuse) true after the set-up; later
// set-ups change them as they need and leave them so.
extern ModelImporter* sharedImporter;

extern Texture* moonTexture;        // "data/moon.jpg": pipe and lolo surfaces, the chain scene's room
extern Texture* pumTexture;         // "data/pum.jpg"
extern Texture* moonNormalTexture;  // "data/moon_normal.jpg": pipe and lolo normal maps
extern Texture* particleTexture;    // "data/partikle.png": the harmonium smoke

// "data/block1.x", not attached anywhere: hung under many parents.
extern INode* sharedBlockModel;

// "ShadowedBlackWide", extrusion 0.1, glyph meshes scaled by 50.
extern GlyphFont* blockFont;
// "ChopinScript", extrusion 10.1, glyph meshes scaled by 110.
extern GlyphFont* scriptFont;
// Every caption glyph: ambient 0, diffuse 1, specular 1, the rest default.
extern Material* captionMaterial;

// "data/piippu.3ds" and "data/lolo.x", prepared (material, recomputed and
// welded normals, scale 0.4, both texture-coordinate pairs; the pipe's faces
// inverted). Null when the file could not be read.
extern INode* pipeModel;
extern INode* loloModel;

// The overlay scene (no velocity target), its camera (field of view 1.3,
// planes 1 and 200) and its one light, at (20, 0, -15) with intensity 5000,
// power 0.12, range 100 and white colour.
extern Scene* overlayScene;
extern PerspectiveCamera* overlayCamera;
extern NodePointlight* overlayLight;

// Builds everything above, in a fixed order. Run once by the loader before
// every scene set-up.
void setupSharedAssets();

// The preparation of one imported single-mesh model: the root's first child
// is the MeshInstance, whose first child is the Mesh. Sets the instance's
// material through `setMaterial`, unlocks and welds the mesh, inverts its
// faces when asked, scales it by 0.4 and writes texture pairs 0 and 1 with
// the two scales. Returns false (and touches nothing) when the model is null
// or not of that shape.
struct ModelPreparation {
  void (*setMaterial)(Material& material);
  bool invertFaces;
  float texgenScale0;
  float texgenScale1;
};
bool prepareSingleMeshModel(INode* model, const ModelPreparation& preparation);

}  // namespace velm
