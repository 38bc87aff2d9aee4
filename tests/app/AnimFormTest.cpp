// The animation document operations and the RTM commands, driven through the main window.
#include "FormFixture.h"
#include "support/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QDoubleSpinBox>
#include <QLCDNumber>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>

using RtmBuild::TFile;

namespace {
TFile Walk(int frames)
{
    TFile f = TFile::Regular({"arm", "leg", "head"}, frames);
    f.TotalMove = {0.5f, 0, -2};
    return f;
}

// A document with the given frame times, loaded through the window.
void LoadTimes(FormFixture& fx, const std::vector<float>& times)
{
    TFile f = TFile::Regular({"arm"}, static_cast<int>(times.size()));
    for (size_t i = 0; i < times.size(); ++i)
        f.Frames[i].Time = times[i];
    fx.Write("t.rtm", RtmBuild::Build(f));
    fx.Form->LoadAnimation(fx.Path("t.rtm"));
    fx.Dialogs.Messages.clear();
}
}  // namespace

class AnimFormTest : public QObject {
    Q_OBJECT
private slots:
    void loadSetsControls()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        TFile file = Walk(5);
        file.Frames[0].Time = 0.2f;
        file.Frames[4].Time = 0.9f;
        fx.Write("walk.rtm", RtmBuild::Build(file));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(f.Doc.AnimStepCount, 5);
        QCOMPARE(f.D_Steps->intValue(), 5);
        QCOMPARE(f.AnimSlider->maximum(), 4);
        QCOMPARE(f.Doc.ActAnimStep, 0);
        QCOMPARE(f.Doc.AnimFrames.front().Time, 0.0f);
        QCOMPARE(f.Doc.AnimFrames.back().Time, 1.0f);
        QCOMPARE(f.G_Frames->rowCount(), 7);
        QCOMPARE(f.E_TM_x->value(), 0.5);
        QCOMPARE(f.E_TM_z->value(), -2.0);
        QCOMPARE(f.E_AnimTime->value(), 1.5);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));
        QCOMPARE(f.Doc.AnimFileName, fx.Path("walk.rtm"));
        QVERIFY(!f.Doc.LoadingAnim);
        // No model: every animated name is reported once, padded to 32 columns.
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QCOMPARE(fx.Dialogs.Messages[0],
                 QStringLiteral("following Animation Components were not found in the Model:\n\n %1 -> arm\n %2 -> leg\n %3 -> head")
                     .arg("arm", -32).arg("leg", -32).arg("head", -32));
    }

    void singleFrameFile()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        TFile file = Walk(1);
        file.Frames[0].Time = 0.7f;
        fx.Write("one.rtm", RtmBuild::Build(file));
        f.LoadAnimation(fx.Path("one.rtm"));
        QCOMPARE(f.Doc.AnimStepCount, 1);
        QCOMPARE(f.Doc.AnimFrames[0].Time, 0.0f);
        QCOMPARE(f.E_AnimTime->value(), 0.3);
    }

    void missingNamesUseTranslation()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("names.tsl", "[Translation]\nARM=Upper Arm\n");
        f.TranslationFileName = fx.Path("names.tsl");
        fx.Write("walk.rtm", RtmBuild::Build(TFile::Regular({"arm", "leg"}, 2)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(f.MissingAnimComponentsReport(),
                 QStringLiteral("\n %1 -> Upper Arm\n %2 -> leg").arg("arm", -32).arg("leg", -32));
    }

    void failedLoads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        TFile magic = Walk(3);
        magic.Magic = "RTM_0102";
        TFile foreign = Walk(3);
        foreign.Frames[2].Records[1].Name = "tail";
        TFile cut = Walk(3);
        cut.TruncateAt = RtmBuild::ExpectedSize(3, 3) - 1;
        TFile huge = Walk(2);
        huge.FrameCount = 0x7FFFFFFF;
        QTest::newRow("magic") << RtmBuild::Build(magic) << "Incorrect Format!";
        QTest::newRow("name not in header") << RtmBuild::Build(foreign) << "Component Name not in Header!";
        QTest::newRow("cut short") << RtmBuild::Build(cut) << "Incorrect Format!";
        QTest::newRow("counts beyond the file") << RtmBuild::Build(huge) << "Incorrect Format!";
        QTest::newRow("empty file") << QByteArray() << "Incorrect Format!";
    }
    void failedLoads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("good.rtm", RtmBuild::Build(Walk(4)));
        f.LoadAnimation(fx.Path("good.rtm"));
        fx.Dialogs.Messages.clear();
        fx.Write("bad.rtm", bytes);
        f.LoadAnimation(fx.Path("bad.rtm"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{message});
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

    void unreadableFile()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.LoadAnimation(fx.Path("nowhere.rtm"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{QStringLiteral("Cannot open file %1").arg(fx.Path("nowhere.rtm"))});
        QVERIFY(!f.Doc.LoadingAnim);
    }

    void fileNamedInOtherCaseIsFound()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("Walk.RTM", RtmBuild::Build(Walk(2)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        QCOMPARE(f.Doc.AnimStepCount, 2);
    }

    void loadAnimMenu()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QDir(fx.Home.path()).mkdir("anims");
        fx.Write("anims/walk.rtm", RtmBuild::Build(Walk(2)));
        fx.Dialogs.Files.enqueue(fx.Path("anims/walk.rtm"));
        f.LoadAnim1->trigger();
        QCOMPARE(fx.Dialogs.FilePrompts.size(), 1);
        QCOMPARE(fx.Dialogs.FilePrompts[0].Filter, QStringLiteral("Torvane Anim  Files|*.rtm|All Files|*.*"));
        QCOMPARE(fx.Dialogs.FilePrompts[0].InitialDir, f.Paths.ExeDir);
        QCOMPARE(f.Doc.AnimStepCount, 2);
        f.LoadAnim1->trigger();  // cancelled: nothing changes
        QCOMPARE(fx.Dialogs.FilePrompts[1].InitialDir, fx.Path("anims"));
        QCOMPARE(f.Doc.AnimStepCount, 2);
    }

    void saveRoundTrip()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        const QByteArray original = RtmBuild::Build(Walk(6));
        fx.Write("walk.rtm", original);
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Files.enqueue(fx.Path("copy.rtm"));
        f.SaveAnimAs1->trigger();
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
        QCOMPARE(fx.Dialogs.FilePrompts.last().Filter, QStringLiteral("Torvane Anim Files|*.rtm|All|*.*"));
        QCOMPARE(fx.Read("copy.rtm"), original);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: copy.rtm"));
        QCOMPARE(f.Doc.AnimFileName, fx.Path("copy.rtm"));
    }

    void saveWithoutAnimation()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.SaveAnimAs1->trigger();  // cancelled: no message
        QVERIFY(fx.Dialogs.Messages.isEmpty());
        fx.Dialogs.Files.enqueue(fx.Path("x.rtm"));
        f.SaveAnimAs1->trigger();
        QCOMPARE(fx.Dialogs.FilePrompts.size(), 2);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Animation found!"});
        QVERIFY(!QFile::exists(fx.Path("x.rtm")));
    }

    void failedSaveKeepsOldFileAndName()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("walk.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Messages.clear();
        QVERIFY(!f.SaveAnimationTo(fx.Path("no/such/folder/x.rtm")));
        QCOMPARE(fx.Dialogs.Messages.size(), 1);
        QVERIFY(fx.Dialogs.Messages[0].startsWith("Cannot write file"));
        QCOMPARE(f.Doc.AnimFileName, fx.Path("walk.rtm"));
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: walk.rtm"));
    }

    void inconsistentDocumentIsNotWritten()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("walk.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("walk.rtm"));
        fx.Dialogs.Messages.clear();
        f.Doc.AnimFrames[1].Entries.pop_back();
        fx.Write("old.rtm", "old");
        QVERIFY(!f.SaveAnimationTo(fx.Path("old.rtm")));
        QCOMPARE(fx.Dialogs.Messages, QStringList{"[internal Error] ActAnimEntry is Null!"});
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
        TMainForm& f = fx.Start();
        if (frames > 0) {
            fx.Write("a.rtm", RtmBuild::Build(Walk(frames)));
            f.LoadAnimation(fx.Path("a.rtm"));
        }
        f.SetActStep(step);
        QCOMPARE(f.Doc.ActAnimStep, expected);
        QCOMPARE(f.AnimSlider->value(), expected);
        if (frames > 0)
            QCOMPARE(f.G_Frames->currentRow(), expected + 1);
    }

    void sameStepDoesNotReapply()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("a.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("a.rtm"));
        f.SetActStep(1);
        const int refreshes = f.RefreshCount();
        f.SetActStep(1);
        QCOMPARE(f.RefreshCount(), refreshes);
        f.SetActStep(2);
        QVERIFY(f.RefreshCount() > refreshes);
    }

    void sliderAndButtonsStep()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("a.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("a.rtm"));
        f.AnimSlider->setValue(2);
        QCOMPARE(f.Doc.ActAnimStep, 2);
        QTest::mouseClick(f.B_Next, Qt::LeftButton);
        QCOMPARE(f.Doc.ActAnimStep, 2);  // nothing wraps
        QTest::mouseClick(f.B_Prev, Qt::LeftButton);
        QCOMPARE(f.Doc.ActAnimStep, 1);
    }

    void sliderScale()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.SetStepCount(50);
        QCOMPARE(f.AnimSliderDivisions, 20);
        QCOMPARE(f.AnimSlider->minimum(), 0);
        QCOMPARE(f.AnimSlider->maximum(), 49);
        f.SetStepCount(-4);
        QCOMPARE(f.Doc.AnimStepCount, 0);
    }

    void deleteFrame_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("last frame current") << 4 << 3 << true << 2;
        QTest::newRow("middle frame current") << 4 << 1 << true << 1;
        QTest::newRow("two frames left") << 2 << 0 << false << 0;
    }
    void deleteFrame()
    {
        QFETCH(int, frames);
        QFETCH(int, current);
        QFETCH(bool, deleted);
        QFETCH(int, currentAfter);
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("a.rtm", RtmBuild::Build(Walk(frames)));
        f.LoadAnimation(fx.Path("a.rtm"));
        fx.Dialogs.Messages.clear();
        f.SetActStep(current);
        const float nextTime = current + 1 < frames ? f.Doc.AnimFrames[size_t(current + 1)].Time : -1;
        QTest::mouseClick(f.B_DelAnim, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimStepCount, deleted ? frames - 1 : frames);
        QCOMPARE(f.Doc.FrameCount(), f.Doc.AnimStepCount);
        QCOMPARE(f.Doc.ActAnimStep, currentAfter);
        QCOMPARE(fx.Dialogs.Messages, deleted ? QStringList() : QStringList{"Only two Animsteps left!"});
        if (deleted && current + 1 < frames)
            QCOMPARE(f.Doc.AnimFrames[size_t(current)].Time, nextTime);
        QCOMPARE(f.Doc.AnimFrames.back().Time, 1.0f);
    }

    void deleteWithoutAnimation()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(f.B_DelAnim, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, QStringList{"No Anim Steps!"});
    }

    void validateFramesMarksOutOfOrder()
    {
        FormFixture fx;
        fx.Start();
        LoadTimes(fx, {0, 0.5f, 0.4f, 0.7f});
        const auto& frames = fx.Form->Doc.AnimFrames;
        QCOMPARE(frames[3].Time, 1.0f);
        QCOMPARE(frames[2].Time, 0.4f);
        QVERIFY(frames[0].TimeValid && frames[1].TimeValid && !frames[2].TimeValid && frames[3].TimeValid);
    }

    void unloadAsksFirst()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);  // nothing loaded: no question
        QVERIFY(fx.Dialogs.Questions.isEmpty());
        fx.Write("a.rtm", RtmBuild::Build(Walk(3)));
        f.LoadAnimation(fx.Path("a.rtm"));
        fx.Dialogs.Answers.enqueue(false);
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimStepCount, 3);
        fx.Dialogs.Answers.enqueue(true);
        QTest::mouseClick(f.B_UnloadAnim, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 2);
        QCOMPARE(fx.Dialogs.Questions[0], QStringLiteral("Are you sure to clear the current animation?\n\n(All changes will be lost!)"));
        QCOMPARE(fx.Dialogs.QuestionCaptions[0], QStringLiteral("Warning"));
        QCOMPARE(f.Doc.AnimStepCount, 0);
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: "));
    }

    void playNeedsFrames()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.B_Play->click();
        QVERIFY(!f.B_Play->isChecked());
    }

    void totalMoveEditsStoreFloats()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        f.E_TM_y->setValue(1.1);
        QCOMPARE(f.Doc.TotalMove[1], 1.1f);
    }
};

TORVANE_TEST(AnimFormTest)
#include "AnimFormTest.moc"
