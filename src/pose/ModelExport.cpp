#include "pose/ModelExport.h"
#include "platform/FileUtil.h"
#include "pose/ObjExport.h"

double DefaultPlayTime(const TAnimDocument& doc) { return doc.FrameCount() * 0.3; }

TExportResult ExportPosedModel(const TModelList& models, const std::vector<const TSelection*>& treeOrder,
                               const TPose& pose, const TPoseParams& params, const TAnimDocument* doc, const TExportRequest& request)
{
    TExportResult result;
    TAtomicFileWriter out(request.Path);
    qint64 points = 0, nonFinite = 0;
    if (request.Format == TExportFormat::Obj) {
        const TObjReport report = WritePosedObj(models, treeOrder, pose, params, request.Comment, out, request.Environment);
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
    if (!out.Ok() || !out.Commit()) {
        result.Error = QStringLiteral("Cannot write file %1: %2").arg(request.Path, out.Error());
        result.Notes.clear();
        return result;
    }
    if (nonFinite > 0)
        result.Notes.prepend(QStringLiteral("%1: %2 of %3 points are not finite numbers; they are written at the origin")
                                 .arg(request.ModelName)
                                 .arg(nonFinite)
                                 .arg(points));
    return result;
}
