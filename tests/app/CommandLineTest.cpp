// The window-free commands, run in-process on files the builders write into a temporary home.
#include "CommandHome.h"
#include "TestModels.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "anim/Rtm.h"
#include "filebuild/RtmBuilder.h"
#include "platform/AtomicFileDevice.h"
#include "platform/Ini.h"
#include "pose/ObjExport.h"
#include "support/HostileFiles.h"
#include "support/ScriptedDialogs.h"
#include "support/TestMain.h"
#include "widgets/Chart.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>
#include <limits>

using RtmBuild::TFile;
using RtmBuild::TMatrix;
using TPoint3 = std::array<double, 3>;
Q_DECLARE_METATYPE(TPoint3)

namespace {

// The robot, its lamp, the room, a linking file, and settings naming a translation and colours.
void WriteRobot(const CommandHome& h)
{
    QVERIFY(Robot().WriteTo(h.Path("robot.p3d")) && Lamp().WriteTo(h.Path("lamp.p3d")) && Room().WriteTo(h.Path("room.p3d")));
    QVERIFY(h.Write("LinkData/robot.lpv", RobotLinks()) && h.Write("t.tsl", "[Translation]\nbody=Torso\nARM=Upper arm\nhand=Hand in the file\n") &&
            h.Write("c.clr", "[ColorDef]\nbody=255\nhand=$00FF00\n") &&
            h.Write("TorvaneAnim.ini", "[Settings]\nTranslationFile=" + h.Path("t.tsl").toUtf8() + "\nColorFile=" + h.Path("c.clr").toUtf8()));
}

// An OBJ file's vertices ("x y z" as written), groups and the faces of each group.
struct TObj {
    QList<QByteArray> V;
    QStringList Groups;
    QList<QList<QByteArray>> Faces;
    TPoint3 Point(size_t i) const  // NaN unless three numbers
    {
        const QList<QByteArray> p = V[qsizetype(i)].split(' ');
        bool ok = p.size() == 3;
        TPoint3 r{};
        for (size_t k = 0; ok && k < 3; ++k)
            r[k] = p[qsizetype(k)].toDouble(&ok);
        return ok ? r : TPoint3{qQNaN(), qQNaN(), qQNaN()};
    }
};
TObj ReadObj(const QByteArray& file)
{
    TObj o;
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith("v "))
            o.V << line.mid(2);
        else if (line.startsWith("g ")) {
            o.Groups << QString::fromUtf8(line.mid(2));
            o.Faces << QList<QByteArray>{};
        } else if (line.startsWith("f ") && !o.Faces.isEmpty())
            o.Faces.last() << line.mid(2);
    }
    return o;
}

// p (with the offset, rounded to float) times the row-vector matrix m, plus shift, as the
// editor poses a point, each coordinate rounded to float as the display points hold them.
TPoint3 Posed(const TP3dBuilder::Point& p, const TMatrix& m, const TPoint3& off, const TPoint3& shift)
{
    const double x = float(p.X + off[0]), y = float(p.Y + off[1]), z = float(p.Z + off[2]);
    TPoint3 r{};
    for (size_t c = 0; c < 3; ++c)
        r[c] = float(x * m[c] + y * m[3 + c] + z * m[6 + c] + m[9 + c] + shift[c]);
    return r;
}

