#include "app/FileOpening.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {
bool IsModel(const QString& path) { return path.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive); }
bool IsAnimation(const QString& path) { return path.endsWith(QLatin1String(".rtm"), Qt::CaseInsensitive); }

// The local files of a drag that the editor opens, in the order they open.
QStringList DroppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return OpenOrder(paths);
}
}  // namespace

QStringList OpenOrder(const QStringList& paths)
{
    QStringList models, animations;
    for (const QString& p : paths) {
        if (IsModel(p))
            models << p;
        else if (IsAnimation(p))
            animations << p;
    }
    return models + animations;
}

void OpenFile(const QString& path, const TFileOpeners& open)
{
    if (IsModel(path))
        open.Model(path);
    else
        open.Animation(path);
}

TFileDropTarget::TFileDropTarget(QWidget* target, TFileOpeners open) : QObject(target), Open_(std::move(open))
{
    setObjectName(QStringLiteral("FileDropTarget"));
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool TFileDropTarget::eventFilter(QObject* o, QEvent* e)
{
    switch (e->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(e);
        if (DroppedFiles(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(e);
        const QStringList files = DroppedFiles(drop->mimeData());
        if (files.isEmpty())
            return false;
        drop->acceptProposedAction();
        QTimer::singleShot(0, this, [this, files] {
            for (const QString& f : files)
                OpenFile(f, Open_);
        });
        return true;
    }
    default:
        return QObject::eventFilter(o, e);
    }
}
