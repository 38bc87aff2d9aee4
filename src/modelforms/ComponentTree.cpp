#include "modelforms/ComponentTree.h"
#include "model/P3dModel.h"
#include "widgets/Controls.h"

#include <QDataStream>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <memory>
#include <QPainter>
#include <QStyledItemDelegate>

// ---- The item model over the forest

namespace {
const QString NodeMimeType = QStringLiteral("application/x-torvane-component-nodes");
}  // namespace

TComponentTreeModel::TComponentTreeModel(const TComponentForest* forest, QObject* parent)
    : QAbstractItemModel(parent), Forest_(forest)
{
    if (Forest_)
        Forest_->AddListener(this);
}

TComponentTreeModel::~TComponentTreeModel()
{
    if (Forest_)
        Forest_->RemoveListener(this);
}

QModelIndex TComponentTreeModel::IndexOf(int node) const
{
    if (!Forest_ || node < 0 || node >= Forest_->Count())
        return {};
    return createIndex(Forest_->Row(node), 0, quintptr(node));
}

QModelIndex TComponentTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (!Forest_ || column != 0 || row < 0)
        return {};
    const std::vector<int>& kids = Forest_->Children(NodeOf(parent));
    return size_t(row) < kids.size() ? createIndex(row, 0, quintptr(kids[size_t(row)])) : QModelIndex();
}

QModelIndex TComponentTreeModel::parent(const QModelIndex& child) const
{
    const int node = NodeOf(child);
    return Forest_ && node >= 0 ? IndexOf(Forest_->Parent(node)) : QModelIndex();
}

int TComponentTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!Forest_ || parent.column() > 0)
        return 0;
    return int(Forest_->Children(NodeOf(parent)).size());
}

int TComponentTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TComponentTreeModel::data(const QModelIndex& index, int role) const
{
    const int node = NodeOf(index);
    if (!Forest_ || node < 0)
        return {};
    const TSelection* s = Forest_->Component(node);
    switch (role) {
    case Qt::DisplayRole:
        return s->DisplayName;
    case ColorRole:
        return ColorFromRef(s->Color);
    case AnimatedRole:
        return IsAnimated && IsAnimated(s);
    case HiddenRole:
        return s->Hidden;
    default:
        return {};
    }
}

Qt::ItemFlags TComponentTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

bool TComponentTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int node = NodeOf(index);
    if (role != HiddenRole || node < 0 || !SetHidden)
        return false;
    SetHidden(node, value.toBool());  // the forest tells the views what changed
    return true;
}

QStringList TComponentTreeModel::mimeTypes() const { return {NodeMimeType}; }

QMimeData* TComponentTreeModel::mimeData(const QModelIndexList& indexes) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    for (const QModelIndex& i : indexes)
        if (NodeOf(i) >= 0)
            out << qint32(NodeOf(i));
    auto* data = new QMimeData;
    data->setData(NodeMimeType, bytes);
    return data;
}

bool TComponentTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex& parent)
{
    const int target = NodeOf(parent);
    if (!data || !Forest_ || !Link || target < 0)
        return false;
    QDataStream in(data->data(NodeMimeType));
    qint32 node = -1;
    in >> node;
    if (in.status() != QDataStream::Ok || node < 0 || node >= Forest_->Count())
        return false;
    return Link(node, target);
}

void TComponentTreeModel::ForestAboutToChange(TForestChange change)
{
    switch (change) {
    case TForestChange::Reset:
        beginResetModel();
        break;
    case TForestChange::Hierarchy:
        emit layoutAboutToBeChanged();
        Moving_ = persistentIndexList();
        break;
    case TForestChange::Components:
        break;
    }
}

