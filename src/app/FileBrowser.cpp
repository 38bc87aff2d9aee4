#include "app/FileBrowser.h"
#include "platform/FolderFiles.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QFileInfo>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QLabel* MakeHeader(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFixedHeight(TF_FileBrowser::HeaderHeight);
    l->setCursor(Qt::PointingHandCursor);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("background:#303030;color:white;font-weight:bold"));
    return l;
}

QListWidget* MakeList(const QString& name, const QString& background, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setStyleSheet(QStringLiteral("background:%1;color:white").arg(background));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // One row height for all: a folder of thousands of files lists without measuring each.
    list->setUniformItemSizes(true);
    // The panes are sized by the window alone; a list asks for no room of its own.
    list->setMinimumSize(0, 0);
    return list;
}

// A pane: its header on top, the list below taking the rest.
QWidget* MakePane(const QString& name, QLabel*& header, const QString& caption, QListWidget* list, QWidget* parent)
{
    auto* pane = new QWidget(parent);
    pane->setObjectName(name);
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header = MakeHeader(caption, pane);
    list->setParent(pane);
    column->addWidget(header);
    column->addWidget(list, 1);
    return pane;
}
}  // namespace

TF_FileBrowser::TF_FileBrowser(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("F_FileBrowser"));
    setWindowTitle(QStringLiteral("Filebrowser"));
    setMinimumSize(150, 125);
    resize(185, 420);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    P_Files = new QWidget(this);
    P_Files->setObjectName(QStringLiteral("P_Files"));
    outer->addWidget(P_Files);

    // The two panes are placed by hand (PlacePanes), not by a layout: a layout would add
    // the lists' own minimum heights to the window's and squeeze the expanded pane.
    P3dFileListBox = MakeList(QStringLiteral("P3dFileListBox"), QStringLiteral("#400000"), P_Files);
    RTMFileListBox = MakeList(QStringLiteral("RTMFileListBox"), QStringLiteral("#003000"), P_Files);
    P_P3dFiles = MakePane(QStringLiteral("P_P3dFiles"), AbPanel4, QStringLiteral("P3D - Files"), P3dFileListBox, P_Files);
    AbPanel4->setObjectName(QStringLiteral("AbPanel4"));
    P_RTMFiles = MakePane(QStringLiteral("P_RTMFiles"), P_RTMHeader, QStringLiteral("RTM - Files"), RTMFileListBox, P_Files);
    P_RTMHeader->setObjectName(QStringLiteral("P_RTMHeader"));
    P_Files->installEventFilter(this);
    AbPanel4->installEventFilter(this);
    P_RTMHeader->installEventFilter(this);

    // A file loads when it becomes selected, by a click or by the arrow keys. The current
    // row alone is not enough: a list that gets the focus makes its first row current
    // without selecting it, and that must not load anything.
    connect(P3dFileListBox, &QListWidget::itemSelectionChanged, this, [this] { P3dFileListBoxChange(); });
    connect(RTMFileListBox, &QListWidget::itemSelectionChanged, this, [this] { RTMFileListBoxChange(); });

    // A save writes a temporary file and renames it: the changes of one save are gathered
    // into one refill.
    Watcher_ = new QFileSystemWatcher(this);
    RefillTimer_ = new QTimer(this);
    RefillTimer_->setSingleShot(true);
    RefillTimer_->setInterval(100);
    connect(Watcher_, &QFileSystemWatcher::directoryChanged, RefillTimer_, qOverload<>(&QTimer::start));
    connect(RefillTimer_, &QTimer::timeout, this, [this] { Refill(); });
}

void TF_FileBrowser::Fill(QListWidget* list, const QString& dir, const QString& mask, bool keep)
{
    const int scroll = list->verticalScrollBar()->value();
    Filling_ = true;
    list->clear();
    list->addItems(ListFolderFiles(dir, mask));
    list->setCurrentRow(-1);
    Filling_ = false;
    Mark(list, dir, list == P3dFileListBox ? LoadedModel_ : LoadedAnimation_);
    if (keep)
        list->verticalScrollBar()->setValue(scroll);
}

