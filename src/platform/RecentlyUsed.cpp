#include "platform/RecentlyUsed.h"

#include "platform/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

namespace {
const QString BookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString MimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString FreedesktopOwner = QStringLiteral("http://freedesktop.org");

const QString NewList = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<xbel version=\"1.0\"\n"
                                       "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                                       "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
                                       ">\n"
                                       "</xbel>\n");

QString Escaped(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&apos;");
            break;
        case '\n':
            out += QLatin1String("&#10;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        case '\t':
            out += QLatin1String("&#9;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString Attr(const QString& name, const QString& value) { return QStringLiteral(" %1=\"%2\"").arg(name, Escaped(value)); }

// Where an element stands in the text: its start tag [Begin, TagEnd), its end tag
// [EndBegin, End); an empty element (<x/>) has EndBegin == TagEnd == End.
struct TPlace {
    bool Found = false;
    qsizetype Begin = 0, TagEnd = 0, EndBegin = 0, End = 0;
    QString QName;
    QString Prefix;
    QXmlStreamAttributes Attributes;
    QXmlStreamNamespaceDeclarations Declarations;
    bool Empty() const { return EndBegin == End; }
};

// The parts of the list a merge touches.
struct TFound {
    TPlace Root, Bookmark, Info, Metadata, Applications, Application;
    bool MimeType = false;
    QString BookmarkPrefix, MimePrefix;  // as the root declares them; empty when it does not
};

enum TRole { Other, Root, Bookmark, Info, Metadata, Applications, Application, MimeType };

bool SameFileUri(const QString& href, const QString& file)
{
    const QUrl url(href);
    // "file://host/path" names a file of another machine, whatever its path.
    const bool here = url.host().isEmpty() || url.host() == QLatin1String("localhost");
    return url.isLocalFile() && here && QDir::cleanPath(url.path(QUrl::FullyDecoded)) == QDir::cleanPath(file);
}

// Walks the list and notes the parts of it that concern file. False with error set when
// it is no list to change.
bool Scan(const QString& text, const QString& file, TFound& f, QString& error)
{
    QXmlStreamReader r(text);
    std::vector<TRole> stack;
    std::vector<TPlace*> places;
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType token = r.readNext();
        const qsizetype end = qsizetype(r.characterOffset());
        // '<' cannot stand unescaped in a value: the last one before the end opens the tag.
        const qsizetype begin = text.lastIndexOf(QLatin1Char('<'), end - 1);
        if (token == QXmlStreamReader::StartElement) {
            const TRole parent = stack.empty() ? Other : stack.back();
            const QString ns = r.namespaceUri().toString();
            const QStringView name = r.name();
            TRole role = Other;
            if (stack.empty()) {
                if (name != QLatin1String("xbel") || !ns.isEmpty()) {
                    error = QStringLiteral("not a list of recently used files");
                    return false;
                }
                role = Root;
                for (const QXmlStreamNamespaceDeclaration& d : r.namespaceDeclarations()) {
                    if (d.namespaceUri() == BookmarkNs && !d.prefix().isEmpty())
                        f.BookmarkPrefix = d.prefix().toString();
                    if (d.namespaceUri() == MimeNs && !d.prefix().isEmpty())
                        f.MimePrefix = d.prefix().toString();
                }
            } else if (parent == Root && !f.Bookmark.Found && ns.isEmpty() && name == QLatin1String("bookmark") &&
                       SameFileUri(r.attributes().value(QLatin1String("href")).toString(), file)) {
                role = Bookmark;
            } else if (parent == Bookmark && !f.Info.Found && ns.isEmpty() && name == QLatin1String("info")) {
                role = Info;
            } else if (parent == Info && !f.Metadata.Found && ns.isEmpty() && name == QLatin1String("metadata") &&
                       r.attributes().value(QLatin1String("owner")) == FreedesktopOwner) {
                role = Metadata;
            } else if (parent == Metadata && ns == BookmarkNs && name == QLatin1String("applications") && !f.Applications.Found) {
                role = Applications;
            } else if (parent == Metadata && ns == MimeNs && name == QLatin1String("mime-type")) {
                role = MimeType;
                f.MimeType = true;
            } else if (parent == Applications && ns == BookmarkNs && name == QLatin1String("application") &&
                       !f.Application.Found && r.attributes().value(QLatin1String("name")) == QLatin1String(RecentlyUsedApp)) {
                role = Application;
            }
            TPlace* place = nullptr;
            switch (role) {
            case Root:
                place = &f.Root;
                break;
            case Bookmark:
                place = &f.Bookmark;
                break;
            case Info:
                place = &f.Info;
                break;
            case Metadata:
                place = &f.Metadata;
                break;
            case Applications:
                place = &f.Applications;
                break;
            case Application:
                place = &f.Application;
                break;
            default:
                break;
            }
            if (place) {
                place->Found = true;
                place->Begin = begin;
                place->TagEnd = end;
                place->QName = r.qualifiedName().toString();
                place->Prefix = r.prefix().toString();
                place->Attributes = r.attributes();
                place->Declarations = r.namespaceDeclarations();
            }
            stack.push_back(role);
            places.push_back(place);
        } else if (token == QXmlStreamReader::EndElement) {
            if (TPlace* place = places.back()) {
                place->End = end;
                place->EndBegin = end == place->TagEnd ? end : begin;
            }
            stack.pop_back();
            places.pop_back();
        }
    }
    if (r.hasError()) {
        error = QStringLiteral("not a list of recently used files: %1").arg(r.errorString());
        return false;
    }
    if (!f.Root.Found) {
        error = QStringLiteral("not a list of recently used files");
        return false;
    }
    return true;
}

