#pragma once
// File > "Open Recent": the models and animations opened or saved last (platform/
// RecentFiles.h), kept in the settings file's [Recent] section as each one comes, and
// each also added to the desktop's list of recently used files (platform/RecentlyUsed.h).
#include "app/FileOpening.h"
#include "platform/RecentFiles.h"

#include <QObject>

class QAction;
class QMenu;

class TRecentFilesMenu : public QObject {
    Q_OBJECT
public:
    // The submenu goes into fileMenu before `before` (null: at the end). The list is read
    // from readFile (the settings file start-up reads) and written into settingsFile (made
    // from readFile when missing); xbelFile empty: the desktop's list is left alone.
    TRecentFilesMenu(QMenu* fileMenu, QAction* before, const QString& readFile, const QString& settingsFile,
                     const QString& xbelFile, TFileOpeners open);

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
    QString ReadFile_;
    QString SettingsFile_;
    QString XbelFile_;
    TFileOpeners Open_;
    TRecentFiles List_;
};
