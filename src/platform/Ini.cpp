#include "platform/Ini.h"
#include "platform/FileUtil.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <new>

namespace {
QString SectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

bool IsSectionLine(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
}

bool IsComment(const QString& t) { return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')); }

// Key of a Key=Value line, empty for anything else.
QString KeyOf(const QString& line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || IsComment(t))
        return {};
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    return eq <= 0 ? QString() : t.left(eq).trimmed();
}

QString ValueOf(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    QString v = line.mid(eq + 1).trimmed();
    if (v.size() >= 2 && ((v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'))) ||
                          (v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))))
        v = v.mid(1, v.size() - 2);
    return v;
}
}  // namespace

TIniFile::TIniFile(const QString& fileName) : FileName_(fileName) { Reload(); }

void TIniFile::Reload()
{
    Lines_.clear();
    Modified_ = false;
    Latin1_ = false;
    Eol_ = QStringLiteral("\n");
    ReadError_.clear();
    QByteArray bytes;
    if (FileName_.isEmpty() || !QFileInfo::exists(FileName_))
        return;  // a file that does not exist yet reads as empty
    QString error;
    // A settings, names or colour file of gigabytes is no such file: it is refused rather
    // than allocated.
    if (!ReadWholeFile(FileName_, bytes, &error, MaxTextFileSize)) {
        // Writing now would replace whatever the file holds with only the keys written.
        ReadError_ = error;
        return;
    }
    try {
        // Files made on Windows are single-byte text; our own are UTF-8.
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString text = utf8.decode(bytes);
        if (utf8.hasError()) {
            text = QString::fromLatin1(bytes);
            Latin1_ = true;
        }
        SetText(text);
    } catch (const std::bad_alloc&) {
        Lines_.clear();
        ReadError_ = SystemErrorText(ENOMEM);
    }
    Modified_ = false;
}

void TIniFile::SetText(const QString& text)
{
    // The first line end decides: a file made on Windows is written back with CRLF.
    // Otherwise a stray CR stays part of its line, so the text is kept as it was.
    QString t = text;
    const qsizetype firstBreak = t.indexOf(QLatin1Char('\n'));
    const bool crlf = firstBreak > 0 && t[firstBreak - 1] == QLatin1Char('\r');
    Eol_ = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    if (crlf)
        t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (t.endsWith(QLatin1Char('\r')))  // a last line cut off after its CRs
        t.chop(1);
    Lines_ = t.split(QLatin1Char('\n'));
    if (!Lines_.isEmpty() && Lines_.last().isEmpty())
        Lines_.removeLast();
    Modified_ = true;
}

QString TIniFile::Text() const
{
    QString out;
    for (const QString& l : Lines_) {
        out += l;
        out += Eol_;
    }
    return out;
}

qsizetype TIniFile::FindSection(const QString& section) const
{
    for (qsizetype i = 0; i < Lines_.size(); ++i)
        if (IsSectionLine(Lines_[i]) && SectionName(Lines_[i]).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

qsizetype TIniFile::SectionEnd(qsizetype h) const
{
    qsizetype i = h + 1;
    while (i < Lines_.size() && !IsSectionLine(Lines_[i]))
        ++i;
    return i;
}

qsizetype TIniFile::FindKey(qsizetype h, const QString& key) const
{
    const qsizetype end = SectionEnd(h);
    for (qsizetype i = h + 1; i < end; ++i)
        if (KeyOf(Lines_[i]).compare(key, Qt::CaseInsensitive) == 0 && !KeyOf(Lines_[i]).isEmpty())
            return i;
    return -1;
}

bool TIniFile::SectionExists(const QString& section) const { return FindSection(section) >= 0; }

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    const qsizetype h = FindSection(section);
    return h >= 0 && FindKey(h, key) >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const qsizetype h = FindSection(section);
    if (h < 0)
        return def;
    const qsizetype k = FindKey(h, key);
    return k < 0 ? def : ValueOf(Lines_[k]);
}

size_t qHash(const TIniKey& key, size_t seed)
{
    // Over the case-folded code points, as QString::compare folds them.
    size_t h = seed ^ 0x9E3779B97F4A7C15ull;
    const QChar* p = key.Text.constData();
    const qsizetype n = key.Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(p[i], p[i + 1]);
            ++i;
        }
        h = (h ^ QChar::toCaseFolded(c)) * 0x100000001B3ull;
    }
    return h;
}

QHash<TIniKey, QString> TIniFile::SectionValues(const QString& section) const
{
    QHash<TIniKey, QString> values;
    const qsizetype h = FindSection(section);
    if (h < 0)
        return values;
    const qsizetype end = SectionEnd(h);
    values.reserve(end - h - 1);
    for (qsizetype i = h + 1; i < end; ++i) {
        const QString key = KeyOf(Lines_[i]);
        if (key.isEmpty())
            continue;
        TIniKey k{key};
        if (!values.contains(k))
            values.insert(std::move(k), ValueOf(Lines_[i]));
    }
    return values;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    bool ok = false;
    const int v = ReadString(section, key, QString()).toInt(&ok, 10);
    return ok ? v : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const QString line = key + QLatin1Char('=') + value;
    qsizetype h = FindSection(section);
    if (h < 0) {
        if (!Lines_.isEmpty() && !Lines_.last().trimmed().isEmpty())
            Lines_ << QString();
        Lines_ << QLatin1Char('[') + section + QLatin1Char(']') << line;
        Modified_ = true;
        return;
    }
    const qsizetype k = FindKey(h, key);
    if (k >= 0) {
        if (Lines_[k] != line) {
            Lines_[k] = line;
            Modified_ = true;
        }
        return;
    }
    // New key: after the section's last non-blank line.
    qsizetype at = SectionEnd(h);
    while (at > h + 1 && Lines_[at - 1].trimmed().isEmpty())
        --at;
    Lines_.insert(at, line);
    Modified_ = true;
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::DeleteKey(const QString& section, const QString& key)
{
    const qsizetype h = FindSection(section);
    if (h < 0)
        return;
    const qsizetype k = FindKey(h, key);
    if (k >= 0) {
        Lines_.removeAt(k);
        Modified_ = true;
    }
}

bool TIniFile::UpdateFile(QString* error)
{
    if (!Modified_)
        return true;
    if (!ReadError_.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 could not be read (%2), so it was not written: its other entries would be lost.")
                         .arg(FileName_, ReadError_);
        return false;
    }
    bool latin1 = Latin1_;
    for (qsizetype i = 0; latin1 && i < Lines_.size(); ++i)
        for (QChar c : Lines_[i])
            if (c.unicode() > 0xFF) {
                latin1 = false;
                break;
            }
    const QByteArray eol = Eol_.toLatin1();
    TAtomicFileWriter out(FileName_);
    for (qsizetype i = 0; i < Lines_.size() && out.Ok(); ++i) {
        out.Write(latin1 ? Lines_[i].toLatin1() : Lines_[i].toUtf8());
        out.Write(eol);
    }
    if (!out.Ok() || !out.Commit()) {
        if (error)
            *error = QStringLiteral("Unable to write to %1: %2").arg(FileName_, out.Error());
        return false;
    }
    Modified_ = false;
    return true;
}
