// Mesh instances against the recording device: the binding steps and their
// order, lights, blend and cull states, the extra outputs, the velocity
// transform, the mesh recursion, and the scene-aware TShader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/scene/scene_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

Matrix scaling(float x, float y, float z) {
  Matrix m = Matrix::identity();
  m.m[0][0] = x;
  m.m[1][1] = y;
  m.m[2][2] = z;
  return m;
}

void expectMatrixNear(const std::vector<float>& logged, const Matrix& expected, const std::string& what) {
  ASSERT_EQ(logged.size(), 16u) << what;
  for (int i = 0; i < 16; ++i) {
    const float e = expected.m[i / 4][i % 4];
    EXPECT_NEAR(logged[static_cast<size_t>(i)], e, 1e-4f + 1e-5f * std::fabs(e)) << what << " entry " << i;
  }
}

class MeshInstanceTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    scene = new Scene();
    camera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
    camera->position = {0, 2, -10};
    camera->target = {0, 0, 0};
    scene->graph->camera = camera;
  }
  void TearDown() override {
    delete scene;
    delete camera;
    instances.clear();
    for (Mesh* m : meshes) delete m;
    SceneTest::TearDown();
  }
  // A new instance with `meshCount` boxes, added to the scene's root.
  MeshInstance* addInstance(int meshCount = 1) {
    MeshInstance* instance = &instances.emplace_back();
    for (int i = 0; i < meshCount; ++i) {
      meshes.push_back(makeBox(1.0f));
      instance->addChild(meshes.back());
    }
    scene->graph->root.addChild(instance);
    return instance;
  }
  // Renders the scene at `time` and keeps only the calls made from then on.
  void renderAt(float time) {
    device->clearCalls();
    scene->render(time);
  }
  std::string surfaceName(RenderTarget* target) const { return gfx::RecordingDevice::nameOf(target->surface); }
  // The calls that shape one draw: effect calls other than parameter
  // setters, extra-target binds, render states and draws.
  std::vector<std::string> drawSequence() const {
    std::vector<std::string> out;
    for (const std::string& c : calls()) {
      const bool effectCall = c.rfind("effect#", 0) == 0 && c.find(".set") == std::string::npos;
      const bool technique = c.find(".setTechnique(") != std::string::npos;
      const bool extraTarget = c.rfind("setRenderTarget(", 0) == 0 && c.rfind("setRenderTarget(0", 0) != 0;
      if (effectCall || technique) out.push_back(c.substr(c.find('.') + 1));
      else if (extraTarget || c.rfind("setRenderState(", 0) == 0) out.push_back(c);
      else if (c.rfind("drawIndexedPrimitive(", 0) == 0) out.push_back("draw");
    }
    return out;
  }

  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  std::deque<MeshInstance> instances;  // nodes are not deleted through pointers
  std::vector<Mesh*> meshes;
};

TEST_F(MeshInstanceTest, InvisibleInstanceBindsAndSetsNothing) {
  MeshInstance* instance = addInstance();
  instance->visible = false;
  renderAt(1.0f);
  EXPECT_THAT(callsWith("effect"), IsEmpty());
  EXPECT_THAT(callsWith("setRenderState("), IsEmpty());
  EXPECT_THAT(callsWith("drawIndexedPrimitive"), IsEmpty());
  for (const char* slot : {"setRenderTarget(1,", "setRenderTarget(2,", "setRenderTarget(3,"})
    EXPECT_THAT(callsWith(slot), IsEmpty()) << slot;
}

