#pragma once
// A main window in a temporary home folder, with scripted dialogs, shown offscreen.
#include "app/Main.h"
#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"
#include "filebuild/RtmBuilder.h"
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
    void Write(const QString& name, const QByteArray& bytes) const { WriteBytesFile(Path(name), bytes); }
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
    // Writes an animation and loads it, messages cleared.
    void LoadAnim(const QString& name, const RtmBuild::TFile& file)
    {
        Write(name, RtmBuild::Build(file));
        Form->LoadAnimation(Path(name));
        Dialogs.Messages.clear();
    }
    // Loads robot.p3d: boxes body, arm, hand and leg (35 points with the triangle) and a
    // triangle "proxy:lamp.01" (right angle at (0, 2, 0), legs along +Z and +Y) for lamp.p3d.
    // Linked: arm and leg under body, hand under arm.
    void LoadRobot(bool linked = false)
    {
        TP3dBuilder b, lamp;
        b.AddSelection("body", b.AddBox(-1, 0, -1, 1, 2, 1));
        b.AddSelection("arm", b.AddBox(1, 1, 0, 2, 1.5f, 0.5f));
        b.AddSelection("hand", b.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
        b.AddSelection("leg", b.AddBox(-0.5f, -2, -0.5f, 0, 0, 0));
        b.AddSelection("proxy:lamp.01", b.AddTriangle(0, 2, 0, 0, 2, 1, 0, 4, 0));
        lamp.AddBox(0, 0, 0, 0.2f, 0.2f, 0.2f);
        b.WriteTo(Path("robot.p3d"));
        lamp.WriteTo(Path("lamp.p3d"));
        if (linked)
            Write("LinkData/robot.lpv", RobotLinks());
        Form->LoadModel(Path("robot.p3d"));
    }
    static QByteArray RobotLinks()
    {
        TLpvBuilder l;
        l.Add("body", "", 0, 1, 0);
        l.Add("arm", "body", 1, 1.25f, 0.25f);
        l.Add("hand", "arm", 2, 1.25f, 0.25f);
        l.Add("leg", "body", -0.25f, 0, -0.25f);
        return l.Build();
    }
    TSelection* Sel(const char* name) const { return TMainForm::SelectionOf(Form->FindNodeByName(name)); }
};
