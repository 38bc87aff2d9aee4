#pragma once
// torvane-anim frames ANIM.rtm OP... [--json] [-o OUT.rtm]: the editor's frame operations
// on an animation, applied left to right through the animation controller as the frame
// list and the frame timer do them, without a window.
#include <QString>
#include <vector>

class QTextStream;
struct TCommandLine;

// One operation of the chain; the option table (CommandLineParse.cpp) names the option
// that gives each and what it does.
struct TFrameOp {
    enum class Kind {
        At,
        InsertAfter,
        Delete,
        Retime,
        Select,
        Linearize,
        Mirror,
        Move,
        Copy,
        DeleteRange,
        Undo,
        Redo,
        Flip,
        FlipOffset
    };
    Kind Op = Kind::At;
    QString Name;  // as given, for messages
    int N = 0;  // --at, --retime frame, --select first
    int Last = 0;  // --select last
    QString Text;  // --retime text, --move/--copy target as typed into the box
};

// Runs the command; returns the exit code: 0 done, 1 the file could not be read or written
// or a message stopped an operation, 2 an operation that does not apply here.
int RunFramesCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err);