TEST_F(MeshInstanceTest, DefaultMaterialRunsTheBindingStepsInOrder) {
  addInstance();
  renderAt(1.0f);
  EXPECT_THAT(effectSetters(),
              ElementsAre(
                  // the scene-aware TShader's shared pass
                  "setFloat(deltaTime)", "setFloat(time)", "setTexture(depthTex)", "setMatrix(viewProjection)",
                  "setMatrix(projection)", "setMatrix(projectionInv)", "setFloat(z_far)", "setFloat(z_near)",
                  // B2 to B7
                  "setVector(material.ambient)", "setVector(material.diffuse)", "setVector(material.specular)",
                  "setFloat(material.specularPower)", "setFloat(deltaTime)", "setFloat(time)",
                  "setBool(material.lightBleedEnabled)", "setFloat(material.limitIllumination)",
                  "setVector(environmentAmbient)", "setTexture(tex)", "setBool(enableNormalmap)",
                  "setFloat(material.bumpiness)", "setInt(blendMode)", "setFloat(blendFactor)",
                  "setBool(enableDirectionallight)",
                  // B9 (no lights in the scene)
                  "setInt(pointLightAmount)",
                  // per mesh
                  "setMatrix(worldViewProjection)", "setMatrix(worldViewProjInv)", "setMatrix(world)",
                  "setMatrix(viewProjection)", "setMatrix(worldView)", "setMatrix(worldInv)",
                  "setMatrix(velocityTransform)"));
  EXPECT_THAT(drawSequence(),
              ElementsAre("setRenderTarget(3, " + surfaceName(scene->distortionTarget()) + ")",
                          "setRenderTarget(2, " + surfaceName(scene->depthTarget()) + ")", "setRenderState(27, 0)",
                          "setRenderState(7, 1)", "setRenderState(14, 1)", "setTechnique(SolidObject)", "begin(0)",
                          "beginPass(0)", "setRenderState(22, 3)", "commitChanges()", "draw", "endPass()", "end()",
                          "setRenderTarget(3, null)", "setRenderTarget(2, null)"));
  ASSERT_EQ(EffectRegistry::get().entries.size(), 1u);
  EXPECT_EQ(EffectRegistry::get().entries[0].name, "SolidObject.fxo");

  // Values of the material steps: scene colours times material colours.
  scene->lighting.ambient = {2, 2, 2, 2};
  instances[0].material.ambient = {0.1f, 0.2f, 0.3f, 1.0f};
  renderAt(2.0f);
  const auto ambient = callsWith(".setVector(material.ambient");
  ASSERT_EQ(ambient.size(), 1u);
  EXPECT_THAT(loggedFloats(ambient[0]), ElementsAre(0.2f, 0.4f, 0.6f, 2.0f));
  EXPECT_THAT(callsWith(".setVector(environmentAmbient"), ElementsAre(::testing::EndsWith("[0 0 0 0])")));
  EXPECT_THAT(callsWith(".setTexture(tex"), ElementsAre(::testing::EndsWith("tex, null)")));
}

TEST_F(MeshInstanceTest, TechniqueNameComesFromTheMaterial) {
  MeshInstance* instance = addInstance();
  instance->material.technique = "TwirlObject";
  renderAt(1.0f);
  EXPECT_THAT(callsWith("setTechnique"), ElementsAre(::testing::EndsWith(".setTechnique(TwirlObject)")));
}

TEST_F(MeshInstanceTest, LightBleedAndNormalMapAreSentOnlyWhenSet) {
  MeshInstance* instance = addInstance();
  Texture normalMap;
  instance->material.lightBleed = 100.0f;
  instance->material.normalMap = &normalMap;
  renderAt(1.0f);
  const auto setters = effectSetters();
  auto position = [&](const std::string& s) { return std::find(setters.begin(), setters.end(), s) - setters.begin(); };
  EXPECT_EQ(position("setBool(material.lightBleedEnabled)"), position("setFloat(material.lightBleed)") + 1);
  EXPECT_EQ(position("setTexture(normalmap)"), position("setBool(enableNormalmap)") + 1);
  EXPECT_THAT(callsWith(".setBool(material.lightBleedEnabled"), ElementsAre(::testing::EndsWith(", true)")));
  EXPECT_THAT(callsWith(".setBool(enableNormalmap"), ElementsAre(::testing::EndsWith(", true)")));
}

