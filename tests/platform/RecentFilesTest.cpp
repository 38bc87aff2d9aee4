// The recent-files list (order, limit, each file once, missing files, its settings section)
// and the desktop's list of recently used files, into which a use is merged without
// touching other programs' entries.
#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "platform/RecentFiles.h"
#include "platform/RecentlyUsed.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>
#include <unistd.h>

namespace {
const QString BookmarkNs = "http://www.freedesktop.org/standards/desktop-bookmarks";
const QString MimeNs = "http://www.freedesktop.org/standards/shared-mime-info";
const QDateTime Now = QDateTime::fromString("2024-05-06T07:08:09.010Z", Qt::ISODateWithMs);

// What a reader that knows namespaces finds in a list about one file.
struct TListed {
    int Bookmarks = 0;  // of the file
    int Others = 0;  // of other files
    QString Added, Modified, Visited, Mime, Exec;
    QStringList Apps;
    int Count = -1;  // this program's
    QString Error;
};

TListed Listed(const QString& text, const QString& file)
{
    TListed l;
    QXmlStreamReader r(text);
    bool inOurs = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.tokenType() == QXmlStreamReader::EndElement && r.name() == QLatin1String("bookmark"))
            inOurs = false;
        if (r.tokenType() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = r.attributes();
        if (r.name() == QLatin1String("bookmark") && r.namespaceUri().isEmpty()) {
            const QUrl url(a.value("href").toString());
            inOurs = url.isLocalFile() && (url.host().isEmpty() || url.host() == "localhost") &&
                     url.path(QUrl::FullyDecoded) == file;
            if (inOurs) {
                ++l.Bookmarks;
                l.Added = a.value("added").toString(), l.Modified = a.value("modified").toString(),
                l.Visited = a.value("visited").toString();
            } else {
                ++l.Others;
            }
        } else if (inOurs && r.namespaceUri() == MimeNs && r.name() == QLatin1String("mime-type")) {
            l.Mime = a.value("type").toString();
        } else if (inOurs && r.namespaceUri() == BookmarkNs && r.name() == QLatin1String("application")) {
            l.Apps << a.value("name").toString();
            if (a.value("name") == QLatin1String("torvane-anim"))
                l.Count = a.value("count").toInt(), l.Exec = a.value("exec").toString();
        }
    }
    if (r.hasError())
        l.Error = r.errorString();
    return l;
}

const QString Head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<xbel version=\"1.0\"\n"
                     "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                     "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
                     ">\n";
const QString Others =
    "  <bookmark href=\"file:///home/ann/notes.txt\" added=\"2024-01-01T10:00:00.123456Z\" modified=\"2024-01-01T10:00:00Z\" "
    "visited=\"2024-01-01T10:00:00Z\">\n"
    "    <info>\n"
    "      <metadata owner=\"http://freedesktop.org\">\n"
    "        <mime:mime-type type=\"text/plain\"/>\n"
    "        <bookmark:groups><bookmark:group>gedit</bookmark:group></bookmark:groups>\n"
    "        <bookmark:applications>\n"
    "          <bookmark:application name=\"gedit\" exec=\"&apos;gedit %u&apos;\" modified=\"2024-01-01T10:00:00Z\" "
    "count=\"3\"/>\n"
    "        </bookmark:applications>\n"
    "      </metadata>\n"
    "    </info>\n"
    "  </bookmark>\n"
    "  <!-- <bookmark href=\"file:///in/a/comment\"/> -->\n"
    "  <bookmark href=\"file:///home/ann/pic%20one.png\"   added=\"2024-02-02T00:00:00Z\"\n"
    "            modified=\"2024-02-02T00:00:00Z\" visited=\"2024-02-02T00:00:00Z\"><title>A &amp; B \U0001F600</title>"
    "<info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"image/png\"/><bookmark:private/>"
    "<bookmark:applications><bookmark:application name=\"eog\" exec=\"&apos;eog %u&apos;\" modified=\"2024-02-02T00:00:00Z\" "
    "count=\"1\"/>"
    "</bookmark:applications></metadata></info></bookmark>";

