#pragma once
// The command line. Without a command it opens the editor:
//   torvane-anim [--home DIR] [FILE.p3d] [FILE.rtm]
// The commands work without a window on screen and exit when done:
//   info FILE.rtm [--json]             what the RTM reader makes of an animation
//   info MODEL.p3d [--json]            the model as the editor loads it: counts, components
//   check MODEL.p3d ANIM.rtm           animated components the model lacks
//   frames ANIM.rtm OP... [--json] [-o OUT.rtm]   frame operations (FramesCommand.h)
//   export MODEL.p3d [ANIM.rtm] [--frame N] [--offset X,Y,Z] [--no-total-move]
//          [--environment FILE.p3d [--proxy NAME]] [--format obj|gltf|glb] [--play-time S]
//          [--transparent] -o OUT.obj|OUT.gltf|OUT.glb
//   render MODEL.p3d [ANIM.rtm] [--frame N] [--offset X,Y,Z] [--no-total-move]
//          [--environment FILE.p3d [--proxy NAME]] [--view front|left|top|3d|all] [--size WxH]
//          [--onion N] [--path COMPONENT] -o OUT.png
//   new MODEL.p3d COMPONENT... -o OUT.rtm   the animation "New Animation..." builds
//   import MODEL.p3d ANIM.gltf|ANIM.glb [--animation N|NAME] [--fps N] -o OUT.rtm
//                                      a glTF animation of the model's components (GltfImport.h)
//   --version                          the version and the folders in use (Paths.h)
// export and render take --time T (0..1) in place of --frame: the pose playback shows then.
// render --view 3d and --view all need a display with OpenGL.
// --home DIR replaces the executable's folder or the user's folders (settings file and
// data folders).
#include "app/FramesCommand.h"
#include "pose/GltfExport.h"
#include "pose/ViewGeometry.h"

#include <QStringList>
#include <array>
#include <optional>

class QTextStream;

struct TCommandLine {
    enum class Mode { Gui, Info, Check, Export, Render, New, Frames, Import, Version, Usage };
    Mode Kind = Mode::Gui;
    QString Home;
    QStringList Files;
    bool Json = false;
    std::optional<int> Frame;
    std::optional<double> Time;  // --time: 0 .. 1 of one pass of playback
    std::optional<std::array<double, 3>> Offset;
    bool NoTotalMove = false;
    TViewKind View = TViewKind::Front;
    // render: one orthographic view (View), the 3D view, or all four laid out as in the window.
    enum class Picture { View2d, View3d, All };
    Picture Render = Picture::View2d;
    QString Environment;  // --environment
    QString Proxy;  // --proxy; empty: the first proxy selection
    int Width = 600;
    int Height = 450;
    int Onion = 0;  // render --onion: frames before and after the current one
    QString MotionPath;  // render --path: the component whose motion path is drawn
    QString Output;
    std::optional<TExportFormat> Format;  // export: --format; else by the output's extension
    std::optional<double> PlayTime;  // export to glTF: seconds one pass takes
    bool Transparent = false;  // export to glTF: materials blended as the 3D view's
    QString Animation;  // import: the animation's name or number; empty: the first
    std::optional<double> Fps;  // import: frames per second in place of the key times
    std::vector<TFrameOp> FrameOps;  // frames: in the order given
    QString Error;  // set for Mode::Usage

    static TCommandLine Parse(const QStringList& args);  // args without the program name

    // info on a model rather than on an animation (by the file's extension).
    bool IsModelInfo() const;
    // Whether the command builds the editor's window (it needs a QApplication).
    bool NeedsWidgets() const;
    // Whether it draws with OpenGL (it needs a display that offers it).
    bool NeedsOpenGL() const;
};

// The usage text printed after a usage error.
QString UsageText();

// Exit codes of the commands.
enum TExitCode { ExitOk = 0, ExitFileError = 1, ExitUsage = 2, ExitMissingComponents = 3 };

// Why --home cannot be used (it names no folder), as a message; empty when it can or is
// not given.
QString HomeProblem(const TCommandLine& cmd);

// Runs a command (any mode but Gui); returns the exit code. Results go to out, messages
// to err; output that cannot be written is a failure (1, a message). Commands other than
// info on an animation need a QApplication.
int RunCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err);

// Runs info on an animation or a model; returns the exit code (0 ok, 1 file refused).
int RunInfoCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err);