TEST_F(MeshInstanceTest, PointLightsAreSentWithTheirWorldPositionsAndColours) {
  MeshInstance* instance = addInstance();
  instance->material.receivesDirectional = false;  // still gets every point light
  scene->lighting.directionalEnabled = true;
  NodePointlight first(1, 2, 3, 7.0f, 1.0f, 250.0f, 1.0f, 0.5f, 0.25f, 1.0f);
  NodePointlight second(0, 0, 0, 2.0f, 0.12f, 10.0f, 0.5f, 0.2f, 0.3f, 1.0f);
  DummyNode group;
  group.transform = translationMatrix(10, 0, 0);
  group.addChild(&second);
  scene->graph->root.addChild(&first);
  scene->graph->root.addChild(&group);
  renderAt(1.0f);
  std::vector<std::string> lightCalls;
  for (const std::string& c : calls())
    if (c.find("pointLight") != std::string::npos) lightCalls.push_back(c.substr(c.find('.') + 1));
  EXPECT_THAT(lightCalls, ElementsAre("setInt(pointLightAmount, 2)", "setVector(pointLight[0].position, [1 2 3 1])",
                                      "setVector(pointLight[0].color, [7 3.5 1.75 7])",
                                      "setFloat(pointLight[0].power, 1)", "setFloat(pointLight[0].intensity, 7)",
                                      "setVector(pointLight[1].position, [10 0 0 1])",
                                      "setVector(pointLight[1].color, [1 0.4 0.6 2])",
                                      "setFloat(pointLight[1].power, 0.12)", "setFloat(pointLight[1].intensity, 2)"));
  EXPECT_THAT(callsWith("directionallight"), IsEmpty());
  EXPECT_THAT(callsWith(".setBool(enableDirectionallight"), ElementsAre(::testing::EndsWith(", false)")));
}

TEST_F(MeshInstanceTest, PointLightIndexesAreOneCharacter) {
  addInstance();
  std::vector<NodePointlight*> lights;
  for (int i = 0; i < 11; ++i) {
    lights.push_back(new NodePointlight(0, 0, 0, 1, 1, 1, 1, 1, 1, 1));
    scene->graph->root.addChild(lights.back());
  }
  renderAt(1.0f);
  std::vector<std::string> positions;
  for (const std::string& c : callsWith(".position,")) positions.push_back(c.substr(c.find("pointLight")));
  ASSERT_EQ(positions.size(), 11u);
  EXPECT_EQ(positions[0].substr(0, 23), "pointLight[0].position,");
  EXPECT_EQ(positions[9].substr(0, 23), "pointLight[9].position,");
  EXPECT_EQ(positions[10].substr(0, 23), "pointLight[:].position,") << "the eleventh has no digit name";
  EXPECT_THAT(callsWith("pointLightAmount"), ElementsAre(::testing::EndsWith("pointLightAmount, 11)")));
  for (NodePointlight* l : lights) delete l;
}

TEST_F(MeshInstanceTest, DirectionalLightNeedsSceneMaterialAndLighting) {
  MeshInstance* instance = addInstance();
  scene->lighting.directionalEnabled = true;
  scene->lighting.direction = {0, -1, 0.5f};
  scene->lighting.directionalColour = {1, 0.5f, 0.25f, 1};
  scene->lighting.directionalIntensity = 2;
  renderAt(1.0f);
  std::vector<std::string> directional;
  for (const std::string& c : calls())
    if (c.find("irectional") != std::string::npos) directional.push_back(c.substr(c.find('.') + 1));
  EXPECT_THAT(directional, ElementsAre("setFloatArray(directionallight.dir, [0 -1 0.5])",
                                       "setVector(directionallight.color, [2 1 0.5 2])",
                                       "setBool(enableDirectionallight, true)"));
  instance->material.lit = false;
  renderAt(2.0f);
  EXPECT_THAT(callsWith("directionallight"), IsEmpty());
  EXPECT_THAT(callsWith(".setBool(enableDirectionallight"), ElementsAre(::testing::EndsWith(", false)")));
}

