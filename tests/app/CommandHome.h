#pragma once
// The window-free commands run in-process with --home set to a temporary folder.
#include "TestModels.h"
#include "app/CommandLine.h"
#include "filebuild/RtmBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <cmath>
#include <limits>

struct CommandHome {
    QTemporaryDir Dir;
    struct Result {
        int Code = -1;
        QString Out, Err;
    };

    QString Path(const QString& name) const { return Dir.filePath(name); }
    bool Write(const QString& name, const QByteArray& bytes) const { return WriteBytesFile(Path(name), bytes); }
    QByteArray Read(const QString& name) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A command run with --home home; %1 in an argument stands for that folder.
    static Result RunIn(const QString& home, QStringList args)
    {
        Result r;
        QTextStream out(&r.Out), err(&r.Err);
        r.Code = RunCommand(TCommandLine::Parse(QStringList{"--home", home} + args.replaceInStrings("%1", home)), out, err);
        out.flush();
        err.flush();
        return r;
    }
    Result Run(QStringList args) const { return RunIn(Dir.path(), std::move(args)); }
    // The robot, its lamp, the room, a linking file, and settings naming a translation and
    // colours; false when a file could not be written.
    bool WriteRobot() const
    {
        return Robot().WriteTo(Path("robot.p3d")) && Lamp().WriteTo(Path("lamp.p3d")) && Room().WriteTo(Path("room.p3d")) &&
               Write("LinkData/robot.lpv", RobotLinks()) &&
               Write("t.tsl", "[Translation]\nbody=Torso\nARM=Upper arm\nhand=Hand in the file\n") &&
               Write("c.clr", "[ColorDef]\nbody=255\nhand=$00FF00\n") &&
               Write("TorvaneAnim.ini",
                     "[Settings]\nTranslationFile=" + Path("t.tsl").toUtf8() + "\nColorFile=" + Path("c.clr").toUtf8());
    }
};

// An animation of these components that holds every one at rest in every frame.
inline RtmBuild::TFile Still(const std::vector<QByteArray>& names, int frames)
{
    RtmBuild::TFile f = RtmBuild::TFile::Regular(names, frames);
    for (RtmBuild::TFrame& frame : f.Frames)
        for (RtmBuild::TRecord& r : frame.Records)
            r.Matrix = RtmBuild::Identity;
    return f;
}

// Turned about x, y or z by component (so that an average of components shears), scaled
// evenly and moved: what glTF holds exactly.
inline RtmBuild::TMatrix Turned(int frame, int component)
{
    const double a = 0.7 * frame + 0.3 * component, c = std::cos(a), n = std::sin(a);
    const float s = 1 + 0.25f * float(frame) - 0.01f * float(component % 10);
    const std::array<double, 9> r = component % 3 == 0   ? std::array<double, 9>{1, 0, 0, 0, c, n, 0, -n, c}
                                    : component % 3 == 1 ? std::array<double, 9>{c, 0, -n, 0, 1, 0, n, 0, c}
                                                         : std::array<double, 9>{c, n, 0, -n, c, 0, 0, 0, 1};
    RtmBuild::TMatrix m{};
    for (size_t k = 0; k < 9; ++k)
        m[k] = float(r[k]) * s;
    m[9] = 0.5f * float(frame), m[10] = -0.1f * float(component % 7), m[11] = 0.25f;
    return m;
}

// The robot with a NaN point in the body (point 3's Y) and an infinite one in the leg
// (point 27's Z).
inline TP3dBuilder NotFiniteRobot()
{
    TP3dBuilder b = Robot();
    b.Points[3].Y = std::numeric_limits<float>::quiet_NaN();
    b.Points[27].Z = -std::numeric_limits<float>::infinity();
    return b;
}
