// The animation document operations and the RTM commands, driven through the main window.
#include "FormFixture.h"
#include "platform/FileUtil.h"
#include "support/HostileFiles.h"
#include "support/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QDoubleSpinBox>
#include <QLCDNumber>
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
    f.TotalMove = {0.5f, 0, -2};
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
        QCOMPARE(f.G_Frames->rowCount(), frames + 2);
        QCOMPARE(f.E_TM_z->value(), -2.0);
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
        fx.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm", "leg"}, 2)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(f.MissingAnimComponentsReport(), QStringLiteral("\n %1 -> Upper Arm\n %2 -> leg").arg("arm", -32).arg("leg", -32));
    }

    void failedLoads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        TFile magic = Walk(3), foreign = Walk(3), cut = Walk(3), huge = Walk(2);
        magic.Magic = "RTM_0102";
        foreign.Frames[2].Records[1].Name = "tail";
        cut.TruncateAt = RtmBuild::ExpectedSize(3, 3) - 1;
        huge.FrameCount = 0x7FFFFFFF;
        QTest::newRow("magic") << RtmBuild::Build(magic) << "Incorrect Format!";
        QTest::newRow("name not in header") << RtmBuild::Build(foreign) << "Component Name not in Header!";
        QTest::newRow("cut short") << RtmBuild::Build(cut) << "Incorrect Format!";
        QTest::newRow("counts beyond the file") << RtmBuild::Build(huge) << "Incorrect Format!";
        QTest::newRow("no file") << QByteArray("none") << "Cannot open file %1";
    }
    void failedLoads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        FormFixture fx;
        TMainForm& f = StartWith(fx, 4);
        if (bytes != "none")
            fx.Write("bad.rtm", bytes);
        f.LoadAnimation(fx.Path("bad.rtm"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{message.arg(fx.Path("bad.rtm"))});
        // A failed load never leaves the previous or a half-read document behind.
        QVERIFY(f.Doc.AnimFrames.empty());
        QCOMPARE(f.Doc.AnimSelections.Count(), 0);
        QCOMPARE(f.Doc.AnimStepCount, 0);
        QVERIFY(f.Doc.AnimFileName.isEmpty());
        QVERIFY(!f.Doc.LoadingAnim);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: "));
        QCOMPARE(f.G_Frames->rowCount(), 2);
        QCOMPARE(f.E_TM_x->value(), 0.0);
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
        QVERIFY(!QFile::exists(fx.Path("x.rtm")));

        fx.Write("walk.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Messages.clear();
        QVERIFY(!f.SaveAnimationTo(fx.Path("no/such/folder/x.rtm")));
        QVERIFY(fx.Dialogs.Messages.value(0).startsWith("Cannot write file"));
        QCOMPARE(f.Doc.AnimFileName, fx.Path("walk.rtm"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));

        {  // a disk that fills up: the system's own text, the old file kept
            fx.Write("full.rtm", "old");
            Hostile::TFileSizeLimit limit(100);
            if (limit.Active()) {
                fx.Dialogs.Messages.clear();
                QVERIFY(!f.SaveAnimationTo(fx.Path("full.rtm")));
                QCOMPARE(fx.Dialogs.Messages, QStringList{"Cannot write file " + fx.Path("full.rtm") + ": " + SystemErrorText(EFBIG)});
                QCOMPARE(fx.Read("full.rtm"), QByteArray("old"));
            }
        }

        f.Doc.AnimFrames[1].Entries.pop_back();  // an inconsistent document is not written
        fx.Write("old.rtm", "old");
        QVERIFY(!f.SaveAnimationTo(fx.Path("old.rtm")));
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("[internal Error] ActAnimEntry is Null!"));
        QCOMPARE(fx.Read("old.rtm"), QByteArray("old"));
    }

    void setActStepClamps_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::newRow("past the end") << 3 << 5 << 2;
        QTest::newRow("negative") << 3 << -1 << 0;
        QTest::newRow("inside") << 3 << 1 << 1;
        QTest::newRow("no frames") << 0 << 4 << 0;
    }
    void setActStepClamps()
    {
        QFETCH(int, frames);
        QFETCH(int, step);
        QFETCH(int, expected);
        FormFixture fx;
        TMainForm& f = StartWith(fx, frames);
        f.SetActStep(step);
        QCOMPARE(f.Doc.ActAnimStep, expected);
        QCOMPARE(f.AnimSlider->value(), expected);
        if (frames > 0)
            QCOMPARE(f.G_Frames->currentRow(), expected + 1);
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

    void deleteFrame_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("last frame current") << 4 << 3 << "" << 2;
        QTest::newRow("middle frame current") << 4 << 1 << "" << 1;
        QTest::newRow("two frames left") << 2 << 0 << "Only two Animsteps left!" << 0;
        QTest::newRow("no animation") << 0 << 0 << "No Anim Steps!" << 0;
    }
    void deleteFrame()
    {
        QFETCH(int, frames);
        QFETCH(int, current);
        QFETCH(QString, message);
        QFETCH(int, currentAfter);
        FormFixture fx;
        TMainForm& f = StartWith(fx, frames);
        f.SetActStep(current);
        const float nextTime = current + 1 < frames ? f.Doc.AnimFrames[size_t(current + 1)].Time : -1;
        QTest::mouseClick(f.B_DelAnim, Qt::LeftButton);
        const bool deleted = message.isEmpty();
        QCOMPARE(fx.Dialogs.Messages, deleted ? QStringList() : QStringList{message});
        QCOMPARE(f.Doc.AnimStepCount, deleted ? frames - 1 : frames);
        QCOMPARE(f.Doc.FrameCount(), f.Doc.AnimStepCount);
        QCOMPARE(f.Doc.ActAnimStep, currentAfter);
        if (deleted && current + 1 < frames)  // the same index now names the following frame
            QCOMPARE(f.Doc.AnimFrames[size_t(current)].Time, nextTime);
        if (frames > 0)
            QCOMPARE(f.Doc.AnimFrames.back().Time, 1.0f);
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
    }
};

TORVANE_TEST(AnimFormTest)
#include "AnimFormTest.moc"
