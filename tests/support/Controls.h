#pragma once
// A window's control by its object name, for tests that drive it with real input. The name
// must name exactly one control of that type below root.
#include <QObject>
#include <QtGlobal>

template <class T>
T* Ctl(const QObject& root, const char* name)
{
    const QList<T*> found = root.findChildren<T*>(QString::fromLatin1(name));
    if (found.size() != 1)
        qFatal("%d controls %s below %s", int(found.size()), name, qPrintable(root.objectName()));
    return found.front();
}
