// Files opened without a file dialog (File > "Open Recent", a drop onto the window or the
// file browser), "Import glTF Animation..." and the export's refusal to write over what the
// scene was read from, as a user does them in the window.
#include "FormFixture.h"
#include "anim/AnimController.h"
#include "app/FileBrowser.h"
#include "editor/Editor.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <cmath>

namespace {
// The entries of File > "Open Recent" as the menu shows them when opened: text, or
// "(greyed) text" for a disabled one; "-" a separator.
QStringList RecentEntries(const TMainForm& f)
{
    auto* menu = Ctl<QMenu>(f, "OpenRecent");
    menu->popup(QPoint(0, 0));
    QStringList entries;
    for (const QAction* a : menu->actions())
        entries << (a->isSeparator() ? QStringLiteral("-")
                                     : (a->isEnabled() ? QString() : QStringLiteral("(greyed) ")) + a->text());
    menu->hide();
    return entries;
}

QAction* RecentEntry(const TMainForm& f, const QString& text)
{
    for (QAction* a : Ctl<QMenu>(f, "OpenRecent")->actions())
        if (a->text() == text)
            return a;
    qFatal("no recent entry %s", qPrintable(text));
}

// A drag of these files entering target, moving and dropping there; whether it was taken.
bool Drop(QWidget* target, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    Settle();  // the files open once the drop is over
    return move.isAccepted() && drop.isAccepted();
}
}  // namespace

class OpenFilesFormTest : public QObject {
    Q_OBJECT
private slots:
    // Each model and animation opened or saved goes to the top of the list; a file gone is
    // greyed with its path as tooltip; the list survives a restart; an entry opens its file
    // after the save question; Clear List empties it.
    void openRecent()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        QCOMPARE(RecentEntries(f), (QStringList{"&1 walk.rtm", "&2 robot.p3d", "-", "Clear List"}));
        fx.Dialogs.Files.enqueue(fx.Path("walk2.rtm"));
        Act(f, "SaveAnimAs1")->trigger();
        QCOMPARE(RecentEntries(f), (QStringList{"&1 walk2.rtm", "&2 walk.rtm", "&3 robot.p3d", "-", "Clear List"}));
        QVERIFY(QFile::remove(fx.Path("walk.rtm")));
        QCOMPARE(RecentEntries(f), (QStringList{"&1 walk2.rtm", "(greyed) &2 walk.rtm", "&3 robot.p3d", "-", "Clear List"}));
        QVERIFY(RecentEntry(f, "&2 walk.rtm")->toolTip().contains(fx.Path("walk.rtm")));
        fx.CloseYes();
        fx.Form.reset();
        // Kept relative to the home folder, as the settings keep their files.
        QVERIFY(fx.Read("TorvaneAnim.ini").contains("\nFile1=walk2.rtm\nFile2=walk.rtm\nFile3=robot.p3d\n"));

        TMainForm& g = fx.Start();  // the list as it was, with the last files opened again
        QTRY_COMPARE(RecentEntries(g), (QStringList{"&1 walk2.rtm", "&2 robot.p3d", "(greyed) &3 walk.rtm", "-", "Clear List"}));
        fx.Write("walk3.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"leg"}, 2)));
        g.LoadAnimation(fx.Path("walk3.rtm"));
        QTest::mousePress(Ctl<QPushButton>(g, "B_Append"), Qt::LeftButton);
        RecentEntry(g, "&2 walk2.rtm")->trigger();  // the save question, cancelled
        QCOMPARE(fx.Dialogs.SaveQuestions, QStringList{"Save changes to walk3.rtm?"});
        QCOMPARE(Doc(g).AnimFileName, fx.Path("walk3.rtm"));
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        RecentEntry(g, "&2 walk2.rtm")->trigger();
        QCOMPARE(Doc(g).AnimFileName, fx.Path("walk2.rtm"));
        QCOMPARE(RecentEntries(g),
                 (QStringList{"&1 walk2.rtm", "&2 walk3.rtm", "&3 robot.p3d", "(greyed) &4 walk.rtm", "-", "Clear List"}));

        RecentEntry(g, "Clear List")->trigger();
        QCOMPARE(RecentEntries(g), QStringList{"(greyed) Clear List"});
        QVERIFY(!fx.Read("TorvaneAnim.ini").contains("File1"));
        fx.CloseYes();
    }

