#pragma once
// Opening files that come from outside a file dialog: dropped onto a window, picked from
// File > "Open Recent". Each goes the way File > "Load P3d..." and "Load Anim..." go once
// their dialog has a file, save questions first.
#include <QObject>
#include <QStringList>
#include <functional>

class QEvent;
class QMenu;
class QWidget;

struct TFileOpeners {
    std::function<void(const QString&)> Model;  // a .p3d file
    std::function<void(const QString&)> Animation;  // any other
};

// Models first, then animations, each in the order given; paths that are neither .p3d
// nor .rtm are left out.
QStringList OpenOrder(const QStringList& paths);
// The path to the opener its kind takes.
void OpenFile(const QString& path, const TFileOpeners& open);

// Lets .p3d and .rtm files be dropped onto target (and whatever lies on it that takes no
// drops itself). The files open once the drop is over, so that the program they came
// from is not kept waiting by a question.
class TFileDropTarget : public QObject {
    Q_OBJECT
public:
    TFileDropTarget(QWidget* target, TFileOpeners open);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    TFileOpeners Open_;
};
