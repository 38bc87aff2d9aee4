#include "app/AidsMenu.h"
#include "editor/Editor.h"
#include "pose/OnionSkin.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

TAidsMenu::TAidsMenu(TEditor& editor, QMenuBar* bar, QMenu* edit) : QObject(bar), Editor_(editor)
{
    View_ = bar->addMenu(QStringLiteral("&View"));
    View_->setObjectName(QStringLiteral("MenuView"));
    OnionSkin1 = View_->addAction(QStringLiteral("&Onion Skin"));
    OnionSkin1->setObjectName(QStringLiteral("OnionSkin1"));
    OnionSkin1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    OnionSkin1->setCheckable(true);
    OnionSkin1->setStatusTip(QStringLiteral("The frames before (blue) and after (orange) the current one, faint under the pose"));
    connect(OnionSkin1, &QAction::triggered, this, [this](bool on) { Editor_.SetOnionSkin(on); });

    OnionFrames_ = View_->addMenu(QStringLiteral("Onion &Frames"));
    OnionFrames_->setObjectName(QStringLiteral("MenuOnionFrames"));
    Counts_ = new QActionGroup(this);
    Counts_->setExclusive(true);
    for (int n = 1; n <= MaxOnionFrames; ++n) {
        QAction* a = OnionFrames_->addAction(QStringLiteral("&%1 on each side").arg(n));
        a->setObjectName(QStringLiteral("OnionFrames%1").arg(n));
        a->setCheckable(true);
        a->setData(n);
        Counts_->addAction(a);
        connect(a, &QAction::triggered, this, [this, n] { Editor_.SetOnionCount(n); });
    }

    View_->addSeparator();
    MotionPath1 = View_->addAction(QStringLiteral("&Motion Path"));
    MotionPath1->setObjectName(QStringLiteral("MotionPath1"));
    MotionPath1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    MotionPath1->setCheckable(true);
    MotionPath1->setStatusTip(QStringLiteral("The path of the selected component's pivot over the animation"));
    connect(MotionPath1, &QAction::triggered, this,
            [this](bool on) { Editor_.EditOptions([on](TEditorOptions& o) { o.PathOfCurrent = on; }); });

    edit->addSeparator();
    FlipPose1 = edit->addAction(QStringLiteral("&Flip Pose"));
    FlipPose1->setObjectName(QStringLiteral("FlipPose1"));
    FlipPose1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    FlipPose1->setStatusTip(QStringLiteral("The current frame's pose mirrored left and right"));
    connect(FlipPose1, &QAction::triggered, this, [this] { FlipPose1Click(); });
    connect(&Editor_, &TEditor::UndoStateChanged, this, [this] { ShowOffered(); });
    connect(&Editor_, &TEditor::Changed, this, [this](unsigned what) {
        if (what & ChangeOptions)
            ShowOptions();
        if (what & (ChangeDocument | ChangeEditMode))
            ShowOffered();
    });
    ShowOptions();
    ShowOffered();
}

void TAidsMenu::ShowOptions()
{
    const TEditorOptions& o = Editor_.Options();
    OnionSkin1->setChecked(o.OnionFrames > 0);
    for (QAction* a : Counts_->actions())
        a->setChecked(a->data().toInt() == Editor_.OnionCount());
    MotionPath1->setChecked(o.PathOfCurrent);
}

void TAidsMenu::ShowOffered()
{
    FlipPose1->setEnabled(Editor_.FlipPoseOffered());
}

void TAidsMenu::FlipPose1Click()
{
    const TTimingResult r = Editor_.FlipPose();
    if (r.Done())
        emit Note(r.Message);
}
