// A model loaded by the editor with what it brings along: proxies, the linking file, and
// what is left when a file is broken.
#include "app/TestModels.h"
#include "editor/Editor.h"
#include "model/P3dmodell.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
}  // namespace

class EditorModelLoadTest : public QObject {
    Q_OBJECT
private slots:
    // What is broken: "lamp" (the proxy's file missing), "links" (a linking file that ends
    // inside its records, the ones before the fault applied), "lod" (no model of the kind
    // edited: no components), "cut" (a model that ends early: no model at all).
    void brokenFiles_data()
    {
        QTest::addColumn<QString>("broken");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("shape");  // the forest in tree order
        QTest::addColumn<int>("models");
        QTest::newRow("nothing") << "" << QStringList{} << "body -arm --hand -leg proxy:lamp.01" << 2;
        QTest::newRow("lamp") << "lamp" << QStringList{"lamp.p3d not found!"} << "body -arm --hand -leg proxy:lamp.01" << 1;
        QTest::newRow("links") << "links" << QStringList{"Stream read error"} << "body -arm hand leg proxy:lamp.01" << 2;
        QTest::newRow("lod") << "lod" << QStringList{"Incorrect LOD Format!"} << "" << 1;
        QTest::newRow("cut") << "cut" << QStringList{"Stream read error"} << "" << 0;
    }
    void brokenFiles()
    {
        QFETCH(QString, broken); QFETCH(QStringList, messages); QFETCH(QString, shape); QFETCH(int, models);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QByteArray robot = Robot().Build();
        if (broken == "lod")
            robot.replace("SP3X", "P3DM");
        else if (broken == "cut")
            robot.chop(40);
        TLpvBuilder cut;
        cut.Add("ghost", "", 0, 0, 0);  // not in the model: skipped
        cut.Add("arm", "body", 0, 0, 0);
        cut.Add("leg", "nobody", 0, 0, 0);
        cut.Count = 5;  // more records than the file holds
        QVERIFY(WriteFile(d.filePath("robot.p3d"), robot) && WriteFile(d.filePath("LinkData/robot.lpv"), broken == "links" ? cut.Build() : RobotLinks()));
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
};

TORVANE_TEST(EditorModelLoadTest)
#include "EditorModelLoadTest.moc"
