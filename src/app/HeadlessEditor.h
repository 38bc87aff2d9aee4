#pragma once
// The editor without a window on screen, for the command-line tools: a main window that is
// never shown, set up with a home folder's settings, whose messages go to a text stream
// and whose questions are answered No. Models and animations load exactly as in the
// window, so the tools report what the editor would show.
#include "app/Settings.h"
#include "platform/Dialogs.h"

#include <QStringList>
#include <memory>

class QTextStream;
class TMainForm;

// Messages are written to a stream, one per line; questions are shown there and answered
// No; file, colour and text prompts are cancelled. With Hold set, messages are kept in
// Held instead, for the caller to write out (or drop) later.
class TStreamDialogs final : public Dialogs {
public:
    explicit TStreamDialogs(QTextStream& err) : Err_(err) {}

    bool Hold = false;
    QStringList Held;

    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    QString OpenFile(const FileDialogOptions&) override { return {}; }
    QString SaveFile(const FileDialogOptions&) override { return {}; }
    bool ChooseColor(unsigned&) override { return false; }
    QString InputQuery(const QString&, const QString&, const QString& defaultText) override { return defaultText; }
    // Picks the entry named Choice, or the preselected one when Choice is empty; an entry
    // that is not there is reported and counts as cancelled.
    int ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected) override;
    QString Choice;

    // Writes one message as the stream dialogs do.
    void Write(const QString& text);

private:
    QTextStream& Err_;
};

class THeadlessEditor {
public:
    // home empty: the executable's folder. The settings file there (or its legacy name when
    // only that exists) selects the translation and colour files. Installs the stream
    // dialogs and silences the debug channel until destroyed. The view options (axes, grid,
    // auto scale, the 3D view's light, transparency and grid) come from the settings file as
    // at start-up. Needs a QApplication.
    THeadlessEditor(const QString& home, QTextStream& err);
    ~THeadlessEditor();
    THeadlessEditor(const THeadlessEditor&) = delete;
    THeadlessEditor& operator=(const THeadlessEditor&) = delete;

    TMainForm& Form() { return *Form_; }
    const TMainForm& Form() const { return *Form_; }
    TStreamDialogs& StreamDialogs() { return Dialogs_; }
    // What the settings file holds (defaults where it has nothing).
    const TSettings& Settings() const { return Settings_; }

    // False when no model was loaded or its reader refused the file (the message is out).
    bool LoadModel(const QString& path);
    // False when the animation could not be read (the message is out).
    bool LoadAnimation(const QString& path);

private:
    TStreamDialogs Dialogs_;
    Dialogs* Previous_ = nullptr;
    TSettings Settings_;
    std::unique_ptr<TMainForm> Form_;
};
