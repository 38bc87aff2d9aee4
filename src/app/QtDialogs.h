#pragma once
// The dialogs the running editor shows: Qt's message boxes and file, colour and input dialogs.
#include "platform/Dialogs.h"

class QWidget;

class TQtDialogs final : public Dialogs {
public:
    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& text, const QString& caption) override;
    TSaveAnswer AskSaveChanges(const QString& text) override;
    bool AskSaveOver(const QString& text, const QString& caption) override;
    TRecoverAnswer AskRecover(const QString& text, const QString& detail) override;
    QString OpenFile(const FileDialogOptions& options) override;
    QString SaveFile(const FileDialogOptions& options) override;
    bool ChooseColor(unsigned& color) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    // The owner window's own proxy selection dialog when it has one, else a new one.
    int ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected) override;
};
