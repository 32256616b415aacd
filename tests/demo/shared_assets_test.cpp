#include "demo/shared_assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "geometry/model_importer.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "text/glyph_font.h"
#include "tests/demo/workshop_test_support.h"

namespace velm {
namespace {

class SharedAssetsTest : public workshop_testing::DemoTest {};

void expectColour(const Colour& c, float r, float g, float b, float a, const std::string& what) {
  EXPECT_FLOAT_EQ(c.r, r) << what;
  EXPECT_FLOAT_EQ(c.g, g) << what;
  EXPECT_FLOAT_EQ(c.b, b) << what;
  EXPECT_FLOAT_EQ(c.a, a) << what;
}

bool near(Vector3 a, Vector3 b, float tolerance) {
  return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance;
}

// The mesh a prepared single-mesh model holds.
Mesh* meshOf(INode* model) {
  if (!model || model->children.empty()) return nullptr;
  INode* instance = model->children.front();
  return instance->children.empty() ? nullptr : dynamic_cast<Mesh*>(instance->children.front());
}

MeshInstance* instanceOf(INode* model) {
  return model && !model->children.empty() ? dynamic_cast<MeshInstance*>(model->children.front()) : nullptr;
}

// Whether `b` is `a` turned round (same cyclic order, any start).
bool sameCycle(const std::vector<Vector3>& a, const std::vector<Vector3>& b, float tolerance) {
  if (a.size() != b.size()) return false;
  for (size_t start = 0; start < a.size(); ++start) {
    bool all = true;
    for (size_t k = 0; k < a.size() && all; ++k) all = near(a[(start + k) % a.size()], b[k], tolerance);
    if (all) return true;
  }
  return false;
}

std::vector<Vector3> cornerPositions(const FaceBase& face, float scale) {
  std::vector<Vector3> out;
  for (VertexBase* v : cornerList(face)) out.push_back(*v->position() * scale);
  return out;
}

TEST_F(SharedAssetsTest, SharedAssetsAreBuiltInTheirFinalState) {
  registerFontResources();
  setupSharedAssets();

  ASSERT_NE(sharedImporter, nullptr);
  EXPECT_TRUE(sharedImporter->flipNormals);
  EXPECT_TRUE(sharedImporter->bumpFromDiffuse);

  const std::set<Texture*> textures{moonTexture, pumTexture, moonNormalTexture, particleTexture};
  EXPECT_EQ(textures.size(), 4u);
  for (Texture* texture : textures) {
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->getTexture(), nullptr) << "a texture without its picture";
  }
  ASSERT_NE(sharedBlockModel, nullptr);
  EXPECT_FALSE(sharedBlockModel->children.empty());

  ASSERT_NE(captionMaterial, nullptr);
  const Material defaults;
  expectColour(captionMaterial->ambient, 0, 0, 0, 0, "caption ambient");
  expectColour(captionMaterial->diffuse, 1, 1, 1, 1, "caption diffuse");
  expectColour(captionMaterial->specular, 1, 1, 1, 1, "caption specular");
  EXPECT_EQ(captionMaterial->specularPower, defaults.specularPower);
  EXPECT_EQ(captionMaterial->texture, nullptr);
  EXPECT_EQ(captionMaterial->bumpiness, defaults.bumpiness);
  EXPECT_EQ(captionMaterial->lit, defaults.lit);