struct TEdit {
    qsizetype At, Length;
    QString Text;
};

// Puts content as the last child of place.
TEdit AppendChild(const TPlace& place, const QString& content, const QString& indent)
{
    if (!place.Empty())
        return {place.EndBegin, 0, content + indent};
    // "<x .../>" becomes "<x ...>content</x>".
    return {place.TagEnd - 2, 2, QStringLiteral(">") + content + indent + QStringLiteral("</%1>").arg(place.QName)};
}

// A start tag as it was, with the attributes of updates put in (replaced where present,
// added at the end otherwise).
QString StartTag(const TPlace& place, const std::vector<std::pair<QString, QString>>& updates, bool empty)
{
    QString tag = QLatin1Char('<') + place.QName;
    for (const QXmlStreamNamespaceDeclaration& d : place.Declarations)
        tag += Attr(d.prefix().isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + d.prefix().toString(),
                    d.namespaceUri().toString());
    std::vector<bool> used(updates.size());
    for (const QXmlStreamAttribute& a : place.Attributes) {
        if (a.isDefault())
            continue;
        QString value = a.value().toString();
        for (size_t i = 0; i < updates.size(); ++i)
            if (a.qualifiedName() == updates[i].first) {
                value = updates[i].second;
                used[i] = true;
            }
        tag += Attr(a.qualifiedName().toString(), value);
    }
    for (size_t i = 0; i < updates.size(); ++i)
        if (!used[i])
            tag += Attr(updates[i].first, updates[i].second);
    return tag + (empty ? QStringLiteral("/>") : QStringLiteral(">"));
}

// Names for a new element of a namespace: the prefix the root declares, or one declared
// on the element itself.
struct TNames {
    QString Bookmark, Mime;  // prefixes
    QString BookmarkDecl, MimeDecl;  // " xmlns:..." for a new element's own tag, or ""
};

TNames NamesFor(const TFound& f)
{
    TNames n;
    n.Bookmark = f.BookmarkPrefix.isEmpty() ? QStringLiteral("bookmark") : f.BookmarkPrefix;
    n.Mime = f.MimePrefix.isEmpty() ? QStringLiteral("mime") : f.MimePrefix;
    if (f.BookmarkPrefix.isEmpty())
        n.BookmarkDecl = Attr(QStringLiteral("xmlns:") + n.Bookmark, BookmarkNs);
    if (f.MimePrefix.isEmpty())
        n.MimeDecl = Attr(QStringLiteral("xmlns:") + n.Mime, MimeNs);
    return n;
}

