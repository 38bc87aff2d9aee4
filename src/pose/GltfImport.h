#pragma once
// A glTF animation read as an animation of the model's components: what a glTF tool shows
// at each key time becomes a frame the editor shows the same way.
//
// - The joints of the file's skins (without a skin, its nodes) are matched to the model's
//   components by name without regard to case, as RTM names are; the animation lists the
//   matched components in the model's tree order, spelled as the model spells them. A
//   component without a joint is left out, as when an RTM lacks it; a joint (or, without a
//   skin, an animated node) that matches no component is named in Warnings. Joints the
//   editor's own export adds (the root, those of shared points: extras "role") are skipped.
// - A frame per distinct key time of the chosen animation's translation, rotation and scale
//   channels (or one every 1/Fps seconds from the first key, and one at the last); frame
//   times run from 0 at the first to 1 at the last, and PlayTime is the seconds between.
// - A component's transform at a time is its joint's skinning matrix: the joint's global
//   transform (every ancestor, joints or not, with its animated translation, rotation and
//   scale: LINEAR with slerp, STEP, CUBICSPLINE as glTF defines them) times its inverse
//   bind matrix (the identity without a skin).
// - A node named "total move" above the joints (as the editor's export writes it) gives
//   the total move: how far its origin moves from the first frame to the last, scaled to
//   the editor's share of it (frame k of F moves k/F of it). Each frame's transforms leave
//   out the share the editor adds, so what the editor shows is what the file showed,
//   total move or not.
// Anything that cannot be read that way (not glTF, a buffer missing, an accessor outside
// its buffer, a value that is not finite, no animation, no joint that names a component,
// more than MaxEntries) ends the import with Error and an empty document. Reading is
// bounded: the file (and the buffers it names) at 256 MiB, its JSON at 64 MiB and
// 2,000,000 values, the numbers read from accessors at MaxValues; images are never decoded.
#include "anim/AnimDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class TProgress;

struct TGltfImportOptions {
    QString Animation;  // its name, or its number from 0; empty: the first
    double Fps = 0;  // above 0: a frame every 1/Fps seconds instead of one per key time
    qint64 MaxEntries = qint64(1) << 22;  // frames x components the document may hold
    qint64 MaxValues = qint64(1) << 25;  // numbers read from accessors, all told
    // Hears how far the import is (the file parsed, then frame by frame); cancelled, the
    // import ends with an error and an empty document.
    TProgress* Progress = nullptr;
};

struct TGltfImport {
    QString Error;  // empty when the animation was read
    TAnimDocument Document;  // names, frames and total move; no file name
    double PlayTime = 0;  // seconds from the first key to the last
    QStringList Warnings;
    bool Ok() const { return Error.isEmpty(); }
};

// Reads the file at path (.gltf with the buffers it names beside it, or .glb); messages
// name it by its file name. components: the model's component names in tree order.
TGltfImport ImportGltfAnimation(const QString& path, const QStringList& components, const TGltfImportOptions& options = {});
// The same from bytes; buffers that name a file are read from baseDir (none when empty).
TGltfImport ImportGltfAnimation(const QByteArray& bytes, const QString& shownName, const QString& baseDir,
                                const QStringList& components, const TGltfImportOptions& options = {});
