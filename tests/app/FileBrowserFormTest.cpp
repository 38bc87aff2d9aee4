// The file browser on folders of models and animations: loading on selection by click and
// arrow keys, folders stored in another letter case or with backslashes, the two panes.
#include "FormFixture.h"
#include "app/FileBrowser.h"
#include "support/TestMain.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {
// Models in "Models" and animations in "Anims", a model of the user's elsewhere, and the
// settings naming the two folders as given.
void WriteFolders(FormFixture& fx, const QString& p3dKey, const QString& rtmKey)
{
    TP3dBuilder b;
    b.AddSelection("arm", b.AddBox(0, 0, 0, 1, 1, 1));
    QVERIFY(b.WriteTo(fx.Path("Models/a.p3d")) && b.WriteTo(fx.Path("Models/B.P3D")) && b.WriteTo(fx.Path("user.p3d")));
    fx.Write("Models/notes.txt", "not a model");
    fx.Write("Anims/walk.rtm", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 3)));
    fx.Write("Anims/run.RTM", RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 4)));
    fx.Write("TorvaneAnim.ini", QStringLiteral("[Dir]\nP3d=%1\nRTM=%2\n").arg(p3dKey, rtmKey).toUtf8());
}

// The window on the folders above, with the user's model loaded and the browser open.
TMainForm& StartBrowsing(FormFixture& fx)
{
    WriteFolders(fx, fx.Path("Models"), fx.Path("Anims"));
    TMainForm& f = fx.Start();
    f.LoadModel(fx.Path("user.p3d"));
    Act(f, "FileBrowser1")->trigger();
    if (!QTest::qWaitForWindowExposed(Browser(f)))
        qWarning("file browser not exposed");
    return f;
}

// The browser's lists of models and of animations.
QListWidget* Models(const TMainForm& f) { return Ctl<QListWidget>(*Browser(f), "P3dFileListBox"); }
QListWidget* Anims(const TMainForm& f) { return Ctl<QListWidget>(*Browser(f), "RTMFileListBox"); }

QStringList Names(const QListWidget* list)
{
    QStringList n;
    for (int i = 0; i < list->count(); ++i)
        n << list->item(i)->text();
    return n;
}
}  // namespace

class FileBrowserFormTest : public QObject {
    Q_OBJECT
private slots:
    // Folders from settings written on another system still list their files; the masks
    // ignore letter case, other files stay out, names sort without case.
    void storedFoldersOpen()
    {
        FormFixture fx;
        WriteFolders(fx, fx.Home.path() + "\\MODELS", fx.Home.path() + "/anims/");
        TMainForm& f = fx.Start();
        QCOMPARE(Names(Models(f)), (QStringList{"a.p3d", "B.P3D"}));
        QCOMPARE(Names(Anims(f)), (QStringList{"run.RTM", "walk.rtm"}));
    }

    // Right after start the model list takes the focus: that alone loads nothing, and
    // the first click on an animation loads that animation and nothing else.
    void selectionLoadsFocusDoesNot()
    {
        FormFixture fx;
        TMainForm& f = StartBrowsing(fx);
        QApplication::setActiveWindow(Browser(f));
        QTest::mouseClick(Ctl<QLabel>(*Browser(f), "AbPanel4"), Qt::LeftButton);  // the model list shows, then takes the focus
        Models(f)->setFocus(Qt::ActiveWindowFocusReason);
        QApplication::processEvents();
        // A list that gets the focus makes its first row current: that is no choice.
        QCOMPARE(Models(f)->currentRow(), 0);
        QCOMPARE(f.Editor().ModelFileName(), fx.Path("user.p3d"));
        QTest::mouseClick(Ctl<QLabel>(*Browser(f), "P_RTMHeader"), Qt::LeftButton);  // back to the animations
        QListWidget* anims = Anims(f);
        QTest::mouseClick(anims->viewport(), Qt::LeftButton, {}, anims->visualItemRect(anims->item(1)).center());
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/walk.rtm"));
        QCOMPARE(f.Editor().ModelFileName(), fx.Path("user.p3d"));
        QTest::keyClick(anims, Qt::Key_Up);  // the arrow keys step through the files, loading each
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/run.RTM"));
        fx.CloseYes();
    }

    // A file saved into a listed folder shows up without a change of folder, and the
    // list that follows the folder loads nothing.
    void listsFollowTheirFolders()
    {
        FormFixture fx;
        TMainForm& f = StartBrowsing(fx);
        QListWidget* anims = Anims(f);
        QTest::mouseClick(anims->viewport(), Qt::LeftButton, {}, anims->visualItemRect(anims->item(1)).center());
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/walk.rtm"));
        fx.Dialogs.Files.enqueue(fx.Path("Anims/saved.rtm"));
        Act(f, "SaveAnimAs1")->trigger();
        QTRY_COMPARE(Names(anims), (QStringList{"run.RTM", "saved.rtm", "walk.rtm"}));
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/saved.rtm"));
        fx.CloseYes();
    }

