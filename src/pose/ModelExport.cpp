#include "pose/ModelExport.h"
#include "platform/FileUtil.h"
#include "platform/Progress.h"
#include "pose/ObjExport.h"

double DefaultPlayTime(const TAnimDocument& doc) { return doc.FrameCount() * 0.3; }

qint64 ExportBytesEstimate(const TModelList& models, const TAnimDocument* doc, const TExportRequest& request)
{
    // An OBJ line or a glTF vertex is a few dozen bytes; a glTF key about as much.
    qint64 records = 0;
    for (const auto& m : models)
        if (m)
            records += qint64(m->DrawnVertices().size()) +
                       qint64(m->DrawnPolygons().size()) * (request.Format == TExportFormat::Obj ? 1 : 4);
    if (request.Format != TExportFormat::Obj && request.Animate && doc)
        records += qint64(doc->AnimFrames.size()) * doc->AnimSelections.Count();
    return records * 40;
}

TExportResult ExportPosedModel(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPose& pose,
                               const TPoseParams& params, const TAnimDocument* doc, const TExportRequest& request)
{
    TExportResult result;
    TAtomicFileWriter out(request.Path);
    // The writers report how far they are; the file stops taking bytes once cancelled.
    out.SetProgress(request.Progress);
    qint64 points = 0, nonFinite = 0;
    if (request.Format == TExportFormat::Obj) {
        const TObjReport report = WritePosedObj(models, treeOrder, pose, params, request.Comment, out, request.Environment,
                                                request.Progress);
        points = report.Points;
        nonFinite = report.NonFinitePoints;
    } else {
        TGltfOptions options;
        options.Binary = request.Format == TExportFormat::Glb;
        options.Document = doc;
        options.Animate = request.Animate && doc && !doc->AnimFrames.empty();
        options.PlayTime = request.PlayTime > 0 ? request.PlayTime : (doc ? DefaultPlayTime(*doc) : 0);
        options.AnimationName = request.AnimationName;
        options.ModelName = request.ModelName;
        options.Transparent = request.Transparent;
        options.EnvironmentAlpha = request.EnvironmentAlpha;
        options.Comment = request.Comment;
        options.Environment = request.Environment;
        options.Progress = request.Progress;
        options.Members = request.Members;
        const TGltfReport report = WritePosedGltf(models, treeOrder, pose, params, options, out);
        if (!report.Error.isEmpty()) {
            out.Discard();
            result.Error = report.Error;
            return result;
        }
        points = report.Points;
        nonFinite = report.NonFinitePoints;
        result.Notes = report.Warnings;
    }
    // A cancel up to the moment the file takes the target's place loses nothing.
    if (Cancelled(request.Progress))
        out.Discard();
    if (Cancelled(request.Progress) || !out.Ok() || !out.Commit()) {
        result.Notes.clear();
        result.Cancelled = Cancelled(request.Progress) || out.Cancelled();
        if (!result.Cancelled)
            result.Error = QStringLiteral("Cannot write file %1: %2").arg(request.Path, out.Error());
        return result;
    }
    SetPart(request.Progress, 0, 1);
    Advance(request.Progress, 1, 1);
    if (nonFinite > 0)
        result.Notes.prepend(QStringLiteral("%1: %2 of %3 points are not finite numbers; they are written at the origin")
                                 .arg(request.ModelName)
                                 .arg(nonFinite)
                                 .arg(points));
    return result;
}
