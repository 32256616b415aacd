// The town scene's models: the teapot sky, the "VELM" text, the hanging
// mobile, the town and its street lamps.
//
// The scene stands each model in the world with fixed rotations; these
// models are built upright in the world and turned back into their own
// frames so that the scene's rotations set them straight again:
//   - sky: rotationX(1.57) x rotationY(1.57) x scaling(50.1), dropped by 60:
//     the model's z is the world's up, its x the world's z. The camera flies
//     within 96.6 of the axis at heights 6.5 to 73, looking as high as 130,
//     with its far plane at 200: the body is 2.05 units (103) wide at most
//     and wider than 1.97 (98.7) over all the camera's heights.
//   - text: scaling(1.5) x rotationX(3.1415), placed at (30, 90, 30): the
//     "Text01" node turns the text back upright and towards the camera.
//   - mobile: the scene's chain of rotations, a scale of 9 and its drift along
//     the model's -z by one unit a second carry the model through the sky;
//     hung at model z = -6 it crosses the view from t = 20 s to t = 34 s.
//   - town: scaling(2) x rotationY(-0.95) x rotationX(1.2707963) x the
//     model's own root transform; the root carries the inverse of the two
//     rotations, so the town lies level at half scale in its root's frame.
//     The lamps take the town's whole transform.
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "models.h"

namespace velm::models {

namespace {

Mat4 standUp() { return Mat4::fromAxes({1, 0, 0}, {0, 0, 1}, {0, -1, 0}); }

// Both sides of a thin surface.
MeshPart doubleSided(MeshPart part) {
  MeshPart back = part;
  back.invert();
  part.append(back);
  return part;
}

// Deterministic numbers for the layouts.
class Dice {
 public:
  explicit Dice(uint32_t seed) : state_(seed) {}
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / double(1u << 24);
  }
  double range(double lo, double hi) { return lo + (hi - lo) * next(); }

 private:
  uint32_t state_;
};

std::string numbered(const std::string& stem, int i) {
  return stem + (i < 10 ? "0" : "") + std::to_string(i);
}

}  // namespace

// ---------------------------------------------------------------- the sky

Model makeSkyTeapot() {
  Model model;
  model.fileName = "SkyTeaPot.x";
  model.importedWithFlippedNormals = true;
  model.root.name = "SkyTeaPot";
  const int mat = model.addMaterial(material("Sky", "teepannu.jpg", 1.0, 1.0, 1.0, 0.2, 4));

  // Body: an egg-like bulge of radius 2.05 at height 2.0, foot ring at the
  // bottom, rim at 3.6; the lid dome and its knob above. y up here.
  std::vector<ProfilePoint> profile{{0, 0, true}, {1.22, 0, true}, {1.30, 0.06}};
  for (int i = 1; i <= 40; ++i) {
    const double h = 0.1 + 3.5 * i / 40;
    const double k = (h - 2.0) / 2.53;
    profile.push_back({2.05 * std::sqrt(std::max(0.0, 1 - k * k)), h});
  }
  profile.back().crease = true;
  profile.push_back({1.64, 3.64});
  profile.push_back({1.56, 3.68, true});
  for (int i = 0; i <= 14; ++i) {
    const double a = 0.5 * kPi * i / 14 * 0.82;
    profile.push_back({1.5 * std::cos(a), 3.68 + 0.7 * std::sin(a)});
  }
  profile.back().crease = true;
  profile.push_back({0.16, 4.30});
  for (int i = 0; i <= 10; ++i) {
    const double a = -0.35 * kPi + 0.85 * kPi * i / 10;
    profile.push_back({std::max(0.0, 0.30 * std::cos(a)), 4.58 + 0.30 * std::sin(a)});
  }
  const MeshPart body = lathe(profile, 96, 4, 1);

  // The sky draws without depth, in triangle order, so the spout and handle
  // come first and the body, which surrounds the camera, is drawn over them:
  // from within only the body shows; from outside the whole teapot does.
  MeshPart teapot;
  // Spout: from low on the body, curving up and out, widening at the tip.
  std::vector<Vec3> spout;
  std::vector<double> spoutRadius;
  for (int i = 0; i <= 16; ++i) {
    const double t = i / 16.0;
    spout.push_back({1.7 + 1.8 * t + 0.3 * t * t, 1.1 + 1.2 * t + 1.0 * t * t, 0});
    spoutRadius.push_back(0.5 - 0.3 * t + 0.12 * t * t * t);
  }
  teapot.append(tube(spout, spoutRadius, 20, false, true, 1, 0.3));
  // Handle: a loop on the far side.
  std::vector<Vec3> handle;
  for (int i = 0; i <= 24; ++i) {
    const double a = -0.1 * kPi + 1.2 * kPi * i / 24;
    handle.push_back({-1.75 - 1.0 * std::sin(a), 2.1 + 1.0 * std::cos(a), 0});
  }
  teapot.append(tube(handle, {0.2}, 14, false, true, 1, 0.3));
  teapot.append(body);

  teapot.invert();  // the town is inside it
  teapot.transform(standUp());
  model.addMesh(model.root.child("Teapot01"), "Teapot01Shape", std::move(teapot), mat);
  return model;
}