void TComponentTreeModel::ForestChanged(TForestChange change)
{
    switch (change) {
    case TForestChange::Reset:
        endResetModel();
        break;
    case TForestChange::Hierarchy: {
        // The nodes are the same; only their rows and parents changed.
        QModelIndexList moved;
        moved.reserve(Moving_.size());
        for (const QModelIndex& i : std::as_const(Moving_))
            moved << IndexOf(NodeOf(i));
        changePersistentIndexList(Moving_, moved);
        Moving_.clear();
        emit layoutChanged();
        break;
    }
    case TForestChange::Components: {
        // One range per level that has rows.
        static const QList<int> roles{Qt::DisplayRole, ColorRole, AnimatedRole, HiddenRole};
        for (int parent = -1; parent < Forest_->Count(); ++parent) {
            const std::vector<int>& kids = Forest_->Children(parent);
            if (!kids.empty())
                emit dataChanged(IndexOf(kids.front()), IndexOf(kids.back()), roles);
        }
        break;
    }
    }
}

void TComponentTreeModel::ForestGone()
{
    beginResetModel();
    Forest_ = nullptr;
    endResetModel();
}

// ---- The view

namespace {
class TComponentDelegate final : public QStyledItemDelegate {
public:
    explicit TComponentDelegate(TComponentTree* tree) : QStyledItemDelegate(tree), Tree_(tree) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        // Selected nodes and the nodes below them get their own backgrounds.
        if (Tree_->selectionModel()->isSelected(index))
            p->fillRect(opt.rect, QColor(0x91, 0x91, 0x11));
        else
            for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
                if (Tree_->selectionModel()->isSelected(up)) {
                    p->fillRect(opt.rect, QColor(0x80, 0x80, 0x00));
                    break;
                }
        opt.state &= ~QStyle::State_Selected;
        opt.rect.adjust(TComponentTree::MarkCellWidth, 0, 0, 0);  // room for swatch, mark and cross
        opt.palette.setColor(QPalette::Text, Qt::white);
        QStyledItemDelegate::paint(p, opt, index);
        const int x0 = option.rect.left();
        const int top = option.rect.top(), bottom = option.rect.bottom();
        p->save();
        p->fillRect(QRect(QPoint(x0 + 2, top + 2), QPoint(x0 + 10, bottom - 2)),
                    index.data(TComponentTreeModel::ColorRole).value<QColor>());
        if (index.data(TComponentTreeModel::AnimatedRole).toBool()) {
            p->setPen(Qt::black);
            QFont f = p->font();
            f.setBold(true);
            p->setFont(f);
            p->drawText(QRect(x0 + 2, top + 2, 10, bottom - top - 2), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("A"));
        }
        if (index.data(TComponentTreeModel::HiddenRole).toBool()) {
            p->setPen(QPen(QColor(0xFF, 0, 0), 2));
            p->drawLine(x0 + 12, top + 2, x0 + 26, top + 14);
            p->drawLine(x0 + 26, top + 2, x0 + 12, top + 14);
        }
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        return {s.width() + TComponentTree::MarkCellWidth, std::max(s.height(), 17)};
    }

private:
    TComponentTree* Tree_;
};
}  // namespace

TComponentTree::TComponentTree(QWidget* parent) : QTreeView(parent)
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
    setStyleSheet(QStringLiteral("QTreeView{background:#404040;color:white}"));
    SetForest(nullptr);
}

void TComponentTree::SetForest(const TComponentForest* forest)
{
    TComponentTreeModel* old = Model_;
    QItemSelectionModel* oldSelection = selectionModel();
    Model_ = new TComponentTreeModel(forest, this);
    if (old) {
        Model_->IsAnimated = old->IsAnimated;
        Model_->SetHidden = old->SetHidden;
        Model_->Link = old->Link;
    }
    setModel(Model_);
    delete oldSelection;
    delete old;
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TComponentTree::SelectionChanged);
    // New nodes: the old drag source is gone with the old ones.
    connect(Model_, &QAbstractItemModel::modelReset, this, [this] { DragNode = -1; });
}

int TComponentTree::NodeAt(QPoint viewportPos) const { return TComponentTreeModel::NodeOf(indexAt(viewportPos)); }

QRect TComponentTree::NodeRect(int node) const { return visualRect(Model_->IndexOf(node)); }

int TComponentTree::CurrentNode() const { return TComponentTreeModel::NodeOf(currentIndex()); }

