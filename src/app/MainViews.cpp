// The pose of the current frame and the one display refresh of the main window.
#include "app/Filebrowser.h"
#include "app/Main.h"
#include "view3d/Topenglqelpanel.h"
#include "view3d/View3d.h"
#include "model/ComponentTree.h"
#include "model/P3dmodell.h"
#include "platform/DebugOut.h"
#include "platform/Dialogs.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Controls.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QOpenGLContext>
#include <QPushButton>


QWidget* TMainForm::CreateView(const QString& name, QWidget* parent)
{
    auto* view = new QFrame(parent);
    view->setObjectName(name);
    view->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    view->setStyleSheet(QStringLiteral("QFrame{background:black}"));
    view->setMinimumSize(50, 50);
    return view;
}

namespace {
// Whether this display can give us a GL context at all. Without one (a display without
// GLX, the offscreen platform) a GL widget in the window would bring the whole window
// down when it is drawn, so the 3D view is left out and says why.
bool OpenGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return available;
}
}  // namespace

void TMainForm::Attach3dView(QBoxLayout* layout)
{
    if (!OpenGLAvailable()) {
        auto* note = new QLabel(QStringLiteral("OpenGL is not available on this display."), P_3dArea);
        note->setObjectName(QStringLiteral("P_3dViewMissing"));
        note->setAlignment(Qt::AlignCenter);
        note->setStyleSheet(QStringLiteral("QLabel{background:black;color:#c0c0c0}"));
        layout->addWidget(note, 1);
        return;
    }
    P_3dView = new TOpenGLQelPanel(P_3dArea);
    P_3dView->setObjectName(QStringLiteral("P_3dView"));
    P_3dView->SetHint(QStringLiteral("|LMB = Rotate; RMB = Pan; LMB+Ctrl = Zoom"));
    P_3dView->OnInit = [](TOpenGLQelPanel*) { P_3dViewInit(); };
    P_3dView->OnResize = [](TOpenGLQelPanel* panel) { P_3dViewResize(panel->GLWidth(), panel->GLHeight()); };
    P_3dView->OnPaint = [](TOpenGLQelPanel*) { P_3dViewPaint(); };
    layout->addWidget(P_3dView, 1);
}

void TMainForm::ApplyFrame(int step)
{
    if (Doc.ShuttingDown)
        return;
    if (step < 0 || step >= Doc.FrameCount()) {
        dialogs().ShowMessage(QStringLiteral("Invalid ActAnimStep!"));
        return;
    }
    const TAnimFrame& frame = Doc.AnimFrames[static_cast<size_t>(step)];
    for (int i = 0; i < Doc.AnimSelections.Count(); ++i) {
        QTreeWidgetItem* node = FindNodeByName(Doc.AnimSelections[i]);
        if (!node) {
            DebugOut(Doc.AnimSelections[i] + QStringLiteral(" not found!"));
            continue;
        }
        const TAnimEntry* entry = nullptr;
        for (const TAnimEntry& e : frame.Entries)
            if (e.NameIndex == i)
                entry = &e;  // the last one counts
        if (!entry) {
            dialogs().ShowMessage(QStringLiteral("AnimEntry not found!"));
            return;
        }
        SelectionOf(node)->ActTransform = Widen(entry->Matrix);
    }
    RefreshDisplay();
}

void TMainForm::RefreshDisplay()
{
    if (Doc.LoadingAnim)
        return;
    ++RefreshCount_;
    if (P_3dView)
        P_3dView->update();
}

void TMainForm::ShowAnimationOnly()
{
    for (QTreeWidgetItem* node : TreeNodes())
        if (TSelection* s = SelectionOf(node))
            s->Hidden = !IsInAnimation(s);
    RB_CheckedSelections->setChecked(true);
    TV_EditComponents->viewport()->update();
    // An animation without frames has nothing to apply.
    if (!Doc.AnimFrames.empty())
        ApplyFrame(Doc.ActAnimStep);
}

void TMainForm::RefreshFrameTimerChart()
{
    if (F_FrameManipulator)
        F_FrameManipulator->RefreshChart();
}

void TMainForm::SetEditMode(bool on)
{
    EditMode_ = on;
    P_Edit->setVisible(on);
    P_Frames->setVisible(!on);
    P_Play->setVisible(!on);
    // No file is loaded and no name or colour changes while an edit runs.
    if (F_FileBrowser)
        F_FileBrowser->P_Files->setEnabled(!on);
    for (QAction* a : {ChangeColor1, SaveColors1, AssignNewName1, SaveNames1})
        a->setEnabled(!on);
}
