#include "modelforms/ComponentTree.h"
#include "model/ComponentForest.h"
#include "widgets/Controls.h"
#include "model/P3dmodell.h"

#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <numeric>
#include <unordered_map>

namespace {
constexpr int kSelectionRole = Qt::UserRole + 1;


// Sorted by display text the way the desktop compares names: locale-aware.
class TComponentItem final : public QTreeWidgetItem {
public:
    TComponentItem() : QTreeWidgetItem(UserType) {}
    bool operator<(const QTreeWidgetItem& other) const override
    {
        // Letter case matters only between names that are otherwise equal, as in the
        // desktop's own file lists.
        return ComponentTextLess(text(0), other.text(0));
    }
};

class TComponentDelegate final : public QStyledItemDelegate {
public:
    explicit TComponentDelegate(TComponentTree* tree) : QStyledItemDelegate(tree), Tree_(tree) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QTreeWidgetItem* node = Tree_->itemFromIndex(index);
        const TSelection* s = TComponentTree::SelectionOf(node);
        QStyleOptionViewItem opt = option;
        // Selected nodes and the nodes below them get their own backgrounds.
        const QList<QTreeWidgetItem*> selected = Tree_->selectedItems();
        if (!selected.isEmpty()) {
            if (node->isSelected())
                p->fillRect(opt.rect, QColor(0x91, 0x91, 0x11));
            else
                for (const QTreeWidgetItem* sel : selected)
                    if (TComponentTree::IsDescendant(node, sel)) {
                        p->fillRect(opt.rect, QColor(0x80, 0x80, 0x00));
                        break;
                    }
        }
        opt.state &= ~QStyle::State_Selected;
        opt.rect.adjust(30, 0, 0, 0);  // room for swatch, mark and cross
        opt.palette.setColor(QPalette::Text, Qt::white);
        QStyledItemDelegate::paint(p, opt, index);
        if (!s)
            return;
        const int x0 = option.rect.left();
        const int top = option.rect.top(), bottom = option.rect.bottom();
        p->save();
        p->fillRect(QRect(QPoint(x0 + 2, top + 2), QPoint(x0 + 10, bottom - 2)), ColorFromRef(s->Color));
        if (Tree_->IsAnimated && Tree_->IsAnimated(s)) {
            p->setPen(Qt::black);
            QFont f = p->font();
            f.setBold(true);
            p->setFont(f);
            p->drawText(QRect(x0 + 2, top + 2, 10, bottom - top - 2), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("A"));
        }
        if (s->Hidden) {
            p->setPen(QPen(QColor(0xFF, 0, 0), 2));
            p->drawLine(x0 + 12, top + 2, x0 + 26, top + 14);
            p->drawLine(x0 + 26, top + 2, x0 + 12, top + 14);
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        return {s.width() + 30, std::max(s.height(), 17)};
    }

private:
    TComponentTree* Tree_;
};
}  // namespace

TComponentTree::TComponentTree(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setIndentation(Indent);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setItemDelegate(new TComponentDelegate(this));
    setStyleSheet(QStringLiteral("QTreeWidget{background:#404040;color:white}"));
}

TSelection* TComponentTree::SelectionOf(const QTreeWidgetItem* node)
{
    // Kept as an integer: a drag serialises item data, and a pointer type cannot be.
    return node ? reinterpret_cast<TSelection*>(static_cast<quintptr>(node->data(0, kSelectionRole).toULongLong()))
                : nullptr;
}

namespace {
QTreeWidgetItem* NewNode(TSelection* component)
{
    auto* node = new TComponentItem;
    node->setData(0, kSelectionRole, QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<quintptr>(component))));
    node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    TComponentTree::UpdateText(node);
    return node;
}
}  // namespace

QTreeWidgetItem* TComponentTree::AddComponent(TSelection* component)
{
    QTreeWidgetItem* node = NewNode(component);
    addTopLevelItem(node);
    return node;
}

