// The harmonium scene's models.
//
// "harmonia.x": a reed organ about 0.36 x 0.34 x 0.18 units, centred on its
// origin, which the scene scales by 14. Its "pallo" (a ball on top) and
// "langat" (strings across the front) are drawn through a lens that replaces
// their own transforms, so both carry their shape in their vertices.
// "lolo.x": a knot about 60 units across, centred; the scene scales its mesh
// by 0.4 and each carrier by 0.02 to 0.06, which makes it about one unit.
// "piippu.3ds": an organ pipe standing on its base with its open top at 8.5,
// so that after the scene's 0.4 scale the smoke spawner at y = 3.4 sits on it.
#include <cmath>

#include "models.h"

namespace velm::models {

namespace {

// Harmonium parts are drawn in centimetre-like units and scaled down here,
// so that they hold their final size in their vertices.
constexpr double kHarmoniumScale = 0.034;

Mat4 harmoniumUnits() { return Mat4::scaling(kHarmoniumScale); }

MeshPart harmoniumCase() {
  MeshPart m;
  // Lower case with a recessed front panel and two pedals.
  m.append(roundedBox({5.0, 2.4, 2.4}, 0.25, 2, 4, 0.2), Mat4::translation({0, -2.4, 0}));
  m.append(roundedBox({4.2, 1.6, 0.2}, 0.1, 1, 2, 0.2), Mat4::translation({0, -2.6, -2.45}));
  for (int side = -1; side <= 1; side += 2)
    m.append(roundedBox({1.1, 0.15, 0.9}, 0.08, 1, 2, 0.3),
             Mat4::rotationX(-0.25) * Mat4::translation({side * 1.6, -4.6, -2.9}));
  // Feet.
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sz = -1; sz <= 1; sz += 2)
      m.append(lathe({{0, 0, true}, {0.5, 0, true}, {0.35, 0.6}, {0.45, 0.9, true}, {0, 0.9, true}}, 12),
               Mat4::translation({sx * 4.5, -5.7, sz * 2.0}));
  // Key bed shelf in front.
  m.append(roundedBox({5.0, 0.25, 1.1}, 0.1, 1, 4, 0.2), Mat4::translation({0, 0.25, -3.1}));
  // Upper case: back board with side cheeks and a carved top.
  m.append(roundedBox({5.0, 2.6, 0.6}, 0.2, 2, 4, 0.2), Mat4::translation({0, 2.6, 1.8}));
  for (int side = -1; side <= 1; side += 2)
    m.append(roundedBox({0.35, 2.0, 1.6}, 0.15, 2, 2, 0.2), Mat4::translation({side * 4.7, 2.0, 0.2}));
  m.append(roundedBox({5.4, 0.3, 1.0}, 0.12, 1, 4, 0.2), Mat4::translation({0, 5.3, 1.5}));
  // Pediment: an arch of two curved tubes meeting at a finial.
  std::vector<Vec3> arch;
  for (int i = 0; i <= 16; ++i) {
    const double a = kPi * i / 16;
    arch.push_back({-4.6 * std::cos(a), 5.6 + 1.1 * std::sin(a), 1.5});
  }
  m.append(tube(arch, {0.22}, 10, false, true));
  m.append(sphere(0.35, 8, 12), Mat4::translation({-4.6, 5.6, 1.5}));
  m.append(sphere(0.35, 8, 12), Mat4::translation({4.6, 5.6, 1.5}));
  // Stops above the keyboard.
  for (int i = 0; i < 8; ++i)
    m.append(lathe({{0, 0, true}, {0.18, 0, true}, {0.18, 0.35, true}, {0.26, 0.4}, {0.2, 0.55}, {0, 0.6}}, 10),
             Mat4::rotationX(-0.5 * kPi) * Mat4::translation({-3.15 + i * 0.9, 1.5, 1.2}));
  m.transform(harmoniumUnits());
  return m;
}

MeshPart harmoniumKeys() {
  MeshPart m;
  const int white = 21;
  const double width = 8.4 / white;
  for (int i = 0; i < white; ++i) {
    const double x = -4.2 + (i + 0.5) * width;
    m.append(roundedBox({width * 0.46, 0.12, 0.7}, 0.03, 1, 1, 0.5), Mat4::translation({x, 0.62, -3.3}));
  }
  // black keys after the 1st, 2nd, 4th, 5th and 6th white key of each octave
  for (int i = 0; i + 1 < white; ++i) {
    const int inOctave = i % 7;
    if (inOctave == 2 || inOctave == 6) continue;
    const double x = -4.2 + (i + 1) * width;
    m.append(roundedBox({width * 0.28, 0.14, 0.42}, 0.03, 1, 1, 0.5), Mat4::translation({x, 0.86, -3.0}));
  }
  m.transform(harmoniumUnits());
  return m;
}

// Strings stretched across the front of the upper case in a lyre of two posts.
MeshPart harmoniumStrings() {
  MeshPart m;
  const int count = 13;
  for (int i = 0; i < count; ++i) {
    const double x = -3.0 + 6.0 * i / (count - 1);
    const double y0 = 1.6, y1 = 4.6 - 0.6 * std::fabs(x) / 3.0;
    m.append(tube({{x, y0, -1.0}, {x, y1, -1.0}}, {0.05}, 6, false, true, 1, 0.5));
  }
  m.append(tube({{-3.3, 1.5, -1.0}, {3.3, 1.5, -1.0}}, {0.12}, 8, false, true));
  m.append(tube({{-3.3, 4.7, -1.0}, {0, 4.9, -1.0}, {3.3, 4.7, -1.0}}, {0.12}, 8, false, true));
  m.transform(harmoniumUnits());
  return m;
}

}  // namespace

