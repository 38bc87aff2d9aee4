#pragma once
// A loaded model: the first LOD of a P3D "MLOD" file with its points, normals, polygons
// and named selections (the components), set up for the editor from what the reader
// (model/P3dFile.h) took from the file.
#include "base/Transform.h"
#include "model/P3dFile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TP3dModell;

// One posed point as the views draw it.
struct TDisplayPoint {
    float X = 0, Y = 0, Z = 0;
    int32_t ShareCount = 0;
};

// A named selection of a model, a component: what the model's files say about it. How it
// is posed is kept apart, by whoever shows it.
struct TSelection {
    TP3dModell* Model = nullptr;
    TP3dModell* ProxyModel = nullptr;
    bool Hidden = false;
    QString Name;
    QString DisplayName;
    float Pivot[3] = {0, 0, 0};
    TMembership VertexMembership;  // one byte per vertex of Model
    TMembership PolygonMembership;  // one byte per polygon of Model
    // No member lies outside [FirstPoint, EndPoint) and [FirstPolygon, EndPolygon), as the
    // reader found; the whole lists where nobody said.
    uint32_t FirstPoint = 0, EndPoint = UINT32_MAX;
    uint32_t FirstPolygon = 0, EndPolygon = UINT32_MAX;
    uint32_t Color = 0;  // 0x00BBGGRR
};

// The points, normals and polygons of a sub-model file, read once and shared by every
// proxy that names the file; never changed after reading.
struct TP3dGeometry {
    std::vector<TP3dVertex> Vertices;
    std::vector<TP3dNormal> Normals;
    std::vector<TP3dPolygon> Polygons;
};

// The default colour of the n-th named selection of a file (n counts from 1): entry n mod 17.
uint32_t DefaultSelectionColor(int n);

// Reads the file named fileName, found without regard to letter case (path is set to the
// file as found); a failure to open or to find memory names the file as given.
TP3dFile ReadP3dByName(const QString& fileName, bool selections, QString& path, TProgress* progress = nullptr);

// The debug lines of a read, in the order the file's parts came: the counts, then each
// tag's name (with "skip Tag.." and its size for the skipped ones).
void LogP3dRead(const TP3dFile& file);

class TP3dModell {
public:
    // Main model or proxy sub-model.
    TP3dModell(const QString& fileName, TSelection* proxySelection, TSelection* proxyParent, bool isProxy);
    // Environment model.
    explicit TP3dModell(const QString& fileName);
    // Proxy sub-model on a file already read: read is what the reader returned for it (its
    // status, error and counts are copied), geometry its points, normals and polygons.
    TP3dModell(const QString& fileName, const TP3dFile& read, std::shared_ptr<const TP3dGeometry> geometry,
               TSelection* proxySelection, TSelection* proxyParent);
    ~TP3dModell();
    TP3dModell(const TP3dModell&) = delete;
    TP3dModell& operator=(const TP3dModell&) = delete;

    QString FileName;
    std::vector<TP3dVertex> Vertices;
    std::vector<TP3dNormal> Normals;
    std::vector<TP3dPolygon> Polygons;
    // The model owns its selections; the component tree only points at the main model's.
    std::vector<std::unique_ptr<TSelection>> Selections;
    TSelection* ProxySelection = nullptr;
    TSelection* ProxyParent = nullptr;
    std::vector<TDisplayPoint> DisplayPoints;
    bool IsProxy = false;
    bool IsEnvironment = false;
    TTransform ProxyMatrix;  // all zero until placed
    // A proxy sub-model made on a shared file holds its points, normals and polygons here
    // (its own Vertices, Normals and Polygons stay empty) and has no display points: its
    // points are posed where they are drawn.
    std::shared_ptr<const TP3dGeometry> SharedGeometry;
    // The points and polygons to draw: the shared ones where there are, else the model's own.
    const std::vector<TP3dVertex>& DrawnVertices() const { return SharedGeometry ? SharedGeometry->Vertices : Vertices; }
    const std::vector<TP3dPolygon>& DrawnPolygons() const { return SharedGeometry ? SharedGeometry->Polygons : Polygons; }
    const std::vector<TP3dNormal>& DrawnNormals() const { return SharedGeometry ? SharedGeometry->Normals : Normals; }

    // The counts as the LOD header states them (0 until a header was read). The status bar
    // shows these, also when the file turned out too short to hold them.
    uint32_t LodVertexCount = 0;
    uint32_t LodNormalCount = 0;
    uint32_t LodPolygonCount = 0;

    // What the last read ended with.
    //  BadFormat, BadLod, NoTags: the user is shown ErrorText and the model is kept as read.
    //  StreamError: the file ended early; the caller abandons the load and discards the model.
    //  CannotOpen: the file could not be read at all.
    using ReadStatus = TP3dReadStatus;
    ReadStatus Status = ReadStatus::NotRead;
    // The message the user is shown for a failed read; empty on success.
    QString ErrorText;

    // Reads the file (found without regard to letter case) and sets the model up from it.
    // Failures are left in Status/ErrorText (the caller shows them). The read's progress
    // lines go to the debug channel. Nothing here touches a window: the main window adds
    // tree nodes for a main model's Selections and writes the status bar from
    // LodVertexCount/LodPolygonCount. An empty file name does nothing. Re-reading replaces
    // the selections too. progress hears how far the read is (ReadP3dFile).
    void ReadP3d(const QString& fileName, bool environment, TProgress* progress = nullptr);
    // Reads from bytes already in memory; FileName is left as it is.
    void ReadP3dBytes(const QByteArray& bytes, bool environment);
    // Sets the model up from what the reader took from its file (arrays moved, not
    // copied): a main or environment model gets display points and, per selection, its
    // default colour, default pivot and share counts; a proxy sub-model neither. The
    // read's progress lines go to the debug channel first.
    void SetUp(TP3dFile&& file);
    // Empties the points, normals, polygons and display points.
    void Clear();
};

// The loaded models: the main model first, then its proxy sub-models, then at most one
// environment.
using TModelList = std::vector<std::unique_ptr<TP3dModell>>;
