// The onion skin in the 3D view, read back from a real GL context: the neighbouring frames
// show in their tints where the pose is not, faint however many faces and layers overlap
// there, and every pixel of the pose is the one it has without onion skin, lit or flat,
// opaque or transparent.
#include "app/RenderView.h"
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

class OnionView3dTest : public QObject {
    Q_OBJECT
private slots:
    void poseKeepsItsPixels_data()
    {
        QTest::addColumn<bool>("lit");
        QTest::addColumn<bool>("transparent");
        QTest::newRow("lit, opaque") << true << false;
        QTest::newRow("flat, opaque") << false << false;
        QTest::newRow("lit, transparent") << true << true;
        QTest::newRow("flat, transparent") << false << true;
    }
    void poseKeepsItsPixels()
    {
        QFETCH(bool, lit);
        QFETCH(bool, transparent);
        QTemporaryDir home;
        // The robot's body, frame k of three turned about z a little more, and moved up.
        RtmBuild::TFile walk = RtmBuild::TFile::Regular({"body"}, 3);
        walk.TotalMove = {0, 0, 0};
        for (size_t k = 0; k < 3; ++k) {
            const float s = 0.3f * (float(k) - 1), c = std::sqrt(1 - s * s);
            walk.Frames[k].Records[0].Matrix = {c, s, 0, -s, c, 0, 0, 0, 1, 0, 0.4f * (float(k) - 1), 0};
        }
        QVERIFY(WriteBytesFile(QDir(home.path()).filePath("robot.p3d"), Robot().Build()) &&
                WriteBytesFile(QDir(home.path()).filePath("walk.rtm"), RtmBuild::Build(walk)));
        TEditor e;
        QVERIFY(e.LoadModel(QDir(home.path()).filePath("robot.p3d")) && e.LoadAnimation(QDir(home.path()).filePath("walk.rtm")));
        e.Anim().SetActStep(1);
        const auto picture = [&](int onion, TComponentShow show) {
            TEditorOptions o = e.Options();
            o.OnionFrames = onion;
            o.Show = show;
            o.Lighting = lit;
            o.Transparent3d = transparent;
            o.Grid3d = true;
            e.SetOptions(o);
            e.Pose();
            QString error;
            QImage img = Render3dPicture(e, QSize(240, 180), &error);
            img.reinterpretAsFormat(QImage::Format_RGB32);
            return img;
        };
        const QImage plain = picture(0, TComponentShow::Checked), onion = picture(1, TComponentShow::Checked),
                     bare = picture(1, TComponentShow::None);
        QVERIFY(!plain.isNull() && plain.size() == onion.size() && plain.size() == bare.size());
        int pose = 0, before = 0, after = 0, brightest = 0;
        for (int y = 0; y < plain.height(); ++y) {
            for (int x = 0; x < plain.width(); ++x) {
                const QRgb p = plain.pixel(x, y), o = onion.pixel(x, y);
                if (p != bare.pixel(x, y)) {  // the pose draws here
                    ++pose;
                    QVERIFY2(o == p, qPrintable(QString("pose pixel (%1, %2) changed").arg(x).arg(y)));
                    continue;
                }
                // Elsewhere the onion skin adds its tint: blue before, orange after.
                const int dr = qRed(o) - qRed(p), db = qBlue(o) - qBlue(p);
                before += db > dr && db > 8;
                after += dr > db && dr > 8;
                brightest = std::max({brightest, dr, qGreen(o) - qGreen(p), db});
            }
        }
        QVERIFY2(pose > 500 && before > 30 && after > 30, qPrintable(QString("%1 %2 %3").arg(pose).arg(before).arg(after)));
        // A layer at distance 1 adds at most alpha 0.2 of its tint (lit: up to 1.2 times
        // that); the faces of a layer and the layers themselves must not add up to white.
        QVERIFY2(brightest <= 64, qPrintable(QString("onion pixel brightened by %1").arg(brightest)));
    }
};

TORVANE_TEST(OnionView3dTest)
#include "OnionView3dTest.moc"
