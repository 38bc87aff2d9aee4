#pragma once
// Dialogs for tests: records every text shown or asked, answers questions and file prompts
// from queues (an empty queue answers No / Cancel), and installs itself for its lifetime.
#include "platform/Dialogs.h"

#include <QQueue>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <functional>

class ScriptedDialogs final : public Dialogs {
public:
    ScriptedDialogs() { Previous_ = setDialogs(this); }
    ~ScriptedDialogs() override { setDialogs(Previous_); }

    QStringList Messages;  // every ShowMessage text, in order
    QStringList Questions;  // every AskYesNo and AskSaveOver text, in order
    QStringList QuestionCaptions;  // their captions
    QList<FileDialogOptions> FilePrompts;

    QQueue<bool> Answers;  // Yes / Save over
    // "Save changes to NAME?": the texts asked, answered from the queue (Cancel when empty).
    QStringList SaveQuestions;
    QQueue<TSaveAnswer> SaveAnswers;
    // Run while the save question is open, as a user acting meanwhile.
    std::function<void()> WhileAsking;
    // "Recover unsaved work from DATE?": the texts and details asked, answered from the
    // queue (Later when empty).
    QStringList RecoverQuestions;
    QStringList RecoverDetails;
    QQueue<TRecoverAnswer> RecoverAnswers;
    QQueue<QString> Files;
    QQueue<QString> Inputs;  // a null QString answers Cancel, an empty one OK with nothing typed
    QQueue<unsigned> Colors;
    // Choices from lists: each prompt is recorded (caption, prompt, then the items); the
    // answer is the next index queued, -1 (cancel) when none.
    QList<QStringList> ItemPrompts;
    QQueue<int> Choices;
    // dialogOwner() at every call, in order.
    QList<QWidget*> Owners;
    // For each message: whether its owner's window was on the screen (mapped and exposed).
    QList<bool> OwnerShown;

    void ShowMessage(const QString& text) override
    {
        Owners << dialogOwner();
        const QWindow* window = dialogOwner() ? dialogOwner()->window()->windowHandle() : nullptr;
        OwnerShown << (window && window->isExposed());
        Messages << text;
    }
    bool AskYesNo(const QString& text, const QString& caption) override
    {
        Owners << dialogOwner();
        Questions << text;
        QuestionCaptions << caption;
        return Next(Answers, false);
    }
    bool AskSaveOver(const QString& text, const QString& caption) override { return AskYesNo(text, caption); }
    TSaveAnswer AskSaveChanges(const QString& text) override
    {
        SaveQuestions << text;
        if (WhileAsking)
            WhileAsking();
        return Next(SaveAnswers, TSaveAnswer::Cancel);
    }
    TRecoverAnswer AskRecover(const QString& text, const QString& detail) override
    {
        Owners << dialogOwner();
        RecoverQuestions << text;
        RecoverDetails << detail;
        return Next(RecoverAnswers, TRecoverAnswer::Later);
    }
    QString OpenFile(const FileDialogOptions& o) override
    {
        FilePrompts << o;
        return Next(Files, QString());
    }
    QString SaveFile(const FileDialogOptions& o) override
    {
        FilePrompts << o;
        return Next(Files, QString());
    }
    bool ChooseColor(unsigned& color) override
    {
        if (Colors.isEmpty())
            return false;
        color = Colors.dequeue();
        return true;
    }
    bool InputQuery(const QString&, const QString&, QString& value) override
    {
        Owners << dialogOwner();
        const QString answer = Next(Inputs, QString());
        if (answer.isNull())
            return false;
        value = answer;
        return true;
    }
    int ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int) override
    {
        ItemPrompts << (QStringList{caption, prompt} + items);
        return Next(Choices, -1);
    }

private:
    template <typename T>
    static T Next(QQueue<T>& q, T none)
    {
        return q.isEmpty() ? none : q.dequeue();
    }
    Dialogs* Previous_ = nullptr;
};