  ASSERT_NE(overlayScene, nullptr);
  ASSERT_NE(overlayCamera, nullptr);
  EXPECT_EQ(overlayScene->graph->camera, overlayCamera);
  EXPECT_FLOAT_EQ(overlayCamera->fieldOfView, 1.3f);
  EXPECT_FLOAT_EQ(overlayCamera->nearPlane, 1.0f);
  EXPECT_FLOAT_EQ(overlayCamera->farPlane, 200.0f);
  EXPECT_EQ(overlayScene->graph->velocityTarget, nullptr) << "overlay glyphs write no velocity";
  expectColour(overlayScene->lighting.ambient, 1, 1, 1, 1, "overlay ambient");
  expectColour(overlayScene->lighting.diffuse, 1, 1, 1, 1, "overlay diffuse");
  expectColour(overlayScene->lighting.specular, 1, 1, 1, 1, "overlay specular");
  ASSERT_NE(overlayLight, nullptr);
  EXPECT_EQ(overlayScene->graph->root.children, std::list<INode*>{overlayLight});
  EXPECT_EQ(overlayScene->graph->registeredLights, std::list<NodePointlight*>{overlayLight});
  EXPECT_FLOAT_EQ(overlayLight->intensity, 5000.0f);
  EXPECT_FLOAT_EQ(overlayLight->power, 0.12f);
  EXPECT_FLOAT_EQ(overlayLight->range, 100.0f);
  expectColour(overlayLight->colour, 1, 1, 1, 1, "overlay light");
  EXPECT_TRUE(near(translationOf(overlayLight->transform), {20, 0, -15}, 0.0f));
}

// Each glyph mesh is the font's raw glyph scaled once (a second pass over a
// repeated character would square the scale) and carries both texture pairs.
TEST_F(SharedAssetsTest, EveryDistinctGlyphIsScaledAndMappedExactlyOnce) {
  registerFontResources();
  setupSharedAssets();
  const struct {
    GlyphFont* font;
    const char* face;
    float extrusion;
    float scale;
  } fonts[] = {{blockFont, kBlockFontFace, 0.1f, 50.0f}, {scriptFont, kScriptFontFace, 10.1f, 110.0f}};

  for (const auto& f : fonts) {
    SCOPED_TRACE(f.face);
    ASSERT_NE(f.font, nullptr);
    GlyphFont raw(f.face, f.extrusion);
    raw.create();
    EXPECT_EQ(f.font->glyphs.size(), 70u);
    for (char c : std::string(kGlyphSet)) {
      SCOPED_TRACE(std::string("character ") + c);
      Mesh* prepared = f.font->glyph(c);
      Mesh* reference = raw.glyph(c);
      ASSERT_NE(prepared, nullptr);
      ASSERT_NE(reference, nullptr);
      const std::vector<VertexBase*>& got = prepared->vertices();
      const std::vector<VertexBase*>& want = reference->vertices();
      ASSERT_EQ(got.size(), want.size());
      ASSERT_FALSE(got.empty());
      bool mapped = false;
      for (size_t i = 0; i < got.size(); ++i) {
        const Vector3 expected = *want[i]->position() * f.scale;
        ASSERT_TRUE(near(*got[i]->position(), expected, 1e-4f * f.scale))
            << "vertex " << i << " at " << got[i]->position()->x << ", " << got[i]->position()->y;
        const TexCoord t0 = *got[i]->texcoord0(), t1 = *got[i]->texcoord1();
        ASSERT_FLOAT_EQ(t0.u, t1.u);
        ASSERT_FLOAT_EQ(t0.v, t1.v);
        mapped = mapped || t0.u != 0.0f || t0.v != 0.0f;
      }
      EXPECT_TRUE(mapped) << "texture pairs were not written";
    }
  }
}

TEST_F(SharedAssetsTest, PipeAndLoloArePreparedFromTheirImports) {
  registerFontResources();
  setupSharedAssets();
  const struct {
    INode* model;
    const char* file;
    bool inverted;
    float texgen0, texgen1;
    Colour ambient, diffuse, specular;
    float bumpiness;
  } models[] = {
      {pipeModel, "data/piippu.3ds", true, 0.5f, 1.4f, {0, 0, 0, 0}, {0.1f, 0.1f, 0.1f, 0.1f},
       {0.3f, 0.3f, 0.3f, 0.3f}, -1.0f},
      {loloModel, "data/lolo.x", false, 0.1f, 0.4f, {0.2f, 0.2f, 0.2f, 0.2f}, {4, 4, 4, 4}, {1, 1, 1, 1}, 1.5f},
  };
  for (const auto& m : models) {
    SCOPED_TRACE(m.file);
    MeshInstance* instance = instanceOf(m.model);
    Mesh* mesh = meshOf(m.model);
    ASSERT_NE(instance, nullptr);
    ASSERT_NE(mesh, nullptr);
    const Material& material = instance->material;
    expectColour(material.ambient, m.ambient.r, m.ambient.g, m.ambient.b, m.ambient.a, "ambient");
    expectColour(material.diffuse, m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a, "diffuse");
    expectColour(material.specular, m.specular.r, m.specular.g, m.specular.b, m.specular.a, "specular");
    EXPECT_FLOAT_EQ(material.specularPower, 8.0f);
    EXPECT_EQ(material.texture, moonTexture);
    EXPECT_EQ(material.normalMap, moonNormalTexture);
    if (m.bumpiness > 0) {
      EXPECT_FLOAT_EQ(material.bumpiness, m.bumpiness);
    }
    EXPECT_FALSE(mesh->data->normalsLocked);
    EXPECT_TRUE(mesh->data->weld);

    // The same file read again, welded the same way, is the unscaled and
    // unmapped original to compare with.
    ModelImporter importer;
    importer.flipNormals = importer.bumpFromDiffuse = true;
    Mesh* original = meshOf(importer.import(m.file));
    ASSERT_NE(original, nullptr);
    original->data->weld = true;
    const std::vector<FaceBase*>& want = original->faces();
    const std::vector<FaceBase*>& got = mesh->faces();
    ASSERT_EQ(got.size(), want.size());
    ASSERT_FALSE(got.empty());
    for (size_t i = 0; i < got.size(); ++i) {
      std::vector<Vector3> expected = cornerPositions(*want[i], 0.4f);
      if (m.inverted) std::reverse(expected.begin(), expected.end());
      ASSERT_TRUE(sameCycle(expected, cornerPositions(*got[i], 1.0f), 1e-4f)) << "face " << i;
    }
    // Both pairs come from one projection, so they differ only by the ratio of the scales.
    const float ratio = m.texgen1 / m.texgen0;
    bool mapped = false;
    for (VertexBase* v : mesh->vertices()) {
      const TexCoord t0 = *v->texcoord0(), t1 = *v->texcoord1();
      ASSERT_NEAR(t1.u, ratio * t0.u, 1e-4f * (1.0f + std::fabs(t1.u)));
      ASSERT_NEAR(t1.v, ratio * t0.v, 1e-4f * (1.0f + std::fabs(t1.v)));
      mapped = mapped || t0.u != 0.0f;
    }
    EXPECT_TRUE(mapped);
  }
}

int materialCalls = 0;
void countMaterial(Material&) { ++materialCalls; }

TEST(SharedAssetPreparation, ModelsOfAnotherShapeAreLeftAlone) {
  DummyNode empty;
  DummyNode withGroup;
  DummyNode group;
  withGroup.addChild(&group);
  DummyNode withBareInstance;
  MeshInstance bare;
  withBareInstance.addChild(&bare);
  DummyNode withInstanceOfGroup;
  MeshInstance holder;
  DummyNode notAMesh;
  holder.addChild(&notAMesh);
  withInstanceOfGroup.addChild(&holder);

  const struct {
    INode* model;
    const char* what;
  } cases[] = {{nullptr, "no model"},
               {&empty, "a root without children"},
               {&withGroup, "a group where the instance should be"},
               {&withBareInstance, "an instance without a mesh"},
               {&withInstanceOfGroup, "an instance holding a group"}};
  for (const auto& c : cases) {
    materialCalls = 0;
    EXPECT_FALSE(prepareSingleMeshModel(c.model, {countMaterial, true, 0.5f, 1.4f})) << c.what;
    EXPECT_EQ(materialCalls, 0) << c.what;
  }
}

// Without the data folder nothing can be read: every missing file is said
// once, the models stay null, and the rest is still built.
TEST_F(SharedAssetsTest, SharedAssetsSurviveMissingFiles) {
  const std::filesystem::path saved = std::filesystem::current_path();
  std::string pattern = (std::filesystem::temp_directory_path() / "velm-shared-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  std::filesystem::current_path(pattern);
  setupSharedAssets();
  std::filesystem::current_path(saved);
  std::filesystem::remove_all(pattern);

  EXPECT_EQ(sharedBlockModel, nullptr);
  EXPECT_EQ(pipeModel, nullptr);
  EXPECT_EQ(loloModel, nullptr);
  ASSERT_NE(overlayLight, nullptr);
  EXPECT_FLOAT_EQ(overlayLight->intensity, 5000.0f);
  ASSERT_NE(captionMaterial, nullptr);
  EXPECT_FALSE(messages.empty());
  for (const auto& [title, text] : messages) EXPECT_EQ(text, "Couldn't open file!") << title;
  messages.clear();
  EXPECT_TRUE(platform::takeQuitMessage());
}

}  // namespace
}  // namespace velm
