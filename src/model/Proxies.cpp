#include "model/Proxies.h"

#include "platform/DebugOut.h"
#include "platform/FileUtil.h"

#include <cmath>

namespace {
using TMat3 = double[3][3];

TVec3 Sub(const TVec3& a, const TVec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const TVec3& a, const TVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(const TVec3& a) { return std::sqrt(Dot(a, a)); }

// A zero-length leg stays the zero vector, so the frame comes out singular instead of NaN.
TVec3 Unit(const TVec3& a)
{
    const double len = Length(a);
    if (len == 0)
        return {};
    return {a.x / len, a.y / len, a.z / len};
}

double Det(const TMat3& m)
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

TVec3 Point(const TP3dModell& model, uint32_t index)
{
    const TP3dVertex& v = model.Vertices[index];
    return {double(v.X), double(v.Y), double(v.Z)};
}
}  // namespace

bool IsProxyName(const QString& name) { return name.contains(QLatin1String("proxy:")); }

QString ProxyFileName(const QString& selectionName)
{
    const qsizetype length = selectionName.size() - 9;
    if (length <= 0)
        return {};
    return selectionName.mid(6, length);
}

QString ProxyFilePath(const QString& modelFileName, const QString& proxyFileName, TCaseResolver& resolver)
{
    // The model's own path is taken as it is; only the name stored in the model may use
    // Windows separators.
    const qsizetype slash = modelFileName.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? modelFileName.left(slash + 1) : QString();
    return resolver.Resolve(folder + NormalizeSeparators(proxyFileName) + QStringLiteral(".p3d"));
}

int FirstMemberPolygon(const TSelection& sel)
{
    if (!sel.Model)
        return -1;
    const std::vector<TP3dPolygon>& polygons = sel.Model->Polygons;
    const size_t n = std::min(polygons.size(), sel.PolygonMembership.size());
    for (size_t i = 0; i < n; ++i)
        if (sel.PolygonMembership[i] && polygons[i].Valid)
            return int(i);
    return -1;
}

TSelection* FindProxyParent(const std::vector<TSelection*>& treeOrder, const QString& proxyName, int polygonIndex)
{
    if (polygonIndex < 0)
        return nullptr;
    for (TSelection* sel : treeOrder) {
        if (!sel || size_t(polygonIndex) >= sel->PolygonMembership.size())
            continue;
        if (sel->PolygonMembership[size_t(polygonIndex)] && sel->Name != proxyName)
            return sel;
    }
    return nullptr;
}

QString DeterminantZeroText() { return QStringLiteral("[internal] Determinant is zero!"); }

int RightAngleCorner(const TVec3& p0, const TVec3& p1, const TVec3& p2)
{
    const TVec3 e0 = Sub(p0, p1), e1 = Sub(p1, p2), e2 = Sub(p2, p0);
    const double d[3] = {Dot(e0, e1), Dot(e2, e1), Dot(e0, e2)};
    for (int k = 0; k < 3; ++k)
        if (std::fabs(d[k]) < 0.01)
            return (k + 1) % 3;
    return -1;
}

TProxyPlacement ComputeProxyMatrix(const TVec3& p0, const TVec3& p1, const TVec3& p2, TTransform& matrix)
{
    const TVec3 p[3] = {p0, p1, p2};
    const int corner = RightAngleCorner(p0, p1, p2);
    if (corner < 0) {
        DebugOut(QStringLiteral("Proxy ungültig!"));
        return TProxyPlacement::NoRightAngle;
    }
    const int k = (corner + 2) % 3;  // the dot product that found it
    const TVec3& r = p[(k + 1) % 3];
    const TVec3& a = p[(k + 2) % 3];
    const TVec3& b = p[k];
    // A tie takes P(k) as the end of the long leg.
    const bool aLonger = Length(Sub(a, r)) > Length(Sub(b, r));
    const TVec3& longEnd = aLonger ? a : b;
    const TVec3& shortEnd = aLonger ? b : a;
    const TVec3 u = Unit(Sub(shortEnd, r));
    const TVec3 w = Unit(Sub(longEnd, r));
    const TVec3 c = {w.y * u.z - w.z * u.y, w.z * u.x - w.x * u.z, w.x * u.y - w.y * u.x};

    const TMat3 m = {{c.x, c.y, c.z}, {w.x, w.y, w.z}, {u.x, u.y, u.z}};
    const double det = Det(m);
    matrix = TTransform::Zero();
    matrix[9] = r.x;
    matrix[10] = r.y;
    matrix[11] = r.z;
    if (det == 0)
        return TProxyPlacement::SingularFrame;
    // Transpose of the inverse by Cramer's rule: element (j, i) is the determinant of m with
    // column i replaced by unit vector j, over det.
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            TMat3 mi;
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    mi[row][col] = col == i ? (row == j ? 1.0 : 0.0) : m[row][col];
            matrix[j * 3 + i] = Det(mi) / det;
        }
    }
    return TProxyPlacement::Placed;
}