// Arm turned a quarter about Z (x goes to y, y to -x) and moved by (0.5, -1, 3).
constexpr TMatrix ArmTurn{0, 1, 0, -1, 0, 0, 0, 0, 1, 0.5f, -1, 3};

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    // What the editor shows after loading the robot with linking, names and colours.
    void modelInfoJson()
    {
        CommandHome h;
        WriteRobot(h);
        const CommandHome::Result r = h.Run({"info", "%1/robot.p3d", "--json"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
        QCOMPARE(o["vertices"].toInt(), 35);
        // Tree order after the linking: every level sorted by display text, letter case aside.
        QStringList shape;
        QMap<QString, QJsonObject> by;
        for (const QJsonValue& v : o["components"].toArray()) {
            shape << QString(v["level"].toInt(), '-') + v["name"].toString() + "=" + v["displayName"].toString();
            by[v["name"].toString()] = v.toObject();
        }
        QCOMPARE(shape, (QStringList{"proxy:lamp.01=proxy:lamp.01", "body=Torso", "-leg=leg", "-arm=Upper arm", "--hand=Hand in the file"}));
        QCOMPARE(by["body"]["color"].toInteger(), 255);
        QCOMPARE(by["hand"]["color"].toInteger(), 0xFF00);
        QCOMPARE(by["leg"]["color"].toInteger(), 0x808080);  // third selection's default
        QCOMPARE(float(by["arm"]["pivot"][2].toDouble()), 0.1f);  // shortest text still reads back to the float
        QVERIFY(by["arm"]["proxy"].isNull());
        const QJsonObject proxy = by["proxy:lamp.01"]["proxy"].toObject();
        QCOMPARE(QFileInfo(proxy["file"].toString()).canonicalFilePath(), QFileInfo(h.Path("lamp.p3d")).canonicalFilePath());
        QCOMPARE(proxy["matrix"].toArray(), (QJsonArray{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0}));
    }

    // Refusals write nothing; %1 is the home folder; an empty err means stderr stays empty.
    void exitCodes_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("out");
        const auto row = [](const char* name, const char* args, int code, const QString& err, const QString& out = {}) {
            QTest::newRow(name) << QString(args) << code << err << out;
        };
        row("offset beyond the spin edits", "export %1/robot.p3d --offset 0,400,0 -o %1/out.obj", 2, "usage: torvane-anim");
        row("size 0x0", "render %1/robot.p3d --size 0x0 -o %1/out.png", 2, "usage: torvane-anim");
        row("info of a file named check", "info check", 1, "Cannot open file check");
        row("option of another command", "info %1/robot.p3d --mirror", 2, "unknown option --mirror");
        row("missing model", "info %1/none.p3d", 1, "Cannot open file %1/none.p3d");
        row("bad model", "export %1/bad.p3d -o %1/out.obj", 1, "Incorrect Format!");
        row("bad lod", "render %1/badlod.p3d -o %1/out.png", 1, "Incorrect LOD Format!");
        row("bad animation", "check %1/robot.p3d %1/bad.rtm", 1, "Incorrect Format!");
        row("missing folder", "export %1/robot.p3d -o %1/no/out.obj", 1, "Cannot write file");
        row("frame beyond the last", "export %1/robot.p3d %1/walk.rtm --frame 3 -o %1/o.obj", 2, "--frame 3 is out of range: the animation has 3 frames");
        row("time beyond one pass", "export %1/robot.p3d %1/walk.rtm --time 1.5 -o %1/o.obj", 2, "--time needs a number from 0 to 1");
        row("frame and time", "export %1/robot.p3d %1/walk.rtm --time 0.5 --frame 1 -o %1/o.obj", 2, "--frame and --time exclude each other");
        row("3d view without OpenGL", "render %1/robot.p3d --view 3d -o %1/out.png", 1, "the 3D view needs a display with OpenGL");
        row("all views without OpenGL", "render %1/robot.p3d --view all -o %1/out.png", 1, "the 3D view needs a display with OpenGL");
        row("unknown view", "render %1/robot.p3d --view side -o %1/out.png", 2, "--view needs front, left, top, 3d or all");
        row("proxy without environment", "export %1/robot.p3d --proxy proxy:seat.01 -o %1/out.obj", 2, "--proxy needs --environment");
        row("environment for check", "check %1/robot.p3d %1/walk.rtm --environment %1/room.p3d", 2, "--environment does not go with check");
        row("environment without proxies", "export %1/robot.p3d --environment %1/lamp.p3d -o %1/out.obj", 1, "Enviromentmodell has no proxys to replace!");
        row("environment unreadable", "export %1/robot.p3d --environment %1/bad.p3d -o %1/out.obj", 1, "Incorrect Format!\nEnviromentmodell has no proxys to replace!");
        row("environment without offset", "render %1/robot.p3d --environment %1/room.p3d --proxy proxy:bad.01 -o %1/out.png", 1, "Offset from enviroment model not found!");
        row("environment proxy not there", "export %1/robot.p3d --environment %1/room.p3d --proxy proxy:sofa.01 -o %1/out.obj", 1, "\"proxy:sofa.01\" is not one of: proxy:seat.01, proxy:bad.01");
        row("new without components", "new %1/robot.p3d -o %1/o.obj", 1, "Nothing selected!");
        row("new with an unknown component", "new %1/robot.p3d arm tail -o %1/o.obj", 1, "Component tail not found in robot.p3d");
        // Special files are refused at once: no endless read, no wait for a writer, no replacing.
        row("model is a fifo", "export %1/pipe -o %1/out.obj", 1, "Cannot open file %1/pipe");
        row("animation is a fifo", "check %1/robot.p3d %1/pipe", 1, "Cannot open file %1/pipe");
        row("animation is endless", "export %1/robot.p3d /dev/zero -o %1/out.obj", 1, "Cannot open file /dev/zero");
        row("model is endless", "export /dev/zero -o %1/out.obj", 1, "Cannot open file /dev/zero");
        row("output is a fifo", "export %1/robot.p3d -o %1/pipe", 1, "Cannot write file %1/pipe: Not a regular file");
        row("check all found", "check %1/robot.p3d %1/walk.rtm", 0, {});
        row("check two missing", "check %1/robot.p3d %1/odd.rtm", 3, {}, QString(" %1 -> Hand in the file\n %2 -> tail\n").arg("Hand", -32).arg("tail", -32));
    }
    void exitCodes()
    {
        QFETCH(QString, args);
        QFETCH(int, code);
        QFETCH(QString, err);
        QFETCH(QString, out);
        CommandHome h;
        WriteRobot(h);
        TP3dBuilder bad = Robot(), badLod = Robot();
        bad.FileMagic = "MLOX";
        badLod.LodMagic = "P3DM";
        QVERIFY(bad.WriteTo(h.Path("bad.p3d")) && badLod.WriteTo(h.Path("badlod.p3d")) && h.Write("bad.rtm", "RTM_0100 and no animation") &&
                h.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm", "hand"}, 3))) &&
                h.Write("odd.rtm", RtmBuild::Build(TFile::Regular({"arm", "Hand", "tail"}, 2))) && Hostile::MakeFifo(h.Path("pipe")));
        CommandHome::Result r;
        {
            Hostile::TFifoWatchdog watchdog(h.Path("pipe"));
            r = h.Run(args.split(' '));
            QVERIFY2(!watchdog.Fired(), "waited for a writer");
        }
        QCOMPARE(r.Code, code);
        QVERIFY2(err.isEmpty() ? r.Err.isEmpty() : r.Err.contains(QString(err).replace("%1", h.Dir.path())), qPrintable(r.Err));
        QCOMPARE(r.Out, out);
        QVERIFY(!QFile::exists(h.Path("out.obj")) && !QFile::exists(h.Path("o.obj")) && !QFile::exists(h.Path("out.png")));
    }

    // "new" takes each named component with its subtree, in the order named.
    void newAnimation()
    {
        CommandHome h;
        WriteRobot(h);
        QCOMPARE(h.Run({"new", "%1/robot.p3d", "arm", "leg", "hand", "-o", "%1/new.rtm"}).Code, 0);
        const TRtmData file = ReadRtm(h.Read("new.rtm"));
        QCOMPARE(file.Error, QString());
        QCOMPARE(file.Names.Names(), (QStringList{"arm", "hand", "leg"}));
        QCOMPARE(file.Frames.size(), size_t(1));
        QCOMPARE(file.Frames.Entries(0)[2].Matrix, IdentityMatrix12f);
    }

    // The robot with the arm animated: every coordinate of the OBJ is the posed one.
    void exportPosedModel_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("animated");
        QTest::addColumn<TPoint3>("offset");
        QTest::addColumn<TPoint3>("shift");  // the total-move share
        QTest::newRow("rest pose") << QStringList{} << false << TPoint3{} << TPoint3{};
        // The main model shows its stored points then, but the proxy is posed with the offset.
        QTest::newRow("rest pose with offset") << QStringList{"--offset", "1,0,0"} << false << TPoint3{1, 0, 0} << TPoint3{};
        QTest::newRow("last frame") << QStringList{"--frame", "4"} << true << TPoint3{} << TPoint3{0, 0, 8};
        QTest::newRow("no total move") << QStringList{"--frame", "4", "--no-total-move"} << true << TPoint3{} << TPoint3{};
        // Playback's pose 0.5625 through: frame 2 and a quarter of the way on, which the shift follows.
        QTest::newRow("time between frames") << QStringList{"--time", "0.5625"} << true << TPoint3{} << TPoint3{0, 0, 4.5};
        QTest::newRow("offset turns with the arm") << QStringList{"--offset", "1,0.5,-2"} << true << TPoint3{1, 0.5, -2} << TPoint3{};
    }
    void exportPosedModel()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, animated);
        QFETCH(TPoint3, offset);
        QFETCH(TPoint3, shift);
        CommandHome h;
        WriteRobot(h);
        TFile anim = TFile::Regular({"arm"}, 5);
        for (auto& f : anim.Frames)
            f.Records[0].Matrix = ArmTurn;
        anim.TotalMove = {0, 0, 10};
        QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)) && h.Write("out.obj", QByteArray(100000, 'x')));  // replaced as a whole
        const QStringList files = animated ? QStringList{"%1/robot.p3d", "%1/walk.rtm"} : QStringList{"%1/robot.p3d"};
        const CommandHome::Result r = h.Run(QStringList{"export"} + files + options + QStringList{"-o", "%1/out.obj"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        QVERIFY(!h.Read("out.obj").contains("xx"));
        const TObj obj = ReadObj(h.Read("out.obj"));
        QCOMPARE(obj.Groups, (QStringList{"proxy:lamp.01", "body", "leg", "arm", "hand"}));  // tree order, hidden ones too
        const TP3dBuilder robot = Robot(), lamp = Lamp();
        QCOMPARE(size_t(obj.V.size()), robot.Points.size() + lamp.Points.size());
        // Animated, the arm's box (8..15) is posed and the unanimated rest collapses to the origin;
        // else every point is stored, without offset. The proxy corners (16..18) are not drawn.
        for (size_t i = 0; i < robot.Points.size(); ++i) {
            const TP3dBuilder::Point& p = robot.Points[i];
            const TPoint3 want = !animated ? TPoint3{p.X, p.Y, p.Z} : i >= 8 && i < 16 ? Posed(p, ArmTurn, offset, shift) : TPoint3{};
            QVERIFY2(obj.Point(i) == want || (i >= 16 && i < 19), qPrintable(QString("point %1: %2").arg(i).arg(obj.V[qsizetype(i)])));
        }
        // The lamp hangs under the arm: its placement (origin at (0, 2, 0)) followed by the
        // arm's transform, with the offset first.
        const TMatrix place{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0};
        for (size_t i = 0; i < lamp.Points.size(); ++i) {
            TPoint3 want = Posed(lamp.Points[i], place, offset, {});
            if (animated)  // exact here: every value is a small binary fraction
                want = Posed({float(want[0]), float(want[1]), float(want[2])}, ArmTurn, {}, shift);
            QCOMPARE(obj.Point(robot.Points.size() + i), want);
        }
    }

    // The environment follows the model's points and proxies, shifted onto its first proxy.
    void exportWithEnvironment()
    {
        CommandHome h;
        WriteRobot(h);
        const CommandHome::Result r = h.Run({"export", "%1/robot.p3d", "--environment", "%1/room.p3d", "-o", "%1/out.obj"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const TObj obj = ReadObj(h.Read("out.obj"));
        const int first = int(Robot().Points.size() + Lamp().Points.size());
        QCOMPARE(obj.V.size(), first + int(Room().Points.size()));
        QCOMPARE(obj.V[first], QByteArray("-6 -3 -8"));   // (-5, -1, -5) less (1, 2, 3)
        QCOMPARE(obj.V[first + 8], QByteArray("0 0 0"));  // the right angle itself
        QCOMPARE(obj.Groups.last(), QStringLiteral("environment"));
        // The floor's six faces and the other proxy's triangle; the seat's triangle is hidden.
        QCOMPARE(obj.Faces.last().size(), 7);
        QCOMPARE(obj.Faces.last().last(), QString("%1 %2 %3").arg(first + 12).arg(first + 13).arg(first + 14).toUtf8());

        // An environment's other proxy that names a file: its sub-model's points follow the
        // environment's and its faces join the environment's group, in place of its triangle.
        TP3dBuilder hall = Room();
        hall.AddSelection("proxy:lamp.02", hall.AddTriangle(2, 0, 0, 2, 2, 0, 2, 0, 1));
        QVERIFY(hall.WriteTo(h.Path("hall.p3d")));
        QCOMPARE(h.Run({"export", "%1/robot.p3d", "--environment", "%1/hall.p3d", "-o", "%1/out.obj"}).Code, 0);
        const TObj withLamp = ReadObj(h.Read("out.obj"));
        const int lampAt = first + int(hall.Points.size());
        QCOMPARE(withLamp.V.size(), lampAt + int(Lamp().Points.size()));
        QCOMPARE(withLamp.V[lampAt], QByteArray("1 -2 -3"));  // the lamp's (0, 0, 0) at (2, 0, 0) less (1, 2, 3)
        QCOMPARE(withLamp.Faces.last().size(), 7 + int(Lamp().Polygons.size()));
        for (const QByteArray& index : withLamp.Faces.last().last().split(' '))  // the lamp's last face
            QVERIFY(index.toInt() > lampAt && index.toInt() <= lampAt + int(Lamp().Points.size()));
    }

    // The command line, which opens no window, exports what the main window shows:
    // proxies, names, colours, linking, frame and pose alike.
    void exportIsWhatTheWindowShows_data()
    {
        QTest::addColumn<int>("frame");  // -1: no animation
        QTest::newRow("rest pose") << -1;
        QTest::newRow("first frame") << 0;
        QTest::newRow("last frame") << 4;
    }
    void exportIsWhatTheWindowShows()
    {
        QFETCH(int, frame);
        CommandHome h;
        WriteRobot(h);
        TFile anim = TFile::Regular({"arm", "hand", "tail"}, 5);
        anim.Frames[4].Records[0].Matrix = ArmTurn;
        anim.TotalMove = {0, 1, 10};
        QVERIFY(h.Write("walk.rtm", RtmBuild::Build(anim)));
        QStringList args{"export", "%1/robot.p3d"};
        if (frame >= 0)
            args << "%1/walk.rtm" << "--frame" << QString::number(frame);
        QCOMPARE(h.Run(args + QStringList{"-o", "%1/tool.obj"}).Code, 0);

        ScriptedDialogs dialogs;
        TSettings settings;
        settings.Read(TIniFile(h.Path("TorvaneAnim.ini")), h.Dir.path());
        TMainForm form(TAppPaths::FromHome(h.Dir.path()));
        form.TranslationFileName = settings.TranslationFile;
        form.ColorFileName = settings.ColorFile;
        form.LoadModel(h.Path("robot.p3d"));
        if (frame >= 0) {
            form.LoadAnimation(h.Path("walk.rtm"));
            form.SetActStep(frame);
        }
        form.RefreshDisplay();
        TAtomicFileWriter out(h.Path("window.obj"));
        WritePosedObj(form.Models, form.TreeComponents(), form.PoseParams(), {}, out);
        QVERIFY(out.Commit());
        const auto body = [&h](const QString& name) {
            QList<QByteArray> lines = h.Read(name).split('\n');
            lines.removeIf([](const QByteArray& l) { return l.startsWith('#'); });
            return lines;
        };
        QCOMPARE(body("tool.obj"), body("window.obj"));
    }

    // NaN and infinity in a model or a frame: OBJ readers refuse such numbers, so the export
    // writes those points at the origin and says so on stderr.
    void exportWritesOnlyFiniteNumbers_data()
    {
        QTest::addColumn<bool>("inModel");  // else in the arm's frame
        QTest::addColumn<int>("bad");       // points reported
        QTest::newRow("model points, rest pose") << true << 2;
        QTest::newRow("frame matrix") << false << 16;  // the arm's box and the lamp under it
    }
    void exportWritesOnlyFiniteNumbers()
    {
        QFETCH(bool, inModel);
        QFETCH(int, bad);
        CommandHome h;
        WriteRobot(h);
        TP3dBuilder robot = Robot();
        TFile anim = TFile::Regular({"arm"}, 2);
        if (inModel) {
            robot.Points[3].Y = std::numeric_limits<float>::quiet_NaN();
            robot.Points[27].Z = -std::numeric_limits<float>::infinity();
        } else {
            anim.Frames[0].Records[0].Matrix[4] = std::numeric_limits<float>::infinity();
        }
        QVERIFY(robot.WriteTo(h.Path("robot.p3d")) && h.Write("walk.rtm", RtmBuild::Build(anim)));
        const QStringList files = inModel ? QStringList{"%1/robot.p3d"} : QStringList{"%1/robot.p3d", "%1/walk.rtm"};
        const CommandHome::Result r = h.Run(QStringList{"export"} + files + QStringList{"-o", "%1/out.obj"});
        QCOMPARE(r.Code, 0);
        const int points = int(robot.Points.size() + Lamp().Points.size());
        QCOMPARE(r.Err, QString("torvane-anim: robot.p3d: %1 of %2 points are not finite numbers; they are written at the origin\n").arg(bad).arg(points));
        const TObj obj = ReadObj(h.Read("out.obj"));
        QCOMPARE(int(obj.V.size()), points);
        for (size_t i = 0; i < size_t(points); ++i)
            QVERIFY2(std::isfinite(obj.Point(i)[0] + obj.Point(i)[1] + obj.Point(i)[2]), obj.V[qsizetype(i)].constData());
    }

    // The outline of a box in its colour where the view's auto-scaled range puts it, and
    // only the black background left of it (no axis is drawn there either).
    void renderBoxOutline()
    {
        const QRectF box(QPointF(-1, -1), QPointF(0.5, 0.5));  // the box seen from the left
        CommandHome h;
        TP3dBuilder b;
        b.AddSelection("box", b.AddBox(-1, -1, -1, 1, 0.5f, 0.5f));
        QVERIFY(b.WriteTo(h.Path("box.p3d")) && h.Write("c.clr", "[ColorDef]\nbox=33023\n") &&  // 0x0080FF: orange
                h.Write("TorvaneAnim.ini", "[Settings]\nColorFile=" + h.Path("c.clr").toUtf8() + "\n[Startup]\nShowGrid=0\n"));
        const CommandHome::Result r = h.Run({"render", "%1/box.p3d", "--view", "left", "--size", "320x200", "-o", "%1/v.png"});
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Err, QString());
        const QImage img(h.Path("v.png"));
        QCOMPARE(img.size(), QSize(320, 200));

        TChartRange range;
        QVERIFY(AutoScaleRange({box.left(), box.top(), box.right(), box.bottom()}, 320, 200, range));
        TChart chart;
        chart.resize(320, 200);
        chart.SetRange(range.X1, range.Y1, range.X2, range.Y2);
        const QRectF want = QRectF(chart.ChartToPixel(box.left(), box.top()), chart.ChartToPixel(box.right(), box.bottom())).normalized();
        const double far = chart.ChartToPixel(box.left() - 0.25, 0).x();
        int count = 0;
        QRect got;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y) & 0xFFFFFF;
                QVERIFY2(c == 0xFF8000 || c == 0 || x >= far, qPrintable(QString("pixel %1,%2 is %3").arg(x).arg(y).arg(c, 6, 16)));
                if (c == 0xFF8000) {
                    ++count;
                    got |= QRect(x, y, 1, 1);
                }
            }
        }
        QVERIFY(count > 2 * (want.width() + want.height()) * 0.8);
        const auto near = [](double a, double b) { return qAbs(a - b) <= 1.5; };
        QVERIFY2(near(got.left(), want.left()) && near(got.right(), want.right()) && near(got.top(), want.top()) && near(got.bottom(), want.bottom()),
                 qPrintable(QString("outline %1,%2-%3,%4").arg(got.left()).arg(got.top()).arg(got.right()).arg(got.bottom())));
    }
};

TORVANE_TEST(CommandLineTest)
#include "CommandLineTest.moc"
