#include "widgets/LongWork.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <thread>

TLongWork::TLongWork(QWidget* parent)
    : QWidget(parent), Text_(new QLabel(this)), Bar_(new QProgressBar(this)), Tick_(new QTimer(this)), Linger_(new QTimer(this))
{
    setObjectName(QStringLiteral("LongWork"));
    Text_->setObjectName(QStringLiteral("LongWorkText"));
    Bar_->setObjectName(QStringLiteral("LongWorkBar"));
    Bar_->setRange(0, 1000);
    Bar_->setTextVisible(false);
    // No taller than the text: the status bar keeps its height, and the window its layout.
    Bar_->setFixedSize(160, Text_->sizeHint().height());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->addWidget(Text_);
    row->addWidget(Bar_);
    Tick_->setInterval(50);
    connect(Tick_, &QTimer::timeout, this, [this] { ShowProgress(); });
    Linger_->setSingleShot(true);
    Linger_->setInterval(4000);
    connect(Linger_, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void TLongWork::Hold(QTimer* timer) { Held_.emplace_back(timer); }

void TLongWork::Cancel()
{
    if (Progress_)
        Progress_->Cancel();
}

bool TLongWork::Run(const TLongTask& task)
{
    const QWindow* shown = window()->windowHandle();
    if (Running() || task.Bytes < DirectBytes || !shown || !shown->isExposed())
        return task.Work(nullptr);

    TProgress progress([this](double f) {
        if (OnReport)
            OnReport(f);
    });
    Progress_ = &progress;
    std::vector<QPointer<QTimer>> stopped;
    for (const QPointer<QTimer>& t : Held_)
        if (t && t->isActive()) {
            t->stop();
            stopped.push_back(t);
        }
    // A cell or field that commits when it loses focus does it now, not while the worker
    // reads the document.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    if (focus)
        focus->clearFocus();
    ModalAtStart_ = QApplication::activeModalWidget();
    Linger_->stop();
    hide();
    Text_->setText(task.Text);
    Bar_->setValue(0);
    Bar_->show();
    Clock_.start();
    Tick_->start();
    ShowProgress();
    if (!Holding_)
        qApp->installEventFilter(this);
    Holding_ = true;

    QEventLoop loop;
    bool done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            done = task.Work(&progress);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    // The caller finishes the operation on this thread once Run returns (a new model goes
    // into place, the views follow), with the indicator still on the screen: input given
    // meanwhile was meant for the wait too. It is dropped when the event loop is back.
    QMetaObject::invokeMethod(this, &TLongWork::LetInputIn, Qt::QueuedConnection);
    Tick_->stop();
    Progress_ = nullptr;
    for (const QPointer<QTimer>& t : stopped)
        if (t)
            t->start();
    if (focus)
        focus->setFocus();
    if (failure)
        std::rethrow_exception(failure);
    if (done) {
        hide();
    } else {
        Text_->setText(QStringLiteral("Cancelled"));
        Bar_->hide();
        show();
        Linger_->start();
    }
    return done;
}

void TLongWork::LetInputIn()
{
    if (!Holding_ || Running())  // another run holds it now, and lets it in after
        return;
    QCoreApplication::processEvents();  // what came before goes through the filter
    if (Running())
        return;
    qApp->removeEventFilter(this);
    Holding_ = false;
}

void TLongWork::ShowProgress()
{
    if (!Progress_ || (Elapsed ? Elapsed() : Clock_.elapsed()) < ShowAfterMs)
        return;
    Bar_->setValue(int(Progress_->Fraction() * Bar_->maximum()));
    show();
}

bool TLongWork::ToNewModal(QObject* o) const
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == ModalAtStart_)
        return false;
    if (auto* w = qobject_cast<QWidget*>(o))
        return w->window() == modal;
    return o == modal->windowHandle();
}

bool TLongWork::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (ToNewModal(watched))
            return false;
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            Cancel();
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::InputMethod:
        return !ToNewModal(watched);
    case QEvent::Close:
        // A window closed now would take the session from under the worker.
        if (ToNewModal(watched))
            return false;
        event->ignore();
        return true;
    default:
        return false;
    }
}
