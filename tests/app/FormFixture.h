#pragma once
// A main window in a temporary home folder, with scripted dialogs, shown offscreen.
#include "app/Main.h"
#include "support/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

struct FormFixture {
    QTemporaryDir Home;
    ScriptedDialogs Dialogs;
    std::unique_ptr<TMainForm> Form;

    QString Path(const QString& name) const { return QDir(Home.path()).filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(Path(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    QByteArray Read(const QString& name) const
    {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    TMainForm& Start()
    {
        Form = std::make_unique<TMainForm>(TAppPaths::FromHome(Home.path()));
        Form->show();
        return *Form;
    }
    // Closes the window answering the exit question with yes.
    void CloseYes()
    {
        Dialogs.Answers.enqueue(true);
        Form->close();
    }
};
