#pragma once
// File > "Open Recent": the models and animations opened or saved last (platform/
// RecentFiles.h), kept in the settings file's [Recent] section as each one comes, and
// each also added to the desktop's list of recently used files (platform/RecentlyUsed.h).
#include "app/FileOpening.h"
#include "app/Paths.h"
#include "platform/RecentFiles.h"

#include <QObject>

class QAction;
class QMenu;

class TRecentFilesMenu : public QObject {
    Q_OBJECT
public:
    // The submenu goes at the end of fileMenu. The list is read from the settings file
    // start-up reads and written into the current one (made from the other when missing),
    // with paths in the data folder kept relative to it as the settings keep theirs; with
    // no desktop's list in paths (--home) that list is left alone.
    TRecentFilesMenu(QMenu* fileMenu, const TAppPaths& paths, TFileOpeners open);

    QMenu* Menu() const { return Menu_; }
    const TRecentFiles& List() const { return List_; }
    // A file was opened or saved: it goes to the top of the list.
    void Add(const QString& path);

private:
    void Fill();
    void Clear();
    // The list into the settings file, keeping everything else there.
    void Store();

    QMenu* Menu_;
    const TAppPaths Paths_;
    TFileOpeners Open_;
    TRecentFiles List_;
};