TEST_F(MeshInstanceTest, UnlitMaterialSendsNoLightsAndDerivesNoNormals) {
  MeshInstance* instance = addInstance();
  Texture normalMap;
  instance->material.lit = false;
  instance->material.normalMap = &normalMap;
  scene->lighting.directionalEnabled = true;
  NodePointlight light(0, 5, 0, 7, 1, 250, 1, 1, 1, 1);
  scene->graph->root.addChild(&light);
  renderAt(1.0f);
  EXPECT_THAT(callsWith("pointLight"), ElementsAre(::testing::EndsWith(".setInt(pointLightAmount, 0)")));
  EXPECT_THAT(callsWith(".setBool(enableDirectionallight"), ElementsAre(::testing::EndsWith(", false)")));
  EXPECT_THAT(callsWith("drawIndexedPrimitive"), ::testing::SizeIs(1)) << "the mesh is still drawn";
  const EditableModel& model = *meshes[0]->data->edit;
  EXPECT_FALSE(model.vertexNormalsCurrent);
  EXPECT_FALSE(model.tangentsCurrent);
  for (VertexBase* v : model.vertices) EXPECT_EQ(*v->normal(), (Vector3{0, 0, 0}));

  // The same mesh drawn lit with a normal map gets both.
  Mesh* litMesh = makeBox(1.0f);
  meshes.push_back(litMesh);
  MeshInstance* lit = addInstance(0);
  lit->addChild(litMesh);
  lit->material.normalMap = &normalMap;
  renderAt(2.0f);
  EXPECT_TRUE(litMesh->data->edit->vertexNormalsCurrent);
  EXPECT_TRUE(litMesh->data->edit->tangentsCurrent);
  EXPECT_EQ(*litMesh->data->edit->vertices[0]->normal(), (Vector3{0, 0, -1}));
}

TEST_F(MeshInstanceTest, ExtraOutputsFollowTheVelocityTarget) {
  addInstance();
  renderAt(1.0f);
  EXPECT_THAT(callsWith("velocityScale"), IsEmpty());
  EXPECT_THAT(callsWith("setRenderTarget(1,"), IsEmpty());

  scene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  scene->lighting.velocityScale = 0.3f;
  renderAt(2.0f);
  EXPECT_THAT(callsWith("velocityScale"), ElementsAre(::testing::EndsWith(".setFloat(velocityScale, 0.3)")));
  std::vector<std::string> binds;
  for (const std::string& c : calls())
    if (c.rfind("setRenderTarget(", 0) == 0 && c.rfind("setRenderTarget(0", 0) != 0) binds.push_back(c);
  EXPECT_THAT(binds, ElementsAre("setRenderTarget(1, " + surfaceName(scene->velocityTarget()) + ")",
                                 "setRenderTarget(3, " + surfaceName(scene->distortionTarget()) + ")",
                                 "setRenderTarget(2, " + surfaceName(scene->depthTarget()) + ")",
                                 "setRenderTarget(1, null)", "setRenderTarget(3, null)", "setRenderTarget(2, null)"));
  const auto setters = effectSetters();
  auto position = [&](const std::string& s) { return std::find(setters.begin(), setters.end(), s) - setters.begin(); };
  EXPECT_EQ(position("setFloat(velocityScale)"), position("setBool(enableDirectionallight)") + 1);
}

struct BlendCase {
  int32_t mode;
  std::vector<std::string> states;
};

