#pragma once
// A stay-on-top tool window with two file lists, models above and animations below;
// selecting a file (a click, or the arrow keys) has the owner load it at once. The upper pane is either
// collapsed to its header or fills the window but for the lower pane's header.
#include <QWidget>

class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QTimer;

class TF_FileBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TF_FileBrowser(QWidget* owner);

    QWidget* P_Files = nullptr;
    QWidget* P_P3dFiles = nullptr;
    QLabel* AbPanel4 = nullptr;
    QListWidget* P3dFileListBox = nullptr;
    QWidget* P_RTMFiles = nullptr;
    QLabel* P_RTMHeader = nullptr;
    QListWidget* RTMFileListBox = nullptr;

    // The lists' folders, as found on disk (letter case, separators).
    // While the main window edits a frame no file is loaded: the lists are disabled.
    void SetEditLock(bool on) { P_Files->setEnabled(!on); }

    QString P3dDir() const { return P3dDir_; }
    QString RTMDir() const { return RTMDir_; }
    void SetP3dDir(const QString& dir);
    void SetRTMDir(const QString& dir);
    // The lists mark what the owner has loaded, however it came (a choice here, a menu, the
    // command line, a recovery, a save under another name): the file selected and scrolled
    // to when it is in the list's folder (nothing loads), otherwise nothing selected. A
    // choice that was not loaded (a cancelled question) is taken back, so choosing that
    // file again asks again.
    void ShowLoaded(const QString& model, const QString& animation);
    // Header click: collapse the upper pane, or give it all the room.
    void ToggleUpperPane();
    static constexpr int HeaderHeight = 30;
    int UpperPaneHeight() const { return UpperHeight_; }

signals:
    void Closed();
    // A file was selected in a list: the owner loads it.
    void ModelChosen(const QString& path);
    void AnimationChosen(const QString& path);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // keep: the list stays scrolled where it was (the folder changed on disk).
    void Fill(QListWidget* list, const QString& dir, const QString& mask, bool keep = false);
    // Selects path's file, scrolled into view, when it is in dir; else nothing.
    void Mark(QListWidget* list, const QString& dir, const QString& path);
    // The lists follow their folders on disk (a save into one, a file copied there).
    void Watch();
    void Refill();
    void PlacePanes();
    void P3dFileListBoxChange();
    void RTMFileListBoxChange();

    QString P3dDir_, RTMDir_;
    QString LoadedModel_, LoadedAnimation_;
    bool Filling_ = false;
    QFileSystemWatcher* Watcher_ = nullptr;
    QTimer* RefillTimer_ = nullptr;
    int UpperHeight_ = HeaderHeight;
};
