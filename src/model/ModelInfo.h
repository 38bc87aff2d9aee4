#pragma once
// What "torvane-anim info MODEL.p3d [--json]" prints: the main model's counts and every
// component in tree order with its level, names, colour, pivot, member counts and, for a
// proxy with a loaded sub-model, that sub-model's file and placement.
#include "model/ComponentForest.h"

#include <QString>
#include <vector>

class TP3dModell;
struct TSelection;

// Member points and polygons of a component, counting only indices inside its model.
int MemberVertexCount(const TSelection& s);
int MemberPolygonCount(const TSelection& s);

// Readable text: the counts, then a line per component indented by its level.
QString ModelInfoText(const TP3dModell& model, const TComponentNodes& tree);

// One JSON object:
//   {"vertices":NV,"normals":NN,"polygons":NP,"components":[{"level":0,"name":"...",
//    "displayName":"...","color":255,"pivot":[x,y,z],"vertexCount":n,"polygonCount":m,
//    "proxy":null or {"file":"...","matrix":[12 numbers]}}]}
// Numbers in their shortest form that reads back to the same value.
QString ModelInfoJson(const TP3dModell& model, const TComponentNodes& tree);
