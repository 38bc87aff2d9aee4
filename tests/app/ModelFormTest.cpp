// Loading models into the main window and working with the component tree by mouse and menu.
// The set-up's own results (tree order, names, colours, proxies) are the command line's tests.
#include "FormFixture.h"
#include "model/P3dmodell.h"
#include "modelforms/ComponentTree.h"
#include "modelforms/Selectcomponents.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QLCDNumber>
#include <QPushButton>
#include <QTest>

namespace {
QStringList Shape(TMainForm& f)
{
    QStringList out;
    for (const TComponentNode& n : f.Forest().Nodes())
        out << QString(n.Level, QLatin1Char('-')) + n.Component->Name;
    return out;
}
}  // namespace

class ModelFormTest : public QObject {
    Q_OBJECT
private slots:
    // What a load shows, a missing proxy file and broken models.
    void loadFillsTreeAndStatus()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot();
        QCOMPARE(fx.Dialogs.Messages, QStringList());
        QCOMPARE(Shape(f), (QStringList{"body", "hand", "leg", "proxy:lamp.01", "arm"}));  // file order
        QCOMPARE(f.StatusText(1), QStringLiteral("Model: robot.p3d"));
        QCOMPARE(f.StatusText(3), QStringLiteral("Vertexes: 35"));  // the main model's, not the proxy's
        QCOMPARE(f.StatusText(4), QStringLiteral("Polygons: %1").arg(f.MainModel()->Polygons.size()));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: NOT LOADED"));
        QCOMPARE(fx.Sel("proxy:lamp.01")->ProxyModel, f.Models[1].get());
        QVERIFY(f.MainModel()->Polygons[12].Hidden);  // the proxy triangle
        fx.Dialogs.Messages.clear();
        QFile::remove(fx.Path("lamp.p3d"));
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{"lamp.p3d not found!"});
        QCOMPARE(int(f.Models.size()), 1);
        QVERIFY(!f.MainModel()->Polygons[12].Hidden);
        // A broken file empties the tree; one that ended early leaves no model at all.
        fx.Write("lod.p3d", fx.Read("robot.p3d").replace("SP3X", "P3DM"));
        fx.Write("cut.p3d", fx.Read("robot.p3d").chopped(40));
        f.LoadModel(fx.Path("lod.p3d"));
        QCOMPARE(f.Forest().Count(), 0);
        QCOMPARE(f.StatusText(1), QStringLiteral("Model: lod.p3d"));
        QCOMPARE(int(f.Models.size()), 1);
        f.LoadModel(fx.Path("cut.p3d"));
        QCOMPARE(fx.Dialogs.Messages, (QStringList{"lamp.p3d not found!", "Incorrect LOD Format!", "Stream read error"}));
        QCOMPARE(f.StatusText(1), QStringLiteral("Model: EMPTY"));
        QVERIFY(f.Models.empty());
    }

    void linkingSaveAndReload()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "-leg", "proxy:lamp.01"}));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: LOADED"));
        QVERIFY(Ctl<TLedButton>(f, "LED_Linking")->isChecked());
        fx.Sel("arm")->Pivot[1] = 7.5f;
        Ctl<TLedButton>(f, "B_ChangePivot")->setChecked(true);
        f.TV_EditComponents->DragNode = f.FindNodeByName("leg");
        QVERIFY(f.TV_EditComponents->DropOn(f.FindNodeByName("arm")));
        QCOMPARE(f.Menus.Undo1->text(), QStringLiteral("&Undo Link Component"));
        const QStringList shape = Shape(f);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Linking and Pivot Info saved!"));
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(Shape(f), shape);
        QCOMPARE(fx.Sel("arm")->Pivot[1], 7.5f);
    }

    void linkingFaults()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(Ctl<QPushButton>(f, "B_SaveLinking"), Qt::LeftButton);
        QTest::mouseClick(Ctl<QPushButton>(f, "B_LoadLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, (QStringList{"Load Modell first!", "Load Modell first!"}));
        fx.Dialogs.Messages.clear();
        TLpvBuilder cut;
        cut.Add("ghost", "", 0, 0, 0);  // not in the model: skipped, the rest applies
        cut.Add("arm", "body", 0, 0, 0);
        cut.Add("leg", "nobody", 0, 0, 0);
        cut.Count = 5;  // more records than the file holds
        fx.Write("LinkData/robot.lpv", cut.Build());
        fx.LoadRobot();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Stream read error"});
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "hand", "leg", "proxy:lamp.01"}));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: LOADED"));
        // "Load Linking" starts in LinkData and reads the model's file there, whatever was chosen.
        TLpvBuilder elsewhere;
        elsewhere.Add("hand", "leg", 0, 0, 0);
        fx.Write("elsewhere/robot.lpv", elsewhere.Build());
        fx.Write("LinkData/robot.lpv", RobotLinks());
        fx.Dialogs.Files.enqueue(fx.Path("elsewhere/robot.lpv"));
        QTest::mouseClick(Ctl<QPushButton>(f, "B_LoadLinking"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.FilePrompts.last().InitialDir, f.Paths.LinkDataDir);
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "-leg", "proxy:lamp.01"}));
    }

    // The linking switch shrinks a multi-selection to the current node; the menu shows and
    // hides all.
    void treeCommands()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        TComponentTree* t = f.TV_EditComponents;
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const auto click = [t, &f](const char* name, Qt::KeyboardModifiers mods = {}) {
            QTest::mouseClick(t->viewport(), Qt::LeftButton, mods, t->NodeRect(f.FindNodeByName(name)).center() + QPoint(20, 0));
        };
        const auto selected = [t, &f] {
            QStringList names;
            for (int n : t->SelectedNodes())
                names << f.Forest().Component(n)->Name;
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
        f.Menus.HideAll1->trigger();
        for (TSelection* s : f.TreeComponents())
            QVERIFY(s->Hidden);
        QVERIFY(Ctl<TLedButton>(f, "RB_CheckedSelections")->isChecked());
        f.Menus.ShowAll1->trigger();
        for (TSelection* s : f.TreeComponents())
            QVERIFY(!s->Hidden);
    }

    // Renaming and recolouring through the dialogs, and saving both.
    void namesAndColours()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot();
        f.TV_EditComponents->SetCurrentNode(f.FindNodeByName("leg"));
        fx.Dialogs.Inputs.enqueue("Left Leg");
        f.Menus.AssignNewName1->trigger();
        const QModelIndex leg = f.TV_EditComponents->TreeModel()->IndexOf(f.FindNodeByName("leg"));
        QCOMPARE(leg.data().toString(), QStringLiteral("Left Leg"));
        QCOMPARE(leg.row(), 3);  // sorted: arm, body, hand, Left Leg, proxy:lamp.01
        fx.Dialogs.Colors.enqueue(0x123456);
        f.Menus.ChangeColor1->trigger();
        QCOMPARE(fx.Sel("leg")->Color, 0x123456u);
        fx.Dialogs.Files << fx.Path("n.tsl") << fx.Path("out.clr");
        f.Menus.SaveNames1->trigger();
        QCOMPARE(TIniFile(fx.Path("n.tsl")).ReadString("Translation", "leg", "?"), QStringLiteral("Left Leg"));
        f.Menus.SaveColors1->trigger();
        QCOMPARE(TIniFile(fx.Path("out.clr")).ReadInteger("ColorDef", "leg", 0), 0x123456);
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
    }

    // The animation shows the components it names. "New Animation..." asks,
    // clears and opens the selection window without blocking the tree; "Accept" builds the
    // animation from the selected subtrees and closes it.
    void animationsOnTheModel()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.LoadRobot(true);
        fx.LoadAnim("wave.rtm", RtmBuild::TFile::Regular({"arm", "hand"}, 3));
        // Components outside the animation are hidden.
        QVERIFY(fx.Sel("body")->Hidden && fx.Sel("leg")->Hidden && !fx.Sel("arm")->Hidden);
        fx.Dialogs.Answers << true << true;
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Questions.size(), 1);
        QVERIFY(f.Doc.AnimFrames.empty());
        QVERIFY(F_SelectComponents->isVisible() && !F_SelectComponents->isModal());
        QTest::mousePress(F_SelectComponents->AbColBitBtn1, Qt::LeftButton);  // nothing selected
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Nothing selected!"});
        QVERIFY(!F_SelectComponents->isVisible());
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: <NOT SAVED>"));
        QTest::mousePress(Ctl<QPushButton>(f, "B_NewAnim"), Qt::LeftButton);
        for (const char* name : {"arm", "hand", "leg"})  // hand is below arm already: taken once
            fx.Select(name);
        QTest::mousePress(F_SelectComponents->AbColBitBtn1, Qt::LeftButton);
        QCOMPARE(f.Doc.AnimSelections.Names(), (QStringList{"arm", "hand", "leg"}));
        QCOMPARE(Ctl<QLCDNumber>(f, "D_Steps")->intValue(), 1);
    }
};

TORVANE_TEST(ModelFormTest)
#include "ModelFormTest.moc"
