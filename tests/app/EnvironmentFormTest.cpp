// "Load Environment P3d..." in the main window, answered through the scripted dialogs.
#include "FormFixture.h"
#include "model/ComponentTree.h"
#include "model/P3dmodell.h"
#include "model/Proxyselect.h"
#include "support/P3dBuilder.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {
// A room: a floor and two proxy triangles, "proxy:seat.01" with its right angle at
// (1, 2, 3) and "proxy:lamp.01" without one.
TP3dBuilder Room()
{
    TP3dBuilder b;
    b.AddSelection("floor", b.AddBox(-5, -1, -5, 5, 0, 5));
    b.AddSelection("proxy:seat.01", b.AddTriangle(1, 2, 3, 1, 3, 3, 2, 2, 3));
    b.AddSelection("proxy:lamp.01", b.AddTriangle(0, 0, 0, 1, 0, 0, 0.5f, 0.8f, 0));
    return b;
}

TP3dModell* Environment(TMainForm& f)
{
    TP3dModell* found = nullptr;
    int count = 0;
    for (const auto& m : f.Models)
        if (m->IsEnvironment) {
            found = m.get();
            ++count;
        }
    return count == 1 ? found : nullptr;
}

int EnvironmentCount(TMainForm& f)
{
    return int(std::count_if(f.Models.begin(), f.Models.end(), [](const auto& m) { return m->IsEnvironment; }));
}
}  // namespace

class EnvironmentFormTest : public QObject {
    Q_OBJECT
private slots:
    void loads_data();
    void loads();
    void secondLoadReplacesAndCancelDrops();
    void proxyDialogOkNeedsAnEntry();
};

void EnvironmentFormTest::loads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("choice");  // -1: cancel the proxy dialog
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<float>("floorX");  // display x of the floor's first point (-5 stored)
    const QByteArray room = Room().Build();
    TP3dBuilder bare;
    bare.AddSelection("floor", bare.AddBox(0, 0, 0, 1, 1, 1));
    QTest::newRow("seat") << room << 0 << QStringList{} << true << -6.f;
    QTest::newRow("lamp: no right angle") << room << 1 << QStringList{"Offset from enviroment model not found!"} << true << -5.f;
    QTest::newRow("dialog cancelled") << room << -1 << QStringList{} << false << 0.f;
    QTest::newRow("no proxies") << bare.Build() << 0 << QStringList{"Enviromentmodell has no proxys to replace!"} << false << 0.f;
    QTest::newRow("not a model") << QByteArray("no model here")
                                 << 0 << QStringList{"Incorrect Format!", "Enviromentmodell has no proxys to replace!"} << false << 0.f;
    QTest::newRow("cut short") << room.left(room.size() - 30) << 0
                               << QStringList{"Stream read error", "Enviromentmodell has no proxys to replace!"} << false << 0.f;
}

