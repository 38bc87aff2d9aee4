// The command line: parsing, and the window-free commands run in-process on files made by
// the builders in a temporary home folder.
#include "app/CommandLine.h"
#include "pose/ViewGeometry.h"
#include "support/LpvBuilder.h"
#include "support/P3dBuilder.h"
#include "support/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Chart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <array>
#include <cmath>
#include <map>

using RtmBuild::TFile;
using RtmBuild::TMatrix;

namespace {

struct Home {
    QTemporaryDir Dir;
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) const { QVERIFY(WriteBytesFile(Path(name), bytes)); }
    QByteArray Read(const QString& name) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct Result {
    int Code = -1;
    QString Out, Err;
};

Result Run(const QStringList& args)
{
    Result r;
    QTextStream out(&r.Out), err(&r.Err);
    r.Code = RunCommand(TCommandLine::Parse(args), out, err);
    out.flush();
    err.flush();
    return r;
}

// body with an arm and a hand below it, a leg, and a proxy triangle (right angle at its
// first corner, legs along +Z and +Y) that the arm also holds, so the lamp hangs under it.
// Points: body 0-7, arm 8-15, triangle 16-18, hand 19-26, leg 27-34.
TP3dBuilder Robot()
{
    TP3dBuilder b;
    b.AddSelection("body", b.AddBox(-1, 0, -1, 1, 2, 1));
    TP3dBuilder::Range arm = b.AddBox(1, 1, 0, 2, 1.5f, 0.5f);
    const TP3dBuilder::Range tri = b.AddTriangle(0, 2, 0, 0, 2, 1, 0, 4, 0);
    // A face of the arm that starts on a proxy corner: the editor never draws it solid.
    arm.Polygons.push_back(b.AddPolygon({uint32_t(tri.Points[0]), uint32_t(arm.Points[0]), uint32_t(arm.Points[1])}));
    b.AddSelection("hand", b.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
    b.AddSelection("leg", b.AddBox(-0.5f, -2, -0.5f, 0, 0, 0));
    b.AddSelection("proxy:lamp.01", tri);
    arm.Points.insert(arm.Points.end(), tri.Points.begin(), tri.Points.end());
    arm.Polygons.insert(arm.Polygons.end(), tri.Polygons.begin(), tri.Polygons.end());
    b.AddSelection("arm", arm);
    return b;
}

TP3dBuilder Lamp()
{
    TP3dBuilder b;
    b.AddBox(0, 0, 0, 0.25f, 0.5f, 0.75f);
    return b;
}

void WriteRobot(const Home& h, bool links)
{
    QVERIFY(Robot().WriteTo(h.Path("robot.p3d")));
    QVERIFY(Lamp().WriteTo(h.Path("lamp.p3d")));
    if (links) {
        TLpvBuilder l;
        l.Add("body", "", 0, 1, 0);
        l.Add("arm", "body", 1, 1.25f, 0.1f);
        l.Add("hand", "arm", 2, 1.25f, 0.25f);
        l.Add("leg", "body", -0.25f, 0, -0.25f);
        h.Write("LinkData/robot.lpv", l.Build());
    }
}

// A settings file selecting a translation and a colour file of the home.
// body's display name is "Torso" followed by the tag.
void WriteSettings(const Home& h, const QString& iniName, const QString& tag)
{
    const QString tsl = "Translation/names" + tag + ".tsl";
    const QString clr = "Colors/colors" + tag + ".clr";
    h.Write(tsl, "[Translation]\nbody=Torso" + tag.toUtf8() + "\nARM=Upper arm\n");
    h.Write(clr, "[ColorDef]\nbody=255\nhand=$00FF00\n");
    h.Write(iniName, "[Settings]\nTranslationFile=" + h.Path(tsl).toUtf8() + "\nColorFile=" + h.Path(clr).toUtf8() + "\n");
}

QJsonObject ParseJson(const QString& text)
{
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(text.toUtf8(), &e);
    if (e.error != QJsonParseError::NoError)
        qWarning() << e.errorString() << text;
    return d.object();
}

// ---- A small reader of what export writes.
struct Obj {
    std::vector<std::array<double, 3>> V;
    QStringList Groups;                                 // in file order
    std::map<QString, std::vector<std::vector<int>>> F;  // faces of each group
    bool Ok = true;
};

Obj ParseObj(const QByteArray& bytes)
{
    Obj o;
    QString group;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList p = line.split(' ', Qt::SkipEmptyParts);
        if (p[0] == "v" && p.size() == 4) {
            std::array<double, 3> v{};
            for (int i = 0; i < 3; ++i) {
                bool ok = false;
                v[size_t(i)] = p[i + 1].toDouble(&ok);
                o.Ok = o.Ok && ok;
            }
            o.V.push_back(v);
        } else if (p[0] == "g" && p.size() == 2) {
            group = p[1];
            o.Groups << group;
            o.F[group];
        } else if (p[0] == "f" && (p.size() == 4 || p.size() == 5)) {
            std::vector<int> f;
            for (int i = 1; i < p.size(); ++i)
                f.push_back(p[i].toInt());
            o.F[group].push_back(f);
        } else {
            o.Ok = false;
        }
    }
    return o;
}

// The faces of a box of the builder whose points start at base (1-based OBJ indices).
std::vector<std::vector<int>> BoxFaces(int base)
{
    static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<std::vector<int>> out;
    for (const auto& f : faces)
        out.push_back({base + f[0] + 1, base + f[1] + 1, base + f[2] + 1, base + f[3] + 1});
    return out;
}

// p (with the offset, rounded to float) times the row-vector matrix m, plus shift, as the
// editor poses a point, each coordinate rounded to float as the display points hold them.
std::array<double, 3> Posed(const TP3dBuilder::Point& p, const TMatrix& m, const std::array<double, 3>& off,
                            const std::array<double, 3>& shift, bool toFloat)
{
    const double x = float(p.X + off[0]), y = float(p.Y + off[1]), z = float(p.Z + off[2]);
    std::array<double, 3> r{};
    for (int c = 0; c < 3; ++c) {
        const double v = x * m[size_t(c)] + y * m[size_t(3 + c)] + z * m[size_t(6 + c)] + m[size_t(9 + c)] + shift[size_t(c)];
        r[size_t(c)] = toFloat ? double(float(v)) : v;
    }
    return r;
}

// Arm turned a quarter about Z (x goes to y, y to -x) and moved by (0.5, -1, 3).
constexpr TMatrix ArmTurn{0, 1, 0, -1, 0, 0, 0, 0, 1, 0.5f, -1, 3};

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QStringList>("files");
        using M = TCommandLine::Mode;
        QTest::newRow("nothing") << QStringList{} << int(M::Gui) << "" << QStringList{};
        QTest::newRow("home and file") << QStringList{"--home", "/h", "a.rtm"} << int(M::Gui) << "/h" << QStringList{"a.rtm"};
        QTest::newRow("info") << QStringList{"info", "a.rtm", "--json"} << int(M::Info) << "" << QStringList{"a.rtm"};
        QTest::newRow("info of a file named check") << QStringList{"info", "check"} << int(M::Info) << "" << QStringList{"check"};
        QTest::newRow("check") << QStringList{"--home", "h", "check", "m.p3d", "a.rtm"} << int(M::Check) << "h"
                               << QStringList{"m.p3d", "a.rtm"};
        QTest::newRow("export rest pose") << QStringList{"export", "m.p3d", "-o", "x.obj"} << int(M::Export) << ""
                                          << QStringList{"m.p3d"};
        QTest::newRow("render") << QStringList{"render", "m.p3d", "a.rtm", "--view", "top", "--size", "20x10", "-o", "x.png"}
                                << int(M::Render) << "" << QStringList{"m.p3d", "a.rtm"};
        QTest::newRow("a command word after a file is a file") << QStringList{"a.rtm", "export"} << int(M::Gui) << ""
                                                               << QStringList{"a.rtm", "export"};
        // Usage errors.
        QTest::newRow("info without file") << QStringList{"info"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("home without folder") << QStringList{"--home"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("unknown option") << QStringList{"--fast", "a.rtm"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("json without info") << QStringList{"a.rtm", "--json"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("check with one file") << QStringList{"check", "m.p3d"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("export without output") << QStringList{"export", "m.p3d"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("-o without name") << QStringList{"export", "m.p3d", "-o"} << int(M::Usage) << "" << QStringList{};
        QTest::newRow("export three files") << QStringList{"export", "m.p3d", "a.rtm", "b.rtm", "-o", "x"} << int(M::Usage)
                                            << "" << QStringList{};
        QTest::newRow("frame without animation") << QStringList{"export", "m.p3d", "--frame", "0", "-o", "x"}
                                                 << int(M::Usage) << "" << QStringList{};
        QTest::newRow("negative frame") << QStringList{"export", "m.p3d", "a.rtm", "--frame", "-1", "-o", "x"}
                                        << int(M::Usage) << "" << QStringList{};
        QTest::newRow("frame not a number") << QStringList{"export", "m.p3d", "a.rtm", "--frame", "2x", "-o", "x"}
                                            << int(M::Usage) << "" << QStringList{};
        QTest::newRow("offset of two") << QStringList{"export", "m.p3d", "--offset", "1,2", "-o", "x"} << int(M::Usage)
                                       << "" << QStringList{};
        QTest::newRow("offset beyond the spin edits") << QStringList{"export", "m.p3d", "--offset", "0,400,0", "-o", "x"}
                                                      << int(M::Usage) << "" << QStringList{};
        QTest::newRow("view on export") << QStringList{"export", "m.p3d", "--view", "top", "-o", "x"} << int(M::Usage) << ""
                                        << QStringList{};
        QTest::newRow("unknown view") << QStringList{"render", "m.p3d", "--view", "back", "-o", "x"} << int(M::Usage) << ""
                                      << QStringList{};
        QTest::newRow("size without height") << QStringList{"render", "m.p3d", "--size", "20", "-o", "x"} << int(M::Usage)
                                             << "" << QStringList{};
        QTest::newRow("size zero") << QStringList{"render", "m.p3d", "--size", "0x10", "-o", "x"} << int(M::Usage) << ""
                                   << QStringList{};
        QTest::newRow("size too many pixels") << QStringList{"render", "m.p3d", "--size", "8000x8000", "-o", "x"}
                                              << int(M::Usage) << "" << QStringList{};
        QTest::newRow("size huge") << QStringList{"render", "m.p3d", "--size", "100000x10", "-o", "x"} << int(M::Usage)
                                   << "" << QStringList{};
        QTest::newRow("frame on check") << QStringList{"check", "m.p3d", "a.rtm", "--frame", "1"} << int(M::Usage) << ""
                                        << QStringList{};
        QTest::newRow("output for the editor") << QStringList{"m.p3d", "-o", "x"} << int(M::Usage) << "" << QStringList{};
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(int, kind);
        QFETCH(QString, home);
        QFETCH(QStringList, files);
        const TCommandLine c = TCommandLine::Parse(args);
        QCOMPARE(int(c.Kind), kind);
        if (kind != int(TCommandLine::Mode::Usage)) {
            QCOMPARE(c.Home, home);
            QCOMPARE(c.Files, files);
        } else {
            QVERIFY(!c.Error.isEmpty());
        }
    }

    void parseValues()
    {
        const TCommandLine c = TCommandLine::Parse(
            {"render", "m.p3d", "a.rtm", "--frame", "3", "--offset", "1.5,-2,0.25", "--no-total-move", "--view", "left",
             "--size", "320X200", "--output", "o.png"});
        QCOMPARE(int(c.Kind), int(TCommandLine::Mode::Render));
        QCOMPARE(c.Frame.value_or(-1), 3);
        QVERIFY(c.Offset);
        QCOMPARE((*c.Offset)[0], 1.5);
        QCOMPARE((*c.Offset)[1], -2.0);
        QCOMPARE((*c.Offset)[2], 0.25);
        QVERIFY(c.NoTotalMove);
        QCOMPARE(int(c.View), int(TViewKind::Left));
        QCOMPARE(c.Width, 320);
        QCOMPARE(c.Height, 200);
        QCOMPARE(c.Output, QStringLiteral("o.png"));
        QVERIFY(c.NeedsWidgets());
        QVERIFY(!TCommandLine::Parse({"info", "a.rtm"}).NeedsWidgets());
        QVERIFY(TCommandLine::Parse({"info", "A.P3D"}).NeedsWidgets());
    }

    void usageGoesToStderr()
    {
        const Result r = Run({"render", "m.p3d", "--size", "0x0", "-o", "x.png"});
        QCOMPARE(r.Code, 2);
        QVERIFY(r.Out.isEmpty());
        QVERIFY(r.Err.contains("--size"));
        QVERIFY(r.Err.contains("usage: torvane-anim"));
    }

    void rtmInfoExitCodes()
    {
        Home h;
        TFile good = TFile::Regular({"arm", "leg"}, 2);
        good.TotalMove = {0.5f, 0, -2};
        h.Write("good.rtm", RtmBuild::Build(good));
        TFile bad = good;
        bad.Magic = "XXXXXXXX";
        h.Write("bad.rtm", RtmBuild::Build(bad));
        Result r = Run({"info", h.Path("good.rtm"), "--json"});
        QCOMPARE(r.Code, 0);
        QVERIFY(r.Out.startsWith("{\"totalMove\":[0.5,0,-2]"));
        QVERIFY(r.Err.isEmpty());
        r = Run({"info", h.Path("bad.rtm")});
        QCOMPARE(r.Code, 1);
        QCOMPARE(r.Err.trimmed(), QStringLiteral("Incorrect Format!"));
        QVERIFY(r.Out.isEmpty());
        r = Run({"info", h.Path("none.rtm")});
        QCOMPARE(r.Code, 1);
        QCOMPARE(r.Err.trimmed(), QStringLiteral("Cannot open file %1").arg(h.Path("none.rtm")));
    }

    // What the editor shows after loading the robot with linking, names and colours.
    void modelInfoJson()
    {
        Home h;
        WriteRobot(h, true);
        WriteSettings(h, "TorvaneAnim.ini", "");
        const Result r = Run({"--home", h.Dir.path(), "info", h.Path("robot.p3d"), "--json"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const QJsonObject o = ParseJson(r.Out);
        QCOMPARE(o["vertices"].toInt(), 35);
        QCOMPARE(o["normals"].toInt(), 24);
        QCOMPARE(o["polygons"].toInt(), 26);
        const QJsonArray comps = o["components"].toArray();
        // Tree order after the linking: every level sorted by display text, letter case aside.
        QStringList shape;
        for (const QJsonValue& v : comps)
            shape << QString(v["level"].toInt(), '-') + v["name"].toString() + "=" + v["displayName"].toString();
        QCOMPARE(shape, (QStringList{"proxy:lamp.01=proxy:lamp.01", "body=Torso", "-leg=leg", "-arm=Upper arm", "--hand=hand"}));
        std::map<QString, QJsonObject> by;
        for (const QJsonValue& v : comps)
            by[v["name"].toString()] = v.toObject();
        QCOMPARE(by["body"]["displayName"].toString(), QStringLiteral("Torso"));
        QCOMPARE(by["arm"]["displayName"].toString(), QStringLiteral("Upper arm"));  // keys ignore letter case
        QCOMPARE(by["body"]["color"].toInteger(), 255);
        QCOMPARE(by["hand"]["color"].toInteger(), 0xFF00);
        QCOMPARE(by["leg"]["color"].toInteger(), 0x808080);  // third selection's default
        const QJsonArray armPivot = by["arm"]["pivot"].toArray();
        QCOMPARE(float(armPivot[0].toDouble()), 1.0f);
        QCOMPARE(float(armPivot[1].toDouble()), 1.25f);
        QCOMPARE(float(armPivot[2].toDouble()), 0.1f);  // shortest text still reads back to the float
        QCOMPARE(by["arm"]["vertexCount"].toInt(), 11);
        QCOMPARE(by["arm"]["polygonCount"].toInt(), 8);
        QCOMPARE(by["proxy:lamp.01"]["vertexCount"].toInt(), 3);
        QVERIFY(by["arm"]["proxy"].isNull());
        const QJsonObject proxy = by["proxy:lamp.01"]["proxy"].toObject();
        QCOMPARE(QFileInfo(proxy["file"].toString()).canonicalFilePath(), QFileInfo(h.Path("lamp.p3d")).canonicalFilePath());
        const QJsonArray m = proxy["matrix"].toArray();
        const double expected[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0};
        QCOMPARE(m.size(), 12);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(m[i].toDouble(), expected[i]);
    }

    void modelInfoSettingsFile_data()
    {
        QTest::addColumn<QStringList>("iniFiles");  // written, in order, each with its own suffix
        QTest::addColumn<QString>("bodyName");
        QTest::newRow("current") << QStringList{"TorvaneAnim.ini"} << "TorsoTorvaneAnim";
        QTest::newRow("legacy only") << QStringList{"Zelvix.ini"} << "TorsoZelvix";
        QTest::newRow("current wins") << QStringList{"Zelvix.ini", "TorvaneAnim.ini"} << "TorsoTorvaneAnim";
        QTest::newRow("none") << QStringList{} << "body";
    }
    void modelInfoSettingsFile()
    {
        QFETCH(QStringList, iniFiles);
        QFETCH(QString, bodyName);
        Home h;
        WriteRobot(h, false);
        for (const QString& ini : iniFiles)
            WriteSettings(h, ini, QFileInfo(ini).baseName());
        const Result r = Run({"--home", h.Dir.path(), "info", h.Path("robot.p3d"), "--json"});
        QCOMPARE(r.Code, 0);
        bool found = false;
        for (const QJsonValue& v : ParseJson(r.Out)["components"].toArray()) {
            if (v["name"].toString() != "body")
                continue;
            found = true;
            QCOMPARE(v["displayName"].toString(), bodyName);
            QCOMPARE(v["color"].toInteger(), iniFiles.isEmpty() ? 0xFFFFFF : 255);
            QCOMPARE(v["level"].toInt(), 0);  // no linking file
        }
        QVERIFY(found);
    }

    void modelInfoText()
    {
        Home h;
        WriteRobot(h, true);
        const Result r = Run({"--home", h.Dir.path(), "info", h.Path("robot.p3d")});
        QCOMPARE(r.Code, 0);
        const QStringList lines = r.Out.split('\n');
        QVERIFY(lines.contains("Vertices: 35"));
        QVERIFY(lines.contains("Components: 5"));
        // Indented by level: hand is two below body.
        QVERIFY(lines.contains("      hand: color 0xFF0000 (16711680), pivot 2 1.25 0.25, 8 vertices, 6 polygons"));
        QVERIFY(r.Out.contains(QRegularExpression("\n    proxy .*lamp.p3d, matrix 1 0 0 0 1 0 0 0 1 0 2 0\n")));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QStringList>("args");  // %1 is replaced by the home folder
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("info missing model") << QStringList{"info", "%1/none.p3d"} << 1 << "Cannot open file";
        QTest::newRow("info bad magic") << QStringList{"info", "%1/bad.p3d", "--json"} << 1 << "Incorrect Format!";
        QTest::newRow("info bad lod") << QStringList{"info", "%1/badlod.p3d"} << 1 << "Incorrect LOD Format!";
        QTest::newRow("check bad animation") << QStringList{"check", "%1/robot.p3d", "%1/bad.rtm"} << 1 << "Incorrect Format!";
        QTest::newRow("check missing model") << QStringList{"check", "%1/none.p3d", "%1/walk.rtm"} << 1 << "Cannot open file";
        QTest::newRow("export bad model") << QStringList{"export", "%1/bad.p3d", "-o", "%1/out.obj"} << 1
                                          << "Incorrect Format!";
        QTest::newRow("export missing animation") << QStringList{"export", "%1/robot.p3d", "%1/none.rtm", "-o", "%1/out.obj"}
                                                  << 1 << "Cannot open file";
        QTest::newRow("export frame beyond the last") << QStringList{"export", "%1/robot.p3d", "%1/walk.rtm", "--frame", "3",
                                                                     "-o", "%1/out.obj"}
                                                      << 2 << "--frame 3 is out of range: the animation has 3 frames";
        QTest::newRow("render bad model") << QStringList{"render", "%1/bad.p3d", "-o", "%1/out.png"} << 1
                                          << "Incorrect Format!";
        QTest::newRow("export into a missing folder") << QStringList{"export", "%1/robot.p3d", "-o", "%1/no/dir/out.obj"}
                                                      << 1 << "Cannot write file";
    }
    void refusedFiles()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        Home h;
        WriteRobot(h, false);
        TP3dBuilder bad = Robot();
        bad.FileMagic = "MLOX";
        QVERIFY(bad.WriteTo(h.Path("bad.p3d")));
        TP3dBuilder badLod = Robot();
        badLod.LodMagic = "P3DM";
        QVERIFY(badLod.WriteTo(h.Path("badlod.p3d")));
        h.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm"}, 3)));
        TFile badRtm = TFile::Regular({"arm"}, 3);
        badRtm.Magic = "RTM_0100";
        h.Write("bad.rtm", RtmBuild::Build(badRtm));
        const Result r = Run(QStringList{"--home", h.Dir.path()} + args.replaceInStrings("%1", h.Dir.path()));
        QCOMPARE(r.Code, code);
        QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
        QVERIFY(r.Out.isEmpty());
        QVERIFY(!QFile::exists(h.Path("out.obj")));
        QVERIFY(!QFile::exists(h.Path("out.png")));
    }

    void check_data()
    {
        QTest::addColumn<QList<QByteArray>>("names");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("all found") << QList<QByteArray>{"arm", "hand"} << 0 << QStringList{};
        QTest::newRow("two missing") << QList<QByteArray>{"arm", "Hand", "tail"} << 3
                                     << QStringList{QString(" %1 -> Hand in the file").arg("Hand", -32),
                                                    QString(" %1 -> tail").arg("tail", -32)};
    }
    void check()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(int, code);
        QFETCH(QStringList, lines);
        Home h;
        WriteRobot(h, false);
        h.Write("Translation/t.tsl", "[Translation]\nhand=Hand in the file\n");
        h.Write("TorvaneAnim.ini", "[Settings]\nTranslationFile=" + h.Path("Translation/t.tsl").toUtf8() + "\n");
        h.Write("walk.rtm", RtmBuild::Build(TFile::Regular(std::vector<QByteArray>(names.begin(), names.end()), 2)));
        const Result r = Run({"--home", h.Dir.path(), "check", h.Path("robot.p3d"), h.Path("walk.rtm")});
        QCOMPARE(r.Code, code);
        QCOMPARE(r.Out.split('\n', Qt::SkipEmptyParts), lines);
        QCOMPARE(r.Err, QString());  // the report is not repeated as a message
    }

    // The robot with the arm animated: every coordinate of the OBJ is the posed one.
    void exportPosedModel_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("animated");
        QTest::addColumn<QList<double>>("offset");
        QTest::addColumn<QList<double>>("shift");  // the total-move share
        QTest::newRow("rest pose") << QStringList{} << false << QList<double>{0, 0, 0} << QList<double>{0, 0, 0};
        // The main model shows its stored points then, but the proxy is posed with the offset.
        QTest::newRow("rest pose with offset") << QStringList{"--offset", "1,0,0"} << false << QList<double>{1, 0, 0}
                                               << QList<double>{0, 0, 0};
        QTest::newRow("first frame") << QStringList{} << true << QList<double>{0, 0, 0} << QList<double>{0, 0, 0};
        QTest::newRow("last frame") << QStringList{"--frame", "4"} << true << QList<double>{0, 0, 0}
                                    << QList<double>{0, 0, 8};
        QTest::newRow("middle frame") << QStringList{"--frame", "2"} << true << QList<double>{0, 0, 0}
                                      << QList<double>{0, 0, 4};
        QTest::newRow("no total move") << QStringList{"--frame", "4", "--no-total-move"} << true << QList<double>{0, 0, 0}
                                       << QList<double>{0, 0, 0};
        QTest::newRow("offset turns with the arm") << QStringList{"--offset", "1,0.5,-2"} << true
                                                   << QList<double>{1, 0.5, -2} << QList<double>{0, 0, 0};
    }
    void exportPosedModel()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, animated);
        QFETCH(QList<double>, offset);
        QFETCH(QList<double>, shift);
        Home h;
        WriteRobot(h, true);
        TFile anim = TFile::Regular({"arm"}, 5);
        for (auto& f : anim.Frames)
            f.Records[0].Matrix = ArmTurn;
        anim.TotalMove = {0, 0, 10};
        h.Write("walk.rtm", RtmBuild::Build(anim));
        QStringList args{"--home", h.Dir.path(), "export", h.Path("robot.p3d")};
        if (animated)
            args << h.Path("walk.rtm");
        const Result r = Run(args + options + QStringList{"-o", h.Path("out.obj")});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const Obj obj = ParseObj(h.Read("out.obj"));
        QVERIFY(obj.Ok);

        const TP3dBuilder robot = Robot();
        const TP3dBuilder lamp = Lamp();
        QCOMPARE(int(obj.V.size()), int(robot.Points.size() + lamp.Points.size()));
        // Main model points: the arm's (box 8..15, triangle 16..18) are posed by the frame,
        // the others stay at the origin while an animation is loaded; without one every
        // point is stored, untransformed and without offset.
        const std::array<double, 3> off{offset[0], offset[1], offset[2]};
        const std::array<double, 3> sh{shift[0], shift[1], shift[2]};
        for (size_t i = 0; i < robot.Points.size(); ++i) {
            const TP3dBuilder::Point& p = robot.Points[i];
            std::array<double, 3> want{};
            const bool armBox = i >= 8 && i < 16;
            const bool proxyCorner = i >= 16 && i < 19;
            if (!animated)
                want = {p.X, p.Y, p.Z};
            else if (armBox)
                want = Posed(p, ArmTurn, off, sh, true);
            QVERIFY2(obj.V[i] == want || proxyCorner, qPrintable(QString("point %1: %2 %3 %4").arg(i).arg(obj.V[i][0]).arg(obj.V[i][1]).arg(obj.V[i][2])));
        }
        // The lamp hangs under the arm: its placement (origin at (0, 2, 0)) followed by the
        // arm's transform, with the offset first.
        const TMatrix place{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0};
        for (size_t i = 0; i < lamp.Points.size(); ++i) {
            std::array<double, 3> want = Posed(lamp.Points[i], place, off, {0, 0, 0}, false);
            if (animated) {
                // Exact here: every value is a small binary fraction.
                const TP3dBuilder::Point placed{float(want[0]), float(want[1]), float(want[2])};
                want = Posed(placed, ArmTurn, {0, 0, 0}, sh, false);
            }
            QCOMPARE(obj.V[robot.Points.size() + i], want);
        }

        // Groups in tree order, hidden components included; the proxy's group holds the
        // lamp's faces in the lamp's block, the triangle itself is drawn by nobody.
        QCOMPARE(obj.Groups, (QStringList{"body", "arm", "hand", "leg", "proxy:lamp.01"}));
        QCOMPARE(obj.F.at("body"), BoxFaces(0));
        QCOMPARE(obj.F.at("arm"), BoxFaces(8));
        QCOMPARE(obj.F.at("hand"), BoxFaces(19));
        QCOMPARE(obj.F.at("leg"), BoxFaces(27));
        QCOMPARE(obj.F.at("proxy:lamp.01"), BoxFaces(35));
    }

    void exportNamesAndBadPolygons()
    {
        Home h;
        TP3dBuilder b;
        const TP3dBuilder::Range box = b.AddBox(0, 0, 0, 1, 1, 1);
        b.AddSelection("left wheel", box);
        // A polygon with a corner outside the points and one with five corners are left out.
        const int broken = b.AddPolygon({0, 1, 99});
        const int five = b.AddPolygon({0, 1, 2});
        b.Polygons[size_t(five)].VertexCount = 5;
        b.AddSelection("broken", {0, 1}, {broken, five});
        QVERIFY(b.WriteTo(h.Path("m.p3d")));
        const Result r = Run({"--home", h.Dir.path(), "export", h.Path("m.p3d"), "-o", h.Path("m.obj")});
        QCOMPARE(r.Code, 0);
        const Obj obj = ParseObj(h.Read("m.obj"));
        QVERIFY(obj.Ok);
        QCOMPARE(obj.Groups, (QStringList{"left_wheel", "broken"}));  // file order: no linking file
        QCOMPARE(obj.F.at("left_wheel"), BoxFaces(0));
        QVERIFY(obj.F.at("broken").empty());
        QCOMPARE(int(obj.V.size()), 8);
    }

    void exportOverwritesWholeFile()
    {
        Home h;
        WriteRobot(h, false);
        h.Write("out.obj", QByteArray(100000, 'x'));
        const Result r = Run({"--home", h.Dir.path(), "export", h.Path("robot.p3d"), "-o", h.Path("out.obj")});
        QCOMPARE(r.Code, 0);
        const QByteArray bytes = h.Read("out.obj");
        QVERIFY(!bytes.contains("xxx"));
        QVERIFY(ParseObj(bytes).Ok);
    }

    // The outline of a box in its colour, where the view's auto-scaled range puts it, and
    // nothing but the black background away from the box and the axes.
    void renderBoxOutline_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QList<double>>("box");  // the box in view coordinates: u0, v0, u1, v1
        QTest::newRow("front") << "front" << QList<double>{-1, -1, 1, 0.5};
        QTest::newRow("left") << "left" << QList<double>{-1, -1, 0.5, 0.5};
        QTest::newRow("top") << "top" << QList<double>{-1, -1, 1, 0.5};
    }
    void renderBoxOutline()
    {
        QFETCH(QString, view);
        QFETCH(QList<double>, box);
        Home h;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-1, -1, -1, 1, 0.5f, 0.5f));
        QVERIFY(b.WriteTo(h.Path("box.p3d")));
        h.Write("Colors/c.clr", "[ColorDef]\nbox=33023\n");  // 0x0080FF: orange
        h.Write("TorvaneAnim.ini",
                "[Settings]\nColorFile=" + h.Path("Colors/c.clr").toUtf8() + "\n[Startup]\nShowGrid=0\n");
        const int w = 320, ht = 200;
        const Result r = Run({"--home", h.Dir.path(), "render", h.Path("box.p3d"), "--view", view, "--size",
                              QString("%1x%2").arg(w).arg(ht), "-o", h.Path("v.png")});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const QImage img(h.Path("v.png"));
        QCOMPARE(img.size(), QSize(w, ht));