// ---------------------------------------------------------------- the text

namespace {

// Block capitals "VELM", 10 high, left to right along +x, read from -z.
MeshPart velmLetters(double width, double depth) {
  MeshPart text;
  const double piece = 0.6;
  auto letter = [&](std::vector<Vec2> points, double x) {
    for (Vec2& p : points) p.x += x;
    text.append(stroke(points, width, depth, piece));
  };
  letter({{0.6, 10}, {3.6, 0.4}, {6.6, 10}}, 0);
  letter({{6, 10}, {0.5, 10}, {0.5, 0.5}, {6, 0.5}}, 9.5);
  letter({{0.5, 5.2}, {5, 5.2}}, 9.5);
  letter({{0.5, 10}, {0.5, 0.5}, {5.5, 0.5}}, 18);
  letter({{0.5, 0}, {0.5, 10}, {4.2, 3.2}, {7.9, 10}, {7.9, 0}}, 26);
  text.transform(Mat4::translation({-17.2, -5.0, -0.5 * depth}));
  return text;
}

}  // namespace

Model makeOstrel() {
  Model model;
  model.fileName = "ostrel2.x";
  model.root.name = "ostrel2";
  // The scene multiplies the diffuse by 20 and the specular by 10.
  ModelMaterial chrome = material("TextChrome", "metalli.jpg", 0.045, 0.045, 0.05, 0.08, 8);
  const int mat = model.addMaterial(chrome);

  // Face the camera's side: the text (its front is -z) turns towards the
  // average camera position of the flight, upright in the world.
  const Vec3 textPlace{30, 90, 30}, cameraAverage{-25, 30, -60};
  const Vec3 toCamera = normalize(cameraAverage - textPlace);
  const Vec3 up{0, 1, 0};
  const Vec3 right = normalize(cross(up, -toCamera));
  const Vec3 trueUp = cross(-toCamera, right);
  const Mat4 face = Mat4::fromAxes(right, trueUp, -toCamera);
  // The scene applies scaling(1.5) x rotationX(3.1415) after this node.
  const Mat4 node = face * Mat4::rotationX(-3.1415);
  ModelNode& text = model.root.child("Text01", node);
  model.addMesh(text, "Text01Shape", velmLetters(1.9, 2.4), mat);
  return model;
}

// ---------------------------------------------------------------- the mobile

