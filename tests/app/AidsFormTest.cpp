// The animator's aids as the user reaches them in the main window: View > "Onion Skin"
// (Ctrl+K) and its count, View > "Motion Path" (Ctrl+M), Edit > "Flip Pose" (Ctrl+F), each
// by its key and by its menu; the views follow the editor, the settings keep the count.
// What the aids compute is the editor's tests.
#include "FormFixture.h"
#include "editor/Editor.h"
#include "pose/OnionSkin.h"
#include "support/TestMain.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <set>

namespace {

// The front view's segments in the onion skin's tint of the next frame.
int OnionSegments(const TMainForm& f)
{
    Settle();
    int n = 0;
    const uint32_t tint = OnionViewColor(true, 1, 1);
    Ctl<TChart>(f, "FrontView1")->Items().ForEachSegment([&](double, double, double, double, uint32_t c) { n += c == tint; });
    return n;
}

// The front view's motion-path dots.
int PathDots(const TMainForm& f)
{
    Settle();
    int n = 0;
    for (const TChartItem& it : Ctl<TChart>(f, "FrontView1")->Items().Items())
        n += it.Kind == TChartItemKind::JoinedMark && it.Aux == PathDotCode;
    return n;
}

// The window whose keys reach o: the first window up its parents that is not a menu.
const QWidget* OwnerWindow(const QObject* o)
{
    for (o = o->parent(); o; o = o->parent())
        if (const auto* w = qobject_cast<const QWidget*>(o); w && w->isWindow() && !qobject_cast<const QMenu*>(w))
            return w;
    return nullptr;
}

QByteArray FrameBytes(const TAnimFrames& frames)
{
    QByteArray out(reinterpret_cast<const char*>(frames.Times().data()), qsizetype(frames.size() * sizeof(float)));
    out.append(reinterpret_cast<const char*>(frames.AllEntries().data()), qsizetype(frames.AllEntries().size_bytes()));
    return out;
}

// One user input: "Ctrl+K", "Ctrl+M", "Ctrl+F" or "Ctrl+Z" typed into the window, or an
// action's name, triggered as a click on the menu item does.
void Do(TMainForm& f, const QString& input)
{
    if (input.startsWith("Ctrl+"))
        QTest::keyClick(&f, Qt::Key(Qt::Key_A + (input.back().unicode() - 'A')), Qt::ControlModifier);
    else
        Act(f, input.toLatin1().constData())->trigger();
}

}  // namespace