void EnvironmentFormTest::loads()
{
    QFETCH(QByteArray, file);
    QFETCH(int, choice);
    QFETCH(QStringList, messages);
    QFETCH(bool, kept);
    QFETCH(float, floorX);
    FormFixture fx;
    TMainForm& f = fx.Start();
    f.LoadEnviromentP3d1->trigger();  // no main model yet: no file dialog either
    QCOMPARE(fx.Dialogs.Messages, QStringList{"Load Main-P3d file first!"});
    QCOMPARE(fx.Dialogs.FilePrompts.size(), 0);
    fx.Dialogs.Messages.clear();

    TP3dBuilder robot;
    robot.AddSelection("body", robot.AddBox(0, 0, 0, 1, 2, 1));
    robot.WriteTo(fx.Path("robot.p3d"));
    f.LoadModel(fx.Path("robot.p3d"));
    WriteBytesFile(fx.Path("room.p3d"), file);
    QVERIFY(!f.B_Enviroment->isChecked());
    fx.Dialogs.Files.enqueue(fx.Path("room.p3d"));
    if (choice >= 0)
        fx.Dialogs.Choices.enqueue(choice);
    f.LoadEnviromentP3d1->trigger();
    QCOMPARE(fx.Dialogs.FilePrompts.last().Title, QStringLiteral("Load P3d"));
    QCOMPARE(fx.Dialogs.Messages, messages);
    QCOMPARE(EnvironmentCount(f), kept ? 1 : 0);
    QCOMPARE(f.B_Enviroment->isChecked(), kept);
    QCOMPARE(f.TV_EditComponents->topLevelItemCount(), 1);  // its selections are no components
    if (messages.isEmpty() || kept)
        QCOMPARE(fx.Dialogs.ItemPrompts.value(0),
                 (QStringList{"Select Proxy", "Select Proxy to replace by current model:", "proxy:seat.01", "proxy:lamp.01"}));
    if (!kept)
        return;
    TP3dModell* env = Environment(f);
    QCOMPARE(env, f.Models.back().get());
    QCOMPARE(fx.Dialogs.Preselected.value(0), 0);
    QCOMPARE(env->DisplayPoints[0].X, floorX);
    // An animation loaded or not, the environment keeps its place; a new main model drops it.
    f.RefreshDisplay();
    QCOMPARE(env->DisplayPoints[0].X, floorX);
    f.LoadModel(fx.Path("robot.p3d"));
    QCOMPARE(EnvironmentCount(f), 0);
}

void EnvironmentFormTest::secondLoadReplacesAndCancelDrops()
{
    FormFixture fx;
    TMainForm& f = fx.Start();
    TP3dBuilder robot;
    robot.AddSelection("body", robot.AddBox(0, 0, 0, 1, 2, 1));
    robot.WriteTo(fx.Path("robot.p3d"));
    f.LoadModel(fx.Path("robot.p3d"));
    Room().WriteTo(fx.Path("room.p3d"));
    Room().WriteTo(fx.Path("room2.p3d"));
    fx.Dialogs.Files << fx.Path("room.p3d") << fx.Path("room2.p3d");
    fx.Dialogs.Choices << 0 << 0;
    f.LoadEnviromentP3d1Click();
    int refreshes = f.RefreshCount();
    f.LoadEnviromentP3d1Click();  // switch already on: refreshed directly
    QVERIFY(f.RefreshCount() > refreshes);
    QCOMPARE(EnvironmentCount(f), 1);
    QVERIFY(Environment(f)->FileName.endsWith("room2.p3d"));
    QVERIFY(f.B_Enviroment->isChecked());

    // Cancelling a third load leaves none, and the views no longer show the old one.
    fx.Dialogs.Files << fx.Path("room.p3d");
    refreshes = f.RefreshCount();
    f.LoadEnviromentP3d1Click();
    QCOMPARE(EnvironmentCount(f), 0);
    QVERIFY(f.RefreshCount() > refreshes);
    QVERIFY(fx.Dialogs.Messages.isEmpty());
}

void EnvironmentFormTest::proxyDialogOkNeedsAnEntry()
{
    FormFixture fx;
    fx.Start();
    TF_ProxySelect* d = F_ProxySelect;
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("Select Proxy"));
    QVERIFY(d->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    d->Fill("Select Proxy", "Select Proxy to replace by current model:", {"proxy:a.01", "proxy:b.01"}, -1);
    d->open();
    QTest::mouseClick(d->AbColBitBtn1, Qt::LeftButton);
    QVERIFY(d->isVisible());  // nothing selected: OK does nothing
    d->CB_Proxy->setCurrentIndex(1);
    QTest::mouseClick(d->AbColBitBtn1, Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Accepted));
    d->Fill("Select Proxy", "x", {"proxy:a.01"}, 0);
    d->open();
    QTest::mouseClick(d->AbColBitBtn2, Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

TORVANE_TEST(EnvironmentFormTest)
#include "EnvironmentFormTest.moc"
