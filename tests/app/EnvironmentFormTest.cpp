// "Load Environment P3d..." in the main window, answered through the scripted dialogs. The
// placement itself is the environment unit's tests.
#include "FormFixture.h"
#include "model/P3dModel.h"
#include "modelforms/ProxySelection.h"
#include "support/TestMain.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace {
std::vector<const TP3dModell*> Environments(TMainForm& f)
{
    std::vector<const TP3dModell*> out;
    for (const auto& m : f.Editor().Models())
        if (m->IsEnvironment)
            out.push_back(m.get());
    return out;
}
}  // namespace

class EnvironmentFormTest : public QObject {
    Q_OBJECT
private slots:
    // The menu asks for a main model first, then for the file and the proxy; a load turns
    // the switch on and its selections are no components. A second load replaces it, a
    // cancelled one drops it, the views are told each time, and a new main model drops it.
    // The messages and the placement are the command line's and the environment unit's
    // tests. The proxy dialog stays in front; its buttons accept and reject.
    void loadsThroughTheMenu()
    {
        FormFixture fx;
        TMainForm& f = fx.Start();
        Act(f, "LoadEnviromentP3d1")->trigger();
        QCOMPARE(fx.Dialogs.Messages, QStringList{"Load Main-P3d file first!"});
        QCOMPARE(fx.Dialogs.FilePrompts.size(), 0);
        fx.LoadRobot();
        fx.Dialogs.Messages.clear();
        fx.Write("room.p3d", Room().Build());
        fx.Write("room2.p3d", Room().Build());
        fx.Dialogs.Files << fx.Path("room.p3d") << fx.Path("room2.p3d") << fx.Path("room.p3d") << fx.Path("room.p3d");
        fx.Dialogs.Choices << 0 << 0;
        Act(f, "LoadEnviromentP3d1")->trigger();
        QCOMPARE(fx.Dialogs.ItemPrompts.value(0),
                 (QStringList{"Select Proxy", "Select Proxy to replace by current model:", "proxy:seat.01", "proxy:bad.01"}));
        QVERIFY(Ctl<TLedButton>(f, "B_Enviroment")->isChecked());
        QCOMPARE(f.Editor().Forest().Count(), 5);
        int refreshes = Refreshed(f);
        Act(f, "LoadEnviromentP3d1")->trigger();  // the switch is on already: a refresh of its own
        QVERIFY(Refreshed(f) > refreshes);
        QCOMPARE(int(Environments(f).size()), 1);
        QVERIFY(Environments(f)[0]->FileName.endsWith("room2.p3d"));
        refreshes = Refreshed(f);
        Act(f, "LoadEnviromentP3d1")->trigger();  // cancelled
        QVERIFY(Environments(f).empty());
        QVERIFY(Refreshed(f) > refreshes);
        QVERIFY(fx.Dialogs.Messages.isEmpty());
        fx.Dialogs.Choices << 0;
        Act(f, "LoadEnviromentP3d1")->trigger();
        QCOMPARE(int(Environments(f).size()), 1);
        f.LoadModel(fx.Path("robot.p3d"));
        QVERIFY(Environments(f).empty());

        TF_ProxySelect* d = Ctl<TF_ProxySelect>(f, "F_ProxySelect");
        QVERIFY(d && d->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        d->Fill("Select Proxy", "Select Proxy to replace by current model:", {"proxy:a.01", "proxy:b.01"}, 1);
        d->open();
        QTest::mouseClick(Ctl<QPushButton>(*d, "AbColBitBtn1"), Qt::LeftButton);
        QVERIFY(!d->isVisible() && d->result() == QDialog::Accepted);
        d->open();
        QTest::mouseClick(Ctl<QPushButton>(*d, "AbColBitBtn2"), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Rejected));
    }
};

TORVANE_TEST(EnvironmentFormTest)
#include "EnvironmentFormTest.moc"
