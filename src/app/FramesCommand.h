#pragma once
// torvane-anim frames ANIM.rtm OP... [--json] [-o OUT.rtm]: the editor's frame operations
// on an animation, applied left to right through the animation controller as the frame
// list and the frame timer do them, without a window.
#include <QString>
#include <QStringList>
#include <vector>

class QTextStream;
struct TCommandLine;

struct TFrameOp {
    enum class Kind {
        At,           // --at N: make frame N current (clamped)
        InsertAfter,  // --insert-after
        Delete,       // --delete: the current frame
        Retime,       // --retime N=TEXT: TEXT typed into frame N's time cell, committed
        Select,       // --select F-L: the frame timer's selection
        Linearize,    // --linearize
        Mirror,       // --mirror
        Move,         // --move T
        Copy,         // --copy T
        DeleteRange,  // --delete-range: the timer's Delete answered Yes
        Undo,         // --undo: the last step of the chain so far undone
        Redo,         // --redo
    };
    Kind Op = Kind::At;
    QString Name;  // as given, for messages
    int N = 0;     // --at, --retime frame, --select first
    int Last = 0;  // --select last
    QString Text;  // --retime text, --move/--copy target as typed into the box
};

// When args[i] is a frame operation: appends it (taking its value, i then points at the
// value) and returns true; a malformed one sets error. Otherwise returns false.
bool ParseFrameOp(const QStringList& args, qsizetype& i, std::vector<TFrameOp>& ops, QString& error);

// Runs the command; returns the exit code: 0 done, 1 the file could not be read or written
// or a message stopped an operation, 2 an operation that does not apply here.
int RunFramesCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err);
