#pragma once
// A main window in a temporary home folder, with scripted dialogs, shown offscreen. Tests
// drive it as a user does, through its controls (found by object name) and its menu
// commands, and look at what the editor holds.
#include "anim/AnimController.h"
#include "anim/Rtm.h"
#include "app/Main.h"
#include "editor/Editor.h"
#include "modelforms/ComponentTree.h"
#include "TestModels.h"
#include "app/FileBrowser.h"
#include "app/FrameTimer.h"
#include "widgets/Chart.h"
#include "filebuild/RtmBuilder.h"
#include "support/Controls.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
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
    return Ctl<TChart>(f, "FrontView1")->Items().LineCount();
}

// The window's parts as the user reaches them.
inline const TAnimDocument& Doc(const TMainForm& f) { return f.Editor().Document(); }
// The animation as a save would write it.
inline QByteArray Saved(const TMainForm& f)
{
    QByteArray bytes;
    WriteRtm(Doc(f), bytes);
    return bytes;
}
inline QAction* Act(const TMainForm& f, const char* name) { return Ctl<QAction>(f, name); }
inline TComponentTree* Tree(const TMainForm& f) { return Ctl<TComponentTree>(f, "TV_EditComponents"); }
inline int Node(const TMainForm& f, const char* name) { return f.Editor().Forest().Find(QLatin1String(name)); }
// Status bar panel 0..5 of the main window (the frame timer has panels of its own).
inline QString StatusText(const TMainForm& f, int panel)
{
    return Ctl<QLabel>(*f.statusBar(), qPrintable(QStringLiteral("StatusPanel%1").arg(panel)))->text();
}
// The result of the last command, in the main window's status bar beside the hints.
inline QString StatusNote(const TMainForm& f)
{
    const QLabel* note = Ctl<QLabel>(*f.statusBar(), "StatusNote");
    return note->isVisible() ? note->text() : QString();
}
// The secondary windows, the main window's own.
inline TF_FileBrowser* Browser(const TMainForm& f) { return Ctl<TF_FileBrowser>(f, "F_FileBrowser"); }
inline TF_FrameManipulator* FrameTimer(const TMainForm& f) { return Ctl<TF_FrameManipulator>(f, "F_FrameManipulator"); }
// "Accept" of the component selection window.
inline QPushButton* AcceptButton(const TMainForm& f)
{
    return Ctl<QPushButton>(*Ctl<QWidget>(f, "F_SelectComponents"), "AbColBitBtn1");
}
// Playback runs (its timer turns).
inline bool Playing(const TMainForm& f) { return Ctl<QTimer>(f, "PlayTimer")->isActive(); }

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
    // A menu command that asks for a file, given it.
    void TriggerWithFile(const char* action, const QString& path)
    {
        Dialogs.Files.enqueue(path);
        Act(*Form, action)->trigger();
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
    const TSelection* Sel(const char* name) const { return Form->Editor().FindComponent(QLatin1String(name)); }
    // Adds the component's node to the tree's selection.
    void Select(const char* name) const { Tree(*Form)->SetNodeSelected(Node(*Form, name), true); }
};