QString ApplicationTag(const QString& prefix, const QString& when, int count)
{
    return QStringLiteral("<%1:application").arg(prefix) + Attr(QStringLiteral("name"), QLatin1String(RecentlyUsedApp)) +
           Attr(QStringLiteral("exec"), QLatin1String(RecentlyUsedExec)) + Attr(QStringLiteral("modified"), when) +
           Attr(QStringLiteral("count"), QString::number(count)) + QStringLiteral("/>");
}

QString ApplicationsBlock(const TNames& n, const QString& when, const QString& indent)
{
    return indent + QStringLiteral("<%1:applications").arg(n.Bookmark) + n.BookmarkDecl + QStringLiteral(">") + indent +
           QStringLiteral("  ") + ApplicationTag(n.Bookmark, when, 1) + indent +
           QStringLiteral("</%1:applications>").arg(n.Bookmark);
}

QString MimeTag(const TNames& n, const QString& mime, const QString& indent)
{
    return indent + QStringLiteral("<%1:mime-type").arg(n.Mime) + n.MimeDecl + Attr(QStringLiteral("type"), mime) +
           QStringLiteral("/>");
}

QString MetadataBlock(const TNames& n, const TRecentUse& use, const QString& when, const QString& indent)
{
    const QString in = indent + QStringLiteral("  ");
    return indent + QStringLiteral("<metadata") + Attr(QStringLiteral("owner"), FreedesktopOwner) + QStringLiteral(">") +
           MimeTag(n, use.MimeType, in) + ApplicationsBlock(n, when, in) + indent + QStringLiteral("</metadata>");
}

QString InfoBlock(const TNames& n, const TRecentUse& use, const QString& when, const QString& indent)
{
    return indent + QStringLiteral("<info>") + MetadataBlock(n, use, when, indent + QStringLiteral("  ")) + indent +
           QStringLiteral("</info>");
}

// Edits of the text that record use.
std::vector<TEdit> Edits(const QString& text, const TFound& f, const TRecentUse& use)
{
    const QString when = use.When.toUTC().toString(Qt::ISODateWithMs);
    const TNames n = NamesFor(f);
    const QString href = QUrl::fromLocalFile(use.File).toString(QUrl::FullyEncoded);
    if (!f.Bookmark.Found) {
        // On a line of its own, as the other entries are.
        const bool lineStart = !f.Root.Empty() && f.Root.EndBegin > 0 && text[f.Root.EndBegin - 1] == QLatin1Char('\n');
        const QString bookmark = QLatin1String(lineStart ? "  <bookmark" : "\n  <bookmark") + Attr(QStringLiteral("href"), href) +
                                 Attr(QStringLiteral("added"), when) + Attr(QStringLiteral("modified"), when) +
                                 Attr(QStringLiteral("visited"), when) + QStringLiteral(">") +
                                 InfoBlock(n, use, when, QStringLiteral("\n    ")) + QStringLiteral("\n  </bookmark>");
        return {AppendChild(f.Root, bookmark, QStringLiteral("\n"))};
    }
    const TPlace& b = f.Bookmark;
    std::vector<std::pair<QString, QString>> updates = {{QStringLiteral("modified"), when}, {QStringLiteral("visited"), when}};
    if (!b.Attributes.hasAttribute(QLatin1String("added")))
        updates.push_back({QStringLiteral("added"), when});
    if (b.Empty()) {
        const QString inner = InfoBlock(n, use, when, QStringLiteral("\n    ")) + QStringLiteral("\n  ");
        return {{b.Begin, b.End - b.Begin, StartTag(b, updates, false) + inner + QStringLiteral("</%1>").arg(b.QName)}};
    }
    std::vector<TEdit> edits = {{b.Begin, b.TagEnd - b.Begin, StartTag(b, updates, false)}};
    if (f.Application.Found) {
        const TPlace& a = f.Application;
        const int count = std::max(0, a.Attributes.value(QLatin1String("count")).toInt()) + 1;
        edits.push_back({a.Begin, a.End - a.Begin,
                         StartTag(a,
                                  {{QStringLiteral("exec"), QLatin1String(RecentlyUsedExec)},
                                   {QStringLiteral("modified"), when},
                                   {QStringLiteral("count"), QString::number(count)}},
                                  true)});
    } else if (f.Applications.Found) {
        // The prefix the element found is written with is in scope inside it.
        const QString prefix = f.Applications.Prefix;
        edits.push_back(AppendChild(f.Applications, QStringLiteral("\n          ") + ApplicationTag(prefix, when, 1),
                                    QStringLiteral("\n        ")));
        // Desktops skip an entry without a type.
        if (!f.MimeType)
            edits.push_back(
                AppendChild(f.Metadata, MimeTag(n, use.MimeType, QStringLiteral("\n        ")), QStringLiteral("\n      ")));
    } else if (f.Metadata.Found) {
        const QString in = QStringLiteral("\n        ");
        const QString content = (f.MimeType ? QString() : MimeTag(n, use.MimeType, in)) + ApplicationsBlock(n, when, in);
        edits.push_back(AppendChild(f.Metadata, content, QStringLiteral("\n      ")));
    } else if (f.Info.Found) {
        edits.push_back(AppendChild(f.Info, MetadataBlock(n, use, when, QStringLiteral("\n      ")), QStringLiteral("\n    ")));
    } else {
        edits.push_back(AppendChild(b, InfoBlock(n, use, when, QStringLiteral("\n    ")), QStringLiteral("\n  ")));
    }
    return edits;
}
}  // namespace