namespace {

// The rotation the scene gives the mobile, model to world (scale left out).
Mat4 mobileRotation() {
  return Mat4::rotationX(-0.5) * Mat4::rotationY(0.7) * Mat4::rotationY(-1.57) * Mat4::rotationX(1.5707964);
}

// The mobile's upright frame in model coordinates: y is the world's up, z
// looks at the camera's side (the camera watches from about -x, -z).
Mat4 mobileFrame(Vec3 modelOrigin) {
  const Vec3 up{0, 1, 0};
  const Vec3 toCamera = normalize(Vec3{-0.39, 0, -0.92});
  const Vec3 x = normalize(cross(up, toCamera));
  const Mat4 toModel = mobileRotation().transposed();
  Mat4 frame = Mat4::fromAxes(toModel.direction(x), toModel.direction(up), toModel.direction(cross(x, up)));
  frame.m[3][0] = modelOrigin.x;
  frame.m[3][1] = modelOrigin.y;
  frame.m[3][2] = modelOrigin.z;
  return frame;
}

constexpr double kMobileScale = 0.65;

MeshPart thread(Vec3 a, Vec3 b) { return tube({a, b}, {0.025}, 5, false, false, 1, 0.5); }

MeshPart rod(Vec3 a, Vec3 b) {
  MeshPart m = tube({a, b}, {0.075}, 10, false, true);
  m.append(sphere(0.14, 6, 10), Mat4::translation(a));
  m.append(sphere(0.14, 6, 10), Mat4::translation(b));
  return m;
}

// An anemometer: four cups on arms round a vertical axle, centred on y = 0.
MeshPart anemometer() {
  MeshPart m = tube({{0, 0.35, 0}, {0, -0.45, 0}}, {0.05}, 8, false, true);
  const double r = 0.32, t = 0.05;
  std::vector<ProfilePoint> cup;
  for (int i = 0; i <= 8; ++i) {
    const double a = -0.5 * kPi + 0.5 * kPi * i / 8;
    cup.push_back({r * std::cos(a), r * std::sin(a)});
  }
  cup.front().r = 0;
  cup.back().crease = true;
  cup.push_back({r - t, 0, true});
  for (int i = 8; i >= 0; --i) {
    const double a = -0.5 * kPi + 0.5 * kPi * i / 8;
    cup.push_back({(r - t) * std::cos(a), (r - t) * std::sin(a) + 0.0});
  }
  cup.back().r = 0;
  MeshPart cupShape = lathe(cup, 16);
  for (int k = 0; k < 4; ++k) {
    const double a = 0.5 * kPi * k;
    const Mat4 turn = Mat4::rotationY(a);
    m.append(tube({{0, 0, 0}, {0.95, 0, 0}}, {0.035}, 6, false, true), turn);
    // the cup's opening faces along the way round
    m.append(cupShape, Mat4::rotationX(0.5 * kPi) * Mat4::translation({1.05, 0, 0}) * turn);
  }
  return m;
}

// A rotor of three curved vanes between two discs, centred on y = 0.
Vec3 vanePoint(double u, double v, const void*) {
  const double a = kPi * u;
  return {0.28 + 0.28 * std::cos(a), -0.45 + 0.9 * v, 0.28 * std::sin(a)};
}

MeshPart rotor() {
  MeshPart m = tube({{0, 0.55, 0}, {0, -0.55, 0}}, {0.04}, 8, false, true);
  for (int side = -1; side <= 1; side += 2)
    m.append(lathe({{0, -0.02, true}, {0.62, -0.02, true}, {0.62, 0.02, true}, {0, 0.02, true}}, 24),
             Mat4::translation({0, side * 0.47, 0}));
  const MeshPart vane = doubleSided(surface(vanePoint, nullptr, 10, 4, false));
  for (int k = 0; k < 3; ++k) m.append(vane, Mat4::rotationY(2 * kPi * k / 3));
  return m;
}

// A lantern with a chimney, hanging from its top at y = 0.
MeshPart lantern() {
  return lathe({{0, -1.0, true},
                {0.25, -1.0, true},
                {0.42, -0.8},
                {0.45, -0.55},
                {0.36, -0.35, true},
                {0.22, -0.3, true},
                {0.12, -0.2, true},
                {0.12, 0, true},
                {0.06, 0, true},
                {0.06, -0.12, true},
                {0, -0.12, true}},
               20);
}

}  // namespace

