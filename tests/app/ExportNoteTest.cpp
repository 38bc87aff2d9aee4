// What the window's exports propose as a file name and report once written.
#include "app/ExportNote.h"
#include "support/TestMain.h"

#include <QTest>

class ExportNoteTest : public QObject {
    Q_OBJECT
private slots:
    // An animation is proposed under its own name; a frame or a model under the model's.
    void proposedNames_data()
    {
        QTest::addColumn<QString>("anim");
        QTest::addColumn<bool>("animation");
        QTest::addColumn<QString>("name");
        QTest::newRow("an animation") << "/anims/walk.cycle.rtm" << true << "walk.cycle.glb";
        QTest::newRow("a frame of it") << "/anims/walk.cycle.rtm" << false << "robot.glb";
        QTest::newRow("an animation never saved") << "" << true << "robot.glb";
    }
    void proposedNames()
    {
        QFETCH(QString, anim);
        QFETCH(bool, animation);
        QTEST(ExportFileName("/models/robot.p3d", anim, animation, "glb"), "name");
    }

    // The report names the file, its size and what it holds.
    void summaries_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("animation");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("text");
        QTest::newRow("animation") << qint64(15565) << true << 12 << "Exported out.glb (15.2 KiB, 12 frames)";
        QTest::newRow("one frame") << qint64(1000) << true << 1 << "Exported out.glb (1000 bytes, 1 frame)";
        QTest::newRow("the frame shown") << qint64(2048) << false << 12 << "Exported out.glb (2.0 KiB, frame 3)";
        QTest::newRow("no animation") << qint64(3 << 20) << false << 0 << "Exported out.glb (3.0 MiB, rest pose)";
    }
    void summaries()
    {
        QFETCH(qint64, bytes);
        QFETCH(bool, animation);
        QFETCH(int, frames);
        QTEST(ExportSummary("/tmp/out.glb", bytes, animation, frames, 3), "text");
    }
};

TORVANE_TEST(ExportNoteTest)
#include "ExportNoteTest.moc"