TEST_F(MeshInstanceTest, BlendModesSetTheirStatesBeforeBegin) {
  const BlendCase cases[] = {
      {0, {"setRenderState(27, 0)"}},
      {1, {"setRenderState(27, 1)", "setRenderState(19, 5)", "setRenderState(20, 2)", "setRenderState(171, 1)"}},
      {2, {"setRenderState(27, 1)", "setRenderState(19, 5)", "setRenderState(20, 6)", "setRenderState(171, 1)"}},
      {7, {"setRenderState(27, 0)"}},
  };
  MeshInstance* instance = addInstance();
  float time = 1.0f;
  for (const BlendCase& c : cases) {
    instance->material.blendMode = c.mode;
    renderAt(time += 1.0f);
    std::vector<std::string> expected = c.states;
    expected.insert(expected.end(), {"setRenderState(7, 1)", "setRenderState(14, 1)", "setRenderState(22, 3)"});
    EXPECT_THAT(callsWith("setRenderState("), ElementsAreArray(expected)) << "blend mode " << c.mode;
    EXPECT_THAT(callsWith(".setInt(blendMode"),
                ElementsAre(::testing::EndsWith("blendMode, " + std::to_string(c.mode) + ")")));
  }
}

TEST_F(MeshInstanceTest, MirroredWorldMatrixSwitchesCullingForThatMeshOnly) {
  MeshInstance* instance = addInstance(2);
  static_cast<INode*>(meshes[0])->transform = scaling(-1, 1, 1);
  renderAt(1.0f);
  EXPECT_THAT(callsWith("setRenderState(22,"), ElementsAre("setRenderState(22, 2)", "setRenderState(22, 3)"));

  // A mirrored instance mirrors both meshes back to normal for the first.
  instance->transform = scaling(1, 1, -1);
  renderAt(2.0f);
  EXPECT_THAT(callsWith("setRenderState(22,"), ElementsAre("setRenderState(22, 3)", "setRenderState(22, 2)"));
}

TEST_F(MeshInstanceTest, PerMeshMatricesComposeLocalTransformsUnderTheInstance) {
  MeshInstance* instance = addInstance();
  DummyNode group;
  group.transform = translationMatrix(0, 0, 5);
  scene->graph->root.removeChild(instance);
  scene->graph->root.addChild(&group);
  group.addChild(instance);
  instance->transform = rotationY(0.5f);
  static_cast<INode*>(meshes[0])->transform = translationMatrix(1, 0, 0);
  renderAt(1.0f);
  const Matrix world = translationMatrix(1, 0, 0) * rotationY(0.5f) * translationMatrix(0, 0, 5);
  const Matrix viewProjection = camera->view() * camera->projection();
  auto logged = [&](const std::string& name) {
    const auto found = callsWith(".setMatrix(" + name + ",");
    return found.empty() ? std::vector<float>{} : loggedFloats(found.back());
  };
  expectMatrixNear(logged("world"), world, "world");
  expectMatrixNear(logged("worldViewProjection"), world * viewProjection, "worldViewProjection");
  expectMatrixNear(logged("worldView"), world * camera->view(), "worldView");
  expectMatrixNear(logged("worldInv"), inverse(world), "worldInv");
  expectMatrixNear(logged("worldViewProjInv"), inverse(world * viewProjection), "worldViewProjInv");
  expectMatrixNear(logged("viewProjection"), viewProjection, "viewProjection");
}

TEST_F(MeshInstanceTest, VelocityTransformIsTheInstancesStepInTheMotionHistory) {
  MeshInstance* instance = addInstance(2);
  const Matrix viewProjection = camera->viewProjection();
  auto velocityTransforms = [&]() {
    std::vector<std::vector<float>> out;
    for (const std::string& c : callsWith(".setMatrix(velocityTransform,")) out.push_back(loggedFloats(c));
    return out;
  };
  renderAt(1.0f);
  auto first = velocityTransforms();
  ASSERT_EQ(first.size(), 2u);
  expectMatrixNear(first[0], difference(viewProjection, Matrix::identity()), "first render: from the identity");
  EXPECT_EQ(first[0], first[1]) << "every mesh of the instance shares it";

  instance->transform = translationMatrix(2, 0, 0);
  renderAt(2.0f);
  const Matrix step = difference(translationMatrix(2, 0, 0) * viewProjection, viewProjection);
  expectMatrixNear(velocityTransforms()[0], step, "after moving");
  const auto moved = velocityTransforms();

  renderAt(2.005f);  // drawn again without a history update
  EXPECT_EQ(velocityTransforms(), moved);
}