    // A file chosen while the work loaded has unsaved changes asks first; after Cancel the
    // list shows the file that stayed loaded (or nothing, for a file from elsewhere), and
    // choosing the other file again asks again.
    void cancelledChoiceIsTakenBack()
    {
        FormFixture fx;
        TMainForm& f = StartBrowsing(fx);
        QListWidget* anims = Anims(f);
        const auto click = [](QListWidget* list, int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        };
        click(anims, 1);
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/walk.rtm"));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);  // an unsaved change
        for (int attempt = 1; attempt <= 2; ++attempt) {
            click(anims, 0);  // run.RTM: "Save changes to walk.rtm?" Cancel
            QCOMPARE(fx.Dialogs.SaveQuestions.size(), attempt);
            QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/walk.rtm"));
            QCOMPARE(anims->selectedItems().value(0)->text(), QStringLiteral("walk.rtm"));
        }
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        click(anims, 0);
        QCOMPARE(Doc(f).AnimFileName, fx.Path("Anims/run.RTM"));
        QCOMPARE(anims->selectedItems().value(0)->text(), QStringLiteral("run.RTM"));

        // The model loaded from elsewhere with a changed colour: no model file is highlighted.
        fx.Select("arm");
        fx.Dialogs.Colors.enqueue(0x123456);
        Act(f, "ChangeColor1")->trigger();
        QTest::mouseClick(Ctl<QLabel>(*Browser(f), "AbPanel4"), Qt::LeftButton);
        QListWidget* models = Models(f);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            click(models, 0);
            QCOMPARE(fx.Dialogs.SaveQuestions.size(), 3 + attempt);
            QCOMPARE(f.Editor().ModelFileName(), fx.Path("user.p3d"));
            QVERIFY(models->selectedItems().isEmpty());
        }
        fx.Dialogs.SaveAnswers.enqueue(TSaveAnswer::Discard);
        click(models, 0);
        QCOMPARE(f.Editor().ModelFileName(), fx.Path("Models/a.p3d"));
        QCOMPARE(models->selectedItems().value(0)->text(), QStringLiteral("a.p3d"));
        fx.CloseYes();
    }

    // The lists mark what is loaded however it came, not only a choice made in them: the
    // animation list, longer than the window, scrolls to its file.
    void listsMarkWhatIsLoaded_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("animation");
        QTest::newRow("command line") << "command line" << "B.P3D" << "walk.rtm";
        QTest::newRow("menus") << "menus" << "B.P3D" << "walk.rtm";
        QTest::newRow("saved under another name") << "save as" << "B.P3D" << "saved.rtm";
        QTest::newRow("unloaded") << "unload" << "B.P3D" << "";
        QTest::newRow("model from another folder") << "other model" << "user.p3d" << "walk.rtm";
    }
    void listsMarkWhatIsLoaded()
    {
        QFETCH(QString, how);
        QFETCH(QString, model);
        QFETCH(QString, animation);
        FormFixture fx;
        WriteFolders(fx, fx.Path("Models"), fx.Path("Anims"));
        for (int i = 0; i < 60; ++i)
            fx.Write(QStringLiteral("Anims/a%1.rtm").arg(i, 2, 10, QLatin1Char('0')),
                     RtmBuild::Build(RtmBuild::TFile::Regular({"arm"}, 2)));
        if (how == "command line") {
            fx.Form = std::make_unique<TMainForm>(TAppPaths::FromHome(fx.Home.path()));
            fx.Form->SetStartFiles({fx.Path("Models/B.P3D"), fx.Path("Anims/walk.rtm")});
            fx.Form->show();
            QTRY_COMPARE(Doc(*fx.Form).AnimFileName, fx.Path("Anims/walk.rtm"));
        } else {
            fx.Start();
            fx.TriggerWithFile("LoadP3d1", fx.Path("Models/B.P3D"));
            fx.TriggerWithFile("LoadAnim1", fx.Path("Anims/walk.rtm"));
        }
        TMainForm& f = *fx.Form;
        Act(f, "FileBrowser1")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(Browser(f)));
        if (how == "save as")
            fx.TriggerWithFile("SaveAnimAs1", fx.Path("Anims/saved.rtm"));
        else if (how == "unload") {
            fx.Dialogs.Answers.enqueue(true);
            QTest::mouseClick(Ctl<QPushButton>(f, "B_UnloadAnim"), Qt::LeftButton);
            QVERIFY(Doc(f).AnimFrames.empty());
        } else if (how == "other model")
            fx.TriggerWithFile("LoadP3d1", fx.Path("user.p3d"));
        const auto marked = [](const QListWidget* list) {
            const QList<QListWidgetItem*> selected = list->selectedItems();
            return selected.isEmpty() ? QString() : selected.first()->text();
        };
        QTRY_COMPARE(marked(Anims(f)), animation);
        QCOMPARE(marked(Models(f)), model);
        if (!animation.isEmpty()) {
            const QListWidget* anims = Anims(f);
            QVERIFY(anims->viewport()->rect().contains(anims->visualItemRect(anims->selectedItems().first()).center()));
        }
        fx.CloseYes();
    }

    // A click on a pane's header opens that pane and collapses the other.
    void headersSwitchThePanes()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        Act(f, "FileBrowser1")->trigger();
        TF_FileBrowser& b = *Browser(f);
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        QVERIFY(!Models(f)->isVisible() && Anims(f)->isVisible());
        QTest::mouseClick(Ctl<QLabel>(b, "AbPanel4"), Qt::LeftButton);
        QVERIFY(Models(f)->isVisible() && !Anims(f)->isVisible());
        QTest::mouseClick(Ctl<QLabel>(b, "P_RTMHeader"), Qt::LeftButton);
        QVERIFY(!Models(f)->isVisible() && Anims(f)->isVisible());
        fx.CloseYes();
    }
};

TORVANE_TEST(FileBrowserFormTest)
#include "FileBrowserFormTest.moc"
