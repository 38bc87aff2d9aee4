#pragma once
// The posed model as a Wavefront OBJ file, as the editor shows the current frame.
//
// Vertex lines: first every point of the main model in point order, from its display
// points (so OBJ vertex k+1 is point k; run UpdateDisplayPoints first), then, for each
// proxy sub-model in model-list order, its stored points posed with its placement
// (PosePoint with ProxyTransform), then the points of the environment model, if one is
// loaded, from its display points (shifted onto its proxy). Then one group per component
// that is not hidden, in tree order, named by
// the component's Name (white space in a name becomes '_', since OBJ splits group names
// there), holding a face per polygon the component draws:
//  - a proxy component with a sub-model: every polygon of the sub-model that is not hidden,
//    with indices into the sub-model's block of vertex lines;
//  - any other component: every polygon of its model that it is a member of, that is not
//    hidden and whose first corner is not a proxy corner;
// and last the group "environment" with every polygon of the environment that is not
// hidden (its proxy's triangle is).
// Polygons that are malformed (not 3 or 4 corners, corners outside the points) are left
// out, and so are hidden components (no group). Numbers are in their shortest form
// that reads back to the same value; corners keep their stored order. A point that is not
// finite is written as 0 0 0 (and counted), so that every OBJ reader can read the file.
#include "pose/Pose.h"

#include <QByteArray>
#include <QString>
#include <vector>

class TAtomicFileWriter;
class TProgress;

// The group name written for a component name.
QString ObjGroupName(const QString& name);

// What the export met on its way.
struct TObjReport {
    qint64 Points = 0;
    // Points with a coordinate that is NaN or infinite (from the model or the frame). OBJ
    // readers refuse such numbers, so these points are written at the origin instead.
    qint64 NonFinitePoints = 0;
};

// Writes the OBJ to out, line by line; the caller commits. comment: written as "# ..."
// lines at the top (may be empty or hold several lines). environment: false leaves a
// loaded environment out, as the window does while it is switched off. progress hears of
// every few thousand lines; a cancel is the writer's to honour (TAtomicFileWriter::SetProgress).
TObjReport WritePosedObj(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                         const TPoseParams& params, const QString& comment, TAtomicFileWriter& out, bool environment = true,
                         TProgress* progress = nullptr);
