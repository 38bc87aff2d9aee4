// torvane-demo-gen OUTDIR: writes a small articulated demo into OUTDIR, so the editor has
// something to open out of the box:
//   walker.p3d                a walker of ten box components in three levels, plus a lamp proxy
//   lamp.p3d                  the lamp the proxy stands for
//   room.p3d                  an environment with a place for the walker (Ctrl+E)
//   walker.rtm                a looping walk of twelve frames that moves every level
//   LinkData/walker.lpv       the hierarchy and pivots
//   Translation/walker.tsl    display names
//   Colors/walker.clr         colours
//   TorvaneAnim.ini           settings naming the two files above, relative to OUTDIR
// Run the editor with --home OUTDIR (or with --home on a copy of it).
#include "anim/AnimDocument.h"
#include "anim/Rtm.h"
#include "model/Linking.h"
#include "model/NamesColors.h"
#include "model/P3dModel.h"
#include "platform/DebugOut.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "filebuild/P3dBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

namespace {
struct TPart {
    const char* Name;
    const char* Parent;  // "" for the top level
    float Box[6];  // x0 y0 z0 x1 y1 z1
    float Pivot[3];
    const char* DisplayName;
    uint32_t Color;  // 0x00BBGGRR
};

// Y is up, the walker faces +Z.
const TPart Parts[] = {
    {"body", "", {-0.5f, 1.0f, -0.3f, 0.5f, 2.0f, 0.3f}, {0, 1.5f, 0}, "Torso", 0x3070C0},
    {"head", "body", {-0.25f, 2.05f, -0.25f, 0.25f, 2.5f, 0.25f}, {0, 2.0f, 0}, "Head", 0x80C0F0},
    {"arm_l", "body", {0.55f, 1.2f, -0.12f, 0.8f, 1.95f, 0.12f}, {0.675f, 1.9f, 0}, "Left Arm", 0x40A040},
    {"hand_l", "arm_l", {0.57f, 0.95f, -0.1f, 0.78f, 1.18f, 0.1f}, {0.675f, 1.2f, 0}, "Left Hand", 0x80F080},
    {"arm_r", "body", {-0.8f, 1.2f, -0.12f, -0.55f, 1.95f, 0.12f}, {-0.675f, 1.9f, 0}, "Right Arm", 0xA04040},
    {"hand_r", "arm_r", {-0.78f, 0.95f, -0.1f, -0.57f, 1.18f, 0.1f}, {-0.675f, 1.2f, 0}, "Right Hand", 0xF08080},
    {"leg_l", "body", {0.1f, 0.18f, -0.15f, 0.45f, 0.98f, 0.15f}, {0.275f, 1.0f, 0}, "Left Leg", 0x20A0A0},
    {"foot_l", "leg_l", {0.08f, 0, -0.15f, 0.47f, 0.15f, 0.35f}, {0.275f, 0.15f, 0}, "Left Foot", 0x60E0E0},
    {"leg_r", "body", {-0.45f, 0.18f, -0.15f, -0.1f, 0.98f, 0.15f}, {-0.275f, 1.0f, 0}, "Right Leg", 0xA020A0},
    {"foot_r", "leg_r", {-0.47f, 0, -0.15f, -0.08f, 0.15f, 0.35f}, {-0.275f, 0.15f, 0}, "Right Foot", 0xE060E0},
};
constexpr const char* ProxyName = "proxy:lamp.01";
constexpr const char* ProxyParent = "head";
// The lamp's triangle on top of the head: right angle at its first corner, short leg along
// +Z and long leg along +Y, so the lamp stands upright at that corner.
constexpr float ProxyCorner[3] = {0, 2.5f, 0};
constexpr int FrameCount = 12;

// The component's own motion at phase phi (radians over one walk cycle), about its pivot.
TTransform LocalMotion(const TPart& part, double phi)
{
    const QByteArray name(part.Name);
    const double s = std::sin(phi);
    TTransform t = TTransform::Translation(-part.Pivot[0], -part.Pivot[1], -part.Pivot[2]);
    if (name == "body")
        RotateY(t, 0.15 * s);
    else if (name == "head")
        RotateY(t, 0.5 * std::sin(phi + 1));
    else if (name == "arm_l")
        RotateX(t, 0.6 * s);
    else if (name == "arm_r")
        RotateX(t, -0.6 * s);
    else if (name == "hand_l" || name == "hand_r")
        RotateX(t, -0.4 - 0.25 * (name == "hand_l" ? s : -s));
    else if (name == "leg_l")
        RotateX(t, -0.5 * s);
    else if (name == "leg_r")
        RotateX(t, 0.5 * s);
    else if (name == "foot_l")
        RotateX(t, 0.3 * std::max(0.0, s));
    else if (name == "foot_r")
        RotateX(t, 0.3 * std::max(0.0, -s));
    TTransform back;
    MultiplyTransform(t, TTransform::Translation(part.Pivot[0], part.Pivot[1], part.Pivot[2]), back);
    if (name == "body") {  // a little bob, twice per cycle
        back[10] += 0.04 * std::sin(2 * phi);
    }
    return back;
}

bool Fail(const QString& what)
{
    std::fprintf(stderr, "torvane-demo-gen: %s\n", qPrintable(what));
    return false;
}

bool WriteModels(const QDir& out)
{
    TP3dBuilder walker;
    std::map<QByteArray, TP3dBuilder::Range> ranges;
    for (const TPart& p : Parts)
        ranges[p.Name] = walker.AddBox(p.Box[0], p.Box[1], p.Box[2], p.Box[3], p.Box[4], p.Box[5]);
    const auto c = ProxyCorner;
    const auto triangle = walker.AddTriangle(c[0], c[1], c[2], c[0], c[1], c[2] + 0.1f, c[0], c[1] + 0.2f, c[2]);
    for (const TPart& p : Parts) {
        TP3dBuilder::Range r = ranges[p.Name];
        // The head also holds the lamp's triangle, so the lamp moves with it.
        if (QByteArray(p.Name) == ProxyParent)
            r.Polygons.push_back(triangle.Polygons[0]);
        walker.AddSelection(p.Name, r);
    }
    walker.AddSelection(ProxyName, triangle);
    if (!walker.WriteTo(out.filePath("walker.p3d")))
        return Fail("cannot write walker.p3d");

    TP3dBuilder lamp;
    const auto stand = lamp.AddBox(-0.03f, 0, -0.03f, 0.03f, 0.3f, 0.03f);
    const auto shade = lamp.AddBox(-0.1f, 0.3f, -0.1f, 0.1f, 0.42f, 0.1f);
    std::vector<int> points = stand.Points, polygons = stand.Polygons;
    points.insert(points.end(), shade.Points.begin(), shade.Points.end());
    polygons.insert(polygons.end(), shade.Polygons.begin(), shade.Polygons.end());
    lamp.AddSelection("lamp", points, polygons);
    if (!lamp.WriteTo(out.filePath("lamp.p3d")))
        return Fail("cannot write lamp.p3d");

    // A room to load with "Load Environment P3d...": a floor, a table and a bench, and the
    // place where the walker stands, a proxy triangle with its right angle on the floor.
    TP3dBuilder room;
    room.AddSelection("floor", room.AddBox(-4, -0.1f, -4, 4, 0, 4));
    room.AddSelection("table", room.AddBox(-2.5f, 0, -2.5f, -1, 0.8f, -1.5f));
    room.AddSelection("bench", room.AddBox(2, 0, 1, 3.5f, 0.45f, 1.5f));
    room.AddSelection("proxy:walker.01", room.AddTriangle(1.5f, 0, -1, 1.5f, 0, -0.9f, 1.5f, 0.2f, -1));
    if (!room.WriteTo(out.filePath("room.p3d")))
        return Fail("cannot write room.p3d");
    return true;
}

// Reads the model back (which also checks it) and writes the linking, names and colours
// through the editor's own units.
bool WriteSideFiles(const QDir& out, QString& tslPath, QString& clrPath)
{
    TP3dModell model(out.filePath("walker.p3d"), nullptr, nullptr, false);
    if (model.Status != TP3dModell::ReadStatus::Ok || model.Selections.size() != std::size(Parts) + 1)
        return Fail("walker.p3d does not read back: " + model.ErrorText);
    std::map<QString, TSelection*> byName;
    for (const auto& s : model.Selections)
        byName[s->Name] = s.get();

    // Tree order: each parent before its children.
    std::vector<const TSelection*> order;
    std::vector<TLinkRecord> records;
    for (const TPart& p : Parts) {
        TSelection* s = byName[QString::fromLatin1(p.Name)];
        s->DisplayName = QString::fromLatin1(p.DisplayName);
        s->Color = p.Color;
        order.push_back(s);
        records.push_back({s->Name, QString::fromLatin1(p.Parent), {p.Pivot[0], p.Pivot[1], p.Pivot[2]}});
        if (QByteArray(p.Name) == ProxyParent) {
            TSelection* proxy = byName[QString::fromLatin1(ProxyName)];
            proxy->DisplayName = QStringLiteral("Lamp");
            proxy->Color = 0x00D0FF;
            order.push_back(proxy);
            records.push_back({proxy->Name, s->Name, {ProxyCorner[0], ProxyCorner[1], ProxyCorner[2]}});
        }
    }

    QString error;
    if (!out.mkpath("LinkData") || !WriteLinkingFile(out.filePath("LinkData/walker.lpv"), records, &error))
        return Fail("cannot write walker.lpv: " + error);
    tslPath = out.filePath("Translation/walker.tsl");
    clrPath = out.filePath("Colors/walker.clr");
    out.mkpath("Translation");
    out.mkpath("Colors");
    // Start from empty files so names from an older demo don't linger.
    QFile::remove(tslPath);
    QFile::remove(clrPath);
    if (!SaveNamesFile(order, tslPath, &error) || !SaveColorsFile(order, clrPath, &error))
        return Fail(error);
    return true;
}

bool WriteAnimation(const QDir& out)
{
    // Model-space transform of every component per frame: its own motion followed by its
    // parent's, so each stored transform already carries its ancestors' motion.
    TAnimDocument doc;
    for (const TPart& p : Parts)
        doc.AnimSelections.Add(QString::fromLatin1(p.Name));
    doc.AnimSelections.Add(QString::fromLatin1(ProxyName));
    doc.AnimFrames.Reset(doc.AnimSelections.Count());
    doc.TotalMove = {0, 0, 0.6f};
    for (int f = 0; f < FrameCount; ++f) {
        const double t = double(f) / (FrameCount - 1);
        const double phi = 2 * std::numbers::pi * t;
        std::map<QByteArray, TTransform> global;
        std::vector<TAnimEntry> entries;
        for (const TPart& p : Parts) {
            const TTransform local = LocalMotion(p, phi);
            TTransform g = local;
            if (*p.Parent)
                MultiplyTransform(local, global.at(p.Parent), g);
            global[p.Name] = g;
        }
        for (int j = 0; j < doc.AnimSelections.Count(); ++j) {
            const QByteArray name = doc.AnimSelections[j].toLatin1();
            const TTransform& g = name == ProxyName ? global.at(ProxyParent) : global.at(name);
            entries.push_back({j, Narrow(g)});
        }
        doc.AnimFrames.Append(float(t), entries);
    }
    doc.AnimStepCount = doc.FrameCount();
    QByteArray bytes;
    const QString error = WriteRtm(doc, bytes);
    if (!error.isEmpty())
        return Fail(error);
    QString writeError;
    if (!WriteFileAtomic(out.filePath("walker.rtm"), bytes, &writeError))
        return Fail("cannot write walker.rtm: " + writeError);
    return true;
}

bool WriteSettings(const QDir& out, const QString& tslPath, const QString& clrPath)
{
    // Other settings the editor saved there are kept. The files are named relative to the
    // folder, which the editor takes them from with --home: the demo works from any copy.
    TIniFile ini(out.filePath("TorvaneAnim.ini"));
    ini.WriteString("Settings", "TranslationFile", out.relativeFilePath(tslPath));
    ini.WriteString("Settings", "ColorFile", out.relativeFilePath(clrPath));
    QString error;
    if (!ini.UpdateFile(&error))
        return Fail(error);
    return true;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: torvane-demo-gen OUTDIR\n");
        return 2;
    }
    SetDebugSink([](const QString&) {});
    const QDir out(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    if (!out.mkpath(".")) {
        Fail("cannot create " + out.path());
        return 1;
    }
    QString tsl, clr;
    if (!WriteModels(out) || !WriteSideFiles(out, tsl, clr) || !WriteAnimation(out) || !WriteSettings(out, tsl, clr))
        return 1;
    std::printf("demo written to %s\n", qPrintable(out.path()));
    return 0;
}
