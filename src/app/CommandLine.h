#pragma once
// The command line: `torvane-anim [--home DIR] [FILE.p3d] [FILE.rtm]` opens the editor;
// `torvane-anim info FILE [--json]` prints what the readers make of a file, no window.
#include <QStringList>

class QTextStream;

struct TCommandLine {
    enum class Mode { Gui, Info, Usage };
    Mode Kind = Mode::Gui;
    QString Home;
    QStringList Files;
    bool Json = false;
    QString Error;  // set for Mode::Usage

    static TCommandLine Parse(const QStringList& args);  // args without the program name
};

// Runs `info`; returns the exit code (0 ok, 1 file refused, 2 usage).
int RunInfoCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err);