const TSubModelFiles::TFile& TSubModelFiles::Get(const QString& path)
{
    // A model names few distinct files; a list is as quick as a map for them.
    for (const TFile& file : Files_)
        if (file.Path == path)
            return file;
    TFile& file = Files_.emplace_back();
    file.Path = path;
    // A sub-model is drawn whole: its tag list is not read, and its points are used as
    // stored, so the arrays go to the shared geometry as the reader left them.
    file.Read = ReadP3dByName(path, false, file.FileName);
    LogP3dRead(file.Read);
    auto geometry = std::make_shared<TP3dGeometry>();
    geometry->Vertices = std::move(file.Read.Vertices);
    geometry->Normals = std::move(file.Read.Normals);
    geometry->Polygons = std::move(file.Read.Polygons);
    file.Read.Vertices = {};
    file.Read.Normals = {};
    file.Read.Polygons = {};
    file.Geometry = std::move(geometry);
    return file;
}

TProxyLoad LoadProxy(TSelection& proxy, const QString& modelFileName, const std::vector<TSelection*>& treeOrder,
                     TSubModelFiles& files)
{
    using TOutcome = TProxyLoad::TOutcome;
    TProxyLoad result;
    if (!IsProxyName(proxy.Name))
        return result;
    const QString fileName = ProxyFileName(proxy.Name);
    if (fileName.isEmpty()) {
        DebugOut(proxy.Name + QStringLiteral(": no proxy file name"));
        result.Outcome = TOutcome::BadName;
        return result;
    }
    result.PolygonIndex = FirstMemberPolygon(proxy);
    if (result.PolygonIndex < 0) {
        result.Outcome = TOutcome::NoPolygon;
        return result;
    }
    const QString path = ProxyFilePath(modelFileName, fileName, files.Resolver());
    result.Path = path;
    if (const QString problem = RegularFileProblem(path); !problem.isEmpty()) {
        result.Outcome = TOutcome::FileMissing;
        // A folder or a FIFO of that name is there: saying it is not would mislead.
        result.Messages << (FileExists(path) ? fileName + QStringLiteral(".p3d: ") + problem
                                             : fileName + QStringLiteral(".p3d not found!"));
        return result;
    }
    result.Parent = FindProxyParent(treeOrder, proxy.Name, result.PolygonIndex);
    if (result.Parent)
        DebugOut(result.Parent->DisplayName + QStringLiteral(" is proxyparent of ") + proxy.DisplayName);

    const TSubModelFiles::TFile& file = files.Get(path);
    auto sub = std::make_unique<TP3dModell>(file.FileName, file.Read, file.Geometry, &proxy, result.Parent);
    using S = TP3dModell::ReadStatus;
    if (sub->Status == S::StreamError || sub->Status == S::CannotOpen) {
        result.Outcome = TOutcome::ReadFailed;
        result.Messages << sub->ErrorText;
        result.FileMessages = 1;
        return result;
    }
    if (sub->Status != S::Ok) {
        result.Messages << sub->ErrorText;
        result.FileMessages = 1;
    }

    TP3dModell& main = *proxy.Model;
    TP3dPolygon& triangle = main.Polygons[size_t(result.PolygonIndex)];
    triangle.Hidden = true;
    for (int i = 0; i < 3; ++i)
        main.Vertices[triangle.Corners[i].PointIndex].IsProxyCorner = true;
    result.Placement = ComputeProxyMatrix(Point(main, triangle.Corners[0].PointIndex),
                                          Point(main, triangle.Corners[1].PointIndex),
                                          Point(main, triangle.Corners[2].PointIndex), sub->ProxyMatrix);
    if (result.Placement == TProxyPlacement::SingularFrame)
        result.Messages << DeterminantZeroText();
    proxy.ProxyModel = sub.get();
    result.Model = std::move(sub);
    result.Outcome = TOutcome::Loaded;
    return result;
}
