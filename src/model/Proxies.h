#pragma once
// Proxies: selections named "proxy:<file>.<nn>" stand for another model file, which is
// loaded as a sub-model and placed on the selection's right-angle triangle.
#include "model/P3dModel.h"
#include "platform/FileUtil.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// True when the name marks a proxy selection ("proxy:" anywhere, case-sensitive).
bool IsProxyName(const QString& name);

// The file name a proxy selection refers to: the name from its 7th character on, without
// its last three (the ".nn" index suffix), so "proxy:tank.01" gives "tank". Empty when the
// name is too short to hold one.
QString ProxyFileName(const QString& selectionName);

// The sub-model's path: proxyFileName + ".p3d" in the folder of modelFileName, found
// without regard to letter case (with resolver, which lists each folder once).
// Backslashes in proxyFileName are folder separators (the name comes from a file made on
// Windows); modelFileName is taken literally.
QString ProxyFilePath(const QString& modelFileName, const QString& proxyFileName, TCaseResolver& resolver);

// Index of the first valid polygon that belongs to the selection, or -1.
int FirstMemberPolygon(const TSelection& sel);

// The first selection in tree order, other than the proxy itself (names compared exactly),
// that also holds polygon polygonIndex; null when there is none.
TSelection* FindProxyParent(const std::vector<TSelection*>& treeOrder, const QString& proxyName, int polygonIndex);

enum class TProxyPlacement {
    Placed,  // rows 0-2 from the triangle, row 3 the right-angle corner
    NoRightAngle,  // matrix left all zero ("Proxy ungültig!" on the debug channel)
    SingularFrame,  // rows 0-2 zero, row 3 the right-angle corner; the user is told
};

// The text shown to the user for SingularFrame.
QString DeterminantZeroText();

// The right-angle corner of the triangle p0, p1, p2 (0, 1 or 2), or -1 when none: with the
// edges e0 = p0 - p1, e1 = p1 - p2, e2 = p2 - p0 and the dot products d0 = e0.e1,
// d1 = e2.e1, d2 = e0.e2 taken in that order, the first |dk| < 0.01 names corner (k + 1) mod 3.
int RightAngleCorner(const TVec3& p0, const TVec3& p1, const TVec3& p2);

// The placement of a sub-model on the triangle p0, p1, p2: its origin at the right-angle
// corner, its Y axis along the long leg, its Z axis along the short leg. Points are row
// vectors. matrix is only written when a right angle is found.
TProxyPlacement ComputeProxyMatrix(const TVec3& p0, const TVec3& p1, const TVec3& p2, TTransform& matrix);

// Everything the model set-up does for one selection that may be a proxy.
struct TProxyLoad {
    enum class TOutcome {
        NotProxy,  // not a proxy selection
        BadName,  // too short to name a file (debug line only)
        NoPolygon,  // holds no valid polygon
        FileMissing,  // Messages holds "<file>.p3d not found!", or what it is instead of a file
        ReadFailed,  // the sub-model could not be read; Messages holds the read error
        Loaded,  // Model is set, placed, and the triangle hidden
    };
    TOutcome Outcome = TOutcome::NotProxy;
    // Texts to show the user, in order (a read format error, "[internal] Determinant is zero!").
    QStringList Messages;
    // The sub-model's file; the first FileMessages of Messages are its reader's and say
    // nothing of which file they mean.
    QString Path;
    qsizetype FileMessages = 0;
    std::unique_ptr<TP3dModell> Model;
    TSelection* Parent = nullptr;
    int PolygonIndex = -1;
    TProxyPlacement Placement = TProxyPlacement::NoRightAngle;
};

// The sub-model files of one model load: each is read once, and every proxy that names
// it shares its points, normals and polygons, so memory grows with the distinct files
// and not with the number of proxies.
class TSubModelFiles {
public:
    struct TFile {
        QString Path;  // as asked for
        QString FileName;  // as found
        TP3dFile Read;  // status, error text and counts of the read; its arrays moved to Geometry
        std::shared_ptr<const TP3dGeometry> Geometry;
    };
    // The file at path (as found), read on first use.
    const TFile& Get(const QString& path);
    // Finds the files without regard to letter case: a folder of many files is listed
    // once, however many proxies name files that are not there.
    TCaseResolver& Resolver() { return Resolver_; }

private:
    std::vector<TFile> Files_;
    TCaseResolver Resolver_;
};

// Loads and places the sub-model of proxy (a selection of the main model read from
// modelFileName). treeOrder lists the main model's selections in tree order. On Loaded the
// caller appends Model to its model list; proxy.ProxyModel already points at it. Files
// already in files are not read again.
TProxyLoad LoadProxy(TSelection& proxy, const QString& modelFileName, const std::vector<TSelection*>& treeOrder,
                     TSubModelFiles& files);
