// "Export glTF..." and "Export OBJ..." in the main window: what the window shows, written by
// the same export the command line runs (whose output is checked in GltfExportTest).
#include "CommandHome.h"
#include "FormFixture.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>
#include <QToolButton>
#include <QTest>

namespace {
// A glTF file's JSON, the buffer in it, without the asset (which says how it was run).
QJsonObject WithoutAsset(const QByteArray& file)
{
    QJsonObject json = QJsonDocument::fromJson(file).object();
    json.remove("asset");
    return json;
}

QByteArray WithoutComments(const QByteArray& obj)
{
    QList<QByteArray> lines = obj.split('\n');
    lines.removeIf([](const QByteArray& l) { return l.startsWith('#'); });
    return lines.join('\n');
}
}  // namespace

class ExportFormTest : public QObject {
    Q_OBJECT
private slots:
    // The window and the command line write the same file for the same model, animation,
    // offset and environment switch (which does not depend on the format).
    // The view's transparency reaches the glTF's materials only when the user ticks it.
    void windowExportsWhatItShows_data()
    {
        QTest::addColumn<bool>("gltf");
        QTest::addColumn<bool>("environmentShown");
        QTest::addColumn<bool>("transparent");  // "glTF Transparent as the 3D View" ticked
        QTest::newRow("glTF, environment shown") << true << true << false;
        QTest::newRow("glTF, transparent as the view") << true << false << true;
        QTest::newRow("OBJ, environment switched off") << false << false << false;
    }
    void windowExportsWhatItShows()
    {
        QFETCH(bool, gltf);
        QFETCH(bool, environmentShown);
        QFETCH(bool, transparent);
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand"}, 3);
        for (auto& fr : anim.Frames)
            fr.Records[0].Matrix = fr.Records[1].Matrix = {0, 1, 0, -1, 0, 0, 0, 0, 1, 0.5f, 0, 0};
        anim.TotalMove = {0, 0, 3};
        fx.LoadAnim("walk.rtm", anim);
        QVERIFY(Room().WriteTo(fx.Path("room.p3d")));
        fx.Dialogs.Files.enqueue(fx.Path("room.p3d"));
        fx.Dialogs.Choices.enqueue(0);
        Act(f, "LoadEnviromentP3d1")->trigger();
        if (!environmentShown)
            QTest::mouseClick(Ctl<TLedButton>(f, "B_Enviroment"), Qt::LeftButton);
        QCOMPARE(Ctl<TLedButton>(f, "B_Enviroment")->isChecked(), environmentShown);
        fx.Dialogs.Messages.clear();

        const QString ext = gltf ? "gltf" : "obj";
        QVERIFY(Ctl<QToolButton>(f, "B_Transparent3D")->isChecked());  // the settings' default
        if (transparent)
            Act(f, "ExportTransparent1")->trigger();
        fx.Dialogs.Files.enqueue(fx.Path("window." + ext));
        (gltf ? Act(f, "ExportGltf1") : Act(f, "ExportObj1"))->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{});
        // The animation proposes its own name; the status bar says what was written.
        QCOMPARE(fx.Dialogs.FilePrompts.last().FileName, gltf ? QStringLiteral("walk.glb") : QStringLiteral("robot.obj"));
        const QString size = QLocale::c().formattedDataSize(QFileInfo(fx.Path("window." + ext)).size(), 1);
        QCOMPARE(StatusNote(f), QStringLiteral("Exported window.%1 (%2, %3)").arg(ext, size, gltf ? "3 frames" : "frame 0"));

        QStringList args{"export", fx.Path("robot.p3d"), fx.Path("walk.rtm"), "-o", fx.Path("tool." + ext)};
        if (environmentShown)
            args << "--environment" << fx.Path("room.p3d");
        if (transparent)
            args << "--transparent";
        QCOMPARE(CommandHome::RunIn(fx.Home.path(), args).Code, 0);
        if (gltf) {
            const QJsonObject window = WithoutAsset(fx.Read("window.gltf"));
            QVERIFY(window.contains("buffers"));
            QCOMPARE(window["materials"].toArray().at(0).toObject().value("alphaMode").toString("OPAQUE"),
                     transparent ? "BLEND" : "OPAQUE");
            QCOMPARE(window, WithoutAsset(fx.Read("tool.gltf")));
        } else {
            QCOMPARE(WithoutComments(fx.Read("window.obj")), WithoutComments(fx.Read("tool.obj")));
        }
    }

    // Without a model there is nothing to export.
    void nothingToExport()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        Act(f, "ExportGltf1")->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No P3d Model loaded!"});
    }
};

TORVANE_TEST(ExportFormTest)
#include "ExportFormTest.moc"