void TComponentTree::Fill(const TComponentForest& forest)
{
    clear();
    std::vector<QTreeWidgetItem*> items(size_t(forest.Count()));
    for (int n = 0; n < forest.Count(); ++n)
        items[size_t(n)] = NewNode(forest.Component(n));
    QList<QTreeWidgetItem*> top;
    for (int n : forest.Children(-1))
        top.append(items[size_t(n)]);
    for (int n = 0; n < forest.Count(); ++n) {
        QList<QTreeWidgetItem*> kids;
        for (int k : forest.Children(n))
            kids.append(items[size_t(k)]);
        items[size_t(n)]->addChildren(kids);
    }
    addTopLevelItems(top);
    for (int n = 0; n < forest.Count(); ++n)
        if (!forest.Children(n).empty())
            items[size_t(n)]->setExpanded(true);
}

void TComponentTree::UpdateText(QTreeWidgetItem* node)
{
    if (const TSelection* s = SelectionOf(node))
        node->setText(0, s->DisplayName);
}

std::vector<QTreeWidgetItem*> TComponentTree::Nodes() const
{
    std::vector<QTreeWidgetItem*> out;
    std::vector<QTreeWidgetItem*> stack;
    for (int i = topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back(topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        for (int i = n->childCount() - 1; i >= 0; --i)
            stack.push_back(n->child(i));
    }
    return out;
}

std::vector<TSelection*> TComponentTree::Components() const
{
    std::vector<TSelection*> out;
    for (QTreeWidgetItem* n : Nodes())
        if (TSelection* s = SelectionOf(n))
            out.push_back(s);
    return out;
}

QTreeWidgetItem* TComponentTree::FindNodeByName(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (QTreeWidgetItem* n : Nodes())
        if (const TSelection* s = SelectionOf(n); s && s->Name == name)
            return n;
    return nullptr;
}

int TComponentTree::Level(const QTreeWidgetItem* node)
{
    int level = 0;
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

bool TComponentTree::IsDescendant(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor)
{
    for (const QTreeWidgetItem* p = node ? node->parent() : nullptr; p; p = p->parent())
        if (p == ancestor)
            return true;
    return false;
}

bool TComponentTree::MoveNode(QTreeWidgetItem* node, QTreeWidgetItem* newParent)
{
    if (!node || node == newParent || IsDescendant(newParent, node))
        return false;
    // Taking rows out moves the view's current index and selection onto neighbours; the
    // user's selection and current node are put back exactly afterwards.
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* current = currentItem();
    // Expansion lives in the view: remember it for the subtree that is taken out.
    std::vector<QTreeWidgetItem*> expanded;
    std::vector<QTreeWidgetItem*> stack{node};
    while (!stack.empty()) {
        QTreeWidgetItem* n = stack.back();
        stack.pop_back();
        if (n->isExpanded())
            expanded.push_back(n);
        for (int i = 0; i < n->childCount(); ++i)
            stack.push_back(n->child(i));
    }
    if (QTreeWidgetItem* p = node->parent())
        p->removeChild(node);
    else
        takeTopLevelItem(indexOfTopLevelItem(node));
    if (newParent) {
        newParent->addChild(node);
        newParent->setExpanded(true);
    } else {
        addTopLevelItem(node);
    }
    for (QTreeWidgetItem* n : expanded)
        n->setExpanded(true);
    RestoreSelection(selected, current);
    return true;
}

void TComponentTree::RestoreSelection(const QList<QTreeWidgetItem*>& selected, QTreeWidgetItem* current)
{
    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    clearSelection();
    for (QTreeWidgetItem* n : selected)
        n->setSelected(true);
    viewport()->update();
}

void TComponentTree::ReduceSelectionToCurrent()
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.size() <= 1)
        return;
    QTreeWidgetItem* keep = currentItem() && currentItem()->isSelected() ? currentItem() : selected.first();
    RestoreSelection({keep}, keep);
}

void TComponentTree::SortTree() { sortItems(0, Qt::AscendingOrder); }