QString RecentMimeType(const QString& path)
{
    if (path.endsWith(QLatin1String(".p3d"), Qt::CaseInsensitive))
        return QStringLiteral("model/x-p3d");
    if (path.endsWith(QLatin1String(".rtm"), Qt::CaseInsensitive))
        return QStringLiteral("application/x-rtm-animation");
    return QStringLiteral("application/octet-stream");
}

QString MergeRecentlyUsed(const QString& text, const TRecentUse& use, QString* error)
{
    const QString source = text.trimmed().isEmpty() ? NewList : text;
    TFound found;
    QString why;
    if (!Scan(source, use.File, found, why)) {
        if (error)
            *error = why;
        return {};
    }
    std::vector<TEdit> edits = Edits(source, found, use);
    // From the back, so each edit's offsets still hold.
    std::sort(edits.begin(), edits.end(), [](const TEdit& a, const TEdit& b) { return a.At > b.At; });
    QString merged = source;
    for (const TEdit& e : edits)
        merged.replace(e.At, e.Length, e.Text);
    // Whatever the input held, what is written must read back with this program's entry.
    TFound check;
    if (!Scan(merged, use.File, check, why) || !check.Application.Found) {
        if (error)
            *error = QStringLiteral("the list could not be changed safely");
        return {};
    }
    return merged;
}

bool PublishRecentlyUsed(const QString& xbelPath, const TRecentUse& use, QString* error)
{
    QString text;
    if (QFileInfo::exists(xbelPath)) {
        QByteArray bytes;
        QString why;
        if (!ReadWholeFile(xbelPath, bytes, &why, MaxTextFileSize)) {
            if (error)
                *error = QStringLiteral("Cannot read %1: %2").arg(xbelPath, why);
            return false;
        }
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8.decode(bytes);
        // Rewriting bytes that are not UTF-8 would change other programs' entries.
        if (utf8.hasError()) {
            if (error)
                *error = QStringLiteral("%1 is not UTF-8 text").arg(xbelPath);
            return false;
        }
    } else if (!QDir().mkpath(QFileInfo(xbelPath).absolutePath())) {
        if (error)
            *error = QStringLiteral("Cannot create the folder of %1").arg(xbelPath);
        return false;
    }
    QString why;
    const QString merged = MergeRecentlyUsed(text, use, &why);
    if (merged.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(xbelPath, why);
        return false;
    }
    return WriteFileAtomic(xbelPath, merged.toUtf8(), error);
}
