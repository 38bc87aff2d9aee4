#include "platform/Dialogs.h"

namespace {
// Until something real is installed, questions answer No and prompts cancel.
class SilentDialogs final : public Dialogs {
public:
    void ShowMessage(const QString&) override {}
    bool AskYesNo(const QString&, const QString&) override { return false; }
    TSaveAnswer AskSaveChanges(const QString&) override { return TSaveAnswer::Cancel; }
    bool AskSaveOver(const QString&, const QString&) override { return false; }
    TRecoverAnswer AskRecover(const QString&, const QString&) override { return TRecoverAnswer::Later; }
    QString OpenFile(const FileDialogOptions&) override { return {}; }
    QString SaveFile(const FileDialogOptions&) override { return {}; }
    bool ChooseColor(unsigned&) override { return false; }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    int ChooseItem(const QString&, const QString&, const QStringList&, int) override { return -1; }
};
SilentDialogs g_silent;
Dialogs* g_dialogs = &g_silent;
QWidget* g_owner = nullptr;
}  // namespace

DialogOwner::DialogOwner(QWidget* owner) : Previous_(g_owner) { g_owner = owner; }

DialogOwner::~DialogOwner() { g_owner = Previous_; }

QWidget* dialogOwner() { return g_owner; }

Dialogs& dialogs() { return *g_dialogs; }

Dialogs* setDialogs(Dialogs* d)
{
    Dialogs* old = g_dialogs;
    g_dialogs = d ? d : &g_silent;
    return old;
}

TKeptMessages::TKeptMessages(QStringList& into) : Into_(into), Previous_(setDialogs(this)) {}

TKeptMessages::~TKeptMessages() { setDialogs(Previous_); }

QString QtFilterFromPipes(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString text = parts[i].trimmed();
        // A description that already ends in its patterns ("File(*.p3d)") shows them once.
        if (text.endsWith(QLatin1Char(')')) && text.contains(QLatin1Char('(')))
            out << text;
        else
            out << QStringLiteral("%1 (%2)").arg(text, patterns);
    }
    return out.join(QStringLiteral(";;"));
}