    // The list goes into the settings file as each file comes; a settings file of the older
    // name is carried over whole, so that the next start still reads all of it.
    void recentListBesideOlderSettings()
    {
        FormFixture fx;
        fx.Write("Zelvix.ini", "[Other]\nKey=kept\n[Settings]\nUndoSteps=7\n");
        TMainForm& f = fx.Start();
        fx.LoadRobot();
        const TIniFile ini(fx.Path("TorvaneAnim.ini"));
        QCOMPARE(ini.ReadString("Recent", "File1", ""), QStringLiteral("robot.p3d"));
        QCOMPARE(ini.ReadString("Other", "Key", ""), QStringLiteral("kept"));
        QCOMPARE(ini.ReadInteger("Settings", "UndoSteps", 0), 7);
        QCOMPARE(f.Editor().History().StepLimit(), 7);
    }

    // Files dropped onto the main window (on a view) or onto the file browser open as the
    // menu opens them: models first, whatever the order dropped, after the save question;
    // other files are not taken.
    void droppedFilesOpen_data()
    {
        QTest::addColumn<bool>("onBrowser");
        QTest::newRow("main window") << false;
        QTest::newRow("file browser") << true;
    }
    void droppedFilesOpen()
    {
        QFETCH(bool, onBrowser);
        FormFixture fx;
        TMainForm& f = fx.Start();
        Robot().WriteTo(fx.Path("robot.p3d"));
        Lamp().WriteTo(fx.Path("lamp.p3d"));
        fx.Write("walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm", "hand"}, 4)));
        fx.Write("other.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"leg"}, 2)));
        fx.Write("notes.txt", "notes");
        if (onBrowser)
            Act(f, "FileBrowser1")->trigger();
        QWidget* target = onBrowser ? static_cast<QWidget*>(Browser(f)->RTMFileListBox) : Ctl<TChart>(f, "FrontView1");

        QVERIFY(!Drop(target, {fx.Path("notes.txt")}));
        QVERIFY(Drop(target, {fx.Path("walk.rtm"), fx.Path("notes.txt"), fx.Path("robot.p3d")}));
        QCOMPARE(f.Editor().ModelFileName(), fx.Path("robot.p3d"));
        QCOMPARE(Doc(f).AnimFileName, fx.Path("walk.rtm"));
        QCOMPARE(RecentEntries(f).mid(0, 2), (QStringList{"&1 walk.rtm", "&2 robot.p3d"}));  // the model first
        QCOMPARE(fx.Dialogs.Messages, QStringList{});

        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QVERIFY(Drop(target, {fx.Path("other.rtm")}));  // cancelled at the question
        QCOMPARE(fx.Dialogs.SaveQuestions, QStringList{"Save changes to walk.rtm?"});
        QCOMPARE(Doc(f).FrameCount(), 5);
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        QVERIFY(Drop(target, {fx.Path("other.rtm")}));
        QCOMPARE(Doc(f).AnimFileName, fx.Path("other.rtm"));
        fx.CloseYes();
    }

    // "Import glTF Animation..." after the save question: the window's own export comes back
    // unsaved and without a file, as one step that undo takes back; the play time is the
    // file's. A file that is no glTF is named in the message and changes nothing. The
    // frames that come back are the glTF round trip's tests.
    void importGltfAnimation()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        // Turns and moves, which glTF holds exactly.
        RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand"}, 4);
        for (size_t i = 0; i < anim.Frames.size(); ++i) {
            const float c = std::cos(0.3f * float(i)), s = std::sin(0.3f * float(i));
            anim.Frames[i].Records[0].Matrix = {c, s, 0, -s, c, 0, 0, 0, 1, 0.25f * float(i), 0, 0};
            anim.Frames[i].Records[1].Matrix = {1, 0, 0, 0, c, s, 0, -s, c, 0, 0.5f, 0.125f * float(i)};
        }
        fx.LoadAnim("walk.rtm", anim);
        QAction* import = Ctl<QAction>(f, "ImportGltf1");
        fx.Dialogs.Files.enqueue(fx.Path("walk.gltf"));
        Act(f, "ExportGltf1")->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{});
        const QByteArray exported = Saved(f);
        const TRtmData walk = ReadRtm(exported);
        const double playTime = Ctl<TNumberEdit>(f, "E_AnimTime")->value();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        const QByteArray edited = Saved(f);

        fx.Dialogs.Files.enqueue(fx.Path("walk.gltf"));
        import->trigger();  // cancelled at the save question
        QCOMPARE(fx.Dialogs.SaveQuestions, QStringList{"Save changes to walk.rtm?"});
        QCOMPARE(Saved(f), edited);

        Ctl<TNumberEdit>(f, "E_AnimTime")->setValue(9);
        fx.Dialogs.Files.enqueue(fx.Path("walk.gltf"));
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        import->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{});
        QCOMPARE(Doc(f).AnimSelections.Names(), walk.Names.Names());
        QCOMPARE(Doc(f).FrameCount(), walk.Frames.Count());
        QCOMPARE(Doc(f).AnimFileName, QString());
        QVERIFY(f.isWindowModified());
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: <NOT SAVED>"));
        QVERIFY(StatusNote(f).startsWith("walk.gltf: 4 frames, play time "));
        QVERIFY(std::abs(Ctl<TNumberEdit>(f, "E_AnimTime")->value() - playTime) < 1e-3);
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Import glTF Animation"));
        Act(f, "Undo1")->trigger();
        QCOMPARE(Saved(f), edited);
        QCOMPARE(Doc(f).AnimFileName, fx.Path("walk.rtm"));

        fx.Write("broken.gltf", "{ this is no glTF");
        fx.Dialogs.Files.enqueue(fx.Path("broken.gltf"));
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        import->trigger();
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QVERIFY2(fx.Dialogs.Messages[0].startsWith("broken.gltf: "), qPrintable(fx.Dialogs.Messages[0]));
        QCOMPARE(Saved(f), edited);
        QCOMPARE(Act(f, "Redo1")->text(), QStringLiteral("&Redo Import glTF Animation"));
    }

    // The window's exports never write over a file the scene was read from, nor over the
    // settings file; the message says which file it is. Which files those are, by whatever
    // name, is the command line's case output-is-an-input.
    void exportRefusesItsInputs_data()
    {
        QTest::addColumn<bool>("gltf");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("what");
        QTest::newRow("the linking file") << false << "LinkData/robot.lpv"
                                          << "the linking file";
        QTest::newRow("the settings file") << true << "TorvaneAnim.ini"
                                           << "the settings file";
    }
    void exportRefusesItsInputs()
    {
        QFETCH(bool, gltf);
        QFETCH(QString, output);
        QFETCH(QString, what);
        FormFixture fx;
        fx.Write("TorvaneAnim.ini", "[Settings]\nUndoSteps=50\n");
        TMainForm& f = fx.StartWalk();
        const QByteArray before = fx.Read(output);
        QVERIFY(!before.isEmpty());
        fx.Dialogs.Files.enqueue(fx.Path(output));
        (gltf ? Act(f, "ExportGltf1") : Act(f, "ExportObj1"))->trigger();
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QVERIFY2(fx.Dialogs.Messages[0].startsWith(fx.Path(output) + " is " + what + " "), qPrintable(fx.Dialogs.Messages[0]));
        QVERIFY(fx.Dialogs.Messages[0].endsWith("; it is not written over"));
        QCOMPARE(fx.Read(output), before);
    }
};

TORVANE_TEST(OpenFilesFormTest)
#include "OpenFilesFormTest.moc"