Model makeMobile() {
  Model model;
  model.fileName = "brisamobile2.x";
  model.root.name = "brisamobile2";
  // Lit from a hundred units and more away, like the town (see makeTown).
  const int brass = model.addMaterial(material("MobileBrass", "metalli.jpg", 6.4, 5.2, 2.8, 1.0, 40));
  const int threadMat = model.addMaterial(material("Thread", "", 1.2, 1.2, 1.2, 0.1, 4));
  const int red = model.addMaterial(material("CupRed", "", 6.4, 1.2, 0.8, 0.8, 30));
  const int blue = model.addMaterial(material("VaneBlue", "", 1.6, 2.8, 6.4, 0.8, 30));
  const int gold = model.addMaterial(material("Ornament", "moon.jpg", 7.2, 6.0, 2.4, 1.0, 50));

  // Hung at model z = -6 (see the head of the file); design units below are
  // scaled by kMobileScale into the model.
  const Mat4 frame = mobileFrame({0, 0, -6.0});
  const Mat4 design = Mat4::scaling(kMobileScale);

  MeshPart threads;
  threads.append(thread({0, 0, 0}, {0, 7, 0}));
  threads.append(thread({0, 0, 0}, {0, -0.4, 0}));
  threads.append(thread({-3, -0.4, 0}, {-3, -1.6, 0}));
  threads.append(thread({-4.3, -1.6, 0}, {-4.3, -2.2, 0}));
  threads.append(thread({-1.7, -1.6, 0}, {-1.7, -2.2, 0}));
  threads.append(thread({3, -0.4, 0}, {3, -1.2, 0}));
  threads.append(thread({4.2, -1.2, 0}, {4.2, -1.85, 0}));
  threads.append(thread({1.8, -1.2, 0}, {1.8, -1.8, 0}));
  threads.transform(design);
  model.addMesh(model.root.child("Lanka", frame), "LankaShape", std::move(threads), threadMat);

  MeshPart beams;
  beams.append(rod({-3, -0.4, 0}, {3, -0.4, 0}));
  beams.append(rod({-4.3, -1.6, 0}, {-1.7, -1.6, 0}));
  beams.append(rod({1.8, -1.2, 0}, {4.2, -1.2, 0}));
  beams.append(tube([] {
                 std::vector<Vec3> ring;
                 for (int i = 0; i < 16; ++i) {
                   const double a = 2 * kPi * i / 16;
                   ring.push_back({0.16 * std::sin(a), 0.05 + 0.16 * std::cos(a), 0});
                 }
                 return ring;
               }(),
               {0.04}, 6, true, false));
  beams.transform(design);
  model.addMesh(model.root.child("Runko", frame), "RunkoShape", std::move(beams), brass);

  MeshPart ornaments = sphere(0.38, 10, 20);
  ornaments.transform(Mat4::translation({-1.7, -2.58, 0}));
  ornaments.append(lantern(), Mat4::translation({1.8, -1.8, 0}));
  ornaments.transform(design);
  model.addMesh(model.root.child("Koriste", frame), "KoristeShape", std::move(ornaments), gold);

  // The two spinners turn about their own x axis (the scene turns them), so
  // their frames put x along the hanging thread.
  auto spinnerFrame = [&](Vec3 hub) {
    // design to spinner: design y becomes the spinner's x
    const Mat4 designToLocal = Mat4::fromAxes({0, -1, 0}, {1, 0, 0}, {0, 0, 1});
    Mat4 node = designToLocal.transposed() * frame;  // rigid: spinner axes to model
    const Vec3 at = (design * frame).point(hub);
    node.m[3][0] = at.x;
    node.m[3][1] = at.y;
    node.m[3][2] = at.z;
    return std::make_pair(node, designToLocal);
  };
  {
    auto [node, toLocal] = spinnerFrame({-4.3, -2.65, 0});
    MeshPart shape = anemometer();
    shape.transform(Mat4::scaling(kMobileScale) * toLocal);
    model.addMesh(model.root.child("object2", node), "object2Shape", std::move(shape), red);
  }
  {
    auto [node, toLocal] = spinnerFrame({4.2, -2.4, 0});
    MeshPart shape = rotor();
    shape.transform(Mat4::scaling(kMobileScale) * toLocal);
    model.addMesh(model.root.child("object3", node), "object3Shape", std::move(shape), blue);
  }
  // The smoke leaves from the lantern's chimney.
  model.root.child("Dummy01", Mat4::translation((design * frame).point({1.8, -1.9, 0})));
  return model;
}

// ---------------------------------------------------------------- the town

