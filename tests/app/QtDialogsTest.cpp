// The editor's real Qt dialogs, answered by key presses while they run modally.
#include "anim/AnimController.h"
#include "app/QtDialogs.h"
#include "support/TestMain.h"
#include "view3d/Framemanipulator.h"

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
// Answers each modal dialog that opens with a key press, recording its parent window and
// its text (the message of a box, the label of an input prompt).
struct ModalAnswerer {
    QList<QWidget*> Parents;
    QStringList Texts;
    QList<bool> FixedPitch;  // of each text
    QTimer Poll;
    QPointer<QWidget> Last;

    ModalAnswerer()
    {
        Poll.setInterval(20);
        QObject::connect(&Poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == Last)
                return;
            Last = modal;
            Parents << modal->parentWidget();
            if (auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
                Texts << label->text(), FixedPitch << QFontInfo(label->font()).fixedPitch();
            else if (auto* label = modal->findChild<QLabel*>())
                Texts << label->text(), FixedPitch << QFontInfo(label->font()).fixedPitch();
            QTest::keyClick(modal, Qt::Key_Return);  // OK with whatever the prompt holds
        });
        Poll.start();
    }
};
}  // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT
private slots:
    // Dialogs raised from the frame timer, which stays on top of the main window, belong to
    // the timer even while another window is active: otherwise they open behind it.
    void timerDialogsBelongToTheTimer()
    {
        TQtDialogs qt;
        Dialogs* previous = setDialogs(&qt);
        TAnimController anim;
        anim.Doc.AnimSelections.Add(QStringLiteral("arm"));
        anim.Doc.AnimFrames.Reset(1);
        for (int i = 0; i < 4; ++i)
            anim.Doc.AnimFrames.Append(float(i) / 3, std::vector<TAnimEntry>(1));
        anim.SetStepCount(4);
        anim.ValidateFrames();
        QWidget main;
        main.resize(300, 200);
        main.show();
        TF_FrameManipulator timer(anim, &main);
        timer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&timer));
        QApplication::setActiveWindow(&main);

        timer.SelectAll1->trigger();
        QVERIFY(timer.findChild<QToolButton*>(QStringLiteral("B_Move"))->isEnabled());
        ModalAnswerer answer;
        QTest::mouseClick(timer.findChild<QToolButton*>(QStringLiteral("B_Move")), Qt::LeftButton);
        setDialogs(previous);
        // The prompt, answered OK with nothing typed, then the message that says so.
        QCOMPARE(answer.Texts, QStringList({QStringLiteral("Move to Frame:"), QStringLiteral("Invalid Frame!")}));
        QCOMPARE(answer.Parents, QList<QWidget*>({&timer, &timer}));
    }

    // A report that pads names into a column lines up only in a fixed-pitch font; other
    // messages keep the usual one.
    void columnReportInFixedPitch()
    {
        TQtDialogs qt;
        ModalAnswerer answer;
        const QString report = QStringLiteral("following Animation Components were not found in the Model:\n ") +
                               QStringLiteral("floor").leftJustified(32) + QStringLiteral(" -> Floor\n ") +
                               QStringLiteral("w").leftJustified(32) + QStringLiteral(" -> Wide");
        qt.ShowMessage(report);
        qt.ShowMessage(QStringLiteral("Invalid Frame!"));
        QCOMPARE(answer.Texts, QStringList({report, QStringLiteral("Invalid Frame!")}));
        QCOMPARE(answer.FixedPitch, QList<bool>({true, false}));
    }
};

TORVANE_TEST(QtDialogsTest)
#include "QtDialogsTest.moc"
