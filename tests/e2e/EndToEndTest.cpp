// The real executable on the demo, under an X server (xvfb-run), driven with real input
// through xdotool; what the views show is read back from the screen.
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString Xdotool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QImage Screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32); }

// The olive cell of the grid marks the current frame: the first pixel row holding a run of
// olive as wide as that cell (colour swatches in the tree are narrower).
QPoint FindOlive(const QImage& img, QRect within)
{
    for (int y = within.top(); y <= within.bottom(); ++y) {
        int run = 0;
        for (int x = within.left(); x <= within.right(); ++x) {
            run = img.pixel(x, y) == qRgb(0x80, 0x80, 0x00) ? run + 1 : 0;
            if (run == 20)
                return {x - run + 1, y};
        }
    }
    return {-1, -1};
}

// Starts the editor and finds its main window by its one-name title; "" when none showed.
QString StartEditor(QProcess& app, const QStringList& args, QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
{
    app.setProcessChannelMode(channels);
    app.start(QStringLiteral(TORVANE_EXE), args);
    if (!app.waitForStarted())
        return {};
    // A search can fail on a window that goes while it looks (a window manager taking over
    // the screen): it is tried again, on a busy machine for a while.
    QElapsedTimer waited;
    waited.start();
    QString window;
    while (window.isEmpty() && waited.elapsed() < 20000 && app.state() == QProcess::Running)
        window = Xdotool({"search", "--all", "--sync", "--onlyvisible", "--pid", QString::number(app.processId()), "--name",
                          "^Torvane Anim v0.98$"});
    return window;
}

// Ctrl+Q in the main window asks the exit question; Yes ends the process at once,
// cleanly. "" when it did, else what went wrong.
QString QuitEditor(QProcess& app, const QString& window)
{
    Xdotool({"windowfocus", "--sync", window, "key", "--clearmodifiers", "ctrl+q"});
    const QString ask = Xdotool({"search", "--all", "--sync", "--onlyvisible", "--pid", QString::number(app.processId()), "--name", "^Info$"});
    if (ask.isEmpty())
        return QStringLiteral("no exit question");
    // The question takes the keyboard by itself once it is on the screen (a key pressed
    // before that goes nowhere); then the answer goes to it, wherever the pointer rests.
    QElapsedTimer waited;
    waited.start();
    while (Xdotool({"getwindowfocus"}) != ask) {
        if (waited.elapsed() > 10000)
            return QStringLiteral("the exit question took no keyboard focus");
        QTest::qWait(50);
    }
    Xdotool({"key", "alt+y"});
    return app.waitForFinished(10000) && app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0
               ? QString()
               : QStringLiteral("the editor did not end cleanly: exit code %1").arg(app.exitCode());
}
}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs xdotool");
    }

    // A command-line tool prints the editor's messages only, none of the platform's.
    void toolsPrintNoPlatformNoise()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TORVANE_EXE), {"--home", QStringLiteral(TORVANE_EXAMPLES), "info", QStringLiteral(TORVANE_EXAMPLES "/walker.p3d")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()), QString());
    }

    // Without a display the editor says that it needs one and ends with 1, where the
    // toolkit would abort.
    void withoutADisplayItSaysSo()
    {
        QTemporaryDir home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TORVANE_EXE), {"--home", home.path()});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains("torvane-anim: the editor needs a display"), qPrintable(err));
    }

    // What the shell hands over is used as it is: file names that are not UTF-8 name the
    // files they name (o\376.rtm written, i\376.rtm read), and output that cannot be
    // written (a full disk) fails the command.
    void argumentsAndOutputAsTheSystemHasThem()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(QStringLiteral(TORVANE_EXAMPLES "/walker.rtm"), dir.filePath("in.rtm")));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral("/bin/sh"), {"-c", "\"$0\" frames in.rtm --at 1 -o \"$(printf 'o\\376.rtm')\" && "
                                                  "cp in.rtm \"$(printf 'i\\376.rtm')\" && "
                                                  "\"$0\" info \"$(printf 'i\\376.rtm')\" > /dev/null && "
                                                  "LC_ALL=C ls | od -An -c | tr -d ' \\n'",
                                            QStringLiteral(TORVANE_EXE)});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()), QString());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLatin1(p.readAllStandardOutput()), QStringLiteral("in.rtm\\ni376.rtm\\no376.rtm\\n"));

        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        for (const char* command : {"info in.rtm", "frames in.rtm --json"}) {
            p.start(QStringLiteral("/bin/sh"), {"-c", QStringLiteral("\"$0\" %1 > /dev/full").arg(QLatin1String(command)),
                                                QStringLiteral(TORVANE_EXE)});
            QVERIFY(p.waitForFinished(20000));
            QCOMPARE(p.exitCode(), 1);
            const QString err = QString::fromLocal8Bit(p.readAllStandardError());
            QVERIFY2(err.contains("the output could not be written: No space left on device"), qPrintable(err));
        }
    }

    void editorOnTheDemo()
    {
        QTemporaryDir home;
        QCOMPARE(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-R"), QStringLiteral(TORVANE_EXAMPLES "/."), home.path()}), 0);
        QProcess app;
        const QString window = StartEditor(app, {QStringLiteral("--home"), home.path(), home.filePath("walker.p3d"), home.filePath("walker.rtm")});
        QVERIFY2(!window.isEmpty(), "the main window with its one-name title");
        Xdotool({"windowmove", "--sync", window, "0", "0"});

        // The current frame's number sits on olive in the grid, in the left column.
        const QRect leftColumn(0, 0, 360, 1024);
        QImage before;
        QPoint frame0(-1, -1);
        QTRY_VERIFY_WITH_TIMEOUT((before = Screen(), frame0 = FindOlive(before, leftColumn)).x() >= 0, 10000);

        // A real click on the row of frame 5 makes it current: the mark moves down five
        // rows of 15 pixels and the views show another pose.
        const QPoint row5 = frame0 + QPoint(4, 5 * 15 + 4);
        Xdotool({"mousemove", "--sync", QString::number(row5.x()), QString::number(row5.y()), "click", "1"});
        QImage after;
        QTRY_VERIFY_WITH_TIMEOUT((after = Screen(), FindOlive(after, leftColumn).y() > frame0.y() + 4 * 15), 10000);
        const QRect views(370, 30, 800, 800);
        QTRY_VERIFY2_WITH_TIMEOUT((after = Screen(), before.copy(views) != after.copy(views)), "the views follow the frame",
                                  10000);

        // Ctrl+K switches the onion skin (on at first, one frame each side) off: the faint
        // neighbours leave the views, and the settings keep it off.
        Xdotool({"windowfocus", "--sync", window, "key", "--clearmodifiers", "ctrl+k"});
        QImage plain;
        QTRY_VERIFY2_WITH_TIMEOUT((plain = Screen(), plain.copy(views) != after.copy(views)), "the onion skin goes", 10000);

        QCOMPARE(QuitEditor(app, window), QString());  // settings saved
        // The demo's settings name its files relative to its folder, so that a copy of the
        // folder works wherever it is.
        QFile ini(home.filePath("TorvaneAnim.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY2(text.contains("\nLastRTM=walker.rtm\n") && text.contains("\nTranslationFile=Translation/walker.tsl\n"), text.constData());
        QVERIFY2(text.contains("\nOnionFrames=0\n"), text.constData());
        QVERIFY2(!text.contains(home.path().toUtf8()), text.constData());
    }

    // The window prints the readers' progress only when asked, by the variable or by Qt's
    // logging rules; what it prints then goes to stderr (or stdout) like any diagnostic.
    void readerProgressOnlyWhenAsked_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("printed");
        QTest::newRow("unasked") << QString() << QString() << false;
        QTest::newRow("switched off") << "TORVANE_DEBUG" << "0" << false;
        QTest::newRow("TORVANE_DEBUG=1") << "TORVANE_DEBUG" << "1" << true;
        QTest::newRow("logging rule") << "QT_LOGGING_RULES" << "torvane.debug=true" << true;
        QTest::newRow("other category") << "QT_LOGGING_RULES" << "qt.qpa.xcb.debug=false" << false;
    }
    void readerProgressOnlyWhenAsked()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(bool, printed);
        QTemporaryDir home;
        QCOMPARE(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-R"), QStringLiteral(TORVANE_EXAMPLES "/."), home.path()}), 0);
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TORVANE_DEBUG"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        if (!variable.isEmpty())
            env.insert(variable, value);
        app.setProcessEnvironment(env);
        const QString window = StartEditor(app, {QStringLiteral("--home"), home.path(), home.filePath("walker.p3d")}, QProcess::MergedChannels);
        QVERIFY(!window.isEmpty());
        QCOMPARE(QuitEditor(app, window), QString());
        const QString output = QString::fromLocal8Bit(app.readAll());
        // The model reader's first and last words, and the proxy set-up's.
        for (const char* line : {"reading p3d....\n", "#EndOfFile#\n", "head is proxyparent of proxy:lamp.01\n"})
            QVERIFY2(output.contains(QLatin1String(line)) == printed, qPrintable(line + QStringLiteral(" in:\n") + output));
    }

    // Under a window manager that frames windows, each start puts the window where the last
    // one left it, maximised or not: two restarts later the settings hold what they held.
    void windowKeepsItsPlace_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::newRow("normal") << false;
        QTest::newRow("maximised") << true;
    }
    void windowKeepsItsPlace()
    {
        QFETCH(bool, maximized);
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            QSKIP("needs openbox");
        QProcess wm;
        wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(wm.waitForStarted());
        QTest::qWait(500);  // it takes over the screen
        QTemporaryDir home;
        const QMap<QString, QString> saved{{"MainLeft", "120"}, {"MainTop", "90"}, {"MainWidth", "1000"},
                                           {"MainHeight", "700"}, {"Maximized", maximized ? "1" : "0"}};
        {
            QSettings ini(home.filePath("TorvaneAnim.ini"), QSettings::IniFormat);
            for (auto it = saved.begin(); it != saved.end(); ++it)
                ini.setValue("Layout/" + it.key(), it.value());
        }
        const QSize screen = QGuiApplication::primaryScreen()->size();
        for (int run = 0; run < 3; ++run) {
            QProcess app;
            const QString window = StartEditor(app, {QStringLiteral("--home"), home.path()});
            QVERIFY(!window.isEmpty());
            // The contents sit below the title bar, inside the screen; maximised they fill
            // most of it.
            QString geometry;
            QTRY_VERIFY_WITH_TIMEOUT((geometry = Xdotool({"getwindowgeometry", window})).contains(
                                         maximized ? QStringLiteral("Geometry: %1x").arg(screen.width())
                                                   : QStringLiteral("Geometry: 1000x700")),
                                     10000);
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)")).match(geometry);
            const int x = m.captured(1).toInt(), y = m.captured(2).toInt();
            QVERIFY2(m.hasMatch() && (maximized || (x >= 120 && x < 130 && y > 90 && y < 140)), qPrintable(geometry));
            Xdotool({"windowactivate", "--sync", window});
            QCOMPARE(QuitEditor(app, window), QString());
            const QSettings ini(home.filePath("TorvaneAnim.ini"), QSettings::IniFormat);
            QMap<QString, QString> now;
            for (auto it = saved.begin(); it != saved.end(); ++it)
                now[it.key()] = ini.value("Layout/" + it.key()).toString();
            QCOMPARE(now, saved);
        }
        wm.terminate();
        wm.waitForFinished(5000);
    }
};

TORVANE_TEST(EndToEndTest)
#include "EndToEndTest.moc"
