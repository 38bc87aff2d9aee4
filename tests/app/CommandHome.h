#pragma once
// The window-free commands run in-process with --home set to a temporary folder.
#include "app/CommandLine.h"
#include "filebuild/P3dBuilder.h"

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
    // %1 in an argument stands for the home folder.
    Result Run(QStringList args) const
    {
        Result r;
        QTextStream out(&r.Out), err(&r.Err);
        r.Code = RunCommand(TCommandLine::Parse(QStringList{"--home", Dir.path()} + args.replaceInStrings("%1", Dir.path())), out, err);
        out.flush();
        err.flush();
        return r;
    }
};
