// The pose of the current frame and the one display refresh of the main window.
#include "app/Main.h"
#include "model/P3dmodell.h"
#include "platform/DebugOut.h"
#include "platform/Dialogs.h"
#include "view3d/Framemanipulator.h"
#include "widgets/Controls.h"

#include <QBoxLayout>
#include <QFrame>
#include <QPushButton>
#include <QTreeWidget>

QWidget* TMainForm::CreateView(const QString& name, QWidget* parent)
{
    auto* view = new QFrame(parent);
    view->setObjectName(name);
    view->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    view->setStyleSheet(QStringLiteral("QFrame{background:black}"));
    view->setMinimumSize(50, 50);
    return view;
}

void TMainForm::Attach3dView(QBoxLayout* layout)
{
    auto* placeholder = new QFrame(P_3dArea);
    placeholder->setObjectName(QStringLiteral("P_3dViewArea"));
    placeholder->setStyleSheet(QStringLiteral("QFrame{background:black}"));
    layout->addWidget(placeholder, 1);
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
}
