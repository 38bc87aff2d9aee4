#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "platform/FileUtil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

namespace {
// The command-line tools print their own messages only: what the platform says on its
// own account ("XDG_RUNTIME_DIR not set", font and plugin notes) is noise to a script
// reading stderr. Fatal messages still end the process as they would.
void QuietPlatform(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtFatalMsg) {
        fprintf(stderr, "%s\n", qPrintable(text));
        abort();
    }
}

// While the window's toolkit starts, a fatal message means it found no display to open
// the window on: said as such, and the program ends with 1 instead of an abort.
QtMessageHandler PlatformHandler = nullptr;
void NoDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        if (PlatformHandler)
            PlatformHandler(type, context, text);
        return;
    }
    fprintf(stderr,
            "torvane-anim: the editor needs a display to open its window (the commands, such as info or "
            "export, need none): %s\n",
            qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
    std::_Exit(1);
}

// The launcher's icon, from the icon theme as the desktop shows it; failing that (an
// installation under a prefix the theme does not search) the bitmaps installed with the
// program.
QIcon WindowIcon()
{
    QIcon installed;
    const QDir icons(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor"));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = icons.filePath(QStringLiteral("%1x%1/apps/torvane-anim.png").arg(size));
        if (QFileInfo::exists(file))
            installed.addFile(file, QSize(size, size));
    }
    return QIcon::fromTheme(QStringLiteral("torvane-anim"), installed);
}
}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << FileNameFromBytes(QByteArray(argv[i]));  // file names as the system has them
    const TCommandLine cmd = TCommandLine::Parse(args);

    if (cmd.Kind != TCommandLine::Mode::Gui) {
        qInstallMessageHandler(QuietPlatform);
        QTextStream out(stdout), err(stderr);
        if (!cmd.NeedsWidgets()) {
            QCoreApplication app(argc, argv);
            return RunCommand(cmd, out, err);
        }
        // The commands build the editor's window but never show it: no display needed,
        // except for OpenGL, which the offscreen platform lacks; without a display that
        // one falls back to offscreen too and says that it cannot draw.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", cmd.NeedsOpenGL() ? "xcb;offscreen" : "offscreen");
        QApplication app(argc, argv);
        return RunCommand(cmd, out, err);
    }

    if (const QString problem = HomeProblem(cmd); !problem.isEmpty()) {
        fprintf(stderr, "%s\n", qPrintable(problem));
        return ExitFileError;
    }
    PlatformHandler = qInstallMessageHandler(NoDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(PlatformHandler);
    // The application's name is the window's class (WM_CLASS), which the launcher names as
    // its StartupWMClass; the desktop file name is the Wayland app id. Both tie the window to
    // the launcher and its icon.
    QApplication::setApplicationName(QStringLiteral("Torvane Anim"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.torvane.anim"));
    QApplication::setWindowIcon(WindowIcon());
    TQtDialogs qtDialogs;
    setDialogs(&qtDialogs);

    TMainForm form(TAppPaths::FromHome(cmd.Home));
    QStringList files;
    for (const QString& f : cmd.Files)
        files << QFileInfo(f).absoluteFilePath();
    form.SetStartFiles(files);
    form.show();
    const int rc = QApplication::exec();
    // Everything the user keeps is written by now (settings on close, every file saved
    // atomically when it was saved). Tearing down the windows, the GL driver and the
    // display connection only costs time after the window is gone, so the process ends
    // here without it.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(rc);
}
