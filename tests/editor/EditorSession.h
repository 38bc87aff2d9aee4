#pragma once
// What the editor's tests share: the robot's files in a folder, a change of the options,
// and the flags of the changes an editor reported.
#include "app/TestModels.h"
#include "editor/Editor.h"

#include <QDir>
#include <QSignalSpy>
#include <functional>

// robot.p3d, the lamp its proxy names, and the linking file under LinkData.
inline bool WriteRobot(const QDir& dir)
{
    return Robot().WriteTo(dir.filePath("robot.p3d")) && Lamp().WriteTo(dir.filePath("lamp.p3d")) &&
           WriteBytesFile(dir.filePath("LinkData/robot.lpv"), RobotLinks());
}

inline void SetOptions(TEditor& e, const std::function<void(TEditorOptions&)>& set)
{
    TEditorOptions o = e.Options();
    set(o);
    e.SetOptions(o);
}

// The flags of every Changed the spy saw.
inline unsigned Reported(const QSignalSpy& spy)
{
    unsigned seen = 0;
    for (const QList<QVariant>& signal : spy)
        seen |= signal.at(0).toUInt();
    return seen;
}
