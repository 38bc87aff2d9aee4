#include "app/QtDialogs.h"
#include "widgets/Controls.h"
#include "modelforms/Proxyselect.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QGridLayout>
#include <QMessageBox>

namespace {
// The window a dialog belongs to: the one named by the innermost DialogOwner, else the
// active window.
QWidget* Owner()
{
    if (QWidget* w = dialogOwner())
        return w->window();
    return QApplication::activeWindow();
}

QString StartPath(const FileDialogOptions& o)
{
    if (o.FileName.isEmpty())
        return o.InitialDir;
    if (QFileInfo(o.FileName).isAbsolute() || o.InitialDir.isEmpty())
        return o.FileName;
    return QDir(o.InitialDir).filePath(o.FileName);
}

// "*.rtm" -> "rtm"
QString Suffix(const QString& defaultExt)
{
    QString s = defaultExt;
    while (s.startsWith(QLatin1Char('*')) || s.startsWith(QLatin1Char('.')))
        s.remove(0, 1);
    return s;
}

QString RunFileDialog(const FileDialogOptions& o, QFileDialog::AcceptMode mode)
{
    QFileDialog d(Owner(), o.Title, StartPath(o), QtFilterFromPipes(o.Filter));
    d.setAcceptMode(mode);
    d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d.setDefaultSuffix(Suffix(o.DefaultExt));
    if (mode == QFileDialog::AcceptSave && !o.OverwritePrompt)
        d.setOption(QFileDialog::DontConfirmOverwrite);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return d.selectedFiles().first();
}
}  // namespace

namespace {
// A short message makes a narrow box whose title bar cuts the caption off; the text is
// given at least the width the caption needs.
void FitCaption(QMessageBox& box)
{
    const int need = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 120;
    // A spacer row rather than a minimum on the label, which would stop the box from
    // measuring (and wrapping) a long text itself.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(need, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
}
}  // namespace

void TQtDialogs::ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Torvane Anim"), text, QMessageBox::Ok, Owner());
    FitCaption(box);
    box.exec();
}

bool TQtDialogs::AskYesNo(const QString& text, const QString& caption)
{
    const auto icon = caption == QLatin1String("Warning") ? QMessageBox::Warning : QMessageBox::Question;
    QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No, Owner());
    box.setDefaultButton(QMessageBox::No);
    FitCaption(box);
    return box.exec() == QMessageBox::Yes;
}

QString TQtDialogs::OpenFile(const FileDialogOptions& o) { return RunFileDialog(o, QFileDialog::AcceptOpen); }

QString TQtDialogs::SaveFile(const FileDialogOptions& o) { return RunFileDialog(o, QFileDialog::AcceptSave); }

bool TQtDialogs::ChooseColor(unsigned& color)
{
    const QColor initial = ColorFromRef(color);
    const QColor c = QColorDialog::getColor(initial, Owner());
    if (!c.isValid())
        return false;
    color = RefFromColor(c);
    return true;
}

bool TQtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value)
{
    bool ok = false;
    const QString s = QInputDialog::getText(Owner(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = s;
    return ok;
}

int TQtDialogs::ChooseItem(const QString& caption, const QString& prompt, const QStringList& items, int preselected)
{
    if (F_ProxySelect)
        return F_ProxySelect->Choose(caption, prompt, items, preselected);
    TF_ProxySelect dialog(Owner());
    return dialog.Choose(caption, prompt, items, preselected);
}