        // Where the chart puts the box's corners under the auto-scaled range.
        TChartRange range;
        QVERIFY(AutoScaleRange({box[0], box[1], box[2], box[3]}, w, ht, range));
        TChart chart;
        chart.resize(w, ht);
        chart.SetRange(range.X1, range.Y1, range.X2, range.Y2);
        const QPointF lo = chart.ChartToPixel(box[0], box[1]);
        const QPointF hi = chart.ChartToPixel(box[2], box[3]);
        const QRectF want = QRectF(lo, hi).normalized();
        // Left of the box there is neither the box nor an axis or its letter.
        const double far = chart.ChartToPixel(box[0] - 0.25, 0).x();

        const QRgb orange = qRgb(255, 128, 0);
        int count = 0;
        QRect got;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y) & 0xFFFFFF;
                if (c == (orange & 0xFFFFFF)) {
                    ++count;
                    got |= QRect(x, y, 1, 1);
                } else if (x < far) {
                    QVERIFY2(c == 0, qPrintable(QString("pixel %1,%2 is %3").arg(x).arg(y).arg(c, 6, 16)));
                }
            }
        }
        QVERIFY(count > 2 * (want.width() + want.height()) * 0.8);
        QVERIFY2(qAbs(got.left() - want.left()) <= 1.5 && qAbs(got.right() - want.right()) <= 1.5 &&
                     qAbs(got.top() - want.top()) <= 1.5 && qAbs(got.bottom() - want.bottom()) <= 1.5,
                 qPrintable(QString("outline %1,%2-%3,%4, expected %5,%6-%7,%8")
                                .arg(got.left()).arg(got.top()).arg(got.right()).arg(got.bottom())
                                .arg(want.left()).arg(want.top()).arg(want.right()).arg(want.bottom())));
        // The axes are there, in yellow, at the origin.
        const QPointF origin = chart.ChartToPixel(0.5, 0);
        bool yellow = false;
        for (int dy = -1; dy <= 1; ++dy)
            yellow = yellow || (img.pixel(int(origin.x()), int(origin.y()) + dy) & 0xFFFFFF) == 0xFFFF00;
        QVERIFY(yellow);
    }

    // The animated frame moves the outline; the default size is 600x450.
    void renderFollowsFrame()
    {
        Home h;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(0, 0, 0, 0.5f, 0.5f, 0.5f));
        b.AddSelection("rest", b.AddBox(-1, -1, -1, 0, 0, 0));
        QVERIFY(b.WriteTo(h.Path("box.p3d")));
        TFile anim = TFile::Regular({"box"}, 2);
        anim.TotalMove = {0, 0, 0};
        anim.Frames[0].Records[0].Matrix = RtmBuild::Identity;
        anim.Frames[1].Records[0].Matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 0};
        h.Write("a.rtm", RtmBuild::Build(anim));
        h.Write("TorvaneAnim.ini", "[Startup]\nAutoScale=0\nShowAxes=0\nShowGrid=0\n");
        QImage frames[2];
        for (int f = 0; f < 2; ++f) {
            const Result r = Run({"--home", h.Dir.path(), "render", h.Path("box.p3d"), h.Path("a.rtm"), "--frame",
                                  QString::number(f), "-o", h.Path("f.png")});
            QCOMPARE(r.Code, 0);
            frames[f] = QImage(h.Path("f.png"));
            QCOMPARE(frames[f].size(), QSize(600, 450));
        }
        // Without auto scale the view keeps its first range, (-1, -1) to (1, 1): the box at
        // rest is partly in it, moved 10 to the right it is not. The unanimated component is
        // hidden by the load, so nothing else is drawn.
        const auto lit = [](const QImage& img) {
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    n += (img.pixel(x, y) & 0xFFFFFF) != 0;
            return n;
        };
        QVERIFY(lit(frames[0]) > 100);
        QCOMPARE(lit(frames[1]), 0);
    }
};

TORVANE_TEST(CommandLineTest)
#include "CommandLineTest.moc"
