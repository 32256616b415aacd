// The two model file formats the production reads, written from a Model:
// DirectX ".x" text and Autodesk ".3ds" binary chunks. Output depends only on
// the model (fixed number formatting, no time stamps), so the same model
// always gives the same bytes.
#pragma once

#include <string>

#include "model.h"

namespace velm::models {

// ".x" text: one top-level frame (the root) with FrameTransformMatrix rows as
// in the model, meshes inside their frames with normals, one texture
// coordinate set and a material list. Faces keep the model's winding.
std::string writeDirectX(const Model& model);

// ".3ds": the model's meshes, each as a named object with its vertices,
// faces, mapping coordinates, smoothing groups and material, and a keyframer
// section that gives each object a node of its name. Meant for models whose
// root has only mesh children with identity transforms (the reader places
// meshes by their vertices). A ".3ds" scene is z-up with texture v running up
// the picture, so the model's y-up positions are written turned to z-up (the
// reader's root node turns them back) and v as 1 - v. Faces are written with
// the model's winding, which is the format's own front-face convention; the
// engine's import reverses them, and the model's set-up inverts them back.
std::string write3ds(const Model& model);

}  // namespace velm::models
