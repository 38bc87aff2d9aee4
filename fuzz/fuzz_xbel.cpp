// The desktop's list of recently used files, as other programs leave it: a merge either
// refuses the text or keeps it as it was around the edits, and the list it makes reads as
// well-formed XML with the use in it, every other bookmark still there; a second use of
// the same file is merged into the same bookmark.
//
// Input: the list's text (UTF-8).
#include "FuzzSupport.h"
#include "platform/RecentlyUsed.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {
const QString File = QStringLiteral("/home/ann/anims/walk & run.rtm");

// Bookmarks of other files, and of the file, as a reader that knows nothing of the merge
// sees them; -1 for text that is not well-formed.
std::pair<int, int> Bookmarks(const QString& text)
{
    QXmlStreamReader r(text);
    int others = 0, ours = 0, depth = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            ++depth;
            if (depth == 2 && r.name() == QLatin1String("bookmark") && r.namespaceUri().isEmpty()) {
                const QUrl url(r.attributes().value(QLatin1String("href")).toString());
                const bool here = url.host().isEmpty() || url.host() == QLatin1String("localhost");
                (url.isLocalFile() && here && QDir::cleanPath(url.path(QUrl::FullyDecoded)) == File ? ours : others) += 1;
            }
        } else if (r.isEndElement()) {
            --depth;
        }
    }
    return r.hasError() ? std::pair(-1, -1) : std::pair(others, ours);
}

FuzzSeeds MakeSeeds()
{
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\"\n"
                            "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                            "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n>\n";
    const QByteArray other =
        "  <bookmark href=\"file:///home/ann/notes.txt\" added=\"2024-01-01T10:00:00Z\" modified=\"2024-01-01T10:00:00Z\" "
        "visited=\"2024-01-01T10:00:00Z\">\n    <info>\n      <metadata owner=\"http://freedesktop.org\">\n"
        "        <mime:mime-type type=\"text/plain\"/>\n        <bookmark:applications>\n"
        "          <bookmark:application name=\"gedit\" exec=\"&apos;gedit %u&apos;\" modified=\"2024-01-01T10:00:00Z\" "
        "count=\"3\"/>\n"
        "        </bookmark:applications>\n      </metadata>\n    </info>\n  </bookmark>\n";
    const QByteArray ours = "  <bookmark href=\"file:///home/ann/anims/walk%20&amp;%20run.rtm\" added=\"2020-01-01T00:00:00Z\">"
                            "<info><metadata owner=\"http://freedesktop.org\"><bookmark:applications>"
                            "<bookmark:application name=\"torvane-anim\" count=\"2\"/></bookmark:applications>"
                            "</metadata></info></bookmark>\n";
    return {
        {"others", head + other + "</xbel>\n"},
        {"ours", head + other + ours + "<!-- c -->\n</xbel>\n"},
        {"empty_bookmark", "<xbel><bookmark href=\"file:///home/ann/anims/walk%20&amp;%20run.rtm\"/></xbel>"},
        {"empty_root", "<?xml version=\"1.0\"?><xbel/>"},
        {"empty", QByteArray()},
    };
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    QString error;
    const QString merged = MergeRecentlyUsed(text, {File, QStringLiteral("application/x-rtm-animation"), when}, &error);
    if (merged.isEmpty()) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    const std::pair<int, int> before = Bookmarks(text), after = Bookmarks(merged);
    FUZZ_CHECK(after.first >= 0 && after.second >= 1);
    // A well-formed list keeps every other bookmark and gains none of the file's but the first.
    if (before.first >= 0)
        FUZZ_CHECK(after.first == before.first && after.second == std::max(before.second, 1));
    const QString again = MergeRecentlyUsed(merged, {File, QStringLiteral("application/x-rtm-animation"), when}, &error);
    FUZZ_CHECK(!again.isEmpty() && Bookmarks(again) == after);
    return 0;
}
