#pragma once
// A main window in a temporary home folder, with scripted dialogs, shown offscreen.
#include "app/Main.h"
#include "modelforms/ComponentTree.h"
#include "TestModels.h"
#include "widgets/Chart.h"
#include "filebuild/RtmBuilder.h"
#include "support/Controls.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTemporaryDir>
#include <memory>

// The views draw a change on the next turn of the event loop: this lets it turn.
inline void Settle() { QCoreApplication::processEvents(); }
// The refreshes so far and the front view's lines, once the views drew what is pending.
inline int Refreshed(const TMainForm& f)
{
    Settle();
    return f.RefreshCount();
}
inline int FrontLines(const TMainForm& f)
{
    Settle();
    return f.Panes.FrontView1->Items().LineCount();
}

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
    // Loads the robot and its lamp, linked or not.
    void LoadRobot(bool linked = false)
    {
        Robot().WriteTo(Path("robot.p3d"));
        Lamp().WriteTo(Path("lamp.p3d"));
        if (linked)
            Write("LinkData/robot.lpv", RobotLinks());
        Form->LoadModel(Path("robot.p3d"));
    }
    // The linked robot, and an animation of arm and hand ("walk.rtm") whose frames hold
    // the identity or RtmBuild's sample values; the window active.
    TMainForm& StartWalk(int frames = 4, bool identity = false)
    {
        Start();
        LoadRobot(true);
        RtmBuild::TFile anim = RtmBuild::TFile::Regular({"arm", "hand"}, frames);
        if (identity)
            for (auto& frame : anim.Frames)
                for (auto& r : frame.Records)
                    r.Matrix = RtmBuild::Identity;
        LoadAnim("walk.rtm", anim);
        QApplication::setActiveWindow(Form.get());
        if (!QTest::qWaitForWindowActive(Form.get()))
            qWarning("main window not active");
        return *Form;
    }
    const TSelection* Sel(const char* name) const { return Form->FindComponent(name); }
    // Adds the component's node to the tree's selection.
    void Select(const char* name) const { Form->TV_EditComponents->SetNodeSelected(Form->FindNodeByName(name), true); }
};
