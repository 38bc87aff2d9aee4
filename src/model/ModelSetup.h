#pragma once
// Loading a main model as "Load P3d..." does, without a window: the model, a sub-model
// for every proxy (each file read once), the display names and colours of the selected
// files, and the model's linking file from LinkData, giving the models and the component
// hierarchy. The main window fills its tree from the result; the command line works on it
// directly. Messages the editor shows go to Message, in the editor's order.
#include "model/ComponentForest.h"
#include "model/P3dModel.h"
#include "platform/FileUtil.h"

#include <QString>
#include <functional>

struct TLinkRecord;
class TProgress;

class TModelSetup {
public:
    QString LinkDataDir;  // where the .lpv file of a model is looked for
    QString TranslationFile;  // empty: none selected
    QString ColorFile;
    std::function<void(const QString&)> Message = [](const QString&) {};
    // Messages of the model's and its proxies' readers name their file ("walker.p3d:
    // Incorrect Format!"): for the command line, where no dialog says which load it was.
    bool NameFiles = false;
    // Hears how far a load is: the main model's read, then its proxies. Cancelled, the
    // load stops (false) and what it made is to be dropped.
    TProgress* Progress = nullptr;

    // False when the main model could not be read at all or ended early (the message is
    // out; nothing is loaded). The set-up goes on after the reader's other messages.
    bool Load(const QString& path);
    // What loaded (a load of its own, which nobody listens to) takes the place of what
    // this one holds; the forest's listeners hear of it as a reset. Load(QString()) first
    // lets them go of the components before the models go.
    void Take(TModelSetup&& loaded);

    QString ModelFileName;
    TModelList Models;  // the main model first, then the proxy sub-models
    TComponentForest Forest;
    bool LinkingLoaded = false;  // the model's .lpv file was found and applied
    // The model's .lpv file as the load found it, there or not: a save over it asks when
    // it changed on disk since.
    TDiskFile LinkingOnDisk;
    // The files of the last load that exist but could not be read (whole): the names, the
    // colours, the linking. Each was named in a message.
    enum : unsigned { UnreadNames = 1, UnreadColors = 2, UnreadLinking = 4 };
    unsigned Unread = 0;
    // The main model's counts as its header states them (0 until a header was read),
    // also when the file turned out too short to hold them.
    uint32_t LodVertexCount = 0;
    uint32_t LodPolygonCount = 0;
};

// Applies linking records to the forest as applying them one by one to the tree would
// (each component moved with its subtree to be the last child of its parent, refused
// onto itself or a descendant, pivots set from the record), then sorts it. Returns, per
// node, whether it received a child (the tree expands such a node, as a move does).
std::vector<bool> ApplyLinkRecords(TComponentForest& forest, const std::vector<TLinkRecord>& records);

// The report of animated names the model lacks: a line "\n <name padded to 32> -> <its
// display name from the translation file>" per missing name (the name itself when the
// file has none); empty when every name is found (exactly, letter case counting).
QString MissingComponentsReport(const QStringList& animated, const std::vector<const TSelection*>& treeOrder,
                                const QString& translationFile);