namespace {

// The scene's rotation of the town (and lamps) model, without the scale.
Mat4 townRotation() { return Mat4::rotationY(-0.95) * Mat4::rotationX(1.2707963); }

constexpr double kTile = 11.0, kTileStep = 12.0;

struct HouseParts {
  MeshPart walls, roofs;
};

// A gabled house standing on the ground at (x, z), its ridge along its own x.
void addHouse(HouseParts& parts, double x, double z, double turn, double width, double depth, double height,
              double roofHeight) {
  const Mat4 place = Mat4::rotationY(turn) * Mat4::translation({x, 0, z});
  MeshPart walls = box({-width / 2, 0, -depth / 2}, {width / 2, height, depth / 2}, 0.4);
  // gable ends above the walls
  MeshPart gables = prism({{-depth / 2, height}, {depth / 2, height}, {0, height + roofHeight}}, -width / 2,
                          width / 2, 0.4);
  gables.transform(Mat4::rotationY(-0.5 * kPi));
  walls.append(gables);
  parts.walls.append(walls, place);
  const double o = 0.25;  // eaves
  const double ridgeY = height + roofHeight + 0.08;
  for (int side = -1; side <= 1; side += 2) {
    // a slab from the eave (over the wall on this side) up to the ridge
    const double eaveZ = side * (depth / 2 + o), eaveY = height - o * roofHeight / (depth / 2);
    const double dy = ridgeY - eaveY, dz = -eaveZ;
    const double slope = std::sqrt(dy * dy + dz * dz);
    MeshPart plane = roundedBox({width / 2 + o, 0.06, slope / 2}, 0, 1, 1, 0.35);
    // rotationX(a) carries the slab's z axis to (0, sin a, cos a)
    const Mat4 lie = Mat4::rotationX(std::atan2(dy, dz)) * Mat4::translation({0, (eaveY + ridgeY) / 2, eaveZ / 2});
    parts.roofs.append(plane, lie * place);
  }
}

// A square spire: four flat faces up to a point.
MeshPart pyramid(double half, double base, double apex) {
  MeshPart m;
  const Vec3 top{0, apex, 0};
  const Vec3 corners[4] = {{-half, base, -half}, {half, base, -half}, {half, base, half}, {-half, base, half}};
  for (int i = 0; i < 4; ++i) {
    const Vec3 a = corners[i], b = corners[(i + 1) % 4];
    const Vec3 n = normalize(cross(b - a, top - a)) * -1.0;
    const Vec3 outward = dot(n, (a + b) * 0.5) < 0 ? -n : n;
    m.triangle(m.add(a, outward, {0, 1}), m.add(b, outward, {1, 1}), m.add(top, outward, {0.5, 0}));
  }
  m.orient();
  return m;
}

}  // namespace

Model makeTown() {
  Model model;
  model.fileName = "town.x";
  model.root.name = "town";
  model.root.transform = townRotation().rigidInverse();
  const int ground = model.addMaterial(material("Ground", "maa.png", 1.0, 1.0, 1.0, 0.1, 4));
  // The town's two lights hang some 125 units above it with a 1/d falloff:
  // the houses need strong diffuse colours to show in their light.
  const int plaster = model.addMaterial(material("Plaster", "seina.jpg", 7.0, 6.7, 6.3, 0.15, 6));
  const int tiles = model.addMaterial(material("RoofTiles", "katto.jpg", 7.0, 6.3, 6.0, 0.3, 10));

  Dice dice(2008);
  int plane = 1;
  for (int row = -1; row <= 1; ++row)
    for (int col = -1; col <= 1; ++col, ++plane) {
      const double cx = col * kTileStep, cz = row * kTileStep;
      // The ground of one block: a flat square, seen from above.
      MeshPart groundShape;
      const int steps = 4;
      for (int j = 0; j <= steps; ++j)
        for (int i = 0; i <= steps; ++i)
          groundShape.add({cx - kTile / 2 + kTile * i / steps, 0, cz - kTile / 2 + kTile * j / steps}, {0, 1, 0},
                          {double(i) / steps, double(j) / steps});
      for (int j = 0; j < steps; ++j)
        for (int i = 0; i < steps; ++i) {
          const uint32_t a = static_cast<uint32_t>(j * (steps + 1) + i);
          groundShape.quad(a, a + 1, a + 2 + steps, a + 1 + steps);
        }
      groundShape.orient();
      model.addMesh(model.root.child(numbered("Plane", plane)), numbered("Plane", plane) + "Shape",
                    std::move(groundShape), ground);

      // Houses round the edge of the block, facing its green.
      HouseParts houses;
      const bool centre = row == 0 && col == 0;
      for (int side = 0; side < 4; ++side) {
        const double turn = side * 0.5 * kPi;
        const int count = centre ? 1 : 2;
        for (int k = 0; k < count; ++k) {
          const double along = centre ? 0.0 : (k == 0 ? -2.3 : 2.3) + dice.range(-0.3, 0.3);
          const double width = dice.range(3.2, 4.2), depth = dice.range(2.2, 2.8);
          const double height = centre ? 2.6 : dice.range(2.5, 4.0);
          const double roof = dice.range(1.0, 1.7);
          // the side's outward direction after the turn
          const Vec3 out = Mat4::rotationY(turn).direction({0, 0, -1});
          const Vec3 tangent = Mat4::rotationY(turn).direction({1, 0, 0});
          const double inset = kTile / 2 - depth / 2 - 0.35;
          const Vec3 at = Vec3{cx, 0, cz} + out * inset + tangent * along;
          addHouse(houses, at.x, at.z, turn, width, depth, height, roof);
        }
      }
      ModelNode& block = model.root.child(numbered("Kortteli", plane));
      model.addMesh(block, numbered("Kortteli", plane) + "Walls", std::move(houses.walls), plaster);
      model.addMesh(block, numbered("Kortteli", plane) + "Roofs", std::move(houses.roofs), tiles);
    }

  // A church tower in the middle, its spire at the height the camera looks at.
  MeshPart towerWalls = box({-1.6, 0, -1.6}, {1.6, 11, 1.6}, 0.4);
  towerWalls.append(box({-1.9, 11, -1.9}, {1.9, 11.5, 1.9}, 0.4));
  MeshPart spire = pyramid(1.9, 11.5, 17.0);
  spire.append(tube({{0, 16.8, 0}, {0, 18.2, 0}}, {0.08}, 6, false, true));
  spire.append(tube({{-0.45, 17.7, 0}, {0.45, 17.7, 0}}, {0.07}, 6, false, true));
  ModelNode& tower = model.root.child("Torni");
  model.addMesh(tower, "TorniWalls", std::move(towerWalls), plaster);
  model.addMesh(tower, "TorniRoof", std::move(spire), tiles);
  return model;
}

