#pragma once
// The window-free commands run in-process with --home set to a temporary folder.
#include "TestModels.h"
#include "app/CommandLine.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

struct CommandHome {
    QTemporaryDir Dir;
    struct Result { int Code = -1; QString Out, Err; };

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
               Write("LinkData/robot.lpv", RobotLinks()) && Write("t.tsl", "[Translation]\nbody=Torso\nARM=Upper arm\nhand=Hand in the file\n") &&
               Write("c.clr", "[ColorDef]\nbody=255\nhand=$00FF00\n") &&
               Write("TorvaneAnim.ini", "[Settings]\nTranslationFile=" + Path("t.tsl").toUtf8() + "\nColorFile=" + Path("c.clr").toUtf8());
    }
};
