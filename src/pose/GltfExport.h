#pragma once
// The posed model, and optionally its whole animation, as glTF 2.0 (JSON with the buffer
// embedded, or binary .glb).
//
// The editor's pose is flat: every component carries a model-space transform and a point
// shared by several components is drawn at the average of their transforms. Skinning says
// exactly that, so the main model is one skinned mesh:
//  - a joint node per posed component (the animated ones; all without an animation) in
//    tree order (named by Name, the display name in the node's extras), all children of a
//    "total move" node, itself a child of the model's root node; identity inverse bind
//    matrices, and every node at rest at the identity, so the bind pose is the rest pose;
//  - animated, bind positions are the stored points plus the model offset (rounded to
//    float) and the keyframes move the joints; a single pose is written as the editor
//    shows it (its display points), the joints at rest;
//  - each point is weighted 1/share count on the joints of the animated components that
//    hold it; one held by more than four follows a joint of its own for that group, whose
//    keys are the group's average transform (two nodes: translation, rotation and scale,
//    then a rotation); a point that the editor leaves at the origin (in no animated
//    component, a proxy corner while an animation is loaded, or not finite) sits at the
//    origin on the root node, which is the skin's last joint;
//  - a primitive per component that is not hidden, with the polygons the 3D view draws
//    for it, quads split into (1,2,4) and (2,3,4) as GL splits the view's quads; a vertex
//    per corner, with the file's normal or, where that is missing, the polygon's own; a
//    material per colour (sRGB to linear), opaque unless Transparent.
// A proxy's sub-model is a mesh of its own (its data shared by every placement of the same
// file) on a node under the joint of the component it hangs under, placed by its proxy
// matrix. The environment is a static node with its shifted points. Node names are unique.
//
// With an animation, each frame is a keyframe at (frame time x play time) seconds, a frame
// not later than the one before 1 ms after it: T/R/S channels with LINEAR interpolation for
// every animated component, and the total move as the translation of the "total move"
// node. Frames are applied one after the other as the editor applies them, so a frame that
// lacks an entry shows what the editor would. A transform that rotation, scale and
// translation cannot express (shear, mirroring) is written as its nearest rotation and
// positive scale, with a warning naming the component and frame.
#include "pose/Pose.h"

#include <QString>
#include <QStringList>
#include <vector>

class TAtomicFileWriter;
class TProgress;

enum class TExportFormat { Obj, Gltf, Glb };
// The format a file name's extension asks for: .gltf, .glb, anything else OBJ.
TExportFormat ExportFormatForFile(const QString& path);

struct TGltfOptions {
    bool Binary = false;
    // The loaded animation (null when none). Needed for which components are animated.
    const TAnimDocument* Document = nullptr;
    // Write every frame as a keyframe (needs Document with frames); else the current pose.
    bool Animate = false;
    double PlayTime = 1;  // seconds one pass takes; must be above 0 when animating
    QString AnimationName;  // the glTF animation's name
    QString ModelName;  // the root node's name
    bool Transparent = false;  // the 3D view blends: materials become transparent
    float EnvironmentAlpha = 0.1f;  // the environment's alpha when transparent
    bool Environment = true;  // false: a loaded environment is left out
    QString Comment;  // into the asset's extras
    // Hears how far the writer is; once it is cancelled the writer stops, and the caller
    // discards the file.
    TProgress* Progress = nullptr;
    // The components' member lists where the editor keeps them (null: worked out here).
    const TPoseCache* Members = nullptr;
};

struct TGltfReport {
    qint64 Points = 0;  // points written (main model, proxies, environment)
    qint64 NonFinitePoints = 0;  // of them not finite: written at the origin
    QStringList Warnings;  // one line per transform that could not be written as is
    QString Error;  // not empty: the model cannot be written (nothing is)
};

// A transform as translation, rotation (quaternion x, y, z, w) and scale. Exact is false
// for shear and mirroring (then R and S are the nearest rotation and positive scale);
// Finite is false when an element is NaN or infinite, or a scale is beyond a float's range
// (then T = 0, R = identity, S = 0).
struct TTrs {
    double T[3] = {0, 0, 0};
    double R[4] = {0, 0, 0, 1};
    double S[3] = {1, 1, 1};
    bool Exact = true;
    bool Finite = true;
};
TTrs DecomposeTransform(const TTransform& m);

// Any finite transform as two nodes, the outer one's translation, rotation and scale (one
// scale negative for a mirroring) followed by the inner one's rotation: a singular value
// decomposition. It writes what one node cannot, such as the average of several turned
// components. Not finite: Finite false, the outer node collapsed as DecomposeTransform does.
struct TTrsPair {
    TTrs Outer;
    double Inner[4] = {0, 0, 0, 1};
    bool Finite = true;
};
TTrsPair DecomposeAffine(const TTransform& m);

// Writes the glTF of what the scene shows (run UpdateDisplayPoints first); the models and
// components are not changed. The caller commits out.
TGltfReport WritePosedGltf(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                           const TPoseParams& params, const TGltfOptions& options, TAtomicFileWriter& out);
