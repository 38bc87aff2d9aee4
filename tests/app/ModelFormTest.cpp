// Loading models into the main window and working with the component tree.
#include "FormFixture.h"
#include "modelforms/ComponentTree.h"
#include "model/P3dmodell.h"
#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QMenu>
#include "platform/Ini.h"
#include <QPushButton>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>

namespace {
// Four boxes and a proxy triangle (right angle at its first corner, legs along +Z and +Y).
TP3dBuilder Robot()
{
    TP3dBuilder b;
    b.AddSelection("body", b.AddBox(-1, 0, -1, 1, 2, 1));
    b.AddSelection("arm", b.AddBox(1, 1, 0, 2, 1.5f, 0.5f));
    b.AddSelection("hand", b.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
    b.AddSelection("leg", b.AddBox(-0.5f, -2, -0.5f, 0, 0, 0));
    b.AddSelection("proxy:lamp.01", b.AddTriangle(0, 2, 0, 0, 2, 1, 0, 4, 0));
    return b;
}

TP3dBuilder Lamp()
{
    TP3dBuilder b;
    b.AddBox(0, 0, 0, 0.2f, 0.2f, 0.2f);
    return b;
}

QStringList Shape(TMainForm& f)
{
    QStringList out;
    for (QTreeWidgetItem* n : f.TreeNodes())
        out << QString(TComponentTree::Level(n), QLatin1Char('-')) + TMainForm::SelectionOf(n)->Name;
    return out;
}

TSelection* Sel(TMainForm& f, const char* name) { return TMainForm::SelectionOf(f.FindNodeByName(name)); }

void LoadRobot(FormFixture& fx, const QByteArray& lpv = {})
{
    Robot().WriteTo(fx.Path("robot.p3d"));
    Lamp().WriteTo(fx.Path("lamp.p3d"));
    if (!lpv.isEmpty())
        WriteBytesFile(fx.Path("LinkData/robot.lpv"), lpv);
    fx.Form->LoadModel(fx.Path("robot.p3d"));
}

QByteArray RobotLinks()
{
    TLpvBuilder l;
    l.Add("body", "", 0, 1, 0);
    l.Add("arm", "body", 1, 1.25f, 0.25f);
    l.Add("hand", "arm", 2, 1.25f, 0.25f);
    l.Add("leg", "body", -0.25f, 0, -0.25f);
    return l.Build();
}
}  // namespace

class ModelFormTest : public QObject {
    Q_OBJECT
private slots:
    void loadFillsTreeAndPlacesProxy()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx);
        QCOMPARE(fx.Dialogs.Messages, QStringList());
        QCOMPARE(Shape(f), (QStringList{"body", "arm", "hand", "leg", "proxy:lamp.01"}));  // file order
        QCOMPARE(f.StatusText(1), QStringLiteral("Model: robot.p3d"));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: NOT LOADED"));
        QCOMPARE(f.StatusText(3), QStringLiteral("Vertexes: 35"));  // the main model's, not the proxy's
        QCOMPARE(f.StatusText(4), QStringLiteral("Polygons: %1").arg(f.MainModel()->Polygons.size()));
        QCOMPARE(int(f.Models.size()), 2);
        const TP3dModell& lamp = *f.Models[1];
        QCOMPARE(Sel(f, "proxy:lamp.01")->ProxyModel, &lamp);
        QVERIFY(f.MainModel()->Polygons.back().Hidden);  // the proxy triangle
        TTransform expected = TTransform::Identity();  // origin on the right angle at (0, 2, 0)
        expected[10] = 2;
        for (int i = 0; i < 12; ++i)
            QVERIFY2(qAbs(lamp.ProxyMatrix[i] - expected[i]) < 1e-9, qPrintable(QString::number(i)));
        QCOMPARE(lamp.ProxyParent, nullptr);  // no other component holds the triangle

