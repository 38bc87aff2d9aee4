#include "app/RecentFilesMenu.h"
#include "app/Settings.h"
#include "platform/DebugOut.h"
#include "platform/Ini.h"
#include "platform/RecentlyUsed.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

TRecentFilesMenu::TRecentFilesMenu(QMenu* fileMenu, const TAppPaths& paths, TFileOpeners open)
    : QObject(fileMenu), Menu_(new QMenu(QStringLiteral("Open Recent"), fileMenu)), Paths_(paths), Open_(std::move(open))
{
    setObjectName(QStringLiteral("RecentFiles"));
    Menu_->setObjectName(QStringLiteral("OpenRecent"));
    // The greyed entries of files that are gone tell their path.
    Menu_->setToolTipsVisible(true);
    fileMenu->addMenu(Menu_);
    List_.Read(TIniFile(Paths_.SettingsFileToRead()),
               [this](const QString& stored) { return ResolvedPath(stored, Paths_.DataDir); });
    // Looked at afresh each time: files come and go while the editor runs.
    connect(Menu_, &QMenu::aboutToShow, this, [this] { Fill(); });
    Fill();
}

void TRecentFilesMenu::Fill()
{
    Menu_->clear();
    int n = 0;
    for (const TRecentFile& f : List_.Entries()) {
        ++n;
        const QString text = (n < 10 ? QStringLiteral("&%1 ").arg(n) : QStringLiteral("1&0 ")) + QFileInfo(f.Path).fileName();
        QAction* a = Menu_->addAction(text);
        a->setToolTip(f.Missing ? QStringLiteral("%1 (not found)").arg(QDir::toNativeSeparators(f.Path)) : f.Path);
        a->setEnabled(!f.Missing);
        const QString path = f.Path;
        connect(a, &QAction::triggered, this, [this, path] { OpenFile(path, Open_); });
    }
    if (n > 0)
        Menu_->addSeparator();
    QAction* clear = Menu_->addAction(QStringLiteral("Clear List"), this, [this] { Clear(); });
    clear->setEnabled(n > 0);
}

void TRecentFilesMenu::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    List_.Add(path);
    Store();
    Fill();
    if (Paths_.RecentlyUsedFile.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString error;
    if (!PublishRecentlyUsed(Paths_.RecentlyUsedFile, {absolute, RecentMimeType(absolute), QDateTime::currentDateTimeUtc()},
                             &error))
        DebugOut(QStringLiteral("The desktop's recent list was not changed: %1").arg(error));
}

void TRecentFilesMenu::Clear()
{
    List_.Clear();
    Store();
    Fill();
}

void TRecentFilesMenu::Store()
{
    // Read again: another window may have written the file since.
    const QString file = Paths_.SettingsFile();
    TIniFile ini(file);
    // A settings file of the older name that start-up read is carried over whole: the new
    // file is what the next start reads.
    if (const QString read = Paths_.SettingsFileToRead(); read != file)
        ini.SetText(TIniFile(read).Text());
    List_.Write(ini, [this](const QString& path) { return StoredPath(path, Paths_.DataDir); });
    if (!ini.Modified())
        return;
    TAppPaths::MakeFolder(Paths_.SettingsDir);
    QString error;
    if (!ini.UpdateFile(&error))
        DebugOut(QStringLiteral("The recent files were not kept: %1").arg(error));
}
