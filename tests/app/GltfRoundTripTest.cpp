// glTF out and back in: the editor's own export, imported, gives back the animation (its
// frames, times and total move within float rounding) and the same pose at every frame.
#include "CommandHome.h"
#include "anim/Rtm.h"
#include "support/TestMain.h"

#include <QTest>
#include <cmath>
#include <functional>

using RtmBuild::TFile;

namespace {
// The OBJ exports of a frame of two animations: "" when every line is the same, the
// numbers within float rounding.
QString ObjDiffers(const QByteArray& a, const QByteArray& b)
{
    const QList<QByteArray> la = a.split('\n'), lb = b.split('\n');
    if (la.size() != lb.size())
        return QStringLiteral("%1 lines, then %2").arg(la.size()).arg(lb.size());
    for (qsizetype i = 0; i < la.size(); ++i) {
        if (la[i].startsWith('#'))
            continue;
        const QList<QByteArray> fa = la[i].split(' '), fb = lb[i].split(' ');
        bool same = fa.size() == fb.size() && (la[i].startsWith("v ") || la[i] == lb[i]);
        for (qsizetype k = 1; same && la[i].startsWith("v ") && k < fa.size(); ++k)
            same = std::fabs(fa[k].toDouble() - fb[k].toDouble()) <= 1e-5 * (1 + std::fabs(fa[k].toDouble()));
        if (!same)
            return QStringLiteral("line %1: %2, then %3").arg(i + 1).arg(la[i].constData(), lb[i].constData());
    }
    return {};
}

// Writes the model and animation of a row; returns the home folder, model and animation.
using TSetUp = std::function<QStringList(const CommandHome&)>;
}  // namespace

Q_DECLARE_METATYPE(TSetUp)

class GltfRoundTripTest : public QObject {
    Q_OBJECT
private slots:
    void exportThenImport_data()
    {
        QTest::addColumn<TSetUp>("setUp");
        QTest::addColumn<QString>("playTime");
        QTest::newRow("demo") << TSetUp([](const CommandHome&) {
            const QString demo = QStringLiteral(TORVANE_EXAMPLES);
            return QStringList{demo, demo + "/walker.p3d", demo + "/walker.rtm"};
        }) << "3.6";
        // Arm and leg under the body, the hand under the arm, the lamp under the arm: each
        // stored transform holds its ancestors' motion too. Frames unevenly spaced, a total move.
        QTest::newRow("nested components") << TSetUp([](const CommandHome& h) {
            const std::vector<QByteArray> names{"hand", "body", "proxy:lamp.01", "arm", "leg"};
            TFile anim = TFile::Regular(names, 5);
            anim.TotalMove = {0.5f, 2, -10};
            for (int k = 0; k < 5; ++k) {
                anim.Frames[size_t(k)].Time = float(k * k) / 16;
                for (int j = 0; j < 5; ++j)
                    anim.Frames[size_t(k)].Records[size_t(j)].Matrix = Turned(k, j);
            }
            if (!h.WriteRobot() || !h.Write("walk.rtm", RtmBuild::Build(anim)))
                return QStringList{};
            return QStringList{h.Dir.path(), h.Path("robot.p3d"), h.Path("walk.rtm")};
        }) << "2.5";
    }
    void exportThenImport()
    {
        QFETCH(TSetUp, setUp);
        QFETCH(QString, playTime);
        CommandHome h;
        const QStringList files = setUp(h);
        QCOMPARE(files.size(), 3);
        const QString home = files[0], model = files[1], anim = files[2];
        CommandHome::Result r = CommandHome::RunIn(home,
                                                   {"export", model, anim, "--play-time", playTime, "-o", h.Path("out.glb")});
        QCOMPARE(r.Code, 0);
        r = CommandHome::RunIn(home, {"import", model, h.Path("out.glb"), "-o", h.Path("back.rtm")});
        QCOMPARE(r.Err, QString());
        QCOMPARE(r.Code, 0);
        const TRtmData was = ReadRtmFile(anim, anim), back = ReadRtmFile(h.Path("back.rtm"), "back.rtm");
        QVERIFY(was.Ok() && back.Ok());
        QCOMPARE(r.Out, QStringLiteral("%1 frames, play time %2 s\n").arg(was.Frames.Count()).arg(playTime));
        QStringList wasNames = was.Names.Names(), backNames = back.Names.Names();
        wasNames.sort();
        backNames.sort();
        QCOMPARE(backNames, wasNames);
        QCOMPARE(back.Frames.Count(), was.Frames.Count());
        for (int k = 0; k < was.Frames.Count(); ++k)
            QVERIFY2(std::fabs(back.Frames.Time(size_t(k)) - was.Frames.Time(size_t(k))) <= 1e-6f,
                     qPrintable(QString("frame %1").arg(k)));
        for (size_t i = 0; i < 3; ++i)
            QVERIFY2(std::fabs(back.TotalMove[i] - was.TotalMove[i]) <= 1e-6f * (1 + std::fabs(was.TotalMove[i])),
                     qPrintable(QString("total move %1: %2, was %3").arg(i).arg(back.TotalMove[i]).arg(was.TotalMove[i])));
        for (int k = 0; k < was.Frames.Count(); ++k) {
            const QString frame = QString::number(k);
            QCOMPARE(CommandHome::RunIn(home, {"export", model, anim, "--frame", frame, "-o", h.Path("was.obj")}).Code, 0);
            QCOMPARE(
                CommandHome::RunIn(home, {"export", model, h.Path("back.rtm"), "--frame", frame, "-o", h.Path("back.obj")}).Code,
                0);
            const QString diff = ObjDiffers(h.Read("was.obj"), h.Read("back.obj"));
            QVERIFY2(diff.isEmpty(), qPrintable("frame " + frame + ": " + diff));
        }
    }
};

TORVANE_TEST(GltfRoundTripTest)
#include "GltfRoundTripTest.moc"
