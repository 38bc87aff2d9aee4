// Whole animations that come from elsewhere (a recovered copy, a glTF file's animation),
// and the files the session was read from.
#include "anim/Recovery.h"
#include "editor/Editor.h"
#include "model/Linking.h"
#include "model/NamesColors.h"
#include "model/P3dModel.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QFileInfo>
#include <utility>

void TEditor::ReplaceAnimation(const QString& stepName, TAnimDocument doc)
{
    LeaveEdit(TAnimChange::Document);
    {
        const TRecording step(*this, stepName);
        ShowWhatTheLoadHid();
        Anim_.ReplaceAnimation(stepName, std::move(doc));
        HideNotAnimated();
    }
    // Whatever comes next is a step of its own.
    History_.CloseMerge();
    ShowNotHidden();
}

void TEditor::Recover(TAnimDocument doc, const TRecoveryModelEdits& model, const TFileStamp& fileStamp)
{
    LeaveEdit(TAnimChange::Document);
    {
        const TRecording step(*this, QStringLiteral("Recover"));
        if (!model.Empty())
            RecordModel({}, [&] {
                const TComponentForest::TBatch batch(Setup_.Forest);
                if (!model.Linking.isEmpty())
                    ApplyLinkRecords(Setup_.Forest, ReadLinkingBytes(model.Linking).Records);
                TIniFile ini;
                if (!model.Names.isEmpty()) {
                    ini.SetText(QString::fromUtf8(model.Names));
                    ApplyTranslation(Setup_.Forest.MutableTreeOrder(), ini);
                }
                if (!model.Colors.isEmpty()) {
                    ini.SetText(QString::fromUtf8(model.Colors));
                    ApplyColors(Setup_.Forest.MutableTreeOrder(), ini);
                }
                Setup_.Forest.Sort();
            });
        if (!doc.AnimFrames.empty()) {
            ReplaceAnimation(QStringLiteral("Recover"), std::move(doc));
            Anim_.SetDiskStamp(fileStamp);
        }
    }
    History_.CloseMerge();
}

TGltfImport TEditor::ImportGltf(const QString& path, TGltfImportOptions options, bool* cancelled)
{
    QStringList names;
    for (const TComponentNode& node : Setup_.Forest.Nodes())
        names << node.Component->Name;
    TGltfImport imported;
    const TLongTask task{QStringLiteral("Importing %1...").arg(FileNamePart(path)), QFileInfo(path).size(),
                         [&](TProgress* progress) {
                             options.Progress = progress;
                             imported = ImportGltfAnimation(path, names, options);
                             return !Cancelled(progress);
                         }};
    if (!Run(task)) {
        if (cancelled)
            *cancelled = true;
        return {};
    }
    if (imported.Ok())
        ReplaceAnimation(QStringLiteral("Import glTF Animation"), std::exchange(imported.Document, {}));
    return imported;
}

// ---- The files the session was read from

QList<TEditor::TInputFile> TEditor::InputFiles() const
{
    QList<TInputFile> inputs;
    for (const auto& model : Setup_.Models)
        inputs.push_back({model->IsEnvironment ? QStringLiteral("environment")
                          : model->IsProxy     ? QStringLiteral("proxy's model")
                                               : QStringLiteral("model"),
                          model->FileName});
    if (!Anim_.Doc.AnimFileName.isEmpty())
        inputs.push_back({QStringLiteral("animation"), Anim_.Doc.AnimFileName});
    inputs.push_back({QStringLiteral("translation file"), ResolveCaseInsensitive(Setup_.TranslationFile)});
    inputs.push_back({QStringLiteral("colour file"), ResolveCaseInsensitive(Setup_.ColorFile)});
    inputs.push_back({QStringLiteral("linking file"), LinkFilePath(Setup_.LinkDataDir, Setup_.ModelFileName)});
    return inputs;
}

QString TEditor::OverwritesInput(const QString& output, const QList<TInputFile>& extra) const
{
    for (const auto& [kind, path] : InputFiles() + extra)
        if (SameFile(output, path))
            return QStringLiteral("%1 is the %2 %3; it is not written over").arg(output, kind, path);
    return {};
}
