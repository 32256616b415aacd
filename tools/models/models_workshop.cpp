// The workshop scene's models: the bevelled block that every arm segment and
// every harmonium chain link shows, and the room.
//
// The block: each arm joint sits 6.8 units (before the joint's own 1.2
// scale, 8.16 after) along its parent's x axis, and the harmonium's chain
// links are 8.2 apart. The block therefore runs along +x from its joint,
// 6.8 long and centred in the span, with a hinge pin through the joint.
//
// The room (z up, as the scene stands it up with a quarter turn about x, a
// 0.8 squash of z and a drop of 15): floor at z = 0, so at y = -15 in the
// scene. The arms' lowest joint is held at y = -8; "ChamferCyl01" is the
// hub pillar under their axis, its top at y = -9.5. The camera circles at
// radius 24.5 (7 when lifted) and height 3 to 21, inside a hall of
// 128 x 128 with its ceiling at y = 29.8.
#include <cmath>

#include "models.h"

namespace velm::models {

Model makeBlock() {
  Model model;
  model.fileName = "block1.x";
  model.importedWithFlippedNormals = true;
  model.root.name = "block1";
  const int steel = model.addMaterial(material("BlockSteel", "metalli.jpg", 0.3, 0.31, 0.33, 0.4, 32));
  const int brass = model.addMaterial(material("PinBrass", "metalli.jpg", 0.45, 0.36, 0.18, 0.5, 48));

  ModelNode& body = model.root.child("Box01");
  MeshPart beam = roundedBox({3.4, 0.8, 0.8}, 0.22, 3, 6, 0.3);
  beam.transform(Mat4::translation({4.08, 0, 0}));
  model.addMesh(body, "Box01Shape", std::move(beam), steel);

  ModelNode& pin = model.root.child("Cylinder01");
  MeshPart pinShape = lathe({{0, -1.15, true},
                             {0.42, -1.15, true},
                             {0.5, -1.05, true},
                             {0.5, 1.05, true},
                             {0.42, 1.15, true},
                             {0, 1.15, true}},
                            24);
  pinShape.transform(Mat4::rotationX(0.5 * kPi));  // along z, through the joint
  model.addMesh(pin, "Cylinder01Shape", std::move(pinShape), brass);
  return model;
}

namespace {

// Turns a y-up part into the room's z-up frame: (x, y, z) -> (x, -z, y).
Mat4 standUp() { return Mat4::fromAxes({1, 0, 0}, {0, 0, 1}, {0, -1, 0}); }

}  // namespace

Model makeWorkshopRoom() {
  Model model;
  model.fileName = "talo.x";
  model.importedWithFlippedNormals = true;
  model.root.name = "talo";
  // The only light rides with the camera (intensity 5, falling off as 1/d
  // beyond 5 units) and the ambient is weak: the far walls need stronger
  // diffuse colours than the blocks next to the camera.
  const int floorMat = model.addMaterial(material("Planks", "puu.jpg", 1.0, 0.85, 0.7, 0.1, 8));
  const int wallMat = model.addMaterial(material("Hall", "sali2.jpg", 1.2, 1.2, 1.2, 0.05, 4));
  const int beamMat = model.addMaterial(material("Beams", "puu.jpg", 0.8, 0.65, 0.5, 0.1, 8));
  const int pillarMat = model.addMaterial(material("PillarSteel", "metalli.jpg", 0.6, 0.6, 0.62, 0.9, 32));

  const double half = 64, height = 56;

  // Floor, seen from above.
  MeshPart floor = box({-half, -half, -1}, {half, half, 0}, 1.0 / 16);
  ModelNode& floorNode = model.root.child("Floor");
  model.addMesh(floorNode, "FloorShape", std::move(floor), floorMat);

  // Walls and ceiling: a box seen from within, with pillars and a cornice.
  MeshPart shell = box({-half, -half, 0}, {half, half, height}, 1.0 / 24);
  // keep only the four walls and the ceiling; the floor has its own mesh
  {
    MeshPart walls;
    for (const auto& t : shell.triangles) {
      const Vec3 n = shell.vertices[t[0]].normal;
      if (n.z < -0.5) continue;  // the underside of the box is the floor
      walls.triangles.push_back(t);
    }
    walls.vertices = shell.vertices;
    walls.invert();
    shell = std::move(walls);
  }
  for (int side = 0; side < 4; ++side) {
    const Mat4 turn = Mat4::rotationZ(side * 0.5 * kPi);
    for (int k = -3; k <= 3; ++k) {
      if (k == 0) continue;
      MeshPart pillar = box({k * 16.0 - 1.6, -half, 0}, {k * 16.0 + 1.6, -half + 2.4, height}, 1.0 / 24);
      shell.append(pillar, turn);
    }
    shell.append(box({-half, -half, height - 3}, {half, -half + 1.5, height}, 1.0 / 24), turn);
  }
  ModelNode& wallNode = model.root.child("Walls");
  model.addMesh(wallNode, "WallsShape", std::move(shell), wallMat);

  // Ceiling beams.
  MeshPart beams;
  for (int k = -3; k <= 3; ++k) beams.append(box({k * 16.0 - 1.2, -half, height - 4}, {k * 16.0 + 1.2, half, height}, 1.0 / 16));
  ModelNode& beamNode = model.root.child("Beams");
  model.addMesh(beamNode, "BeamsShape", std::move(beams), beamMat);

  // The hub pillar with chamfered edges under the arms' axis: top at
  // z = 5.5 / 0.8 (y = -9.5). The scene gives it diffuse 5 and specular 20
  // under a light that rides with the camera, so it glows: it is kept
  // narrow, a bright post in the middle rather than a floor of glare.
  const double top = 5.5 / 0.8, radius = 5;
  MeshPart pillar = lathe({{0, 0, true},
                          {radius - 2.0, 0, true},
                          {radius, 1.5, true},
                          {radius, top - 1.5, true},
                          {radius - 2.0, top, true},
                          {0, top, true}},
                         96, 8, 1);
  pillar.transform(standUp());
  ModelNode& pillarNode = model.root.child("ChamferCyl01");
  model.addMesh(pillarNode, "ChamferCyl01Shape", std::move(pillar), pillarMat);
  return model;
}

}  // namespace velm::models
