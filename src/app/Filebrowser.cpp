#include "app/Filebrowser.h"
#include "app/Main.h"
#include "platform/FileUtil.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

TF_FileBrowser* F_FileBrowser = nullptr;

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
}  // namespace

TF_FileBrowser::TF_FileBrowser(TMainForm* main)
    : QWidget(main, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Main_(main)
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
    auto* panes = new QVBoxLayout(P_Files);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(0);

    P_P3dFiles = new QWidget(P_Files);
    P_P3dFiles->setObjectName(QStringLiteral("P_P3dFiles"));
    auto* up = new QVBoxLayout(P_P3dFiles);
    up->setContentsMargins(0, 0, 0, 0);
    up->setSpacing(0);
    AbPanel4 = MakeHeader(QStringLiteral("P3D - Files"), P_P3dFiles);
    AbPanel4->setObjectName(QStringLiteral("AbPanel4"));
    P3dFileListBox = new QListWidget(P_P3dFiles);
    P3dFileListBox->setObjectName(QStringLiteral("P3dFileListBox"));
    P3dFileListBox->setStyleSheet(QStringLiteral("background:#400000;color:white"));
    up->addWidget(AbPanel4);
    up->addWidget(P3dFileListBox);
    P_P3dFiles->setFixedHeight(HeaderHeight);  // collapsed at start

    P_RTMFiles = new QWidget(P_Files);
    P_RTMFiles->setObjectName(QStringLiteral("P_RTMFiles"));
    auto* down = new QVBoxLayout(P_RTMFiles);
    down->setContentsMargins(0, 0, 0, 0);
    down->setSpacing(0);
    P_RTMHeader = MakeHeader(QStringLiteral("RTM - Files"), P_RTMFiles);
    P_RTMHeader->setObjectName(QStringLiteral("P_RTMHeader"));
    RTMFileListBox = new QListWidget(P_RTMFiles);
    RTMFileListBox->setObjectName(QStringLiteral("RTMFileListBox"));
    RTMFileListBox->setStyleSheet(QStringLiteral("background:#003000;color:white"));
    down->addWidget(P_RTMHeader);
    down->addWidget(RTMFileListBox);

    panes->addWidget(P_P3dFiles);
    panes->addWidget(P_RTMFiles, 1);

    AbPanel4->installEventFilter(this);
    P_RTMHeader->installEventFilter(this);
    connect(P3dFileListBox, &QListWidget::currentRowChanged, this, [this] { P3dFileListBoxChange(); });
    connect(RTMFileListBox, &QListWidget::currentRowChanged, this, [this] { RTMFileListBoxChange(); });
}

void TF_FileBrowser::Fill(QListWidget* list, const QString& dir, const QString& mask)
{
    Filling_ = true;
    list->clear();
    const QStringList names = QDir(dir).entryList({mask}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    list->addItems(names);
    list->setCurrentRow(-1);
    Filling_ = false;
}

void TF_FileBrowser::SetP3dDir(const QString& dir)
{
    P3dDir_ = dir;
    Fill(P3dFileListBox, P3dDir_, QStringLiteral("*.p3d"));
}

void TF_FileBrowser::SetRTMDir(const QString& dir)
{
    RTMDir_ = dir;
    Fill(RTMFileListBox, RTMDir_, QStringLiteral("*.rtm"));
}

void TF_FileBrowser::P3dFileListBoxChange()
{
    if (Filling_ || !P3dFileListBox->currentItem())
        return;
    Main_->LoadModel(QDir(P3dDir_).filePath(P3dFileListBox->currentItem()->text()));
}

void TF_FileBrowser::RTMFileListBoxChange()
{
    if (Filling_ || !RTMFileListBox->currentItem())
        return;
    Main_->LoadAnimation(QDir(RTMDir_).filePath(RTMFileListBox->currentItem()->text()));
}

void TF_FileBrowser::ToggleUpperPane()
{
    if (P_P3dFiles->height() != HeaderHeight)
        P_P3dFiles->setFixedHeight(HeaderHeight);
    else
        P_P3dFiles->setFixedHeight(std::max(HeaderHeight, P_Files->height() - HeaderHeight));
}

bool TF_FileBrowser::eventFilter(QObject* o, QEvent* e)
{
    if ((o == AbPanel4 || o == P_RTMHeader) && e->type() == QEvent::MouseButtonPress) {
        ToggleUpperPane();
        return true;
    }
    return QWidget::eventFilter(o, e);
}

void TF_FileBrowser::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (P_P3dFiles->height() > HeaderHeight)
        P_P3dFiles->setFixedHeight(std::max(HeaderHeight, P_Files->height() - HeaderHeight));
}

void TF_FileBrowser::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    emit Closed();
}
