// The editor's real Qt dialogs, answered by key presses while they run modally.
#include "app/QtDialogs.h"
#include "widgets/Controls.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {
// Answers each modal dialog that opens with a key press, recording its parent window and
// its text (the message of a box, the label of an input prompt).
struct ModalAnswerer {
    QList<QWidget*> Parents;
    QStringList Texts;
    QList<bool> FixedPitch;  // of each text
    QStringList CutTitles;  // titles of dialogs narrower than their title bar needs
    QStringList Beneath;  // titles of dialogs the windows that stay on top may cover
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
            if (modal->width() < TitleBarWidth(*modal))
                CutTitles
                    << QStringLiteral("%1: %2 < %3").arg(modal->windowTitle()).arg(modal->width()).arg(TitleBarWidth(*modal));
            if (!modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
                Beneath << modal->windowTitle();
            auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label || (label = modal->findChild<QLabel*>()))
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
    // A dialog opens in front of the window its owner belongs to, even while another one is
    // active (the frame timer, on top of the main window, names itself); without an owner,
    // in front of the active window.
    void dialogsBelongToTheirOwner()
    {
        TQtDialogs qt;
        QWidget main, other;
        auto* inner = new QWidget(&other);
        for (QWidget* w : {&main, &other})
            w->show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QApplication::setActiveWindow(&main);
        ModalAnswerer answer;
        QString typed;
        {
            const DialogOwner owner(inner);
            QVERIFY(qt.InputQuery(QStringLiteral("Move"), QStringLiteral("Move to Frame:"), typed));
            qt.ShowMessage(QStringLiteral("Invalid Frame!"));
        }
        QApplication::setActiveWindow(&main);  // the dialogs took it
        qt.ShowMessage(QStringLiteral("Settings saved."));
        QCOMPARE(answer.Texts, QStringList({"Move to Frame:", "Invalid Frame!", "Settings saved."}));
        QCOMPARE(answer.Parents, QList<QWidget*>({&other, &other, &main}));
    }

    // Every box and prompt is wide enough to show its whole title, however short its text,
    // and stays above the frame timer and the file browser, which stay on top.
    void titlesFit()
    {
        TQtDialogs qt;
        ModalAnswerer answer;
        QString name = QStringLiteral("arm");
        QVERIFY(qt.InputQuery(QStringLiteral("Replace displayed name"), QStringLiteral("Enter new name for component:"), name));
        QVERIFY(qt.InputQuery(QStringLiteral("Move"), QStringLiteral("Move to Frame:"), name));
        qt.ShowMessage(QStringLiteral("OK"));
        QVERIFY(!qt.AskYesNo(QStringLiteral("Sure?"), QStringLiteral("A caption of some length, as questions have")));
        QCOMPARE(answer.Texts.size(), 4);
        QCOMPARE(answer.CutTitles.join(","), QString());
        QCOMPARE(answer.Beneath.join(","), QString());
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