TEST_F(MeshInstanceTest, InstanceWithoutMeshesStillBindsAndEnds) {
  MeshInstance* instance = &instances.emplace_back();
  DummyNode notAMesh;
  instance->addChild(&notAMesh);
  scene->graph->root.addChild(instance);
  renderAt(1.0f);
  EXPECT_THAT(drawSequence(),
              ElementsAre("setRenderTarget(3, " + surfaceName(scene->distortionTarget()) + ")",
                          "setRenderTarget(2, " + surfaceName(scene->depthTarget()) + ")", "setRenderState(27, 0)",
                          "setRenderState(7, 1)", "setRenderState(14, 1)", "setTechnique(SolidObject)", "begin(0)",
                          "beginPass(0)", "endPass()", "end()", "setRenderTarget(3, null)", "setRenderTarget(2, null)"));
  EXPECT_THAT(callsWith("worldViewProjection"), IsEmpty());
}

TEST_F(MeshInstanceTest, BoundsIsAlwaysTheEmptyBox) {
  MeshInstance* instance = addInstance();
  const BoundingBox box = instance->bounds();
  EXPECT_EQ(box.minimum, (Vector3{10000, 10000, 10000}));
  EXPECT_EQ(box.maximum, (Vector3{-10000, -10000, -10000}));
}

TEST_F(MeshInstanceTest, SceneAwareShaderFeedsTimeDepthAndCamera) {
  scene->render(3.0f);  // deltaTime 4, time 3
  device->clearCalls();
  {
    TShader shader(dataFileName("SolidObject.fxo"), "SolidObject", scene);
    ASSERT_NE(shader.effect, nullptr);
  }
  std::vector<std::string> pass;
  for (const std::string& c : calls())
    if (c.rfind("effect#", 0) == 0) pass.push_back(c.substr(c.find('.') + 1));
  ASSERT_EQ(pass.size(), 8u);
  EXPECT_EQ(pass[0], "setFloat(deltaTime, 4)");
  EXPECT_EQ(pass[1], "setFloat(time, 3)");
  EXPECT_EQ(pass[2], "setTexture(depthTex, " + gfx::RecordingDevice::nameOf(scene->depthTarget()->texture) + ")");
  EXPECT_EQ(pass[3].substr(0, 25), "setMatrix(viewProjection,");
  expectMatrixNear(loggedFloats(pass[3]), camera->view() * camera->projection(), "viewProjection");
  expectMatrixNear(loggedFloats(pass[4]), camera->projection(), "projection");
  expectMatrixNear(loggedFloats(pass[5]), inverse(camera->projection()), "projectionInv");
  EXPECT_EQ(pass[6], "setFloat(z_far, 200)");
  EXPECT_EQ(pass[7], "setFloat(z_near, 1)");

  scene->graph->camera = nullptr;
  device->clearCalls();
  { TShader shader(dataFileName("SolidObject.fxo"), "SolidObject", scene); }
  EXPECT_THAT(effectSetters(), ElementsAre("setFloat(deltaTime)", "setFloat(time)", "setTexture(depthTex)"));
  device->clearCalls();
  { TShader shader(dataFileName("SolidObject.fxo"), "SolidObject", nullptr); }
  EXPECT_THAT(effectSetters(), IsEmpty());
}

}  // namespace
}  // namespace velm::testing
