#include "platform/Ini.h"
#include "platform/FileUtil.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {
// ---- One line as the format reads it. These are the reference; the byte forms further
// down give the same answers for lines of ASCII text without making strings.

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

// ---- Bytes

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsAscii(const char* p, qsizetype n)
{
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, sizeof w);
        if (w & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i)
        if (p[i] & 0x80)
            return false;
    return true;
}

// FNV-1a over case-folded code points: names equal without regard to case hash alike.
constexpr uint32_t HashSeed = 2166136261u;
uint32_t HashStep(uint32_t h, char32_t c) { return (h ^ uint32_t(c)) * 16777619u; }

// Mixes every bit into the low ones, which pick the slot (keys that differ in their last
// digits would otherwise crowd together).
uint32_t HashEnd(uint32_t h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

uint32_t FoldHash(QStringView s)
{
    uint32_t h = HashSeed;
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        h = HashStep(h, QChar::toCaseFolded(c));
    }
    return HashEnd(h);
}

uint32_t FoldHashAscii(const char* p, qsizetype n)
{
    uint32_t h = HashSeed;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        h = HashStep(h, char32_t(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
    return HashEnd(h);
}

const char* FindByte(const char* from, const char* to, char c)
{
    return from < to ? static_cast<const char*>(std::memchr(from, c, size_t(to - from))) : nullptr;
}

const char* FindLastByte(const char* from, const char* to, char c)
{
    return from < to ? static_cast<const char*>(memrchr(from, c, size_t(to - from))) : nullptr;
}

// The keys of one section of the text: for every line that holds one, its key's hash and
// where the line starts, as (hash << 32) | start, sorted. Lines of one key follow each
// other in the order of the text, so the first line of a key is found first. Made in one
// pass over the section and a sort that streams through the list, never by jumps across
// a large table. Texts are far smaller than 4 GiB (files over MaxTextFileSize are not read).
constexpr qsizetype MaxTextBytes = qsizetype(UINT32_MAX) - 1;

struct TKeyTable {
    std::vector<uint64_t> Lines;
};

// Sorts keys by their upper 32 bits, keeping the order of equal ones (radix, a byte at
// a time from the lowest).
void SortByHash(std::vector<uint64_t>& keys)
{
    std::vector<uint64_t> other(keys.size());
    for (int shift = 32; shift < 64; shift += 8) {
        size_t count[257] = {};
        for (const uint64_t k : keys)
            ++count[((k >> shift) & 0xFF) + 1];
        for (int i = 0; i < 256; ++i)
            count[i + 1] += count[i];
        for (const uint64_t k : keys)
            other[count[(k >> shift) & 0xFF]++] = k;
        keys.swap(other);
    }
}

// Lines a write added to a section, in order, and the live one of each key.
struct TAddedLine {
    QString Text;
    bool Deleted = false;
};
struct TAdded {
    std::vector<TAddedLine> Lines;
    QHash<QString, int> Live;  // case-folded key -> index into Lines
};

// A key's line: in the text (At, where the line starts) or added by a write (Added).
struct TKeyLine {
    bool Found = false;
    bool InText = false;
    uint32_t At = 0;
    int Added = -1;
};
}  // namespace

struct TIniFile::TData {
    QString FileName;
    QString ReadError;
    QByteArray Bytes;  // the text as read, in its own encoding
    qsizetype Start = 0;  // after a UTF-8 byte order mark, which is kept
    bool Latin1 = false;
    bool Crlf = false;
    bool Modified = false;

    // The text's section headers in order: where each line starts, and its name's hash.
    std::vector<uint32_t> HeaderAt;
    std::vector<uint32_t> HeaderHash;
    // Sections writes added, numbered after the text's; each after a blank line when the
    // file did not end in one as it was added.
    struct TNewSection {
        QString Name;
        bool Separated = false;
    };
    std::vector<TNewSection> NewSections;
    // Section names looked up (case-folded): the first section of the name, or -1; and the
    // last one asked for as it was given, since look-ups come in runs of one section.
    mutable QHash<QString, int> SectionCache;
    mutable QString LastSectionName;
    mutable int LastSection = -1;
    // Key tables of the text's sections, made on first look-up.
    mutable std::unordered_map<int, TKeyTable> Keys;
    // Edits of the text's lines, by where the line starts.
    std::unordered_map<uint32_t, QString> Replaced;
    std::unordered_set<uint32_t> Deleted;
    // Lines writes added, per section.
    std::map<int, TAdded> Added;

    const char* Begin() const { return Bytes.constData(); }
    const char* End() const { return Bytes.constData() + Bytes.size(); }

    void Adopt(QByteArray bytes, bool detectBom);
    void IndexHeaders();

    QString Decode(qsizetype from, qsizetype to) const
    {
        const char* p = Begin() + from;
        return Latin1 ? QString::fromLatin1(p, to - from) : QString::fromUtf8(p, to - from);
    }
    // End of the line starting at `at` (its line break, or the end of the text).
    qsizetype LineEnd(qsizetype at) const
    {
        const char* nl = FindByte(Begin() + at, End(), '\n');
        return nl ? nl - Begin() : Bytes.size();
    }
    // The line starting at `at` without its line break, as the format reads it.
    QString Line(qsizetype at) const { return Decode(at, LineEnd(at)); }
    // The same as it is written back: without the CR of a CRLF break.
    qsizetype ContentEnd(qsizetype at) const
    {
        const qsizetype nl = LineEnd(at);
        qsizetype end = nl;
        if (nl == Bytes.size()) {  // a last line cut off after CRs loses them
            while (end > at && Bytes[end - 1] == '\r')
                --end;
        } else if (Crlf && end > at && Bytes[end - 1] == '\r') {
            --end;
        }
        return end;
    }
    QString Content(qsizetype at) const { return Decode(at, ContentEnd(at)); }

    qsizetype SectionBody(int s) const
    {
        const qsizetype end = LineEnd(HeaderAt[size_t(s)]);
        return end < Bytes.size() ? end + 1 : end;
    }
    qsizetype SectionEnd(int s) const
    {
        return size_t(s) + 1 < HeaderAt.size() ? qsizetype(HeaderAt[size_t(s) + 1]) : Bytes.size();
    }

    // The key of the line at `at`: its bytes [b, e) when they are ASCII, else its text.
    enum class TKeyKind { None, Ascii, Text };
    TKeyKind KeyAt(qsizetype at, const char*& b, const char*& e, QString& key) const;
    // The hash of the key of the line at `at`; false when the line holds none.
    bool KeyHash(qsizetype at, uint32_t& hash) const;
    bool KeyIs(qsizetype at, const QString& key) const;
    const TKeyTable& KeysOf(int s) const;
    int FindSection(const QString& name) const;
    int FindSectionByName(const QString& name) const;
    int AddSection(const QString& name);
    // Whether the text as it would be written ends in a line that is not blank.
    bool EndsInLine() const;
    TKeyLine FindKey(int s, const QString& key) const;
    QString LineText(const TKeyLine& line, int s) const;

    // The text as it would be written; utf8 tells its encoding.
    QByteArray Render(bool& utf8) const;
    QByteArray RenderAs(bool utf8) const;
};

void TIniFile::TData::Adopt(QByteArray bytes, bool detectBom)
{
    Bytes = std::move(bytes);
    Replaced.clear();
    Deleted.clear();
    Added.clear();
    NewSections.clear();
    SectionCache.clear();
    LastSectionName.clear();
    Keys.clear();
    HeaderAt.clear();
    HeaderHash.clear();
    Start = 0;
    Crlf = false;
    if (Bytes.size() > MaxTextBytes) {
        Bytes.clear();
        ReadError = SystemErrorText(EFBIG);
    }
    // Files made on Windows are single-byte text; our own are UTF-8.
    Latin1 = !IsValidUtf8(Bytes.constData(), Bytes.size());
    if (detectBom && !Latin1 && Bytes.startsWith("\xEF\xBB\xBF"))
        Start = 3;
    // The first line end decides: a file made on Windows is written back with CRLF.
    // Otherwise a stray CR stays part of its line, so the text is kept as it was.
    const qsizetype firstBreak = Bytes.indexOf('\n', Start);
    Crlf = firstBreak > Start && Bytes[firstBreak - 1] == '\r';
    IndexHeaders();
}

void TIniFile::TData::IndexHeaders()
{
    // Only lines holding a '[' can be headers: the rest is passed over at the speed of a
    // byte search.
    const char* base = Begin();
    const char* end = End();
    const char* from = base + Start;  // always the start of a line
    while (from < end) {
        const char* bracket = FindByte(from, end, '[');
        if (!bracket)
            break;
        const char* nl = FindLastByte(from, bracket, '\n');
        const char* ls = nl ? nl + 1 : from;
        const char* le = FindByte(bracket, end, '\n');
        if (!le)
            le = end;
        from = le < end ? le + 1 : end;
        uint32_t hash = 0;
        if (IsAscii(ls, le - ls)) {
            const char* b = ls;
            while (b < le && IsAsciiSpace(*b))
                ++b;
            const char* e = le;
            while (e > b && IsAsciiSpace(e[-1]))
                --e;
            if (b != bracket || e - b < 2 || e[-1] != ']')
                continue;
            ++b;
            --e;
            while (b < e && IsAsciiSpace(*b))
                ++b;
            while (e > b && IsAsciiSpace(e[-1]))
                --e;
            hash = FoldHashAscii(b, e - b);
        } else {
            const QString line = Decode(ls - base, le - base);
            if (!IsSectionLine(line))
                continue;
            hash = FoldHash(SectionName(line));
        }
        HeaderAt.push_back(uint32_t(ls - base));
        HeaderHash.push_back(hash);
    }
}

TIniFile::TData::TKeyKind TIniFile::TData::KeyAt(qsizetype at, const char*& b, const char*& e, QString& key) const
{
    // Only the line up to its first '=' decides the key; keys are short, the rest of the
    // line is never looked at.
    const char* ls = Begin() + at;
    const char* eq = ls;
    while (eq < End() && *eq != '=' && *eq != '\n')
        ++eq;
    if (eq == End() || *eq != '=')
        return TKeyKind::None;
    if (!IsAscii(ls, eq - ls)) {
        key = KeyOf(Decode(at, eq + 1 - Begin()));
        return key.isEmpty() ? TKeyKind::None : TKeyKind::Text;
    }
    b = ls;
    while (b < eq && IsAsciiSpace(*b))
        ++b;
    if (b == eq || *b == ';' || *b == '#')
        return TKeyKind::None;
    e = eq;
    while (e > b && IsAsciiSpace(e[-1]))
        --e;
    return TKeyKind::Ascii;
}

bool TIniFile::TData::KeyHash(qsizetype at, uint32_t& hash) const
{
    const char *b = nullptr, *e = nullptr;
    QString key;
    switch (KeyAt(at, b, e, key)) {
    case TKeyKind::None:
        return false;
    case TKeyKind::Ascii:
        hash = FoldHashAscii(b, e - b);
        return true;
    case TKeyKind::Text:
        break;
    }
    hash = FoldHash(key);
    return true;
}

bool TIniFile::TData::KeyIs(qsizetype at, const QString& key) const
{
    const char *b = nullptr, *e = nullptr;
    QString text;
    switch (KeyAt(at, b, e, text)) {
    case TKeyKind::None:
        return false;
    case TKeyKind::Ascii:
        return key.compare(QLatin1StringView(b, e - b), Qt::CaseInsensitive) == 0;
    case TKeyKind::Text:
        break;
    }
    return key.compare(text, Qt::CaseInsensitive) == 0;
}

const TKeyTable& TIniFile::TData::KeysOf(int s) const
{
    if (const auto it = Keys.find(s); it != Keys.end())
        return it->second;
    // Only lines holding a '=' can be keys.
    const char* base = Begin();
    const char* end = base + SectionEnd(s);
    const char* body = base + SectionBody(s);
    size_t candidates = 0;
    for (const char* from = body; from < end;) {
        const char* eq = FindByte(from, end, '=');
        if (!eq)
            break;
        ++candidates;
        const char* le = FindByte(eq, end, '\n');
        from = le ? le + 1 : end;
    }
    TKeyTable& table = Keys[s];
    table.Lines.reserve(candidates);
    for (const char* from = body; from < end;) {
        const char* eq = FindByte(from, end, '=');
        if (!eq)
            break;
        const char* nl = FindLastByte(from, eq, '\n');
        const qsizetype ls = (nl ? nl + 1 : from) - base;
        const char* le = FindByte(eq, end, '\n');
        from = le ? le + 1 : end;
        uint32_t hash = 0;
        if (KeyHash(ls, hash))
            table.Lines.push_back((uint64_t(hash) << 32) | uint64_t(ls));
    }
    SortByHash(table.Lines);
    return table;
}

int TIniFile::TData::FindSection(const QString& name) const
{
    if (!LastSectionName.isNull() && name == LastSectionName)
        return LastSection;
    LastSectionName = name;
    LastSection = FindSectionByName(name);
    return LastSection;
}

int TIniFile::TData::FindSectionByName(const QString& name) const
{
    const QString folded = FoldCase(name);
    if (const auto it = SectionCache.constFind(folded); it != SectionCache.cend())
        return *it;
    int found = -1;
    const uint32_t hash = FoldHash(name);
    for (size_t i = 0; i < HeaderAt.size() && found < 0; ++i)
        if (HeaderHash[i] == hash && SectionName(Line(HeaderAt[i])).compare(name, Qt::CaseInsensitive) == 0)
            found = int(i);
    for (size_t i = 0; i < NewSections.size() && found < 0; ++i)
        if (NewSections[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            found = int(HeaderAt.size() + i);
    SectionCache.insert(folded, found);
    return found;
}

bool TIniFile::TData::EndsInLine() const
{
    if (!NewSections.empty())
        return true;  // a header, or the keys under it
    // The last line the text keeps; lines added to its section go after it unless it is blank.
    qsizetype end = Bytes.size();
    for (;;) {
        const char* nl = FindLastByte(Begin() + Start, Begin() + end, '\n');
        const qsizetype at = nl ? nl - Begin() + 1 : Start;
        const bool cutOff = end == Bytes.size();
        if (!(cutOff && ContentEnd(at) == at) && !Deleted.count(uint32_t(at))) {
            const auto r = Replaced.find(uint32_t(at));
            return !(r != Replaced.end() ? r->second : Line(at)).trimmed().isEmpty();
        }
        if (at == Start)
            break;
        end = at - 1;
    }
    return false;
}

int TIniFile::TData::AddSection(const QString& name)
{
    NewSections.push_back({name, EndsInLine()});
    const int s = int(HeaderAt.size() + NewSections.size() - 1);
    Added[s];  // a new section is written even when its keys go again
    SectionCache.insert(FoldCase(name), s);
    LastSectionName.clear();
    return s;
}

TKeyLine TIniFile::TData::FindKey(int s, const QString& key) const
{
    TKeyLine line;
    if (s < 0 || key.isEmpty())
        return line;
    if (size_t(s) < HeaderAt.size()) {
        // The key's lines in the order of the text: the first one not deleted counts.
        const std::vector<uint64_t>& lines = KeysOf(s).Lines;
        const uint64_t hash = FoldHash(key);
        for (auto it = std::lower_bound(lines.begin(), lines.end(), hash << 32); it != lines.end() && (*it >> 32) == hash; ++it) {
            const uint32_t at = uint32_t(*it);
            if (!Deleted.count(at) && KeyIs(at, key)) {
                line = {true, true, at, -1};
                return line;
            }
        }
    }
    if (const auto added = Added.find(s); added != Added.end()) {
        if (const auto live = added->second.Live.constFind(FoldCase(key)); live != added->second.Live.cend())
            line = {true, false, 0, *live};
    }
    return line;
}

QString TIniFile::TData::LineText(const TKeyLine& line, int s) const
{
    if (!line.InText)
        return Added.at(s).Lines[size_t(line.Added)].Text;
    const auto replaced = Replaced.find(line.At);
    return replaced != Replaced.end() ? replaced->second : Content(line.At);
}

QByteArray TIniFile::TData::Render(bool& utf8) const
{
    // A single-byte file stays one unless a write needs a character it cannot hold.
    utf8 = !Latin1;
    const auto fitsLatin1 = [](const QString& text) {
        for (QChar c : text)
            if (c.unicode() > 0xFF)
                return false;
        return true;
    };
    for (const auto& [at, text] : Replaced)
        utf8 = utf8 || !fitsLatin1(text);
    for (const auto& [s, added] : Added)
        for (const TAddedLine& l : added.Lines)
            utf8 = utf8 || (!l.Deleted && !fitsLatin1(l.Text));
    for (const TNewSection& section : NewSections)
        utf8 = utf8 || !fitsLatin1(section.Name);
    QByteArray out = RenderAs(utf8);
    // A write can take away the bytes that made the text single-byte (a rewritten value).
    // Its other non-ASCII bytes would then read back as UTF-8, another text: such a text
    // is written as UTF-8 instead.
    if (!utf8 && !IsAscii(out.constData(), out.size()) && IsValidUtf8(out.constData(), out.size())) {
        utf8 = true;
        out = RenderAs(true);
    }
    return out;
}

QByteArray TIniFile::TData::RenderAs(bool utf8) const
{
    const QByteArray eol = Crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    const auto encode = [utf8](const QString& text) { return utf8 ? text.toUtf8() : text.toLatin1(); };

    // Added lines of a section of the text go after its last line that is kept and not
    // blank (the header when there is none).
    std::map<uint32_t, int> insertAfter;
    for (const auto& [s, added] : Added) {
        if (size_t(s) >= HeaderAt.size())
            continue;
        uint32_t after = HeaderAt[size_t(s)];
        const qsizetype body = SectionBody(s);
        for (qsizetype from = body; from < SectionEnd(s); from = LineEnd(from) + 1) {
            if (Deleted.count(uint32_t(from)))
                continue;
            const QString text = Replaced.count(uint32_t(from)) ? Replaced.at(uint32_t(from)) : Line(from);
            if (!text.trimmed().isEmpty())
                after = uint32_t(from);
        }
        insertAfter[after] = s;
    }

    QByteArray out;
    out.reserve(Bytes.size() + Bytes.size() / 16 + 64);
    out.append(Bytes.constData(), Start);
    const auto emitLine = [&](const QByteArray& bytes) {
        out += bytes;
        out += eol;
    };
    const auto emitAdded = [&](int s) {
        for (const TAddedLine& l : Added.at(s).Lines)
            if (!l.Deleted)
                emitLine(encode(l.Text));
    };
    const bool reencode = utf8 && Latin1;
    for (qsizetype at = Start; at < Bytes.size();) {
        const qsizetype nl = LineEnd(at);
        const qsizetype end = ContentEnd(at);
        if (nl == Bytes.size() && end == at)
            break;  // no last line, only the break before it (and CRs)
        if (Deleted.empty() || !Deleted.count(uint32_t(at))) {
            if (const auto r = Replaced.find(uint32_t(at)); r != Replaced.end()) {
                emitLine(encode(r->second));
            } else {
                const QByteArray raw = QByteArray::fromRawData(Bytes.constData() + at, end - at);
                emitLine(reencode ? QString::fromLatin1(raw).toUtf8() : QByteArray(raw));
            }
            if (!insertAfter.empty())
                if (const auto ins = insertAfter.find(uint32_t(at)); ins != insertAfter.end())
                    emitAdded(ins->second);
        }
        at = nl + 1;
    }
    for (size_t i = 0; i < NewSections.size(); ++i) {
        if (NewSections[i].Separated)
            emitLine(QByteArray());
        emitLine(encode(QLatin1Char('[') + NewSections[i].Name + QLatin1Char(']')));
        emitAdded(int(HeaderAt.size() + i));
    }
    return out;
}

// ---- TIniFile

TIniFile::TIniFile() : D_(std::make_unique<TData>()) {}

TIniFile::TIniFile(const QString& fileName) : D_(std::make_unique<TData>())
{
    D_->FileName = fileName;
    Reload();
}

TIniFile::~TIniFile() = default;
TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;

const QString& TIniFile::FileName() const { return D_->FileName; }
const QString& TIniFile::ReadError() const { return D_->ReadError; }
bool TIniFile::Modified() const { return D_->Modified; }

void TIniFile::Reload()
{
    TData& d = *D_;
    d.ReadError.clear();
    d.Modified = false;
    QByteArray bytes;
    // A file that does not exist yet reads as empty. A settings, names or colour file of
    // gigabytes is no such file: it is refused rather than allocated.
    QString error;
    if (!d.FileName.isEmpty() && FileExists(d.FileName) && !ReadWholeFile(d.FileName, bytes, &error, MaxTextFileSize))
        d.ReadError = error;  // writing now would replace the file with only the keys written
    try {
        d.Adopt(std::move(bytes), true);
    } catch (const std::bad_alloc&) {
        d.Adopt(QByteArray(), true);
        d.ReadError = SystemErrorText(ENOMEM);
    }
}

void TIniFile::SetText(const QString& text)
{
    D_->Adopt(text.toUtf8(), false);
    D_->Modified = true;
}

QString TIniFile::Text() const
{
    bool utf8 = false;
    const QByteArray bytes = D_->Render(utf8);
    const qsizetype start = D_->Start;
    return utf8 ? QString::fromUtf8(bytes.constData() + start, bytes.size() - start)
                : QString::fromLatin1(bytes.constData() + start, bytes.size() - start);
}

bool TIniFile::SectionExists(const QString& section) const { return D_->FindSection(section) >= 0; }

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return D_->FindKey(D_->FindSection(section), key).Found;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const int s = D_->FindSection(section);
    const TKeyLine line = D_->FindKey(s, key);
    return line.Found ? ValueOf(D_->LineText(line, s)) : def;
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
    TData& d = *D_;
    const QString text = key + QLatin1Char('=') + value;
    int s = d.FindSection(section);
    if (s < 0)
        s = d.AddSection(section);
    const TKeyLine line = d.FindKey(s, key);
    if (line.Found) {
        if (d.LineText(line, s) == text)
            return;
        if (line.InText)
            d.Replaced[line.At] = text;
        else
            d.Added[s].Lines[size_t(line.Added)].Text = text;
    } else {
        TAdded& added = d.Added[s];
        added.Live.insert(FoldCase(key), int(added.Lines.size()));
        added.Lines.push_back({text, false});
    }
    d.Modified = true;
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
    TData& d = *D_;
    const int s = d.FindSection(section);
    const TKeyLine line = d.FindKey(s, key);
    if (!line.Found)
        return;
    if (line.InText) {
        d.Replaced.erase(line.At);
        d.Deleted.insert(line.At);
    } else {
        TAdded& added = d.Added[s];
        added.Lines[size_t(line.Added)].Deleted = true;
        added.Live.remove(FoldCase(key));
    }
    d.Modified = true;
}

bool TIniFile::UpdateFile(QString* error)
{
    TData& d = *D_;
    if (!d.Modified)
        return true;
    if (!d.ReadError.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 could not be read (%2), so it was not written: its other entries would be lost.")
                         .arg(d.FileName, d.ReadError);
        return false;
    }
    bool utf8 = false;
    QByteArray bytes = d.Render(utf8);
    QString writeError;
    if (!WriteFileAtomic(d.FileName, bytes, &writeError)) {
        if (error)
            *error = QStringLiteral("Unable to write to %1: %2").arg(d.FileName, writeError);
        return false;
    }
    // What was written is what the file holds now.
    const qsizetype start = d.Start;
    d.Adopt(std::move(bytes), start > 0);
    d.Modified = false;
    return true;
}