QString Filled(QString text, const QString& file)
{
    QUrl url = QUrl::fromLocalFile(file);
    const QString uri = url.toString(QUrl::FullyEncoded).toHtmlEscaped();
    url.setHost("localhost");
    const QString local = url.toString(QUrl::FullyEncoded).toHtmlEscaped();
    url.setHost("otherhost");
    const QString remote = url.toString(QUrl::FullyEncoded).toHtmlEscaped();
    return text.replace("{head}", Head)
        .replace("{others}", Others)
        .replace("{uri}", uri)
        .replace("{local}", local)
        .replace("{remote}", remote)
        .replace("{now}", Now.toString(Qt::ISODateWithMs));
}

QByteArray Content(const QString& path)
{
    QByteArray bytes;
    return ReadWholeFile(path, bytes) ? bytes : QByteArray("<unreadable>");
}
}  // namespace

class RecentFilesTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> Dir_;
    QString In(const QString& name) const { return Dir_->filePath(name); }

private slots:
    void init()
    {
        Dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(Dir_->path()).mkdir("sub"));
        for (const char* name : {"a.rtm", "A.rtm", "b.rtm"}) {
            QFile f(In(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(In("a.rtm"), In("link.rtm")));
        QVERIFY(QFile::link(Dir_->path(), In("folderlink")));
        QVERIFY(::link(QFile::encodeName(In("a.rtm")).constData(), QFile::encodeName(In("hard.rtm")).constData()) == 0);
    }

    void sameFileOnce_data() { QVERIFY(AddTableRows("platform/recent-spellings.table")); }
    void sameFileOnce()
    {
        QFETCH(QString, first);
        QFETCH(QString, again);
        QFETCH(bool, same);
        const QString dir = Dir_->path();
        first.replace("{dir}", dir), again.replace("{dir}", dir);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir));
        TRecentFiles list;
        list.Add(first);
        list.Add(In("sub"));
        list.Add(again);
        QVERIFY(QDir::setCurrent(previous));
        const QString spelt = QDir::cleanPath(QDir(dir).absoluteFilePath(again));
        QCOMPARE(list.Paths(), same ? QStringList({spelt, In("sub")}) : QStringList({spelt, In("sub"), QDir::cleanPath(first)}));
        list.Remove(first);
        QCOMPARE(list.Paths(), same ? QStringList({In("sub")}) : QStringList({spelt, In("sub")}));
    }

    // Most recent first, ten at most; reopening one brings it to the top without losing another.
    void orderAndLimit()
    {
        TRecentFiles list;
        QStringList expected;
        for (int i = 0; i < 12; ++i) {
            list.Add(QString("/anims/%1.rtm").arg(i));
            expected.prepend(QString("/anims/%1.rtm").arg(i));
        }
        QCOMPARE(list.Paths(), expected.mid(0, 10));
        list.Add("/anims/5.rtm");
        expected.move(expected.indexOf("/anims/5.rtm"), 0);
        QCOMPARE(list.Paths(), expected.mid(0, 10));
        list.Clear();
        QCOMPARE(list.Paths(), QStringList());
    }

    // Files deleted or replaced by a folder since are reported missing, in their places.
    void missingFiles()
    {
        TRecentFiles list;
        for (const char* name : {"a.rtm", "b.rtm", "sub", "gone.p3d"})
            list.Add(In(name));
        QVERIFY(QFile::remove(In("b.rtm")));
        QStringList missing;
        for (const TRecentFile& f : list.Entries())
            missing << QString("%1 %2").arg(QFileInfo(f.Path).fileName()).arg(f.Missing);
        QCOMPARE(missing, QStringList({"gone.p3d 1", "sub 1", "b.rtm 1", "a.rtm 0"}));
    }

    // The section is read with keys in any case and Windows paths turned round; repeats and
    // empty places drop out. Writing puts the list back in order, removes the places left
    // empty and keeps every other key and section.
    void settingsSection()
    {
        TIniFile ini;
        ini.SetText("[Other]\nFile1=keep\n[recent]\nfile1=C:\\anims\\walk.rtm\nFILE2=/m/a.p3d\nFile3=\n"
                    "File4=/m/./a.p3d\nFile5=/x.rtm\nFile11=/beyond.rtm\n");
        TRecentFiles list;
        list.Read(ini);
        QCOMPARE(list.Paths(), QStringList({"C:/anims/walk.rtm", "/m/a.p3d", "/x.rtm"}));
        list.Add("/new.rtm");
        list.Write(ini);
        TRecentFiles back;
        back.Read(ini);
        QCOMPARE(back.Paths(), list.Paths());
        QCOMPARE(ini.ReadString("Other", "File1", ""), QString("keep"));
        QCOMPARE(ini.ReadString("Recent", "File5", "none"), QString("none"));
        QCOMPARE(ini.ReadString("Recent", "File11", ""), QString("/beyond.rtm"));
    }

    void merge_data() { QVERIFY(AddTableRows("platform/recently-used-merge.table")); }
    void merge()
    {
        QFETCH(QString, before);
        QFETCH(QString, ours);
        QFETCH(QString, after);
        QFETCH(int, count);
        QFETCH(QStringList, apps);
        QFETCH(QString, mime);
        QFETCH(QString, added);
        const QString file = In("walk & run #2 über.rtm");
        before = Filled(before, file), ours = Filled(ours, file), after = Filled(after, file);
        const TListed was = Listed(before + ours + after, file);
        QString error;
        const QString merged = MergeRecentlyUsed(before + ours + after, {file, RecentMimeType(file), Now}, &error);
        QCOMPARE(error, QString());
        QVERIFY(merged.startsWith(before));
        QVERIFY(merged.endsWith(after));
        const TListed l = Listed(merged, file);
        QCOMPARE(l.Error, QString());
        QCOMPARE(std::pair(l.Bookmarks, l.Others), std::pair(1, was.Others));
        QCOMPARE(std::pair(l.Count, l.Apps), std::pair(count, apps));
        QCOMPARE(QStringList({l.Mime, l.Added, l.Modified, l.Visited, l.Exec}),
                 QStringList({mime, Filled(added, file), Now.toString(Qt::ISODateWithMs), Now.toString(Qt::ISODateWithMs),
                              "'torvane-anim %u'"}));
    }

    // Through the file: made when missing (with its folder), counted up on every use.
    void publishToFile()
    {
        const QString list = In("share/recently-used.xbel");
        const QString file = In("a.rtm");
        QVERIFY(PublishRecentlyUsed(list, {file, RecentMimeType(file), Now}));
        QVERIFY(PublishRecentlyUsed(list, {file, RecentMimeType(file), Now.addSecs(5)}));
        const TListed l = Listed(QString::fromUtf8(Content(list)), file);
        QCOMPARE(std::tuple(l.Bookmarks, l.Count, l.Added), std::tuple(1, 2, Now.toString(Qt::ISODateWithMs)));
        QCOMPARE(RecentMimeType("/x/M.P3D"), QString("model/x-p3d"));
    }

    // A list that cannot be read as one is left exactly as it is.
    void unreadableListsAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("not XML") << QByteArray("hello");
        QTest::addRow("another root element") << QByteArray("<html><bookmark href=\"file:///x\"/></html>");
        QTest::addRow("cut off") << (Head + Others).left(Head.size() + 200).toUtf8();
        QTest::addRow("not UTF-8") << (Head.toUtf8() + "<bookmark href=\"file:///caf\xe9\"/></xbel>");
        QTest::addRow("two roots") << (Head + "</xbel><xbel/>").toUtf8();
    }
    void unreadableListsAreLeftAlone()
    {
        QFETCH(QByteArray, bytes);
        const QString list = In("recently-used.xbel");
        QVERIFY(WriteFileAtomic(list, bytes));
        QString error;
        QVERIFY(!PublishRecentlyUsed(list, {In("a.rtm"), "x/y", Now}, &error));
        QVERIFY(error.contains(list));
        QCOMPARE(Content(list), bytes);
    }
};

TORVANE_TEST(RecentFilesTest)
#include "RecentFilesTest.moc"
