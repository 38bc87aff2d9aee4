#pragma once
// The animator's aids in the main window's menus: View > "Onion Skin" (Ctrl+K) with the
// number of frames it shows on each side, View > "Motion Path" (Ctrl+M) of the component
// the tree holds current, and Edit > "Flip Pose" (Ctrl+F) on the current frame. The actions
// hand what the user chose to the editor's operations and show the editor's options as
// they are, however they changed (settings, the command's own keys).
#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class TEditor;

class TAidsMenu : public QObject {
    Q_OBJECT
public:
    // Appends the View menu to bar and "Flip Pose" to edit.
    TAidsMenu(TEditor& editor, QMenuBar* bar, QMenu* edit);

signals:
    // What a flip did, for the status bar.
    void Note(const QString& text);

private:
    // The check marks as the editor's options have them.
    void ShowOptions();
    // "Flip Pose" is offered as the editor says.
    void ShowOffered();
    void FlipPose1Click();

    TEditor& Editor_;
    QMenu* View_ = nullptr;
    QAction* OnionSkin1 = nullptr;
    QMenu* OnionFrames_ = nullptr;
    QActionGroup* Counts_ = nullptr;
    QAction* MotionPath1 = nullptr;
    QAction* FlipPose1 = nullptr;
};
