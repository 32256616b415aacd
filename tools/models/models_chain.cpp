// The chain scene's models: one chain link and the statue. The scene scales
// the link node by 0.3 and sets each link between two particles 2.5 apart,
// its y axis along the link; the statue's mesh is scaled by 0.25 and stands
// on its y axis at the centroid of the chain heads.
#include <algorithm>
#include <cmath>

#include "models.h"

namespace velm::models {

namespace {

// Link of round wire: the centre line is two half circles of radius `bend`
// joined by straight runs of 2 * `straight`, in the x-y plane, long along y.
std::vector<Vec3> linkCentreLine(double straight, double bend, int arcSteps) {
  std::vector<Vec3> path;
  for (int end = 0; end < 2; ++end) {
    const double cy = end == 0 ? straight : -straight;
    const double start = end == 0 ? 0.0 : kPi;
    for (int i = 0; i < arcSteps; ++i) {
      const double a = start + kPi * i / arcSteps;
      path.push_back({bend * std::cos(a), cy + bend * std::sin(a), 0});
    }
    // the straight run to the other end, in three pieces
    const double x = end == 0 ? -bend : bend;
    for (int k = 0; k < 3; ++k) {
      const double t = double(k) / 3;
      path.push_back({x, cy + (-2 * cy) * t, 0});
    }
  }
  return path;
}

}  // namespace

Model makeChainLink() {
  Model model;
  model.fileName = "chain.x";
  model.root.name = "chain";
  // After the scene's 0.3 scale: inside length 2.5 (the particle spacing),
  // wire 0.78 thick, inside width 1.02, so each link threads its neighbours and
  // stays visible from across the room.
  const double wire = 1.3, bend = 3.0, straight = 2.5 / 0.3 / 2 - bend + wire;
  const int steel = model.addMaterial(material("Steel", "metalli.jpg", 0.62, 0.63, 0.66, 0.9, 40));
  ModelNode& link = model.root.child("Link01");
  model.addMesh(link, "Link01Shape", tube(linkCentreLine(straight, bend, 24), {wire}, 14, true, false, 3, 0.08),
                steel);
  return model;
}

namespace {

struct RobeShape {
  double bottom, top;
};

// The robe: a body of revolution with folds that deepen towards the hem.
// Radius along the height through control values (hem, knees, waist, chest,
// shoulders, neck), interpolated smoothly.
Vec3 robePoint(double u, double v, const void* context) {
  const RobeShape& s = *static_cast<const RobeShape*>(context);
  static const double radii[] = {11.0, 11.0, 9.6, 8.0, 7.6, 8.4, 7.4, 4.2, 4.2};
  const double h = s.bottom + (s.top - s.bottom) * v;  // v = 0 at the hem
  const double x = v * 6.0;                           // between radii[1] and radii[7]
  const int i = std::min(5, static_cast<int>(x));
  const double t = x - i;
  const double q0 = radii[i], q1 = radii[i + 1], q2 = radii[i + 2], q3 = radii[i + 3];
  double r = 0.5 * (2 * q1 + (q2 - q0) * t + (2 * q0 - 5 * q1 + 4 * q2 - q3) * t * t +
                    (3 * q1 - q0 - 3 * q2 + q3) * t * t * t);
  const double a = 2 * kPi * u;
  r += (1.0 - v) * 0.9 * std::sin(9 * a + 1.7 * v) + 0.3 * std::sin(5 * a + 0.4);
  return {r * std::sin(a), h, r * std::cos(a) * 0.8};
}

}  // namespace

Model makeStatue() {
  Model model;
  model.fileName = "liberty.x";
  model.root.name = "liberty";
  const int copper = model.addMaterial(material("Copper", "patina.jpg", 0.55, 0.78, 0.68, 0.6, 24));
  MeshPart statue;

  // Pedestal: a stepped block, top at y = -38.
  statue.append(roundedBox({18, 7, 18}, 1.2, 2, 3, 0.05), Mat4::translation({0, -53, 0}));
  statue.append(roundedBox({15, 4.5, 15}, 1.0, 2, 3, 0.05), Mat4::translation({0, -42.5, 0}));

  // Robe from the hem (y = -38) to the shoulders (y = 17).
  static const RobeShape robe{-38, 17};
  statue.append(surface(robePoint, &robe, 72, 36, false, 3, 2));
  // Shoulders closing the robe, neck and head.
  statue.append(lathe({{0, 15}, {4.2, 15.5}, {5.2, 17.5}, {3.8, 20.5}, {2.2, 21.5}, {2.2, 23}}, 32));
  MeshPart head = sphere(5.2, 14, 28);
  head.transform(Mat4::scaling(0.92, 1.08, 1.0) * Mat4::translation({0, 27.5, 0.3}));
  statue.append(head);
  // Crown: a band and seven rays fanning up and out over the forehead.
  statue.append(tube([] {
                  std::vector<Vec3> ring;
                  for (int i = 0; i < 32; ++i) {
                    const double a = 2 * kPi * i / 32;
                    ring.push_back({5.1 * std::sin(a), 30.5, 5.3 * std::cos(a)});
                  }
                  return ring;
                }(),
                {0.9}, 8, true, false));
  for (int i = 0; i < 7; ++i) {
    const double a = (i - 3) * 0.42;  // spread across the front
    const Vec3 base{5.2 * std::sin(a), 31.0, 5.2 * std::cos(a)};
    const Vec3 dir = normalize(Vec3{std::sin(a), 0.55, std::cos(a)});
    statue.append(tube({base, base + dir * 4.0, base + dir * 7.5}, {0.9, 0.5, 0.05}, 6, false, true));
  }

  // Raised right arm with the torch.
  const Vec3 shoulderR{6.0, 16.0, 0}, elbowR{8.5, 30.0, -0.5}, handR{9.0, 43.0, 0.0};
  statue.append(tube({shoulderR, lerp(shoulderR, elbowR, 0.5), elbowR, lerp(elbowR, handR, 0.5), handR},
                     {2.6, 2.4, 2.1, 1.9, 1.8}, 14, false, true));
  statue.append(sphere(2.1, 8, 14), Mat4::translation(handR));
  MeshPart torch = lathe({{0, 0, true},
                          {1.2, 0, true},
                          {1.6, 6.0, true},
                          {2.6, 7.0, true},
                          {2.6, 8.0, true},
                          {0.5, 8.0, true},
                          {1.9, 10.0},
                          {1.6, 13.0},
                          {0.7, 15.5},
                          {0, 16.5}},
                         24);
  statue.append(torch, Mat4::translation(handR + Vec3{0.2, 0.5, 0}));

  // Left arm bent, holding the tablet against the body.
  const Vec3 shoulderL{-6.0, 15.0, 0}, elbowL{-9.0, 2.0, 2.0}, handL{-6.5, 5.0, 6.5};
  statue.append(tube({shoulderL, lerp(shoulderL, elbowL, 0.5), elbowL, lerp(elbowL, handL, 0.5), handL},
                     {2.5, 2.3, 2.0, 1.8, 1.6}, 14, false, true));
  MeshPart tablet = roundedBox({4.2, 6.5, 0.9}, 0.4, 2, 2, 0.1);
  tablet.transform(Mat4::rotationZ(0.25) * Mat4::rotationY(-0.5) * Mat4::translation({-6.0, 6.5, 7.5}));
  statue.append(tablet);

  ModelNode& node = model.root.child("Statue");
  model.addMesh(node, "StatueShape", std::move(statue), copper);
  return model;
}

}  // namespace velm::models
