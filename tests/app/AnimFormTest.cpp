// The animation controls of the main window following the document, and the RTM commands
// asking their dialogs. What the operations do is the controller's tests.
#include "FormFixture.h"
#include "anim/AnimController.h"
#include "app/FrameGrid.h"
#include "editor/Editor.h"
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "widgets/Controls.h"

#include <QHash>
#include <QImage>
#include <QLCDNumber>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <algorithm>
#include <cmath>

using RtmBuild::TFile;

namespace {
// The contrast ratio of two colours as the web's accessibility guidelines define it: 1 for
// the same colour, 21 for black on white.
double Contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
}  // namespace

class AnimFormTest : public QObject {
    Q_OBJECT
private slots:
    // The controls follow a load and a failed load.
    void loadSetsControls()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        TFile file = TFile::Regular({"tail"}, 5);
        file.TotalMove = {0.5f, 1234.5678f, -2};  // beyond what three decimals and +-360 can show
        fx.Write("walk.rtm", RtmBuild::Build(file));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 5);
        QCOMPARE(Ctl<QSlider>(f, "AnimSlider")->maximum(), 4);
        QCOMPARE(Ctl<TFrameGrid>(f, "G_Frames")->Rows(), 6);
        QCOMPARE(Ctl<TNumberEdit>(f, "E_TM_z")->value(), -2.0);
        QCOMPARE(Ctl<TNumberEdit>(f, "E_TM_y")->text(),
                 QStringLiteral("1234.5677").replace('.', Ctl<TNumberEdit>(f, "E_TM_y")->locale().decimalPoint()));  // as stored
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: walk.rtm"));
        // Without a model there is nothing to miss: the status bar says what is needed, and
        // keeps saying it beside the hint of a control the pointer rests on.
        QCOMPARE(fx.Dialogs.Messages, QStringList());
        const QString note = QStringLiteral("No model loaded: load the model (Ctrl+P) to see this animation.");
        QCOMPARE(StatusNote(f), note);
        auto* play = Ctl<QPushButton>(f, "B_Play");
        QTest::mouseMove(play);
        QTRY_COMPARE(StatusText(f, 0), play->statusTip());
        QCOMPARE(StatusNote(f), note);
        // A model that lacks the animated names says so in a box (what the report lists is
        // the model set-up's tests).
        fx.LoadRobot();
        QCOMPARE(StatusNote(f), QString());  // the note is over with the model
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QVERIFY(fx.Dialogs.Messages[0].startsWith("following Animation Components were not found in the Model:\n"));
        QCOMPARE(StatusNote(f), QString());
        // A failed load takes the controls to the empty document, not the one that is gone.
        f.Editor().Anim().SetActStep(2);
        fx.Write("bad.rtm", "RTM_0102");
        f.LoadAnimation(fx.Path("bad.rtm"));
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Incorrect Format!"));
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 0);
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: "));
        QCOMPARE(Ctl<TFrameGrid>(f, "G_Frames")->Rows(), 1);
        QCOMPARE(Ctl<TNumberEdit>(f, "E_TM_z")->value(), 0.0);
    }

    // "Load Anim..." and "Save Anim As..." ask for files and report what went wrong;
    // "Unload" asks whether to.
    void loadAndSaveMenus()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Dialogs.Files.enqueue(fx.Path("x.rtm"));
        Act(f, "SaveAnimAs1")->trigger();  // the dialog comes first, then the complaint
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Animation found!"});
        fx.Write("anims/Walk.RTM", RtmBuild::Build(TFile::Regular({"arm"}, 2)));
        fx.Dialogs.Files.enqueue(fx.Path("anims/walk.rtm"));  // found in another letter case
        Act(f, "LoadAnim1")->trigger();
        QCOMPARE(Doc(f).AnimStepCount, 2);
        Act(f, "LoadAnim1")->trigger();  // cancelled: nothing changes
        QCOMPARE(Doc(f).AnimStepCount, 2);
        fx.Dialogs.Files.enqueue(fx.Path("copy.rtm"));
        Act(f, "SaveAnimAs1")->trigger();
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
        QCOMPARE(fx.Read("copy.rtm"), fx.Read("anims/Walk.RTM"));
        fx.Dialogs.Messages.clear();
        fx.TriggerWithFile("SaveAnimAs1", fx.Path("no/such/folder/x.rtm"));
        QVERIFY(fx.Dialogs.Messages.value(0).startsWith("Cannot write file"));
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: copy.rtm"));  // the copy's, kept by the failed save
        fx.Dialogs.Answers << false << true;  // "Unload" asks first
        QTest::mouseClick(Ctl<QPushButton>(f, "B_UnloadAnim"), Qt::LeftButton);
        QCOMPARE(Doc(f).AnimStepCount, 2);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_UnloadAnim"), Qt::LeftButton);
        QCOMPARE(Doc(f).AnimStepCount, 0);
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: "));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_UnloadAnim"), Qt::LeftButton);  // nothing loaded: no question
        QCOMPARE(fx.Dialogs.Questions,
                 QStringList(2, "Are you sure to clear the current animation?\n\n(All changes will be lost!)"));
        QCOMPARE(fx.Dialogs.QuestionCaptions[0], QStringLiteral("Warning"));
        // Loaded from elsewhere (a recent file, a drop), the animation is saved beside itself
        // by default, not in the folder the browser shows.
        fx.Write("other/run.rtm", RtmBuild::Build(TFile::Regular({"arm"}, 2)));
        f.LoadAnimation(fx.Path("other/run.rtm"));
        Act(f, "SaveAnimAs1")->trigger();
        QCOMPARE(fx.Dialogs.FilePrompts.last().InitialDir, fx.Path("other"));
        QCOMPARE(fx.Dialogs.FilePrompts.last().FileName, QStringLiteral("run.rtm"));
    }

    // A save over the animation's own file that another program changed or replaced since
    // asks first, by Ctrl+S and by the save question of a close; Cancel keeps the other
    // program's file, the unsaved work and the window.
    void saveOverChangedFile_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<bool>("saveOver");
        QTest::newRow("Ctrl+S, Cancel") << false << false;
        QTest::newRow("Ctrl+S, Save over") << false << true;
        QTest::newRow("closing, Cancel") << true << false;
        QTest::newRow("closing, Save over") << true << true;
    }
    void saveOverChangedFile()
    {
        QFETCH(bool, closing);
        QFETCH(bool, saveOver);
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        const QByteArray mine = Saved(f);
        const QByteArray theirs = RtmBuild::Build(TFile::Regular({"leg"}, 7));
        fx.Write("walk.rtm", theirs);
        fx.Dialogs.Answers << saveOver;
        if (closing) {
            fx.Dialogs.SaveAnswers << TSaveAnswer::Save;
            QCOMPARE(f.close(), saveOver);
        } else {
            fx.Dialogs.Files << fx.Path("walk.rtm");  // Ctrl+S is "Save Anim As...", the name proposed
            QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        }
        QCOMPARE(fx.Dialogs.Questions,
                 QStringList{QStringLiteral("walk.rtm has changed on disk since it was opened here. Save over it?")});
        QCOMPARE(fx.Dialogs.QuestionCaptions.last(), QStringLiteral("Save Animation"));
        QCOMPARE(fx.Read("walk.rtm"), saveOver ? mine : theirs);
        QCOMPARE(f.Editor().AnimationUnsaved(), !saveOver);
        QCOMPARE(f.isVisible(), !(closing && saveOver));
        if (f.isVisible())
            fx.Dialogs.SaveAnswers << TSaveAnswer::Discard;
    }

    // The slider, the step buttons and the frame buttons (which act on the press).
    void steppingAndFrameButtons()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm"}, 3));
        f.Editor().Anim().SetActStep(1);
        Ctl<QSlider>(f, "AnimSlider")->setValue(2);
        QCOMPARE(Doc(f).ActAnimStep, 2);
        QTest::mouseClick(Ctl<TLedButton>(f, "B_Prev"), Qt::LeftButton);
        QCOMPARE(Doc(f).ActAnimStep, 1);
        QTest::mouseClick(Ctl<TLedButton>(f, "B_Next"), Qt::LeftButton);
        QCOMPARE(Doc(f).ActAnimStep, 2);
        QTest::mousePress(Ctl<QPushButton>(f, "B_DelAnim"), Qt::LeftButton);
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 2);
        QCOMPARE(Ctl<TFrameGrid>(f, "G_Frames")->currentIndex().row(), 1);  // the new last frame
        QTest::mousePress(Ctl<QPushButton>(f, "B_DelAnim"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Only two Animsteps left!"});
        QTest::mousePress(Ctl<QPushButton>(f, "B_Append"), Qt::LeftButton);
        QCOMPARE(Ctl<QLCDNumber>(f, "D_ActStep")->intValue(), 2);
    }

    // The grid over a long animation: the keys reach both ends and page by the rows in
    // view, the current frame is scrolled into view, and a click lands on the row drawn
    // under it. The empty row after the last frame is never current.
    void gridPagesThroughLongAnimation()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadAnim("long.rtm", TFile::Regular({"arm"}, 3000));
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        TFrameGrid* g = Ctl<TFrameGrid>(f, "G_Frames");
        const int rows = g->viewport()->height() / TFrameGrid::RowHeight;  // wholly in view
        const auto key = [g, &f](Qt::Key k, Qt::KeyboardModifiers m = {}) {  // the current frame, -1 when out of view
            QTest::keyClick(g, k, m);
            return g->viewport()->rect().contains(g->visualRect(g->model()->index(Doc(f).ActAnimStep, 1))) ? Doc(f).ActAnimStep
                                                                                                           : -1;
        };
        QCOMPARE(key(Qt::Key_End, Qt::ControlModifier), 2999);
        QCOMPARE(key(Qt::Key_Down), 2999);
        QCOMPARE(key(Qt::Key_Up), 2998);  // the keys step through the frames
        const int top = key(Qt::Key_PageUp);  // to the row above the view, now at its top
        QVERIFY2(top == 2998 - rows || top == 2997 - rows, qPrintable(QString::number(top)));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, QPoint(5, 2 * TFrameGrid::RowHeight + 5));
        QCOMPARE(Doc(f).ActAnimStep, top + 2);
        f.Editor().Anim().SetActStep(3000 - rows);
        QCOMPARE(key(Qt::Key_PageDown), 2999);  // onto the empty row: the last frame
        QCOMPARE(key(Qt::Key_Tab), 2999);  // Tab leaves the grid to the next control: no frame moves
    }

    // Play with no frames springs back; playing starts at frame 0 and stops at the end
    // of the segment. The total move's fields write the document.
    void playAndTotalMoveControls()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        Ctl<QPushButton>(f, "B_Play")->click();  // no frames: the button springs back
        QVERIFY(!Ctl<QPushButton>(f, "B_Play")->isChecked());
        Ctl<TNumberEdit>(f, "E_TM_y")->setValue(1.1);
        QCOMPARE(Doc(f).TotalMove[1], 1.1f);
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm", "leg"}, 4));
        f.Editor().Anim().SetActStep(2);
        Ctl<QPushButton>(f, "B_Play")->click();
        QVERIFY(Playing(f));
        QCOMPARE(Doc(f).ActAnimStep, 0);
        Ctl<QPushButton>(f, "B_Play")->click();  // stopped at the end of the segment
        f.PlayTimerTimer();
        QVERIFY(!Playing(f));
        // A load while playing starts the new animation at frame 0: nothing of the old pass
        // finishes on it.
        Ctl<QPushButton>(f, "B_Play")->click();
        f.PlayTimerTimer();
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm", "leg"}, 4));
        f.PlayTimerTimer();
        QVERIFY(!Playing(f));
        QCOMPARE(Doc(f).ActAnimStep, 0);
    }

    // At the designed size the grid shows twelve frames and the empty row whole, and the
    // counters' digits stand out: bold strokes, bright on dark.
    void frameListReadsAtTheDesignedSize()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QCOMPARE(f.size(), QSize(TMainForm::DesignedWidth, TMainForm::DesignedHeight));
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm"}, 12));
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        TFrameGrid* grid = Ctl<TFrameGrid>(f, "G_Frames");
        QCOMPARE(grid->Rows(), 13);
        for (int row = 0; row < grid->Rows(); ++row)
            QVERIFY2(grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(row, 1))),
                     qPrintable(QString::number(row)));
        for (const char* name : {"D_Steps", "D_ActStep"}) {
            auto* counter = Ctl<QLCDNumber>(f, name);
            counter->display(111);  // upright strokes only: a row across them meets each stroke once
            const QImage image = counter->grab(counter->contentsRect()).toImage();  // inside its frame
            QHash<QRgb, int> count;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    ++count[image.pixel(x, y)];
            QList<QRgb> colours = count.keys();
            std::sort(colours.begin(), colours.end(), [&count](QRgb a, QRgb b) { return count[a] > count[b]; });
            const QRgb background = colours.value(0), digit = colours.value(1);
            int stroke = 0;
            for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y)
                for (int x = 0, run = 0; x < image.width(); ++x)
                    stroke = std::max(stroke, run = image.pixel(x, y) == digit ? run + 1 : 0);
            QVERIFY2(stroke >= 3, qPrintable(QStringLiteral("%1: stroke %2").arg(name).arg(stroke)));
            QVERIFY2(Contrast(QColor(digit), QColor(background)) >= 7,
                     qPrintable(QStringLiteral("%1: %2 on %3").arg(name, QColor(digit).name(), QColor(background).name())));
        }
    }

    // A frame without an entry for an animated component (it lists another one twice)
    // cannot be blended: playback says so in one box, then in the status bar, and Play
    // stops it. When playback speaks is its own tests'.
    void playbackReportsAMissingEntryOnce()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        TFile broken = TFile::Regular({"arm", "hand"}, 3);
        broken.Frames[1].Records[1].Name = "arm";
        fx.LoadAnim("broken.rtm", broken);
        Ctl<TNumberEdit>(f, "E_AnimTime")->setValue(1000);
        auto* play = Ctl<QPushButton>(f, "B_Play");
        QTest::mouseClick(play, Qt::LeftButton);
        QTest::mouseClick(Ctl<TLedButton>(f, "B_Next"), Qt::LeftButton);  // frame 1, blended towards frame 2
        for (int turn = 0; turn < 20; ++turn)
            f.PlayTimerTimer();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"AnimEntry not found!"});
        QCOMPARE(StatusNote(f), QStringLiteral("AnimEntry not found!"));
        QTest::mouseClick(play, Qt::LeftButton);
        f.PlayTimerTimer();
        QVERIFY(!Playing(f) && !play->isChecked());
        QCOMPARE(Doc(f).ActAnimStep, 2);
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
    }

    // The grid: typing retimes a frame, the commit sorts and a text that is no time puts
    // the old one back.
    void gridSelectsAndRetimes()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadAnim("walk.rtm", TFile::Regular({"arm"}, 4));  // times 0, 1/3, 2/3, 1
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        TFrameGrid* g = Ctl<TFrameGrid>(f, "G_Frames");
        const auto cell = [g](int frame, int column) { return g->visualRect(g->model()->index(frame, column)).center(); };
        const auto type = [g, &cell](int frame, const QString& text) {  // F2 is "Save Settings"
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell(frame, 1));
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell(frame, 1));
            QLineEdit* editor = g->viewport()->findChild<QLineEdit*>();
            QVERIFY(editor);
            QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(editor, QString(text).replace('.', QLocale::system().decimalPoint()));
        };
        type(1, "0.8");
        QCOMPARE(Doc(f).AnimFrames[1].Time, 0.8f);  // stored while typing, not yet sorted
        QVERIFY(!f.Editor().UndoOffered());  // not while a cell is being edited
        QTest::keyClick(g->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
        QTRY_COMPARE(Doc(f).AnimFrames[2].Time, 0.8f);  // committed (queued by the view): sorted
        QTRY_COMPARE(f.Editor().History().UndoName(), QStringLiteral("Retime Frame"));  // one step, once the cell is closed
        type(2, "0x");  // "0" is a time, "0x" is not
        QTest::keyClick(g->viewport()->findChild<QLineEdit*>(), Qt::Key_Return);
        QTRY_VERIFY(!g->viewport()->findChild<QLineEdit*>());
        QCOMPARE(Doc(f).AnimFrames[2].Time, 0.8f);
        QCOMPARE(g->model()->flags(g->model()->index(3, 1)) & Qt::ItemIsEditable, Qt::NoItemFlags);  // the last frame
        // Escape leaves frames that are out of order exactly as they were.
        TFile unordered = TFile::Regular({"arm"}, 4);
        unordered.Frames[1].Time = 0.6f;
        unordered.Frames[2].Time = 0.3f;
        fx.Dialogs.SaveAnswers << TSaveAnswer::Discard;  // the retimes above are not saved
        fx.LoadAnim("unordered.rtm", unordered);
        type(1, "0.2");
        QTest::keyClick(g->viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
        QTRY_VERIFY(!g->viewport()->findChild<QLineEdit*>());
        QCOMPARE(Doc(f).AnimFrames[1].Time, 0.6f);
        QCOMPARE(Doc(f).AnimFrames[2].Time, 0.3f);
        QCOMPARE(Doc(f).AnimFrames[1].Entries[0].Matrix, TFile::Sample(1, 0));
        QVERIFY(!f.Editor().History().CanUndo());
    }
};

TORVANE_TEST(AnimFormTest)
#include "AnimFormTest.moc"
