// Loading models into the main window and working with the component tree by mouse and menu.
// The set-up's own results (tree order, names, colours, proxies) are the command line's tests.
#include "FormFixture.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "modelforms/ComponentSelection.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QLCDNumber>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {
QStringList Shape(TMainForm& f)
{
    QStringList out;
    for (const TComponentNode& n : f.Editor().Forest().Nodes())
        out << QString(n.Level, QLatin1Char('-')) + n.Component->Name;
    return out;
}
}  // namespace

class ModelFormTest : public QObject {
    Q_OBJECT
private slots:
    // What a load shows in the tree and the status bar; a file that ended early leaves no
    // model. The set-up's messages are the command line's and the readers' tests.
    void loadFillsTreeAndStatus()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot();
        QCOMPARE(Shape(f), (QStringList{"body", "hand", "leg", "proxy:lamp.01", "arm"}));  // file order
        QCOMPARE(StatusText(f, 1), QStringLiteral("Model: robot.p3d"));
        QCOMPARE(StatusText(f, 3), QStringLiteral("Vertexes: 35"));  // the main model's, not the proxy's
        QCOMPARE(StatusText(f, 5), QStringLiteral("Pivot and Linking: NOT LOADED"));
        fx.Write("cut.p3d", fx.Read("robot.p3d").chopped(40));
        f.LoadModel(fx.Path("cut.p3d"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Stream read error"});
        QCOMPARE(StatusText(f, 1), QStringLiteral("Model: EMPTY"));
    }

    // "Save Linking" writes what a reload shows (the pivots too: the linking file's tests);
    // "Load Linking" starts in LinkData and reads the model's file there, whatever was
    // chosen. Both need a model.
    void linkingButtons()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_LoadLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, (QStringList{"Load Modell first!", "Load Modell first!"}));
        fx.LoadRobot(true);
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "-leg", "proxy:lamp.01"}));
        QCOMPARE(StatusText(f, 5), QStringLiteral("Pivot and Linking: LOADED"));
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(true);
        Tree(f)->DragNode = Node(f, "leg");
        QVERIFY(Tree(f)->DropOn(Node(f, "arm")));
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Link Component"));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Linking and Pivot Info saved!"));
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "--leg", "proxy:lamp.01"}));
        TLpvBuilder elsewhere;
        elsewhere.Add("hand", "leg", 0, 0, 0);
        fx.Write("elsewhere/robot.lpv", elsewhere.Build());
        fx.Write("LinkData/robot.lpv", RobotLinks());
        fx.Dialogs.Files.enqueue(fx.Path("elsewhere/robot.lpv"));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_LoadLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.FilePrompts.last().InitialDir, TAppPaths::FromHome(fx.Home.path()).LinkDataDir);
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "-leg", "proxy:lamp.01"}));
    }

    // Saving the linking over a file another editor wrote since the load asks first, by
    // the button and by the save question of a close; Cancel keeps the other file, the
    // unsaved edit and the window.
    void saveLinkingOverChangedFile_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<bool>("saveOver");
        QTest::newRow("button, Cancel") << false << false;
        QTest::newRow("button, Save over") << false << true;
        QTest::newRow("closing, Cancel") << true << false;
        QTest::newRow("closing, Save over") << true << true;
    }
    void saveLinkingOverChangedFile()
    {
        QFETCH(bool, closing);
        QFETCH(bool, saveOver);
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        QVERIFY(f.Editor().SetPivot(Node(f, "leg"), {1, 2, 3}));
        const QByteArray mine = f.Editor().ModelFileBytes(FileLinking);
        TLpvBuilder other;
        other.Add("hand", "leg", 0, 0, 0);
        const QByteArray theirs = other.Build();
        fx.Write("LinkData/robot.lpv", theirs);
        fx.Dialogs.Answers << saveOver;
        if (closing) {
            fx.Dialogs.SaveAnswers << TSaveAnswer::Save;
            QCOMPARE(f.close(), saveOver);
        } else {
            QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        }
        QCOMPARE(fx.Dialogs.Questions,
                 QStringList{"robot.lpv has changed on disk since it was opened here. Save over it?"});
        QCOMPARE(fx.Dialogs.QuestionCaptions, QStringList{"Save Pivots and Linking"});
        QCOMPARE(fx.Read("LinkData/robot.lpv"), saveOver ? mine : theirs);
        QCOMPARE(f.Editor().ModelUnsaved(), saveOver ? 0u : unsigned(FileLinking));
        QCOMPARE(fx.Dialogs.Messages, saveOver ? QStringList{"Linking and Pivot Info saved!"} : QStringList());
        QCOMPARE(f.isVisible(), !(closing && saveOver));
        if (f.isVisible())
            fx.Dialogs.SaveAnswers << TSaveAnswer::Discard;
    }

    // The linking switch shrinks a multi-selection to the current node; the menu shows and
    // hides all.
    void treeCommands()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        TComponentTree* t = Tree(f);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const auto click = [t, &f](const char* name, Qt::KeyboardModifiers mods = {}) {
            QTest::mouseClick(t->viewport(), Qt::LeftButton, mods, t->NodeRect(Node(f, name)).center() + QPoint(20, 0));
        };
        const auto selected = [t, &f] {
            QStringList names;
            for (int n : t->SelectedNodes())
                names << f.Editor().Forest().Component(n)->Name;
            names.sort();
            return names;
        };
        click("arm");
        click("leg", Qt::ControlModifier);
        QCOMPARE(selected(), (QStringList{"arm", "leg"}));
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(true);
        QCOMPARE(selected(), QStringList{"leg"});  // the current node
        QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);

        Ctl<TLedButton>(f, "RB_AllSelections")->setChecked(true);
        Act(f, "HideAll1")->trigger();
        for (const TSelection* s : f.Editor().TreeOrder())
            QVERIFY(s->Hidden);
        QVERIFY(Ctl<TLedButton>(f, "RB_CheckedSelections")->isChecked());
        Act(f, "ShowAll1")->trigger();
        for (const TSelection* s : f.Editor().TreeOrder())
            QVERIFY(!s->Hidden);
    }

    // Renaming and recolouring through the dialogs, and saving both.
    void namesAndColours()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot();
        Tree(f)->SetCurrentNode(Node(f, "leg"));
        fx.Dialogs.Inputs.enqueue("Left Leg");
        Act(f, "AssignNewName1")->trigger();
        const QModelIndex leg = Tree(f)->TreeModel()->IndexOf(Node(f, "leg"));
        QCOMPARE(leg.data().toString(), QStringLiteral("Left Leg"));
        QCOMPARE(leg.row(), 3);  // sorted: arm, body, hand, Left Leg, proxy:lamp.01
        fx.Dialogs.Colors.enqueue(0x123456);
        Act(f, "ChangeColor1")->trigger();
        QCOMPARE(fx.Sel("leg")->Color, 0x123456u);
        fx.Dialogs.Files << fx.Path("n.tsl") << fx.Path("out.clr");
        Act(f, "SaveNames1")->trigger();
        QCOMPARE(TIniFile(fx.Path("n.tsl")).ReadString("Translation", "leg", "?"), QStringLiteral("Left Leg"));
        Act(f, "SaveColors1")->trigger();
        QCOMPARE(TIniFile(fx.Path("out.clr")).ReadInteger("ColorDef", "leg", 0), 0x123456);
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
    }

    // "New Animation..." asks, clears and opens the selection window without blocking the
    // tree; "Accept" builds the animation from the selected subtrees and closes it. What the
    // new animation holds is the controller's tests.
    void newAnimationThroughTheSelectionWindow()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        fx.LoadAnim("wave.rtm", RtmBuild::TFile::Regular({"arm", "hand"}, 3));
        fx.Dialogs.Answers << true << true;
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 1);
        QVERIFY(Doc(f).AnimFrames.empty());
        QWidget* selection = Ctl<QWidget>(f, "F_SelectComponents");
        QVERIFY(selection->isVisible() && !selection->isModal());
        QTest::mousePress(AcceptButton(f), Qt::LeftButton);  // nothing selected
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Nothing selected!"});
        QVERIFY(!selection->isVisible());
        QCOMPARE(StatusText(f, 2), QStringLiteral("Anim: <NOT SAVED>"));
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        selection->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(selection));
        QTest::keyClick(selection, Qt::Key_Escape);  // Escape is Cancel
        QVERIFY(!selection->isVisible());
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        for (const char* name : {"arm", "hand", "leg"})  // hand is below arm already: taken once
            fx.Select(name);
        QTest::mousePress(AcceptButton(f), Qt::LeftButton);
        QCOMPARE(Doc(f).AnimSelections.Names(), (QStringList{"arm", "hand", "leg"}));
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 1);
    }

    // A component is hidden or shown again by a press on its swatch-and-cross cell and by
    // "Hide" in the tree's menu, each one step (the cell's extent and the H key are the
    // tree's own tests).
    void hidingTargets()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        TComponentTree* t = Tree(f);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const int leg = Node(f, "leg");
        const QRect row = t->NodeRect(leg);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(row.left() + 4, row.center().y()));  // the swatch
        QVERIFY(fx.Sel("leg")->Hidden);
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Hide"));
        emit t->customContextMenuRequested(row.center());
        QVERIFY(Act(f, "Hide1")->isEnabled() && Act(f, "Hide1")->isChecked());
        Act(f, "Hide1")->trigger();
        Ctl<QMenu>(f, "PopupMenu_Select")->close();
        QVERIFY(!fx.Sel("leg")->Hidden);
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Show"));
    }
};

TORVANE_TEST(ModelFormTest)
#include "ModelFormTest.moc"
