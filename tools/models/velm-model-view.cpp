// velm-model-view: looks at the production's models through the engine,
// headless. It imports a model the way its scene does (the same importer
// options and the same preparation of the pipe, the lolo and the statue),
// renders a turntable of stills with the solid-object effect and writes them
// side by side into one PNG. Three scene views place several models as their
// set-ups do, to check that they fit together. Run it from the repository
// root after a build (it reads data/).
//
//   velm-model-view [--views N] [--size WxH] [--elevation DEG] MODEL OUT.png
//   velm-model-view --town SECONDS OUT.png       the town at that music time
//   velm-model-view --workshop OUT.png           the room with the seven arms
//   velm-model-view --chain OUT.png              links of a chain and the statue
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/render_window.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "geometry/model_importer.h"
#include "geometry/modifiers.h"
#include "platform/messages.h"
#include "scene/camera.h"
#include "scene/catmull_rom_path.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using namespace velm;

struct Sheet {
  int viewWidth = 0, viewHeight = 0, columns = 1, rows = 1;
  std::vector<uint8_t> rgb;

  void start(int width, int height, int count) {
    viewWidth = width;
    viewHeight = height;
    columns = count == 4 ? 2 : std::min(count, 3);
    rows = (count + columns - 1) / columns;
    rgb.assign(static_cast<size_t>(width * columns) * height * rows * 3, 0);
  }
  // Copies a picture in; what nothing covered shows a dark backdrop.
  void place(int index, const gfx::Readback& picture) {
    const int ox = (index % columns) * viewWidth, oy = (index / columns) * viewHeight;
    for (int y = 0; y < viewHeight && y < static_cast<int>(picture.height); ++y)
      for (int x = 0; x < viewWidth && x < static_cast<int>(picture.width); ++x) {
        const uint8_t* p = &picture.bytes[(static_cast<size_t>(y) * picture.width + x) * 4];
        const double a = p[3] / 255.0;
        const double back = 40 + 30.0 * y / viewHeight;
        uint8_t* out = &rgb[(static_cast<size_t>(oy + y) * viewWidth * columns + ox + x) * 3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(std::lround(p[c] * a + back * (1 - a)));
      }
  }
  bool write(const std::string& path) const {
    return stbi_write_png(path.c_str(), viewWidth * columns, viewHeight * rows, 3, rgb.data(),
                          viewWidth * columns * 3) != 0;
  }
};

// How the production imports each file: (flipNormals, bumpFromDiffuse).
std::pair<bool, bool> productionOptions(const std::string& file) {
  const std::string name = file.substr(file.find_last_of('/') + 1);
  for (const char* flipped : {"block1.x", "talo.x", "SkyTeaPot.x", "harmonia.x", "lolo.x", "piippu.3ds"})
    if (name == flipped) return {true, true};
  return {false, true};
}

Mesh* firstMeshOf(INode* root) {
  root->firstChild();
  INode* instance = root->nextChild();
  if (!instance) return nullptr;
  instance->firstChild();
  return dynamic_cast<Mesh*>(instance->nextChild());
}

Matrix uniformScale(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
  return m;
}

// The preparation the shared-asset and chain set-ups give these models, and
// the turn (not the placement) each scene gives its model, so that every
// model stands as it stands in its scene.
void prepareAsTheScenesDo(const std::string& file, INode* root) {
  const std::string name = file.substr(file.find_last_of('/') + 1);
  Matrix& m = root->transform;
  if (name == "SkyTeaPot.x") m = rotationX(1.57f) * rotationY(1.57f);
  if (name == "ostrel2.x") {
    m = uniformScale(1.5f) * rotationX(3.1415f) * m;
    if (auto* text = dynamic_cast<MeshInstance*>(root->find("Text01"))) {
      Material& t = text->material;
      t.diffuse = {t.diffuse.r * 20, t.diffuse.g * 20, t.diffuse.b * 20, t.diffuse.a * 20};
      t.specular = {t.specular.r * 10, t.specular.g * 10, t.specular.b * 10, t.specular.a * 10};
    }
  }
  if (name == "brisamobile2.x")
    m = rotationX(-0.5f) * rotationY(0.7f) * rotationY(-1.57f) * rotationX(1.5707964f) * m;
  if (name == "town.x" || name == "valot.x") m = rotationY(-0.95f) * rotationX(1.2707963f) * m;
  for (int i = 1; i <= 9; ++i)
    if (auto* plane = dynamic_cast<MeshInstance*>(root->find("Plane0" + std::to_string(i)))) {
      plane->material.ambient = plane->material.diffuse = plane->material.specular = {1, 1, 1, 1};
      plane->material.technique = "AlphaObject";
    }
  for (int i = 1; i <= 3; ++i)
    if (auto* lamp = dynamic_cast<MeshInstance*>(root->find("valo0" + std::to_string(i)))) {
      lamp->material.ambient = {1, 1, 1, 1};
      lamp->material.diffuse = lamp->material.specular = {0, 0, 0, 0};
      lamp->material.technique = "AdditiveObject";
    }
  if (name == "talo.x") {
    Matrix squash = Matrix::identity();
    squash.m[2][2] = 0.8f;
    m = squash * rotationX(1.5707964f) * m;
  }
  if (name == "harmonia.x") m = uniformScale(14) * m;
  if (name == "chain.x") m = m * uniformScale(0.3f);

  Mesh* mesh = firstMeshOf(root);
  if (!mesh) return;
  if (name == "piippu.3ds" || name == "lolo.x") {
    mesh->data->normalsLocked = false;
    mesh->data->weld = true;
    if (name == "piippu.3ds") {
      meshmodify::InvertFaces invert;
      invert.apply(*mesh);
    }
    mesh->transform(uniformScale(0.4f));
    meshmodify::Texgen first(0, name == "piippu.3ds" ? 0.5f : 0.1f), second(1, name == "piippu.3ds" ? 1.4f : 0.4f);
    first.apply(*mesh);
    second.apply(*mesh);
  } else if (name == "liberty.x") {
    mesh->transform(uniformScale(0.25f));
  }
}

void clampColours(INode* node) {
  if (auto* instance = dynamic_cast<MeshInstance*>(node)) {
    Colour& d = instance->material.diffuse;
    const float top = std::max({d.r, d.g, d.b, 1.0f});
    d = {d.r / top, d.g / top, d.b / top, std::min(d.a, 1.0f)};
  }
  for (INode* child : node->children) clampColours(child);
}

// World-space bounds of every mesh below `node`.
void gatherBounds(INode* node, const Matrix& parent, Vector3& lo, Vector3& hi) {
  const Matrix world = node->transform * parent;
  if (auto* mesh = dynamic_cast<Mesh*>(node)) {
    for (VertexBase* v : mesh->vertices()) {
      const Vector3 p = transformPoint(*v->position(), world);
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
  }
  for (INode* child : node->children) gatherBounds(child, world, lo, hi);
}

struct Viewer {
  std::unique_ptr<RenderWindow> window;
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  NodePointlight* key = nullptr;
  NodePointlight* fill = nullptr;
  float time = 1.0f;

  bool start(int width, int height) {
    platform::setMessageBoxMode(platform::MessageBoxMode::StderrOnly);
    loadingInProgress = false;
    window = std::make_unique<RenderWindow>();
    window->settings.width = static_cast<uint32_t>(width);
    window->settings.height = static_cast<uint32_t>(height);
    window->createHeadlessDevice();
    if (!EngineContext::get().device) {
      std::fprintf(stderr, "velm-model-view: no headless OpenGL device\n");
      return false;
    }
    scene = new Scene();
    camera = new PerspectiveCamera(1.0f, 0.5f, 2000.0f);
    scene->graph->camera = camera;
    key = new NodePointlight(0, 0, 0, 1, 1, 100, 1.0f, 0.95f, 0.85f, 1);
    fill = new NodePointlight(0, 0, 0, 1, 1, 100, 0.5f, 0.6f, 0.8f, 1);
    scene->graph->root.addChild(key);
    scene->graph->root.addChild(fill);
    scene->registerLights(key);
    scene->registerLights(fill);
    scene->lighting.ambient = {2.5f, 2.5f, 2.5f, 1};
    return true;
  }

  void add(INode* node) {
    scene->graph->root.addChild(node);
    scene->registerLights(node);
  }

  // Lights placed about the camera, bright enough for the distance `d`.
  void lightFrom(Vector3 eye, Vector3 target, float d) {
    const Vector3 back = normalize(eye - target);
    const Vector3 side = normalize(cross({0, 1, 0}, back));
    setTranslation(key->transform, eye.x + side.x * d * 0.5f, eye.y + d * 0.6f, eye.z + side.z * d * 0.5f);
    setTranslation(fill->transform, eye.x - side.x * d, eye.y - d * 0.2f, eye.z - side.z * d);
    key->intensity = 1.6f * d;
    fill->intensity = 0.8f * d;
  }

  gfx::Readback shoot(Vector3 eye, Vector3 target) {
    camera->position = eye;
    camera->target = target;
    scene->render(time);
    time += 1.0f;
    gfx::Readback picture;
    EngineContext::get().device->readSurface(scene->output()->surface, &picture);
    return picture;
  }
};

int turntable(const std::string& file, const std::string& out, int views, int width, int height, float elevation) {
  Viewer viewer;
  if (!viewer.start(width, height)) return 1;
  ModelImporter importer;
  const auto [flip, bump] = productionOptions(file);
  importer.flipNormals = flip;
  importer.bumpFromDiffuse = bump;
  INode* model = importer.import(file);
  if (!model) return 1;
  prepareAsTheScenesDo(file, model);
  // The scenes' dim, distant lights call for diffuse colours above one; the
  // turntable's own lights are near, so it shows every colour at most one.
  clampColours(model);
  // The projection's w is the view depth plus one, so small models are shown
  // enlarged to a common size; the printed bounds are the model's own.
  auto* holder = new DummyNode();
  holder->addChild(model);
  viewer.add(holder);

  Vector3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  gatherBounds(model, Matrix::identity(), lo, hi);
  std::printf("%s: bounds (%.3f %.3f %.3f) .. (%.3f %.3f %.3f)\n", file.c_str(), lo.x, lo.y, lo.z, hi.x, hi.y,
              hi.z);
  const float enlarge = 20.0f / std::max(1e-6f, 0.5f * length(hi - lo));
  holder->transform = uniformScale(enlarge);
  lo = lo * enlarge;
  hi = hi * enlarge;
  const Vector3 centre = (lo + hi) * 0.5f;
  const float radius = 0.5f * length(hi - lo);
  const float distance = radius / std::tan(0.5f) * 0.95f;
  viewer.camera->nearPlane = std::max(0.001f, distance - radius * 1.5f);
  viewer.camera->farPlane = distance + radius * 2;
  Sheet sheet;
  sheet.start(width, height, views);
  for (int i = 0; i < views; ++i) {
    const float a = 2.0f * 3.14159265f * i / views + 0.6f;
    const float e = elevation * 3.14159265f / 180.0f;
    const Vector3 eye = centre + Vector3{std::sin(a) * std::cos(e), std::sin(e), -std::cos(a) * std::cos(e)} * distance;
    viewer.lightFrom(eye, centre, distance);
    sheet.place(i, viewer.shoot(eye, centre));
  }
  return sheet.write(out) ? 0 : 1;
}

// ---------------------------------------------------------------- scene views

INode* importFor(Viewer& viewer, ModelImporter& importer, const std::string& file, bool flip) {
  importer.flipNormals = flip;
  importer.bumpFromDiffuse = true;
  INode* node = importer.import(file);
  if (node) viewer.add(node);
  return node;
}

Matrix S(float s) { return uniformScale(s); }
Matrix T(float x, float y, float z) { return translationMatrix(x, y, z); }

// The town's set-up placements and its camera at music time `t` (the mobile
// drifting one unit a second from its set-up place).
int townView(float t, const std::string& out) {
  Viewer viewer;
  const int width = 960, height = 540;
  if (!viewer.start(width, height)) return 1;
  viewer.camera->fieldOfView = 1.3f;
  viewer.camera->nearPlane = 1.0f;
  viewer.camera->farPlane = 200.0f;
  ModelImporter importer;
  INode* sky = importFor(viewer, importer, "data/SkyTeaPot.x", true);
  INode* ostrel = importFor(viewer, importer, "data/ostrel2.x", false);
  INode* mobile = importFor(viewer, importer, "data/brisamobile2.x", false);
  INode* town = importFor(viewer, importer, "data/town.x", false);
  INode* lamps = importFor(viewer, importer, "data/valot.x", false);
  if (!sky || !ostrel || !mobile || !town || !lamps) return 1;
  sky->transform = rotationX(1.57f) * rotationY(1.57f) * S(50.1f) * T(0, -60, 0);
  sky->firstChild();
  if (auto* i = dynamic_cast<MeshInstance*>(sky->nextChild())) {
    i->material.ambient = {0.25f, 0.25f, 0.25f, 0.25f};
    i->material.diffuse = {10, 10, 10, 10};
    i->material.specular = {10, 10, 10, 10};
    i->material.technique = "skybox";
  }
  ostrel->transform = S(1.5f) * rotationX(3.1415f) * T(30, 90, 30) * ostrel->transform;
  if (auto* text = dynamic_cast<MeshInstance*>(ostrel->find("Text01"))) {
    text->material.diffuse = {0.75f, 0.75f, 0.75f, 0.75f};
    text->material.specular = {0.75f, 0.75f, 0.75f, 0.75f};
    text->material.specularPower = 10;
  }
  Matrix m = S(9) * T(0, -60, 0) * rotationY(-1.57f) * rotationX(1.5707964f) * T(10, 0, 0) * mobile->transform;
  m = rotationX(-0.5f) * rotationY(0.7f) * m;
  m = T(0, 0, 32) * m;
  mobile->transform = T(0, 0, -t) * m;
  town->transform = S(2) * rotationY(-0.95f) * rotationX(1.2707963f) * town->transform;
  for (int i = 1; i <= 9; ++i)
    if (auto* plane = dynamic_cast<MeshInstance*>(town->find("Plane0" + std::to_string(i)))) {
      plane->material.ambient = plane->material.diffuse = plane->material.specular = {1, 1, 1, 1};
      plane->material.technique = "AlphaObject";
    }
  lamps->transform = town->transform;
  for (int i = 1; i <= 3; ++i)
    if (auto* lamp = dynamic_cast<MeshInstance*>(lamps->find("valo0" + std::to_string(i)))) {
      lamp->material.ambient = {1, 1, 1, 1};
      lamp->material.diffuse = lamp->material.specular = {0, 0, 0, 0};
      lamp->material.technique = "AdditiveObject";
    }
  // The town's two lights, above the text.
  const Vector3 p = translationOf(ostrel->transform);
  setTranslation(viewer.key->transform, p.x + 40, p.y + 30, p.z + 10);
  setTranslation(viewer.fill->transform, p.x - 40, p.y + 30, p.z + 10);
  viewer.key->intensity = viewer.fill->intensity = 7.0f;
  viewer.key->colour = viewer.fill->colour = {1, 1, 1, 1};
  viewer.scene->lighting.ambient = {1, 1, 1, 1};

  CatmullRomPath cameraPath({6.75f, 19.5f, 84.5f}, {8.055f, 96.5f, 73.0f}, {9.86f, 33.5f, 21.0f}, {8.45f, 96.5f, 6.5f});
  CatmullRomPath targetPath({90.8f, 19.5f, 84.5f}, {130.0f, 96.5f, 73.0f}, {30.5f, 33.5f, 21.0f}, {33.5f, 96.5f, 6.5f});
  const float u = t * 0.03125f;
  const Vector3 c = cameraPath.evaluate(u);
  const float ty = targetPath.evaluate(u).x;
  const Vector3 eye{c.y * std::sin(0.4f * c.x), c.z, c.y * std::cos(0.4f * c.x)};
  const Vector3 target{2.4f * std::cos(0.01f * t), ty, 1.4f * std::sin(0.014f * t)};
  Sheet sheet;
  sheet.start(width, height, 1);
  sheet.place(0, viewer.shoot(eye, target));
  return sheet.write(out) ? 0 : 1;
}

// The room and the seven arms of four blocks in their rest pose, seen from
// the camera's usual place and from above.
int workshopView(const std::string& out) {
  Viewer viewer;
  const int width = 640, height = 360;
  if (!viewer.start(width, height)) return 1;
  viewer.camera->fieldOfView = 1.3f;
  viewer.camera->nearPlane = 1.0f;
  viewer.camera->farPlane = 200.0f;
  ModelImporter importer;
  importer.flipNormals = importer.bumpFromDiffuse = true;
  INode* block = importer.import("data/block1.x");
  INode* room = importer.import("data/talo.x");
  if (!block || !room) return 1;
  Matrix squash = Matrix::identity();
  squash.m[2][2] = 0.8f;
  room->transform = squash * rotationX(1.5707964f) * T(0, -15, 0) * room->transform;
  viewer.add(room);
  auto joint = [&](const Matrix& m) {
    auto* node = new DummyNode();
    node->setName("kilinvittu");
    node->addChild(block);
    node->transform = m;
    return node;
  };
  DummyNode* armBase = joint(rotationY(3.1415f) * S(1.2f));
  DummyNode* j1 = joint(T(6.8f, 0, 0) * S(1.2f));
  DummyNode* j2 = joint(T(6.8f, 0, 0) * S(1.2f));
  DummyNode* j3 = joint(T(6.8f, 0, 0) * S(1.2f));
  // a fold so the arms are not straight lines
  j1->transform = rotationZ(0.5f) * j1->transform;
  j2->transform = rotationZ(-0.8f) * rotationY(0.4f) * j2->transform;
  j3->transform = rotationZ(0.6f) * j3->transform;
  j2->addChild(j3);
  j1->addChild(j2);
  armBase->addChild(j1);
  // rest height: lowest joint at -8
  float lowest = 0;
  Matrix a = armBase->transform;
  lowest = std::min(lowest, a.m[3][1]);
  for (INode* j : {static_cast<INode*>(j1), static_cast<INode*>(j2), static_cast<INode*>(j3)}) {
    a = j->transform * a;
    lowest = std::min(lowest, a.m[3][1]);
  }
  a = T(6.8f, 0, 0) * S(1.2f) * a;
  lowest = std::min(lowest, a.m[3][1]);
  armBase->transform.m[3][1] -= lowest + 8.0f;
  for (int i = 0; i < 7; ++i) {
    auto* root = new DummyNode();
    root->transform = rotationY(i * 0.89757144f);
    root->addChild(armBase);
    viewer.add(root);
  }
  viewer.scene->lighting.ambient = {0.6f, 0.6f, 0.6f, 0.6f};
  viewer.scene->lighting.diffuse = {2, 2, 2, 2};
  Sheet sheet;
  sheet.start(width, height, 2);
  const float th = 0.4f * (9.0f);
  const Vector3 eye{0.7f * 35 * std::sin(th), 2.9f + 0.7f, 0.7f * 35 * std::cos(th)};
  setTranslation(viewer.key->transform, eye.x, eye.y, eye.z);
  viewer.key->intensity = 5;
  viewer.key->range = 50;
  viewer.fill->intensity = 0;
  sheet.place(0, viewer.shoot(eye, {0, -2, 0}));
  const Vector3 high{-20, 26, 12};
  sheet.place(1, viewer.shoot(high, {0, -8, 0}));
  return sheet.write(out) ? 0 : 1;
}

// Seven links of one chain along x with the scene's alternating frames, and
// the statue standing behind them.
int chainView(const std::string& out) {
  Viewer viewer;
  const int width = 640, height = 360;
  if (!viewer.start(width, height)) return 1;
  viewer.camera->fieldOfView = 1.3f;
  ModelImporter importer;
  importer.bumpFromDiffuse = true;
  INode* link = importer.import("data/chain.x");
  if (!link) return 1;
  link->transform = link->transform * S(0.3f);
  // A chain along a slanting line (a link along x would meet the scene's
  // reference axis (1, 0, 0) and have no frame).
  const Vector3 along = normalize(Vector3{1.0f, 0.25f, 0.35f});
  for (int j = 0; j < 7; ++j) {
    const Vector3 a = along * (2.5f * j - 8.75f), b = along * (2.5f * j - 6.25f);
    const Vector3 d = b - a;
    const Vector3 u = j % 2 ? Vector3{1, 0, 0} : Vector3{0, 0, -1};
    const Vector3 x = cross(d, u), z = cross(d, x);
    const Vector3 nx = normalize(x), ny = normalize(d), nz = normalize(z);
    Matrix r = Matrix::identity();
    const Vector3 rows[3] = {nx, ny, nz};
    for (int k = 0; k < 3; ++k) {
      r.m[k][0] = rows[k].x;
      r.m[k][1] = rows[k].y;
      r.m[k][2] = rows[k].z;
    }
    const Vector3 middle = (a + b) * 0.5f;
    auto* holder = new DummyNode();
    holder->addChild(link);
    holder->transform = r * T(middle.x, middle.y, middle.z);
    viewer.add(holder);
  }
  INode* statue = importer.import("data/liberty.x");
  if (!statue) return 1;
  prepareAsTheScenesDo("liberty.x", statue);
  statue->transform = T(0, 0, 25);
  viewer.add(statue);
  Sheet sheet;
  sheet.start(width, height, 2);
  const Vector3 eye{3, 4, -9};
  viewer.lightFrom(eye, {0, 0, 0}, 12);
  sheet.place(0, viewer.shoot(eye, {0, 0, 0}));
  const Vector3 far{10, 5, -35};
  viewer.lightFrom(far, {0, 5, 25}, 40);
  sheet.place(1, viewer.shoot(far, {0, 3, 20}));
  return sheet.write(out) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int views = 4, width = 480, height = 270;
  float elevation = 25;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--views" && i + 1 < args.size()) {
      views = std::max(1, std::atoi(args[++i].c_str()));
    } else if (args[i] == "--size" && i + 1 < args.size()) {
      if (std::sscanf(args[++i].c_str(), "%dx%d", &width, &height) != 2) return 2;
    } else if (args[i] == "--elevation" && i + 1 < args.size()) {
      elevation = static_cast<float>(std::atof(args[++i].c_str()));
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() == 3 && rest[0] == "--town") return townView(static_cast<float>(std::atof(rest[1].c_str())), rest[2]);
  if (rest.size() == 2 && rest[0] == "--workshop") return workshopView(rest[1]);
  if (rest.size() == 2 && rest[0] == "--chain") return chainView(rest[1]);
  if (rest.size() == 2) return turntable(rest[0], rest[1], views, width, height, elevation);
  std::fprintf(stderr,
               "usage: velm-model-view [--views N] [--size WxH] [--elevation DEG] MODEL OUT.png\n"
               "       velm-model-view --town SECONDS OUT.png | --workshop OUT.png | --chain OUT.png\n");
  return 2;
}
