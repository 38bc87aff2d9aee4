// The spring slider and the numeric edit, driven with the events a user sends.
#include "support/TestMain.h"
#include "support/TestTable.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <limits>

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    // Whatever the user does, the slider leaves the centre only while it is held; the wheel
    // does not move it.
    void springSliderReturnsToCentre_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("held");  // the value while held
        QTest::newRow("press on the track right of the handle") << "mouse" << 100;
        QTest::newRow("arrow key") << "key" << 10;
        QTest::newRow("arrow key, then the focus goes") << "focus" << 10;
        QTest::newRow("wheel") << "wheel" << 0;
    }
    void springSliderReturnsToCentre()
    {
        QFETCH(QString, input);
        QFETCH(int, held);
        TSpringSlider s;
        s.setRange(-1000, 1000);
        s.setSingleStep(10);
        s.setPageStep(100);
        s.resize(200, 24);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        s.setFocus();
        const QPoint at(s.width() - 10, s.height() / 2);
        QWheelEvent wheel(at, s.mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QFocusEvent out(QEvent::FocusOut);
        input == "mouse"   ? QTest::mousePress(&s, Qt::LeftButton, {}, at)
        : input == "wheel" ? void(QApplication::sendEvent(&s, &wheel))
                           : QTest::keyPress(&s, Qt::Key_Right);
        QCOMPARE(s.value(), held);
        input == "mouse" ? QTest::mouseRelease(&s, Qt::LeftButton, {}, at)
        : input == "key" ? QTest::keyRelease(&s, Qt::Key_Right)
                         : void(QApplication::sendEvent(&s, &out));
        QCOMPARE(s.value(), 0);
    }

    // Values shown exactly, typed text taken as typed, formats without trailing zeros.
    void numberEditShowsAndKeepsValues_data() { QVERIFY(AddTableRows("widgets/number-edit.table")); }
    void numberEditShowsAndKeepsValues()
    {
        QFETCH(int, decimals);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QFETCH(double, kept);
        TNumberEdit e;
        e.setLocale(QLocale::c());
        e.setDecimals(decimals);
        e.setRange(-std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
        e.setValue(value);
        QCOMPARE(std::pair(e.text(), e.value()), std::pair(shown, kept));  // the value exactly
        // Entering the edit and leaving it again changes nothing.
        QSignalSpy changed(&e, &TNumberEdit::valueChanged);
        e.show();
        e.setFocus();
        QTest::keyClick(&e, Qt::Key_Return);
        QVERIFY(changed.isEmpty() && e.value() == kept);
    }

    void numberEditTakesTypedValuesAndSteps()
    {
        TNumberEdit e;
        e.setLocale(QLocale::c());
        e.setDecimals(-1);
        e.setRange(-1e6, 1e6);
        e.setSingleStep(0.1);
        e.show();
        e.setFocus();
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("500.25"));
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), 500.25);
        QTest::keyClick(&e, Qt::Key_Up);
        QCOMPARE(e.value(), double(500.35f));
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("-1,5"));  // a comma is a decimal separator, never dropped
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), -1.5);
        e.selectAll();
        QTest::keyClicks(&e, QStringLiteral("2e7"));  // outside the range: the value stays
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(e.value(), -1.5);
    }

    // Menu short-cuts work while a number field has the focus; the field keeps the clipboard
    // keys and select all.
    void numberEditLeavesShortcutsToTheWindow()
    {
        QWidget w;
        auto* e = new TNumberEdit(&w);
        QStringList fired;
        for (const char* keys : {"Ctrl+E", "Ctrl+Z", "Ctrl+Shift+Z", "Ctrl+A"}) {
            auto* a = new QAction(&w);
            a->setShortcut(QKeySequence(QString::fromLatin1(keys)));
            connect(a, &QAction::triggered, &w, [&fired, keys] { fired << QString::fromLatin1(keys); });
            w.addAction(a);
        }
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        e->setFocus();
        QTest::keyClick(e, Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(fired, QStringList({"Ctrl+E", "Ctrl+Z", "Ctrl+Shift+Z"}));
    }
};

TORVANE_TEST(ControlsTest)
#include "ControlsTest.moc"
