// render --onion and --path, by their pixels: the neighbouring frames in their own tints,
// drawn only where the picture without them shows background or grid, so the pose and the
// axes keep every pixel; --onion 0 is the plain picture byte for byte.
#include "CommandHome.h"
#include "pose/OnionSkin.h"
#include "pose/ViewGeometry.h"
#include "support/TestMain.h"

#include <QImage>
#include <QTest>

namespace {
// The robot; walk.rtm: three frames of the arm, moved by -0.5, 0 and 0.5 along y.
bool WriteArmWalk(const CommandHome& h)
{
    RtmBuild::TFile walk = RtmBuild::TFile::Regular({"arm"}, 3);
    walk.TotalMove = {0, 0, 0};
    for (size_t k = 0; k < 3; ++k)
        walk.Frames[k].Records[0].Matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0.5f * (float(k) - 1), 0};
    return h.WriteRobot() && h.Write("walk.rtm", RtmBuild::Build(walk));
}

QRgb Rgb(uint32_t windowsColor)
{
    return qRgb(int(windowsColor & 0xFF), int(windowsColor >> 8 & 0xFF), int(windowsColor >> 16 & 0xFF));
}

QImage Render(const CommandHome& h, const QStringList& extra)
{
    const CommandHome::Result r = h.Run(QStringList{"render", "%1/robot.p3d", "%1/walk.rtm", "--frame", "1", "-o", "%1/out.png"} +
                                        extra);
    if (r.Code != 0 || !r.Err.isEmpty())
        return {};
    return QImage(h.Path("out.png")).convertToFormat(QImage::Format_RGB32);
}
}  // namespace

class AidsCommandTest : public QObject {
    Q_OBJECT
private slots:
    void onionTints_data()
    {
        QTest::addColumn<QString>("view");
        for (const char* v : {"front", "left", "top"})
            QTest::newRow(v) << v;
    }
    void onionTints()
    {
        QFETCH(QString, view);
        CommandHome h;
        QVERIFY(WriteArmWalk(h));
        const QImage plain = Render(h, {"--view", view});
        QVERIFY(!plain.isNull());
        const QByteArray plainBytes = h.Read("out.png");
        QVERIFY(!Render(h, {"--view", view, "--onion", "0"}).isNull());
        QCOMPARE(h.Read("out.png"), plainBytes);
        const QImage onion = Render(h, {"--view", view, "--onion", "1"});
        QCOMPARE(onion.size(), plain.size());
        const QRgb before = Rgb(OnionViewColor(false, 1, 1)), after = Rgb(OnionViewColor(true, 1, 1));
        const QRgb olive = qRgb(0x80, 0x80, 0);
        int seen[2] = {0, 0};
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const QRgb p = plain.pixel(x, y), o = onion.pixel(x, y);
                if (o == p)
                    continue;
                QVERIFY2((o == before || o == after) && (p == qRgb(0, 0, 0) || p == olive),
                         qPrintable(QString("(%1, %2): %3 over %4").arg(x).arg(y).arg(o, 6, 16).arg(p, 6, 16)));
                ++seen[o == after];
            }
        }
        // The top view looks down y, along which the arm moves: there the frames coincide.
        if (view == "top")
            QCOMPARE(seen[0] + seen[1], 0);
        else
            QVERIFY2(seen[0] > 20 && seen[1] > 20, qPrintable(QString("%1 %2").arg(seen[0]).arg(seen[1])));
    }

    // The arm's path: its dots in the path colour, the current frame's in white.
    void motionPathDots()
    {
        CommandHome h;
        QVERIFY(WriteArmWalk(h));
        const QImage plain = Render(h, {"--view", "left"}), path = Render(h, {"--view", "left", "--path", "arm"});
        QVERIFY(!plain.isNull() && !path.isNull());
        int line = 0, now = 0;
        for (int y = 0; y < path.height(); ++y)
            for (int x = 0; x < path.width(); ++x) {
                line += path.pixel(x, y) == Rgb(ViewColor::Path) && plain.pixel(x, y) != Rgb(ViewColor::Path);
                now += path.pixel(x, y) == Rgb(ViewColor::PathNow) && plain.pixel(x, y) != Rgb(ViewColor::PathNow);
            }
        QVERIFY2(line > 50 && now >= 40, qPrintable(QString("%1 %2").arg(line).arg(now)));
    }
};

TORVANE_TEST(AidsCommandTest)
#include "AidsCommandTest.moc"