void TComponentTree::SetCurrentNode(int node) { setCurrentIndex(Model_->IndexOf(node)); }

bool TComponentTree::IsNodeSelected(int node) const
{
    const QModelIndex i = Model_->IndexOf(node);
    return i.isValid() && selectionModel()->isSelected(i);
}

void TComponentTree::SetNodeSelected(int node, bool selected)
{
    const QModelIndex i = Model_->IndexOf(node);
    if (i.isValid())
        selectionModel()->select(i, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

std::vector<int> TComponentTree::SelectedNodes() const
{
    std::vector<int> out;
    for (const QModelIndex& i : selectionModel()->selectedIndexes())
        out.push_back(TComponentTreeModel::NodeOf(i));
    return out;
}

int TComponentTree::SelectedNode() const
{
    const int current = CurrentNode();
    if (current >= 0 && IsNodeSelected(current))
        return current;
    const std::vector<int> selected = SelectedNodes();
    return selected.empty() ? -1 : selected.front();
}

void TComponentTree::ExpandNode(int node) { expand(Model_->IndexOf(node)); }

void TComponentTree::ExpandParents()
{
    if (const TComponentForest* f = Forest())
        for (int n = 0; n < f->Count(); ++n)
            if (!f->Children(n).empty())
                ExpandNode(n);
}

std::pair<int, int> TComponentTree::CrossArea(int node) const
{
    // The whole cell the delegate keeps for the swatch, the mark and the cross.
    const int x0 = NodeRect(node).left();
    return {x0, x0 + MarkCellWidth};
}

void TComponentTree::ReduceSelectionToCurrent()
{
    const std::vector<int> selected = SelectedNodes();
    if (selected.size() <= 1)
        return;
    const QModelIndex keep = Model_->IndexOf(SelectedNode());
    selectionModel()->setCurrentIndex(keep, QItemSelectionModel::NoUpdate);
    selectionModel()->select(keep, QItemSelectionModel::ClearAndSelect);
}

bool TComponentTree::DropOn(int target)
{
    bool changed = false;
    if (LinkingEnabled && LinkingEnabled() && target >= 0 && DragNode >= 0) {
        const std::unique_ptr<QMimeData> data(Model_->mimeData({Model_->IndexOf(DragNode)}));
        changed = Model_->dropMimeData(data.get(), Qt::MoveAction, -1, -1, Model_->IndexOf(target));
    }
    if (changed)
        ExpandNode(target);
    DragNode = -1;
    return changed;
}

void TComponentTree::ToggleHidden(int node)
{
    const QModelIndex i = Model_->IndexOf(node);
    if (i.isValid())
        Model_->setData(i, !i.data(TComponentTreeModel::HiddenRole).toBool(), TComponentTreeModel::HiddenRole);
}

void TComponentTree::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const int node = NodeAt(pos);
    DragNode = node;
    if (node >= 0) {
        const auto [from, to] = CrossArea(node);
        if (pos.x() >= from && pos.x() < to)
            ToggleHidden(node);
    }
    if (!(LinkingEnabled && LinkingEnabled()))
        DragNode = -1;
    QTreeView::mousePressEvent(e);
    emit NodePressed(node, pos, e->button());
}

void TComponentTree::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_H && !(e->modifiers() & ~Qt::KeypadModifier) && SelectedNode() >= 0) {
        ToggleHidden(SelectedNode());
        return;
    }
    QTreeView::keyPressEvent(e);
}

void TComponentTree::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    viewport()->update();
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
    const bool ok = e->source() == this && NodeAt(e->position().toPoint()) >= 0 && LinkingEnabled && LinkingEnabled();
    if (ok)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TComponentTree::startDrag(Qt::DropActions supportedActions)
{
    QTreeView::startDrag(supportedActions);
    DragNode = -1;
}

void TComponentTree::dropEvent(QDropEvent* e)
{
    DropOn(NodeAt(e->position().toPoint()));
    // The move is done here; the drag must not remove anything afterwards.
    e->setDropAction(Qt::IgnoreAction);
    e->accept();
}