        fx.Dialogs.Messages.clear();
        QFile::remove(fx.Path("lamp.p3d"));
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{"lamp.p3d not found!"});
        QCOMPARE(int(f.Models.size()), 1);
        QVERIFY(!f.MainModel()->Polygons.back().Hidden);
    }

    void brokenModels_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("kept");
        const QByteArray good = Robot().Build();
        TP3dBuilder lod = Robot();
        lod.LodMagic = "P3DM";
        TP3dBuilder noTags = Robot();
        noTags.TagMagic = "XXXX";
        QTest::newRow("cut in the tags") << good.left(good.size() - 40) << "Stream read error" << false;
        QTest::newRow("counts beyond the file") << good.left(60) << "Incorrect Format!" << true;
        QTest::newRow("not a model") << QByteArray("hello world, not a model") << "Incorrect Format!" << true;
        QTest::newRow("other lod") << lod.Build() << "Incorrect LOD Format!" << true;
        QTest::newRow("no tags") << noTags.Build() << "No Tag Identifier found!" << true;
    }
    void brokenModels()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(bool, kept);
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx);
        WriteBytesFile(fx.Path("bad.p3d"), bytes);
        f.LoadModel(fx.Path("bad.p3d"));
        QCOMPARE(fx.Dialogs.Messages, QStringList{message});
        QCOMPARE(f.TV_EditComponents->topLevelItemCount(), 0);
        QCOMPARE(f.ModelFileName.isEmpty(), !kept);
        QCOMPARE(f.Models.size(), size_t(kept ? 1 : 0));
        QCOMPARE(f.StatusText(1), kept ? QStringLiteral("Model: bad.p3d") : QStringLiteral("Model: EMPTY"));
    }

    void linkingSaveAndReload()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "-leg", "proxy:lamp.01"}));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: LOADED"));
        QVERIFY(f.LED_Linking->isChecked());
        QCOMPARE(Sel(f, "leg")->Pivot[2], -0.25f);
        Sel(f, "arm")->Pivot[1] = 7.5f;
        f.B_ChangePivot->setChecked(true);
        f.TV_EditComponents->DragNode = f.FindNodeByName("leg");
        QVERIFY(f.TV_EditComponents->DropOn(f.FindNodeByName("arm")));
        const QStringList shape = Shape(f);
        QTest::mouseClick(f.B_SaveLinking, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages.last(), QStringLiteral("Linking and Pivot Info saved!"));
        f.LoadModel(fx.Path("robot.p3d"));
        QCOMPARE(Shape(f), shape);
        QCOMPARE(Sel(f, "arm")->Pivot[1], 7.5f);
    }

    void linkingFaults()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QTest::mouseClick(f.B_SaveLinking, Qt::LeftButton);
        QTest::mouseClick(f.B_LoadLinking, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.Messages, (QStringList{"Load Modell first!", "Load Modell first!"}));
        fx.Dialogs.Messages.clear();
        TLpvBuilder cut;
        cut.Add("ghost", "", 0, 0, 0);  // not in the model: skipped, the rest applies
        cut.Add("arm", "body", 0, 0, 0);
        cut.Add("leg", "nobody", 0, 0, 0);
        cut.Count = 5;  // more records than the file holds
        LoadRobot(fx, cut.Build());
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Stream read error"});
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "hand", "leg", "proxy:lamp.01"}));
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: LOADED"));
    }

    void loadLinkingReadsFromLinkData()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx);
        WriteBytesFile(fx.Path("elsewhere/robot.lpv"), RobotLinks());
        fx.Dialogs.Files.enqueue(fx.Path("elsewhere/robot.lpv"));
        QTest::mouseClick(f.B_LoadLinking, Qt::LeftButton);
        QCOMPARE(fx.Dialogs.FilePrompts.last().InitialDir, f.Paths.LinkDataDir);
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: NOT LOADED"));
        WriteBytesFile(fx.Path("LinkData/robot.lpv"), RobotLinks());
        fx.Dialogs.Files.enqueue(fx.Path("elsewhere/robot.lpv"));
        QTest::mouseClick(f.B_LoadLinking, Qt::LeftButton);
        QCOMPARE(f.StatusText(5), QStringLiteral("Pivot and Linking: LOADED"));
        QCOMPARE(Shape(f).first(), QStringLiteral("body"));
        QCOMPARE(Shape(f)[1], QStringLiteral("-arm"));
    }

    void dropLinksOnlyWithSwitchDown()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        TComponentTree* t = f.TV_EditComponents;
        const QStringList before = Shape(f);
        t->DragNode = f.FindNodeByName("leg");
        QVERIFY(!t->DropOn(f.FindNodeByName("hand")));
        QCOMPARE(Shape(f), before);
        QCOMPARE(t->DragNode, nullptr);
        f.B_ChangePivot->setChecked(true);
        QCOMPARE(t->selectionMode(), QAbstractItemView::SingleSelection);
        t->DragNode = f.FindNodeByName("body");
        QVERIFY(!t->DropOn(f.FindNodeByName("hand")));  // onto its own descendant
        QCOMPARE(Shape(f), before);
        QVERIFY(!t->DropOn(f.FindNodeByName("hand")));  // no drag source
        t->DragNode = f.FindNodeByName("leg");
        QVERIFY(t->DropOn(f.FindNodeByName("hand")));
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "--hand", "---leg", "proxy:lamp.01"}));
    }

    void moveOneLevelUp()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        f.FindNodeByName("hand")->setSelected(true);
        f.Moveonelevelup1->trigger();  // works with the linking switch up
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "-hand", "-leg", "proxy:lamp.01"}));
        f.Moveonelevelup1->trigger();
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "-leg", "hand", "proxy:lamp.01"}));
        f.Moveonelevelup1->trigger();  // a top-level node goes to the end, then the sort
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "-leg", "hand", "proxy:lamp.01"}));
    }

    // After a move up or a drop the selection is exactly the node the user selected, and
    // pivot mode keeps one node of a multi-selection.
    void selectionSurvivesHierarchyChanges()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        TComponentTree* t = f.TV_EditComponents;
        t->expandAll();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const auto click = [t](QTreeWidgetItem* n, Qt::KeyboardModifiers mods = {}) {
            QTest::mouseClick(t->viewport(), Qt::LeftButton, mods, t->visualItemRect(n).center() + QPoint(20, 0));
        };
        const auto selected = [t] {
            QStringList names;
            for (QTreeWidgetItem* n : t->selectedItems())
                names << TMainForm::SelectionOf(n)->Name;
            names.sort();
            return names;
        };
        click(f.FindNodeByName("hand"));
        f.Moveonelevelup1->trigger();
        QCOMPARE(selected(), QStringList{"hand"});
        f.Moveonelevelup1->trigger();
        QCOMPARE(selected(), QStringList{"hand"});

        click(f.FindNodeByName("arm"));
        click(f.FindNodeByName("leg"), Qt::ControlModifier);
        QCOMPARE(selected(), (QStringList{"arm", "leg"}));
        f.B_ChangePivot->setChecked(true);
        QCOMPARE(selected(), QStringList{"leg"});  // the current node

        click(f.FindNodeByName("leg"));  // the press makes it the drag source
        QTest::failOnWarning(QRegularExpression(QStringLiteral("unable to save")));
        delete t->model()->mimeData({t->currentIndex()});  // what a drag serialises
        QVERIFY(t->DropOn(f.FindNodeByName("hand")));
        QCOMPARE(Shape(f), (QStringList{"body", "-arm", "hand", "-leg", "proxy:lamp.01"}));
        QCOMPARE(selected(), QStringList{"leg"});
    }

    void sortIsLocaleAwareByDisplayText()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("names.tsl", "[Translation]\nbody=Zebra\nARM=apple\nhand=Banana\n");
        f.TranslationFileName = fx.Path("names.tsl");
        LoadRobot(fx);
        QStringList texts;
        for (int i = 0; i < f.TV_EditComponents->topLevelItemCount(); ++i)
            texts << f.TV_EditComponents->topLevelItem(i)->text(0);
        QCOMPARE(texts, (QStringList{"apple", "Banana", "leg", "proxy:lamp.01", "Zebra"}));
    }

    void hideCrossTogglesSubtree()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        TComponentTree* t = f.TV_EditComponents;
        QTreeWidgetItem* arm = f.FindNodeByName("arm");
        arm->setExpanded(false);  // a collapsed node hides its subtree too
        const auto [from, to] = t->CrossArea(arm);
        const int y = t->visualItemRect(arm).center().y();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(from + 1, y));
        QVERIFY(Sel(f, "arm")->Hidden && Sel(f, "hand")->Hidden);
        QVERIFY(!Sel(f, "body")->Hidden && !Sel(f, "leg")->Hidden);
        QTest::mouseClick(t->viewport(), Qt::RightButton, {}, QPoint(to - 1, y));  // any button
        QVERIFY(!Sel(f, "arm")->Hidden && !Sel(f, "hand")->Hidden);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(to + 20, y));  // on the text
        QVERIFY(!Sel(f, "arm")->Hidden);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(from, y));  // the edge is outside
        QVERIFY(!Sel(f, "arm")->Hidden);
    }

    void showAndHideAll()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx);
        f.RB_AllSelections->setChecked(true);
        f.HideAll1->trigger();
        for (TSelection* s : f.TreeComponents())
            QVERIFY(s->Hidden);
        QVERIFY(f.RB_CheckedSelections->isChecked());
        f.ShowAll1->trigger();
        for (TSelection* s : f.TreeComponents())
            QVERIFY(!s->Hidden);
    }

    void selectionBackgrounds()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        TComponentTree* t = f.TV_EditComponents;
        t->expandAll();
        f.FindNodeByName("arm")->setSelected(true);
        const QImage img = t->viewport()->grab().toImage();
        const auto colourAt = [&](const char* name) {
            const QRect r = t->visualItemRect(f.FindNodeByName(name));
            return img.pixelColor(r.right() - 2, r.center().y()).rgb() & 0xFFFFFF;
        };
        QCOMPARE(colourAt("arm"), 0x919111u);
        QCOMPARE(colourAt("hand"), 0x808000u);
        QCOMPARE(colourAt("leg"), 0x404040u);
    }

    void popupOrderAndEditMode()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        QStringList items;
        for (QAction* a : f.PopupMenu_Select->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(items, (QStringList{"&Show All", "&Hide All", "-", "Show &Animated Only", "-", "Change Color...",
                                     "Save Colors...", "-", "Assign new Name...", "Save Names...", "-",
                                     "&Move one level up"}));
        f.SetEditMode(true);
        for (QAction* a : {f.ChangeColor1, f.SaveColors1, f.AssignNewName1, f.SaveNames1})
            QVERIFY(!a->isEnabled());
        QVERIFY(f.ShowAll1->isEnabled());
        f.SetEditMode(false);
        QVERIFY(f.ChangeColor1->isEnabled());
    }

    void namesAndColours()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        fx.Write("c.clr", "[ColorDef]\nArm=$0000FF\nleg=0x00FF00\nhand=green\n");
        f.ColorFileName = fx.Path("c.clr");
        LoadRobot(fx);
        QCOMPARE(Sel(f, "arm")->Color, 0x0000FFu);
        QCOMPARE(Sel(f, "leg")->Color, 0x00FF00u);
        QCOMPARE(Sel(f, "hand")->Color, DefaultSelectionColor(3));

        f.TV_EditComponents->setCurrentItem(f.FindNodeByName("leg"));
        fx.Dialogs.Inputs.enqueue("Left Leg");
        f.AssignNewName1->trigger();
        QCOMPARE(Sel(f, "leg")->DisplayName, QStringLiteral("Left Leg"));
        QCOMPARE(f.FindNodeByName("leg")->text(0), QStringLiteral("Left Leg"));
        fx.Dialogs.Colors.enqueue(0x123456);
        f.ChangeColor1->trigger();
        QCOMPARE(Sel(f, "leg")->Color, 0x123456u);

        fx.Write("n.tsl", "[Translation]\nbody=Torso\n[Keep]\nx=1\n");
        fx.Dialogs.Files.enqueue(fx.Path("n.tsl"));
        f.SaveNames1->trigger();
        const TIniFile names(fx.Path("n.tsl"));
        QCOMPARE(names.ReadString("Translation", "leg", "?"), QStringLiteral("Left Leg"));
        QVERIFY(!names.ValueExists("Translation", "body"));  // body shows its own name again
        QCOMPARE(names.ReadString("Keep", "x", "?"), QStringLiteral("1"));

        fx.Dialogs.Files.enqueue(fx.Path("out.clr"));
        f.SaveColors1->trigger();
        QCOMPARE(TIniFile(fx.Path("out.clr")).ReadInteger("ColorDef", "leg", 0), 0x123456);
        QVERIFY(fx.Dialogs.FilePrompts.last().OverwritePrompt);
    }

    void animationMeetsModel()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand", "tail"}, 3);
        fx.Write("wave.rtm", RtmBuild::Build(anim));
        f.LoadAnimation(fx.Path("wave.rtm"));
        QCOMPARE(fx.Dialogs.Messages,
                 QStringList{QStringLiteral("following Animation Components were not found in the Model:\n\n %1 -> tail").arg("tail", -32)});
        // Components outside the animation are hidden; frame 0 is in the animated ones.
        QVERIFY(Sel(f, "body")->Hidden && Sel(f, "leg")->Hidden);
        QVERIFY(!Sel(f, "arm")->Hidden && !Sel(f, "hand")->Hidden);
        QCOMPARE(Narrow(Sel(f, "hand")->ActTransform), RtmBuild::TFile::Sample(0, 1));
        f.SetActStep(2);
        QCOMPARE(Narrow(Sel(f, "arm")->ActTransform), RtmBuild::TFile::Sample(2, 0));
        QVERIFY(f.IsInAnimation(Sel(f, "hand")));
        QVERIFY(!f.IsInAnimation(Sel(f, "body")));
        f.ClearAnimation();
        QCOMPARE(Sel(f, "arm")->ActTransform, TTransform::Identity());
    }

    void newAnimationFromSubtree()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        LoadRobot(fx, RobotLinks());
        f.CreateNewAnimation();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Nothing selected!"});
        QCOMPARE(f.StatusText(2), QStringLiteral("Anim: <NOT SAVED>"));
        QVERIFY(f.Doc.AnimFrames.empty());
        f.FindNodeByName("arm")->setSelected(true);
        f.FindNodeByName("hand")->setSelected(true);  // already below arm: added once
        f.FindNodeByName("leg")->setSelected(true);
        f.CreateNewAnimation();
        QCOMPARE(f.Doc.AnimSelections.Names(), (QStringList{"arm", "hand", "leg"}));
        QCOMPARE(f.Doc.AnimStepCount, 1);
        const TAnimFrame& frame = f.Doc.AnimFrames[0];
        QCOMPARE(int(frame.Entries.size()), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(frame.Entries[size_t(i)].NameIndex, i);
            QCOMPARE(frame.Entries[size_t(i)].Matrix, IdentityMatrix12f);
        }
    }
};

TORVANE_TEST(ModelFormTest)
#include "ModelFormTest.moc"
