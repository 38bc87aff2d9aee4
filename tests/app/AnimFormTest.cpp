// The animation document operations and the RTM commands, driven through the main window.
#include "FormFixture.h"
#include "app/FrameGrid.h"
#include "modelforms/Selectcomponents.h"
#include "widgets/Chart.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QLineEdit>
#include <QLCDNumber>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <cerrno>

using RtmBuild::TFile;

namespace {
TFile Walk(int frames)
{
    TFile f = TFile::Regular({"arm", "leg", "head"}, frames);
    f.TotalMove = {0.5f, 1234.5678f, -2};  // beyond what three decimals and +-360 can show
    return f;
}

// Starts the window and loads a walk of the given length, messages cleared.
TMainForm& StartWith(FormFixture& fx, int frames)
{
    TMainForm& f = fx.Start();
    if (frames > 0) {
        fx.Write("walk.rtm", RtmBuild::Build(Walk(frames)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Messages.clear();
    }
    return f;
}
}  // namespace

class AnimFormTest : public QObject {
    Q_OBJECT
private slots:
    void loadSetsControls_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("five frames") << 5;
        QTest::newRow("one frame") << 1;
    }
    void loadSetsControls()
    {
        QFETCH(int, frames);
        FormFixture fx;
        TMainForm& f = fx.Start();
        TFile file = Walk(frames);
        file.Frames.front().Time = 0.2f;  // the first frame goes to 0, a last one to 1
        file.Frames.back().Time = 0.9f;
        fx.Write("walk.rtm", RtmBuild::Build(file));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(f.Doc.AnimStepCount, frames);
        QCOMPARE(f.D_Steps->intValue(), frames);
        QCOMPARE(f.AnimSlider->maximum(), frames - 1);
        QCOMPARE(f.Doc.AnimFrames.front().Time, 0.0f);
        QCOMPARE(f.Doc.AnimFrames.back().Time, frames > 1 ? 1.0f : 0.0f);
        QCOMPARE(f.G_Frames->Rows(), frames + 1);
        QCOMPARE(f.E_TM_z->value(), -2.0);
        QCOMPARE(f.E_TM_y->value(), double(1234.5678f));  // shown as stored, not clamped or rounded
        QCOMPARE(f.E_TM_y->text(), QStringLiteral("1234.5677").replace('.', f.E_TM_y->locale().decimalPoint()));
        QCOMPARE(f.E_AnimTime->value(), frames * 0.3);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));
        QVERIFY(!f.Doc.LoadingAnim);
        // No model: every animated name is reported once, padded to 32 columns.
        QCOMPARE(fx.Dialogs.Messages,
                 QStringList{QStringLiteral("following Animation Components were not found in the Model:\n"
                                            "\n %1 -> arm\n %2 -> leg\n %3 -> head")
                                 .arg("arm", -32).arg("leg", -32).arg("head", -32)});
    }

    void missingNamesUseTranslation()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 0);
        fx.Write("names.tsl", "[Translation]\nARM=Upper Arm\n");
        f.TranslationFileName = fx.Path("names.tsl");
        fx.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm", "leg%1", "%2"}, 2)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        // Names are data, never formats: "%1" and "%2" in a name stay as they are.
        QCOMPARE(f.MissingAnimComponentsReport(), "\n " + QString("arm").leftJustified(32) + " -> Upper Arm\n " +
                                                      QString("leg%1").leftJustified(32) + " -> leg%1\n " +
                                                      QString("%2").leftJustified(32) + " -> %2");
    }

    // The controls follow a failed load to the empty document (the load's own cases are
    // the controller's tests).
    void failedLoadEmptiesTheControls()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 4);
        f.SetActStep(2);
        fx.Write("bad.rtm", "RTM_0102");
        f.LoadAnimation(fx.Path("bad.rtm"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Incorrect Format!"});
        QCOMPARE(f.D_Steps->intValue(), 0);  // not the count of the animation that is gone
        QCOMPARE(f.D_ActStep->intValue(), 0);
        QCOMPARE(f.AnimSlider->maximum(), 0);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: "));
        QCOMPARE(f.G_Frames->Rows(), 1);
        QCOMPARE(f.E_TM_z->value(), 0.0);
    }

    void loadAnimMenu()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 0);
        QDir(fx.Home.path()).mkdir("anims");
        fx.Write("anims/Walk.RTM", RtmBuild::Build(Walk(2)));
        fx.Dialogs.Files.enqueue(fx.Path("anims/walk.rtm"));  // found in another letter case
        f.LoadAnim1->trigger();
        QCOMPARE(fx.Dialogs.FilePrompts[0].Filter, QStringLiteral("Torvane Anim  Files|*.rtm|All Files|*.*"));
        QCOMPARE(fx.Dialogs.FilePrompts[0].InitialDir, f.Paths.ExeDir);
        QCOMPARE(f.Doc.AnimStepCount, 2);
        f.LoadAnim1->trigger();  // cancelled: nothing changes, the dialog starts in the new folder
        QCOMPARE(fx.Dialogs.FilePrompts[1].InitialDir, fx.Path("anims"));
        QCOMPARE(f.Doc.AnimStepCount, 2);
    }

    void saveRoundTrip()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 6);
        fx.Dialogs.Files.enqueue(fx.Path("copy.rtm"));
        f.SaveAnimAs1->trigger();
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
        QCOMPARE(fx.Dialogs.FilePrompts.last().Filter, QStringLiteral("Torvane Anim Files|*.rtm|All|*.*"));
        QCOMPARE(fx.Read("copy.rtm"), fx.Read("walk.rtm"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: copy.rtm"));
        QCOMPARE(f.Doc.AnimFileName, fx.Path("copy.rtm"));
    }

    void failedSaves()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 0);
        fx.Dialogs.Files.enqueue(fx.Path("x.rtm"));
        f.SaveAnimAs1->trigger();  // the dialog comes first, then the complaint
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Animation found!"});
        fx.Write("walk.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Messages.clear();
        QVERIFY(!f.SaveAnimationTo(fx.Path("no/such/folder/x.rtm")));
        QVERIFY(fx.Dialogs.Messages.value(0).startsWith("Cannot write file"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));
    }

    void steppingControls()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 3);
        f.SetActStep(1);
        const int refreshes = f.RefreshCount();
        f.SetActStep(1);  // already current: nothing is reapplied
        QCOMPARE(f.RefreshCount(), refreshes);
        f.AnimSlider->setValue(2);
        QCOMPARE(f.Doc.ActAnimStep, 2);
        QVERIFY(f.RefreshCount() > refreshes);
        QTest::mouseClick(f.B_Next, Qt::LeftButton);
        QCOMPARE(f.Doc.ActAnimStep, 2);  // nothing wraps
        QTest::mouseClick(f.B_Prev, Qt::LeftButton);
        QCOMPARE(f.Doc.ActAnimStep, 1);
        f.SetStepCount(50);
        QCOMPARE(f.AnimSliderDivisions, 20);
        QCOMPARE(f.AnimSlider->maximum(), 49);
    }

    // The buttons act on the press and show what stopped them.
    void frameButtons()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 3);
        f.SetActStep(2);
        QTest::mousePress(f.B_DelAnim, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimStepCount, 2);
        QCOMPARE(f.D_Steps->intValue(), 2);
        QCOMPARE(f.G_Frames->currentIndex().row(), 1);  // the new last frame
        QTest::mousePress(f.B_DelAnim, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Only two Animsteps left!"});
        QTest::mousePress(f.B_Append, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimStepCount, 3);
        QCOMPARE(f.D_ActStep->intValue(), 2);
    }

    void unloadAsksFirst()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 0);
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);  // nothing loaded: no question
        QVERIFY(fx.Dialogs.Questions.isEmpty());
        fx.Write("a.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("a.rtm"));
        fx.Dialogs.Answers << false << true;
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimStepCount, 3);
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 2);
        QCOMPARE(fx.Dialogs.Questions[0], QStringLiteral("Are you sure to clear the current animation?\n\n(All changes will be lost!)"));
        QCOMPARE(fx.Dialogs.QuestionCaptions[0], QStringLiteral("Warning"));
        QCOMPARE(f.Doc.AnimStepCount, 0);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: "));
    }

    void playAndTotalMoveControls()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 0);
        f.B_Play->click();  // no frames: the button springs back
        QVERIFY(!f.B_Play->isChecked());
        f.E_TM_y->setValue(1.1);
        QCOMPARE(f.Doc.TotalMove[1], 1.1f);

        fx.Write("walk.rtm", RtmBuild::Build(Walk(4)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        f.SetActStep(2);
        f.B_Play->click();  // playing: from frame 0, red caption, the 2D views empty
        QVERIFY(f.Playing());
        QCOMPARE(f.Doc.ActAnimStep, 0);
        QVERIFY(f.B_Play->styleSheet().contains("red"));
        f.RefreshDisplay();
        QCOMPARE(f.FrontView1->Items().LineCount(), 0);
        f.B_Play->click();  // stopped: the segment's target frame is shown exactly
        f.PlayTimerTimer();
        QVERIFY(!f.Playing());
        QCOMPARE(f.Doc.ActAnimStep, 1);
        QCOMPARE(f.Doc.PlayFraction, 0.0);
        QVERIFY(!f.B_Play->styleSheet().contains("red"));
        QVERIFY(f.FrontView1->Items().LineCount() > 0 || f.TreeComponents().empty());
    }

    // The grid: a click makes a frame current, typing retimes it, the commit sorts and a
    // text that is no time puts the old one back.
    void gridSelectsAndRetimes()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 4);  // times 0, 1/3, 2/3, 1
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        TFrameGrid* g = f.G_Frames;
        const auto cell = [g](int frame, int column) { return g->visualRect(g->model()->index(frame, column)).center(); };
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell(2, 0));
        QCOMPARE(f.Doc.ActAnimStep, 2);
        QTest::keyClick(g, Qt::Key_Up);  // the keys step through the frames too
        QCOMPARE(f.Doc.ActAnimStep, 1);
        const auto doubleClick = [g, &cell](int frame) {  // F2 is "Save Settings"
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell(frame, 1));
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell(frame, 1));
        };
        doubleClick(1);
        QWidget* editor = g->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QString::number(0.8).replace('.', QLocale::system().decimalPoint()));
        QCOMPARE(f.Doc.AnimFrames[1].Time, 0.8f);  // stored while typing, not yet sorted
        QVERIFY(!f.Doc.AnimFrames[2].TimeValid);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.Doc.AnimFrames[1].Time, 2 / 3.0f);  // committed (queued by the view): sorted
        QCOMPARE(f.Doc.AnimFrames[2].Time, 0.8f);
        QCOMPARE(f.Doc.ActAnimStep, 1);

        doubleClick(2);
        editor = g->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, QStringLiteral("0x"));  // "0" is a time, "0x" is not
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!g->viewport()->findChild<QLineEdit*>());
        QCOMPARE(f.Doc.AnimFrames[2].Time, 0.8f);
        QCOMPARE(g->model()->flags(g->model()->index(3, 1)) & Qt::ItemIsEditable, Qt::NoItemFlags);  // the last frame
    }

    // "New Animation..." clears and opens the selection window without blocking the tree;
    // "Accept" builds the animation from the tree's selection and closes it.
    void newAnimationWindow()
    {
        FormFixture fx;
        TMainForm& f = StartWith(fx, 3);
        fx.Dialogs.Answers << true;
        QTest::mousePress(f.B_NewAnim, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 1);
        QVERIFY(f.Doc.AnimFrames.empty());
        QVERIFY(F_SelectComponents->isVisible());
        QVERIFY(!F_SelectComponents->isModal());
        QTest::mousePress(F_SelectComponents->AbColBitBtn1, Qt::LeftButton);  // nothing selected
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Nothing selected!"});
        QVERIFY(!F_SelectComponents->isVisible());
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: <NOT SAVED>"));
    }
};

TORVANE_TEST(AnimFormTest)
#include "AnimFormTest.moc"
