// The model's edits as steps of the one undo history: a commit is one step named by what it
// changed, undone and redone exactly; what a load shows is no step; and a kind is unsaved
// while the components differ from what its file holds.
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dmodell.h"
#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class ModelHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void stepsAndUnsavedFiles()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(Robot().WriteTo(d.filePath("robot.p3d")) && Lamp().WriteTo(d.filePath("lamp.p3d")) &&
                WriteBytesFile(d.filePath("LinkData/robot.lpv"), RobotLinks()) &&
                WriteBytesFile(d.filePath("walk.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 2))));
        TEditor e;
        e.LinkDataDir = d.filePath("LinkData");
        QVERIFY(e.LoadModel(d.filePath("robot.p3d")));
        TModelHistory& h = e.ModelEdits();
        TAnimController& a = e.Anim();
        TComponentForest& f = e.Forest();
        TSelection* arm = f.Component(f.Find("arm"));
        const uint32_t color = arm->Color;
        QCOMPARE(h.Unsaved(), 0u);

        QVERIFY(f.MoveUp(f.Find("hand")));
        h.Commit();
        QCOMPARE(a.UndoName(), QStringLiteral("Linking and Pivots"));
        arm->Color = 0x123456;
        f.ComponentsChanged();
        h.Commit(QStringLiteral("Change Color"));
        h.Commit();  // nothing changed since: no step
        QCOMPARE(std::pair(a.UndoName(), h.Unsaved()), std::pair(QStringLiteral("Change Color"), unsigned(EditLinking | EditColors)));
        f.ToggleHidden(f.Find("leg"));
        h.Commit();
        // Hidden is in no file.
        QCOMPARE(std::pair(a.UndoName(), h.Unsaved()), std::pair(QStringLiteral("Show and Hide"), unsigned(EditLinking | EditColors)));
        a.Undo();
        QVERIFY(!f.Component(f.Find("leg"))->Hidden);

        h.Saved(EditColors);
        QCOMPARE(h.Unsaved(), unsigned(EditLinking));
        a.Undo();  // the colour before the save: unsaved again
        QCOMPARE(std::pair(arm->Color, h.Unsaved()), std::pair(color, unsigned(EditLinking | EditColors)));
        a.Undo();  // the linking back as its file holds it
        QCOMPARE(std::pair(f.Parent(f.Find("hand")), h.Unsaved()), std::pair(f.Find("arm"), unsigned(EditColors)));
        a.Redo();
        a.Redo();
        QCOMPARE(std::tuple(f.Parent(f.Find("hand")), arm->Color, h.Unsaved()), std::tuple(f.Find("body"), 0x123456u, unsigned(EditLinking)));

        // An animation's load hides what it does not animate, and its unload shows it
        // again: neither is an edit.
        QVERIFY(e.LoadAnimation(d.filePath("walk.rtm")));
        const QString lastStep = a.UndoName();
        h.Commit();
        QCOMPARE(a.UndoName(), lastStep);
        a.ClearAnimation();
        h.Commit();
        QCOMPARE(a.UndoName(), lastStep);

        // Another model: a new history, its files as loaded.
        QVERIFY(e.LoadModel(d.filePath("robot.p3d")));
        QVERIFY(!a.CanUndo());
        QCOMPARE(h.Unsaved(), 0u);
    }
};

TORVANE_TEST(ModelHistoryTest)
#include "ModelHistoryTest.moc"
