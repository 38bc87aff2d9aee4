#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const TCommandLine cmd = TCommandLine::Parse(args);

    if (cmd.Kind != TCommandLine::Mode::Gui) {
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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane Anim"));
    QApplication::setApplicationDisplayName(QStringLiteral("Torvane Anim"));
    TQtDialogs qtDialogs;
    setDialogs(&qtDialogs);

    TMainForm form(TAppPaths::FromHome(cmd.Home));
    form.show();
    // Files named on the command line open after start-up, models first.
    for (const QString& f : cmd.Files)
        if (f.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive))
            form.LoadModel(QFileInfo(f).absoluteFilePath());
    for (const QString& f : cmd.Files)
        if (!f.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive))
            form.LoadAnimation(QFileInfo(f).absoluteFilePath());
    const int rc = QApplication::exec();
    setDialogs(nullptr);
    return rc;
}
