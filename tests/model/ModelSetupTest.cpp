// The model set-up with the files it applies: names, colours and linking that exist but
// cannot be read, and the report of animated names the model lacks.
#include "ModelTestUtil.h"
#include "app/TestModels.h"
#include "model/ModelSetup.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class ModelSetupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SilenceDebug(); }

    // A file that is there but cannot be read is named in a message with the reason, marks
    // the load, and applies nothing: the names and colours of the model stay, the tree stays
    // flat. A linking file cut short applies the records before the cut.
    void unreadableFilesAreNamed_data() { QVERIFY(AddTableRows("model/unreadable-setup.table")); }
    void unreadableFilesAreNamed()
    {
        QFETCH(QString, file);
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(int, unread);
        QFETCH(bool, linked);
        QFETCH(QString, shape);
        QFETCH(QString, body);
        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(Robot().WriteTo(d.filePath("robot.p3d")) && Lamp().WriteTo(d.filePath("lamp.p3d")));
        QVERIFY(WriteBytesFile(d.filePath("t.tsl"), "[Translation]\nbody=Torso\n") &&
                WriteBytesFile(d.filePath("c.clr"), "[ColorDef]\nbody=16\n") &&
                WriteBytesFile(d.filePath("LinkData/robot.lpv"), RobotLinks()));
        const QString path = d.filePath(file);
        std::unique_ptr<Hostile::TNoAccessOverride> noOverride;
        if (how == "folder") {
            QVERIFY(QFile::remove(path) && d.mkpath(file));
        } else if (how == "no access") {
            QVERIFY(Hostile::SetMode(path, 0));
            noOverride = std::make_unique<Hostile::TNoAccessOverride>();
            if (!noOverride->Active())
                QSKIP("this process reads files whatever their permissions");
        } else if (how == "cut") {
            QVERIFY(WriteBytesFile(path, RobotLinks().left(8 + 76 * 2 + 10)));  // two whole records
        }
        TModelSetup setup;
        QStringList said;
        setup.Message = [&said](const QString& m) { said << m; };
        setup.LinkDataDir = d.filePath("LinkData");
        setup.TranslationFile = d.filePath("t.tsl");
        setup.ColorFile = d.filePath("c.clr");
        QVERIFY(setup.Load(d.filePath("robot.p3d")));
        noOverride.reset();
        QCOMPARE(
            said.replaceInStrings(dir.path(), "%1"),
            message.isEmpty()
                ? QStringList()
                : QStringList{
                      QString(message).replace("EISDIR", SystemErrorText(EISDIR)).replace("EACCES", SystemErrorText(EACCES))});
        QCOMPARE(int(setup.Unread), unread);
        QCOMPARE(setup.LinkingLoaded, linked);
        QStringList tree;
        for (const TComponentNode& n : setup.Forest.Nodes())
            tree << QString(n.Level, '-') + n.Component->Name;
        QCOMPARE(tree.join(' '), shape);
        const TSelection* b = FindComponentByName(setup.Forest.TreeOrder(), "body");
        QCOMPARE(b->DisplayName + '/' + QString::number(b->Color, 16), body);
    }

    // Each name the model lacks, in the animation's order, padded to 32 columns, with its
    // display name from the translation file (keys without regard to case) or itself.
    // Names are found exactly; the file is read only when a name is missing.
    void missingNamesReport()
    {
        TSelection arm, Arm;
        arm.Name = "arm";
        Arm.Name = "Arm";
        QTemporaryDir dir;
        const QString names = dir.filePath("t.tsl");
        QVERIFY(WriteBytesFile(names, "[Translation]\nLEG=Left leg\ntail=\n"));
        QCOMPARE(MissingComponentsReport({"leg", "arm", "ARM", "tail", "%1"}, {&arm, &Arm}, names),
                 QStringLiteral("\n leg                              -> Left leg"
                                "\n ARM                              -> ARM"
                                "\n tail                             -> "
                                "\n %1                               -> %1"));
        QCOMPARE(MissingComponentsReport({"Arm", "arm"}, {&arm, &Arm}, dir.filePath("none.tsl")), QString());
        QCOMPARE(MissingComponentsReport({"leg"}, {}, QString()), QStringLiteral("\n leg                              -> leg"));
    }
};

TORVANE_TEST(ModelSetupTest)
#include "ModelSetupTest.moc"