Model makeHarmonium() {
  Model model;
  model.fileName = "harmonia.x";
  model.importedWithFlippedNormals = true;
  model.root.name = "harmonia";
  // The scene's lights fall off with the square of the distance and its
  // diffuse tint is 0.5: the case needs strong colours to show.
  const int wood = model.addMaterial(material("Walnut", "puu.jpg", 5.5, 3.8, 2.6, 0.4, 20));
  const int ivory = model.addMaterial(material("Ivory", "", 9.2, 9.0, 8.2, 0.6, 30));
  const int brass = model.addMaterial(material("Strings", "metalli.jpg", 0.85, 0.72, 0.4, 1.0, 60));
  const int ball = model.addMaterial(material("Ball", "moon.jpg", 0.8, 0.8, 0.85, 1.0, 60));

  model.addMesh(model.root.child("kaappi"), "kaappiShape", harmoniumCase(), wood);
  model.addMesh(model.root.child("koskettimet"), "koskettimetShape", harmoniumKeys(), ivory);
  model.addMesh(model.root.child("langat"), "langatShape", harmoniumStrings(), brass);
  MeshPart ballShape = sphere(1.2, 16, 32);
  ballShape.transform(Mat4::translation({0, 7.4, 1.2}) * harmoniumUnits());
  model.addMesh(model.root.child("pallo"), "palloShape", std::move(ballShape), ball);
  return model;
}

namespace {

// A trefoil knot: the centre line of the lolo.
std::vector<Vec3> trefoil(int steps, double size) {
  std::vector<Vec3> path;
  for (int i = 0; i < steps; ++i) {
    const double t = 2 * kPi * i / steps;
    path.push_back(Vec3{(2 + std::cos(3 * t)) * std::cos(2 * t), std::sin(3 * t) * 1.3,
                        (2 + std::cos(3 * t)) * std::sin(2 * t)} *
                   size);
  }
  return path;
}

}  // namespace

Model makeLolo() {
  Model model;
  model.fileName = "lolo.x";
  model.importedWithFlippedNormals = true;
  model.root.name = "lolo";
  const int mat = model.addMaterial(material("LoloMoon", "moon.jpg", 0.8, 0.8, 0.8, 1.0, 30));
  model.addMesh(model.root.child("Knot01"), "Knot01Shape", tube(trefoil(144, 8.0), {5.0}, 12, true, false, 2, 0.02),
                mat);
  return model;
}

Model makePipe() {
  Model model;
  model.fileName = "piippu.3ds";
  model.importedWithFlippedNormals = true;
  model.root.name = "piippu";
  const int mat = model.addMaterial(material("PipeMetal", "moon.jpg", 0.5, 0.5, 0.5, 0.6, 20));
  // Conical foot, a collar, the body, a flared lip, and the bore inside the top.
  const MeshPart pipe = lathe({{0, 0, true},
                               {0.35, 0, true},
                               {0.85, 2.3, true},
                               {1.0, 2.4, true},
                               {1.0, 2.8, true},
                               {0.85, 2.9, true},
                               {0.85, 8.1, true},
                               {1.05, 8.25},
                               {1.05, 8.5, true},
                               {0.7, 8.5, true},
                               {0.7, 7.0, true},
                               {0, 7.0, true}},
                              32, 2, 1);
  model.addMesh(model.root.child("Tube01"), "Tube01Shape", pipe, mat);
  return model;
}

}  // namespace velm::models
