#pragma once
// The DXF export of a drawing: its scene as a DXF document in millimetres of
// the drawing. Items of the Jw renderer become lines, arcs, solids, markers,
// texts and images; a JWW or JWS scene's symbol definitions become BLOCKs
// placed by INSERTs, its dimensions DIMENSIONs drawn by a block of their
// parts; a K4 scene's items become its strokes, marks (a block each),
// fills, points, texts and images on the layers of its groups.
#include "context/context.h"
#include "dxf/document.h"
#include "scene/scene.h"

namespace zumen {

// Fills doc from the scene. ctx is the export's context: the attribute model
// the pens, line types and the display of auxiliary lines come from, and the
// file and clock the text macros read (each text's macros get the scale of
// its layer group, as the painter gives them). Images the drawing places are listed in doc.images with
// the files they come from.
void ExportSceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc);

// The same for a scene of the K4 renderer (from_k4_scene.cpp).
void ExportK4SceneDxf(const scene::Scene& s, const ConversionContext& ctx, dxf::Document& doc);

}  // namespace zumen