class AidsFormTest : public QObject {
    Q_OBJECT
private slots:
    // The switch by its key and its menu item, and the count from its menu and from the
    // settings file (0 is off): the editor's options, the check marks and the views all say
    // the same. The onion skin is on at first (the settings' default count of 1). How the
    // switch and the count go together is the editor's tests, how the settings read and
    // write the count theirs.
    void onionSkin_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("count");
        const QByteArray none;
        QTest::newRow("as started") << none << QStringList{} << 1 << 1;
        QTest::newRow("three in the settings") << QByteArray("[Startup]\nOnionFrames=3\n") << QStringList{} << 3 << 3;
        QTest::newRow("off in the settings") << QByteArray("[Startup]\nOnionFrames=0\n") << QStringList{} << 0 << 1;
        QTest::newRow("Ctrl+K switches off") << none << QStringList{"Ctrl+K"} << 0 << 1;
        QTest::newRow("Ctrl+K twice") << none << QStringList{"Ctrl+K", "Ctrl+K"} << 1 << 1;
        QTest::newRow("the menu item") << none << QStringList{"OnionSkin1"} << 0 << 1;
        QTest::newRow("a count") << none << QStringList{"OnionFrames3"} << 3 << 3;
    }
    void onionSkin()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, inputs);
        QFETCH(int, frames);
        QFETCH(int, count);
        FormFixture fx;
        fx.Write("TorvaneAnim.ini", ini);
        TMainForm& f = fx.StartWalk();
        for (const QString& input : inputs)
            Do(f, input);
        QCOMPARE(f.Editor().Options().OnionFrames, frames);
        QCOMPARE(Act(f, "OnionSkin1")->isChecked(), frames > 0);
        for (int n = 1; n <= MaxOnionFrames; ++n)
            QCOMPARE(Act(f, QStringLiteral("OnionFrames%1").arg(n).toLatin1().constData())->isChecked(), n == count);
        QCOMPARE(OnionSegments(f) > 0, frames > 0);
        QVERIFY(!f.Editor().History().CanUndo());  // how the views show is no step
    }

    // The path of the component selected in the tree; Ctrl+M and the menu item switch it
    // (that it follows the selection is the editor's tests).
    void motionPath()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        Do(f, "Ctrl+K");  // the onion skin's own marks aside
        fx.Select("arm");
        QCOMPARE(PathDots(f), 0);
        Do(f, "Ctrl+M");
        QVERIFY(Act(f, "MotionPath1")->isChecked());
        QVERIFY(f.Editor().Options().PathOfCurrent);
        QCOMPARE(PathDots(f), 4);  // one per frame
        Do(f, "MotionPath1");
        QVERIFY(!Act(f, "MotionPath1")->isChecked());
        QCOMPARE(PathDots(f), 0);
    }

    // Edit > Flip Pose, by its key or its menu item: the current frame alone flipped as one
    // step "Flip", which Ctrl+Z takes back to the bit; the status bar names the pairs.
    void flipPose_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("key") << "Ctrl+F";
        QTest::newRow("menu") << "FlipPose1";
    }
    void flipPose()
    {
        QFETCH(QString, input);
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        f.Editor().Anim().SetActStep(2);
        const TAnimFrames& frames = f.Editor().Document().AnimFrames;
        const TAnimFrames before = frames;
        Do(f, input);
        QCOMPARE(f.Editor().History().UndoName(), QStringLiteral("Flip"));
        QCOMPARE(Act(f, "Undo1")->text(), QStringLiteral("&Undo Flip"));
        QCOMPARE(StatusNote(f), QStringLiteral("Flipped frame 2: no partners"));
        // What a flip writes is the editor's to test; here only that the key reached it.
        QVERIFY(FrameBytes(frames) != FrameBytes(before));
        Do(f, "Ctrl+Z");
        QCOMPARE(FrameBytes(frames), FrameBytes(before));
        QVERIFY(!f.Editor().History().CanUndo());
    }

    // While playback or an edit poses the components, Flip Pose is not offered and its key
    // does nothing: the frame would change under them.
    void flipPoseNotOffered_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("playing") << "B_Play";
        QTest::newRow("editing") << "B_Editing";
    }
    void flipPoseNotOffered()
    {
        QFETCH(QString, button);
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        fx.Select("arm");
        QVERIFY(Act(f, "FlipPose1")->isEnabled());
        const TAnimFrames before = f.Editor().Document().AnimFrames;
        Ctl<QPushButton>(f, button.toLatin1().constData())->click();
        Settle();
        QVERIFY(!Act(f, "FlipPose1")->isEnabled());
        QTest::keyClick(&f, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(FrameBytes(f.Editor().Document().AnimFrames), FrameBytes(before));
        QVERIFY(!f.Editor().History().CanUndo());
    }

    // No two commands of a window share a key: Qt would run neither.
    void keysAreUnique()
    {
        FormFixture fx;
        TMainForm& f = fx.StartWalk();
        for (const QWidget* window : {static_cast<const QWidget*>(&f), static_cast<const QWidget*>(FrameTimer(f))}) {
            std::set<const QAction*> actions;
            for (const QAction* a : f.findChildren<QAction*>())
                if (OwnerWindow(a) == window)
                    actions.insert(a);
            for (const QAction* a : window->actions())  // the main window's undo keys in the frame timer
                actions.insert(a);
            std::multiset<QString> keys;
            for (const QAction* a : actions)
                for (const QKeySequence& k : a->shortcuts())
                    keys.insert(k.toString());
            for (const QShortcut* s : f.findChildren<QShortcut*>())
                if (OwnerWindow(s) == window)
                    keys.insert(s->key().toString());
            QVERIFY(keys.size() > 3);
            for (const QString& k : std::set<QString>(keys.begin(), keys.end()))
                QVERIFY2(keys.count(k) == 1, qPrintable(k + " in " + window->objectName()));
        }
        for (const char* name : {"OnionSkin1", "MotionPath1", "FlipPose1"})
            QVERIFY(!Act(f, name)->shortcut().isEmpty());
    }
};

TORVANE_TEST(AidsFormTest)
#include "AidsFormTest.moc"
