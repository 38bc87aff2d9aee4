// A model loaded by the editor with what it brings along: proxies, the linking file, and
// what is left when a file is broken.
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "filebuild/RtmBuilder.h"
#include "model/P3dModel.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class EditorModelLoadTest : public QObject {
    Q_OBJECT
private slots:
    void brokenFiles_data() { QVERIFY(AddTableRows("editor/broken-files.table")); }
    void brokenFiles()
    {
        QFETCH(QString, broken);
        QFETCH(QStringList, messages);
        QFETCH(QString, shape);
        QFETCH(int, models);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QByteArray robot = Robot().Build();
        if (broken == "lod")
            robot.replace("SP3X", "P3DM");
        else if (broken == "cut")
            robot.chop(40);
        QVERIFY(WriteBytesFile(d.filePath("robot.p3d"), robot) && WriteBytesFile(d.filePath("LinkData/robot.lpv"), RobotLinks()));
        if (broken != "lamp")
            QVERIFY(Lamp().WriteTo(d.filePath("lamp.p3d")));
        TEditor e;
        QStringList said;
        e.Message = [&said](const QString& m) { said << m; };
        e.LinkDataDir = d.filePath("LinkData");
        QCOMPARE(e.LoadModel(d.filePath("robot.p3d")), models > 0);
        QCOMPARE(said, messages);
        QStringList nodes;
        for (const TComponentNode& n : e.Forest().Nodes())
            nodes << QString(n.Level, '-') + n.Component->Name;
        QCOMPARE(nodes.join(' '), shape);
        QCOMPARE(int(e.Models().size()), models);
        if (!shape.isEmpty())  // the proxy triangle is drawn by its sub-model, or by the model without one
            QCOMPARE(e.Models().front()->Polygons[12].Hidden, models == 2);
    }

    // The names of an animation are compared with a model's components; without a model
    // there is nothing to compare them with, and nothing is reported missing.
    void missingNamesNeedAModel()
    {
        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(Robot().WriteTo(d.filePath("robot.p3d")) && Lamp().WriteTo(d.filePath("lamp.p3d")));
        QVERIFY(WriteBytesFile(d.filePath("walk.rtm"), RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "tail"}, 2))));
        TEditor e;
        QVERIFY(e.LoadAnimation(d.filePath("walk.rtm")));
        QCOMPARE(e.MissingReport(), QString());
        QVERIFY(e.LoadModel(d.filePath("robot.p3d")));
        QCOMPARE(e.MissingReport(), "\n " + QStringLiteral("tail").leftJustified(32) + " -> tail");
        e.ClearModel();
        QCOMPARE(e.MissingReport(), QString());
    }
};

TORVANE_TEST(EditorModelLoadTest)
#include "EditorModelLoadTest.moc"
