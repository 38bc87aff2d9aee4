#pragma once
// Writing the posed model to a file, as OBJ or glTF, for the command line and the window
// alike: the file is written atomically, and what the writer met comes back as notes.
#include "pose/GltfExport.h"

#include <QString>
#include <QStringList>

struct TExportRequest {
    QString Path;
    TExportFormat Format = TExportFormat::Obj;
    QString Comment;  // OBJ: "# ..." lines; glTF: the asset's extras
    QString ModelName;  // the model's file name
    bool Environment = true;  // false: a loaded environment is left out
    // glTF only:
    bool Animate = false;  // every frame of Document as a keyframe
    double PlayTime = 0;  // seconds per pass; 0: the editor's default for the animation
    QString AnimationName;
    bool Transparent = false;
    float EnvironmentAlpha = 0.1f;
    // Hears how far the export is; cancelled, the file is not written (Cancelled).
    TProgress* Progress = nullptr;
    // The editor's member lists of the components, so that glTF need not work them out.
    const TPoseCache* Members = nullptr;
};

struct TExportResult {
    QString Error;  // empty when the file was written
    QStringList Notes;  // points not finite, transforms written approximately
    bool Cancelled = false;  // stopped by Progress: the file is as it was
};

// About how many bytes the export writes: enough to tell a large export from a small one.
qint64 ExportBytesEstimate(const TModelList& models, const TAnimDocument* doc, const TExportRequest& request);

// The editor's play time for a freshly loaded animation: 0.3 s per frame.
double DefaultPlayTime(const TAnimDocument& doc);

// Writes what the display shows (UpdateDisplayPoints first). doc may be null.
TExportResult ExportPosedModel(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                               const TPoseParams& params, const TAnimDocument* doc, const TExportRequest& request);
