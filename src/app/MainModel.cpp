// Models and the component tree of the main window.
#include "app/Main.h"
#include "model/P3dmodell.h"

#include <QTreeWidget>

namespace {
constexpr int kSelectionRole = Qt::UserRole + 1;
}

TSelection* TMainForm::SelectionOf(const QTreeWidgetItem* node)
{
    return node ? static_cast<TSelection*>(node->data(0, kSelectionRole).value<void*>()) : nullptr;
}

std::vector<QTreeWidgetItem*> TMainForm::TreeNodes() const
{
    std::vector<QTreeWidgetItem*> out;
    std::vector<QTreeWidgetItem*> stack;
    for (int i = TV_EditComponents->topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back(TV_EditComponents->topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        for (int i = n->childCount() - 1; i >= 0; --i)
            stack.push_back(n->child(i));
    }
    return out;
}

QTreeWidgetItem* TMainForm::FindNodeByName(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (QTreeWidgetItem* n : TreeNodes())
        if (const TSelection* s = SelectionOf(n); s && s->Name == name)
            return n;
    return nullptr;
}

void TMainForm::ClearModel()
{
    TV_EditComponents->clear();
    Models.clear();
    ModelFileName.clear();
}

void TMainForm::LoadModel(const QString& fileName)
{
    if (fileName.isEmpty())
        return;
}

void TMainForm::LoadP3d1Click() {}