void TF_FileBrowser::Mark(QListWidget* list, const QString& dir, const QString& path)
{
    const QFileInfo file(path);
    const auto same = [](const QString& a, const QString& b) {
        const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
        return ca.isEmpty() || cb.isEmpty() ? QDir::cleanPath(a) == QDir::cleanPath(b) : ca == cb;
    };
    QListWidgetItem* item = nullptr;
    if (!path.isEmpty() && same(file.absolutePath(), dir)) {
        const QList<QListWidgetItem*> found = list->findItems(file.fileName(), Qt::MatchExactly);
        item = found.isEmpty() ? nullptr : found.first();
    }
    Filling_ = true;
    if (item)
        list->setCurrentItem(item);  // which scrolls to it, also in a list not yet shown
    else
        list->clearSelection();
    Filling_ = false;
}

void TF_FileBrowser::ShowLoaded(const QString& model, const QString& animation)
{
    // Told after every change of the document (playback's frames too): only a new name
    // costs a look through the list.
    if (model != LoadedModel_) {
        LoadedModel_ = model;
        Mark(P3dFileListBox, P3dDir_, model);
    }
    if (animation != LoadedAnimation_) {
        LoadedAnimation_ = animation;
        Mark(RTMFileListBox, RTMDir_, animation);
    }
}

void TF_FileBrowser::Watch()
{
    const QStringList old = Watcher_->directories();
    if (!old.isEmpty())
        Watcher_->removePaths(old);
    for (const QString& dir : {P3dDir_, RTMDir_})
        if (!dir.isEmpty() && QFileInfo(dir).isDir() && !Watcher_->directories().contains(dir))
            Watcher_->addPath(dir);
}

void TF_FileBrowser::Refill()
{
    Fill(P3dFileListBox, P3dDir_, QStringLiteral("*.p3d"), true);
    Fill(RTMFileListBox, RTMDir_, QStringLiteral("*.rtm"), true);
}

void TF_FileBrowser::SetP3dDir(const QString& dir)
{
    P3dDir_ = ResolveFolder(dir);
    Fill(P3dFileListBox, P3dDir_, QStringLiteral("*.p3d"));
    Watch();
}

void TF_FileBrowser::SetRTMDir(const QString& dir)
{
    RTMDir_ = ResolveFolder(dir);
    Fill(RTMFileListBox, RTMDir_, QStringLiteral("*.rtm"));
    Watch();
}

void TF_FileBrowser::P3dFileListBoxChange()
{
    const QList<QListWidgetItem*> selected = P3dFileListBox->selectedItems();
    if (Filling_ || selected.isEmpty())
        return;
    emit ModelChosen(QDir(P3dDir_).filePath(selected.first()->text()));
    // What was loaded, which is not the choice when its question was cancelled.
    Mark(P3dFileListBox, P3dDir_, LoadedModel_);
}

void TF_FileBrowser::RTMFileListBoxChange()
{
    const QList<QListWidgetItem*> selected = RTMFileListBox->selectedItems();
    if (Filling_ || selected.isEmpty())
        return;
    emit AnimationChosen(QDir(RTMDir_).filePath(selected.first()->text()));
    Mark(RTMFileListBox, RTMDir_, LoadedAnimation_);
}

void TF_FileBrowser::ToggleUpperPane()
{
    UpperHeight_ = UpperHeight_ != HeaderHeight ? HeaderHeight : std::max(HeaderHeight, P_Files->height() - HeaderHeight);
    PlacePanes();
}

void TF_FileBrowser::PlacePanes()
{
    const int w = P_Files->width(), h = P_Files->height();
    // An expanded upper pane keeps filling the window but for the lower header.
    if (UpperHeight_ > HeaderHeight)
        UpperHeight_ = std::max(HeaderHeight, h - HeaderHeight);
    P_P3dFiles->setGeometry(0, 0, w, UpperHeight_);
    P_RTMFiles->setGeometry(0, UpperHeight_, w, std::max(0, h - UpperHeight_));
    // A pane no taller than its header shows the header alone, not a sliver of its list.
    P3dFileListBox->setVisible(UpperHeight_ > HeaderHeight);
    RTMFileListBox->setVisible(h - UpperHeight_ > HeaderHeight);
}

bool TF_FileBrowser::eventFilter(QObject* o, QEvent* e)
{
    if (o == P_Files && e->type() == QEvent::Resize)
        PlacePanes();
    if ((o == AbPanel4 || o == P_RTMHeader) && e->type() == QEvent::MouseButtonPress) {
        ToggleUpperPane();
        return true;
    }
    return QWidget::eventFilter(o, e);
}

void TF_FileBrowser::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    emit Closed();
}