Model makeLamps() {
  Model model;
  model.fileName = "valot.x";
  model.root.name = "valot";
  // The scene replaces this with the town's transform; the same value keeps
  // the file right on its own as well.
  model.root.transform = townRotation().rigidInverse();
  const int iron = model.addMaterial(material("LampIron", "metalli.jpg", 0.2, 0.2, 0.22, 0.5, 16));
  const int glow = model.addMaterial(material("LampGlow", "partikle.png", 1.0, 0.85, 0.55, 0.0, 1));

  const Vec3 places[3] = {{-5.0, 0, -5.0}, {5.0, 0, -5.0}, {-5.0, 0, 5.0}};
  for (int i = 0; i < 3; ++i) {
    // the arm points over the street, away from the block's middle
    const double turn = std::atan2(-places[i].x, places[i].z);
    const Mat4 place = Mat4::rotationY(turn) * Mat4::translation(places[i]);
    MeshPart post = lathe({{0, 0, true},
                           {0.22, 0, true},
                           {0.22, 0.25, true},
                           {0.1, 0.35, true},
                           {0.07, 2.9},
                           {0.07, 3.1, true},
                           {0, 3.1, true}},
                          12);
    post.append(tube({{0, 2.8, 0}, {0, 3.05, 0.25}, {0, 3.0, 0.7}}, {0.05}, 8, false, true));
    post.append(lathe({{0, 0.3, true}, {0.28, 0, true}, {0.18, 0.04, true}, {0, 0.34, true}}, 12),
                Mat4::translation({0, 2.72, 0.75}));
    post.transform(place);
    model.addMesh(model.root.child(numbered("tolppa", i + 1)), numbered("tolppa", i + 1) + "Shape",
                  std::move(post), iron);

    // The glow round the bulb: three crossed cards and the bulb itself.
    MeshPart light = sphere(0.14, 6, 10);
    for (int k = 0; k < 3; ++k) light.append(card(0.9, 0.9), Mat4::rotationY(kPi * k / 3));
    const Vec3 bulb = place.point({0, 2.78, 0.75});
    model.addMesh(model.root.child(numbered("valo", i + 1), Mat4::translation(bulb)),
                  numbered("valo", i + 1) + "Shape", std::move(light), glow);
  }
  return model;
}

}  // namespace velm::models
