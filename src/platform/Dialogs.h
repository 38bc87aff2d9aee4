#pragma once
// Every modal question, message and file/colour/text prompt goes through this interface,
// so forms never block a test on a modal window. The application installs the Qt
// implementation; tests install a scripted one.
#include <QString>
#include <QStringList>

class QWidget;

struct FileDialogOptions {
    QString Title;
    QString Filter;  // "Text|*.ext|All Files|*.*" as the menus describe it
    QString DefaultExt;  // "*.rtm"
    QString InitialDir;
    QString FileName;  // preset file name
    bool OverwritePrompt = false;
};

// The answer to "Save changes to NAME?".
enum class TSaveAnswer { Save, Discard, Cancel };
// The answer to "Recover unsaved work from DATE?".
enum class TRecoverAnswer { Recover, Discard, Later };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void ShowMessage(const QString& text) = 0;
    virtual bool AskYesNo(const QString& text, const QString& caption) = 0;
    // Save, Discard and Cancel, before unsaved work would be lost.
    virtual TSaveAnswer AskSaveChanges(const QString& text) = 0;
    // "Save over" and Cancel (the default), before a save writes over a file that changed
    // on disk meanwhile: true to save over it.
    virtual bool AskSaveOver(const QString& text, const QString& caption) = 0;
    // Recover, Discard and Later, for a copy of work a crash left; detail says whose.
    virtual TRecoverAnswer AskRecover(const QString& text, const QString& detail) = 0;
    // Empty string when cancelled.
    virtual QString OpenFile(const FileDialogOptions& options) = 0;
    virtual QString SaveFile(const FileDialogOptions& options) = 0;
    // Colours are 0x00BBGGRR; false when cancelled.
    virtual bool ChooseColor(unsigned& color) = 0;
    // value holds the text the prompt opens with and, after OK, the text entered (which may
    // be empty); false when cancelled, value then unchanged.
    virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // One entry of a list, with `preselected` selected when the prompt opens: the index
    // chosen, or -1 when cancelled.
    virtual int ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected) = 0;
};

// The dialogs in force. Never null once the application or a test has installed one.
Dialogs& dialogs();
// Installs d (not owned) and returns the previous one.
Dialogs* setDialogs(Dialogs* d);

// The window that dialogs opened while one of these lives belong to: they open in front of
// it, not in front of whichever window happens to be active (a window that stays on top
// would otherwise cover a dialog owned by the window below it). Scopes nest.
class DialogOwner {
public:
    explicit DialogOwner(QWidget* owner);
    ~DialogOwner();
    DialogOwner(const DialogOwner&) = delete;
    DialogOwner& operator=(const DialogOwner&) = delete;

private:
    QWidget* Previous_;
};
// The innermost owner, or null when no scope is open.
QWidget* dialogOwner();

// While one lives, messages are kept in a list instead of shown; questions and prompts
// still go to the dialogs in force before it. For messages that come before the window
// they belong to can show them (start-up): the owner shows the list once it can.
class TKeptMessages final : public Dialogs {
public:
    explicit TKeptMessages(QStringList& into);
    ~TKeptMessages() override;
    TKeptMessages(const TKeptMessages&) = delete;
    TKeptMessages& operator=(const TKeptMessages&) = delete;

    void ShowMessage(const QString& text) override { Into_ << text; }
    bool AskYesNo(const QString& text, const QString& caption) override { return Previous_->AskYesNo(text, caption); }
    TSaveAnswer AskSaveChanges(const QString& text) override { return Previous_->AskSaveChanges(text); }
    bool AskSaveOver(const QString& text, const QString& caption) override { return Previous_->AskSaveOver(text, caption); }
    TRecoverAnswer AskRecover(const QString& text, const QString& detail) override { return Previous_->AskRecover(text, detail); }
    QString OpenFile(const FileDialogOptions& options) override { return Previous_->OpenFile(options); }
    QString SaveFile(const FileDialogOptions& options) override { return Previous_->SaveFile(options); }
    bool ChooseColor(unsigned& color) override { return Previous_->ChooseColor(color); }
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        return Previous_->InputQuery(caption, prompt, value);
    }
    int ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected) override
    {
        return Previous_->ChooseItem(caption, prompt, items, preselected);
    }

private:
    QStringList& Into_;
    Dialogs* Previous_;
};

// "Text|*.a|Other|*.b" -> Qt's "Text (*.a);;Other (*.b)".
QString QtFilterFromPipes(const QString& filter);