void TComponentTree::Relink(const std::vector<QTreeWidgetItem*>& nodes, const TComponentForest& forest,
                            const std::vector<bool>& expand)
{
    const size_t n = nodes.size();
    // Selection and expansion live in the view: remember them before the nodes go out.
    std::vector<QTreeWidgetItem*> selected, expanded;
    for (size_t i = 0; i < n; ++i) {
        if (nodes[i]->isSelected())
            selected.push_back(nodes[i]);
        if (nodes[i]->isExpanded() || expand[i])
            expanded.push_back(nodes[i]);
    }
    QTreeWidgetItem* current = currentItem();

    // Out of the view in one step; then every node leaves its parent while no view
    // watches, which costs nothing.
    invisibleRootItem()->takeChildren();
    for (QTreeWidgetItem* node : nodes)
        node->takeChildren();
    const auto items = [&](int parent) {
        QList<QTreeWidgetItem*> out;
        for (int c : forest.Children(parent))
            out.append(nodes[size_t(c)]);
        return out;
    };
    for (size_t i = 0; i < n; ++i)
        if (!forest.Children(int(i)).empty())
            nodes[i]->addChildren(items(int(i)));
    addTopLevelItems(items(-1));

    for (QTreeWidgetItem* node : expanded)
        node->setExpanded(true);
    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem* node : selected)
        node->setSelected(true);
}

TComponentForest TComponentTree::Forest() const
{
    const std::vector<QTreeWidgetItem*> nodes = Nodes();
    TComponentForest forest;
    std::vector<int> parent;
    std::unordered_map<const QTreeWidgetItem*, int> index;
    for (QTreeWidgetItem* node : nodes) {
        index.emplace(node, forest.Add(SelectionOf(node)));
        parent.push_back(node->parent() ? index.at(node->parent()) : -1);
    }
    std::vector<int> order(nodes.size());
    std::iota(order.begin(), order.end(), 0);
    forest.Rebuild(parent, order);
    return forest;
}

std::pair<int, int> TComponentTree::CrossArea(const QTreeWidgetItem* node) const
{
    const int x1 = visualItemRect(node).left() + 12;
    return {x1, x1 + 16};
}

void TComponentTree::ToggleHidden(QTreeWidgetItem* node)
{
    TSelection* s = SelectionOf(node);
    if (!s)
        return;
    const bool hidden = !s->Hidden;
    s->Hidden = hidden;
    std::vector<QTreeWidgetItem*> stack;
    for (int i = 0; i < node->childCount(); ++i)
        stack.push_back(node->child(i));
    while (!stack.empty()) {
        QTreeWidgetItem* n = stack.back();
        stack.pop_back();
        if (TSelection* c = SelectionOf(n))
            c->Hidden = hidden;
        for (int i = 0; i < n->childCount(); ++i)
            stack.push_back(n->child(i));
    }
    viewport()->update();
}

bool TComponentTree::DropOn(QTreeWidgetItem* target)
{
    bool changed = false;
    if (LinkingEnabled && LinkingEnabled() && target && DragNode)
        changed = MoveNode(DragNode, target);
    if (changed)
        SortTree();
    DragNode = nullptr;
    viewport()->update();
    if (changed)
        emit HierarchyChanged();
    return changed;
}

void TComponentTree::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    QTreeWidgetItem* node = itemAt(pos);
    DragNode = node;
    if (node) {
        const auto [from, to] = CrossArea(node);
        if (pos.x() > from && pos.x() < to)
            ToggleHidden(node);
    }
    if (!(LinkingEnabled && LinkingEnabled()))
        DragNode = nullptr;
    QTreeWidget::mousePressEvent(e);
    emit NodePressed(node, pos, e->button());
}

void TComponentTree::mouseReleaseEvent(QMouseEvent* e)
{
    QTreeWidget::mouseReleaseEvent(e);
    viewport()->update();
    emit MouseReleased();
}

void TComponentTree::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->source() == this)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TComponentTree::dragMoveEvent(QDragMoveEvent* e)
{
    const bool ok = e->source() == this && itemAt(e->position().toPoint()) && LinkingEnabled && LinkingEnabled();
    if (ok)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TComponentTree::dropEvent(QDropEvent* e)
{
    DropOn(itemAt(e->position().toPoint()));
    // The move is done here; the drag must not remove anything afterwards.
    e->setDropAction(Qt::IgnoreAction);
    e->accept();
}
