#include "platform/Ini.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {
QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

using Edit = std::function<void(TIniFile&)>;
}  // namespace

Q_DECLARE_METATYPE(Edit)

class TestIni : public QObject {
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void edits_data();
    void edits();
    void integersAndBools_data();
    void integersAndBools();
    void latin1FileRoundTrip();
    void utf8FileStaysUtf8();
    void missingFileReadsEmptyAndIsCreatedOnWrite();
    void unwritableFileReportsFailure_data();
    void unwritableFileReportsFailure();
};

static const char* const Sample =
    "; settings\n"
    "[Layout]\n"
    "Maximized=1\n"
    "MainLeft = 40 \n"
    "\n"
    "[Dir]\n"
    "# a comment=with equals\n"
    "RTM=/data/anims\n"
    "Quoted=\"  spaced  \"\n"
    "Eq=a=b\n"
    "  Indented=yes\n"
    "\n"
    "[ Startup ]\n"
    "LastRTM=\n";

void TestIni::reads_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");  // "<def>" when the default comes back

    QTest::newRow("exact") << "Dir" << "RTM" << "/data/anims";
    QTest::newRow("section case") << "dIR" << "RTM" << "/data/anims";
    QTest::newRow("key case") << "Dir" << "rtm" << "/data/anims";
    QTest::newRow("spaces around = are trimmed") << "layout" << "mainleft" << "40";
    QTest::newRow("quotes removed, inner spaces kept") << "Dir" << "Quoted" << "  spaced  ";
    QTest::newRow("value holds =") << "Dir" << "Eq" << "a=b";
    QTest::newRow("indented key") << "Dir" << "Indented" << "yes";
    QTest::newRow("spaced section header") << "startup" << "LastRTM" << "";
    QTest::newRow("comment is no key") << "Dir" << "# a comment" << "<def>";
    QTest::newRow("key of another section") << "Layout" << "RTM" << "<def>";
    QTest::newRow("missing section") << "Settings" << "RTM" << "<def>";
    QTest::newRow("missing key") << "Dir" << "P3D" << "<def>";
    QTest::newRow("prefix of a key") << "Dir" << "RT" << "<def>";
}

void TestIni::reads()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TIniFile ini;
    ini.SetText(QString::fromLatin1(Sample));
    QCOMPARE(ini.ReadString(section, key, "<def>"), expected);
    QCOMPARE(ini.ValueExists(section, key), expected != "<def>");
}

void TestIni::edits_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QString>("after");

    const QString two = "[A]\nx=1\ny=2\n\n[B]\nx=3\n";
    QTest::newRow("update in place") << two << Edit([](TIniFile& i) { i.WriteString("A", "y", "20"); })
                                     << "[A]\nx=1\ny=20\n\n[B]\nx=3\n";
    QTest::newRow("update through other section case") << two << Edit([](TIniFile& i) { i.WriteString("b", "x", "30"); })
                                                << "[A]\nx=1\ny=2\n\n[B]\nx=30\n";
    QTest::newRow("new key after the section's last line, before the blank")
        << two << Edit([](TIniFile& i) { i.WriteString("a", "z", "9"); }) << "[A]\nx=1\ny=2\nz=9\n\n[B]\nx=3\n";
    QTest::newRow("new key in the last section") << two << Edit([](TIniFile& i) { i.WriteInteger("B", "n", -4); })
                                                 << "[A]\nx=1\ny=2\n\n[B]\nx=3\nn=-4\n";
    QTest::newRow("new section at the end") << two << Edit([](TIniFile& i) { i.WriteBool("C", "on", true); })
                                            << "[A]\nx=1\ny=2\n\n[B]\nx=3\n\n[C]\non=1\n";
    QTest::newRow("new key in an empty section") << "[A]\n[B]\nk=v\n"
                                                 << Edit([](TIniFile& i) { i.WriteBool("A", "off", false); })
                                                 << "[A]\noff=0\n[B]\nk=v\n";
    QTest::newRow("first key of an empty file") << "" << Edit([](TIniFile& i) { i.WriteString("S", "k", "v"); })
                                                << "[S]\nk=v\n";
    QTest::newRow("delete a key") << two << Edit([](TIniFile& i) { i.DeleteKey("A", "X"); })
                                  << "[A]\ny=2\n\n[B]\nx=3\n";
    QTest::newRow("delete a missing key") << two << Edit([](TIniFile& i) { i.DeleteKey("A", "q"); }) << two;
    QTest::newRow("delete in a missing section") << two << Edit([](TIniFile& i) { i.DeleteKey("Q", "x"); }) << two;
    QTest::newRow("comments, blanks and odd lines kept")
        << "; top\n[A]\n  ; note = 1\nx = 1\ngarbage line\n\n[B]\n#c\n"
        << Edit([](TIniFile& i) {
               i.WriteString("A", "x", "2");
               i.WriteString("B", "new", "v");
           })
        << "; top\n[A]\n  ; note = 1\nx=2\ngarbage line\n\n[B]\n#c\nnew=v\n";
    QTest::newRow("Windows line ends kept")
        << "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n" << Edit([](TIniFile& i) { i.WriteString("B", "z", "3"); })
        << "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\nz=3\r\n";
    QTest::newRow("cut-off last line after a CR")
        << "[A]\r\nx=1\r" << Edit([](TIniFile& i) { i.WriteString("A", "y", "2"); }) << "[A]\r\nx=1\r\ny=2\r\n";
    QTest::newRow("single line ending in CRs")
        << "[A]\r\r" << Edit([](TIniFile& i) { i.WriteString("B", "y", "2"); }) << "[A]\n\n[B]\ny=2\n";
    QTest::newRow("stray CR kept in a file that is not CRLF")
        << "[A]\nx=1\r\n" << Edit([](TIniFile& i) { i.WriteString("A", "z", "2"); }) << "[A]\nx=1\r\nz=2\n";
}

void TestIni::edits()
{
    QFETCH(QString, before);
    QFETCH(Edit, edit);
    QFETCH(QString, after);
    TIniFile ini;
    ini.SetText(before);
    edit(ini);
    QCOMPARE(ini.Text(), after);
}

void TestIni::integersAndBools_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("asInt");  // with default 77
    QTest::addColumn<bool>("asBoolDefFalse");
    QTest::addColumn<bool>("asBoolDefTrue");

    QTest::newRow("0") << "0" << 0 << false << false;
    QTest::newRow("1") << "1" << 1 << true << true;
    QTest::newRow("other integer is true") << "2" << 2 << true << true;
    QTest::newRow("negative") << "-15" << -15 << true << true;
    QTest::newRow("spaces") << " 42 " << 42 << true << true;
    QTest::newRow("trailing letters") << "12abc" << 77 << false << true;
    QTest::newRow("letters") << "true" << 77 << false << true;
    QTest::newRow("empty") << "" << 77 << false << true;
    QTest::newRow("hex is not decimal") << "0x10" << 77 << false << true;
    QTest::newRow("fraction") << "1.5" << 77 << false << true;
    QTest::newRow("overflow") << "99999999999" << 77 << false << true;
}

void TestIni::integersAndBools()
{
    QFETCH(QString, value);
    QFETCH(int, asInt);
    QFETCH(bool, asBoolDefFalse);
    QFETCH(bool, asBoolDefTrue);
    TIniFile ini;
    ini.SetText("[S]\nK=" + value + "\n");
    QCOMPARE(ini.ReadInteger("S", "k", 77), asInt);
    QCOMPARE(ini.ReadBool("s", "K", false), asBoolDefFalse);
    QCOMPARE(ini.ReadBool("s", "K", true), asBoolDefTrue);
    // Missing keys give the defaults.
    QCOMPARE(ini.ReadInteger("S", "none", 77), 77);
    QCOMPARE(ini.ReadBool("S", "none", true), true);
    // What is written reads back.
    ini.WriteInteger("S", "k", asInt);
    QCOMPARE(ini.ReadInteger("S", "K", 0), asInt);
}

void TestIni::latin1FileRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.tsl");
    const QByteArray original = "[Translation]\r\nKn\xe9=Knie \xdf\r\n; \xbd note\r\n\r\n[Other]\r\nx=\xff\r\n";
    QVERIFY(WriteBytes(path, original));

    TIniFile ini(path);
    QCOMPARE(ini.ReadString("translation", QString::fromLatin1("KN\xc9"), "?"), QString::fromLatin1("Knie \xdf"));
    ini.WriteString("Translation", QString::fromLatin1("Fu\xdf"), QString::fromLatin1("B\xe4r"));
    QVERIFY(ini.UpdateFile());
    QCOMPARE(ReadBytes(path), QByteArray("[Translation]\r\nKn\xe9=Knie \xdf\r\n; \xbd note\r\nFu\xdf=B\xe4r\r\n\r\n"
                                         "[Other]\r\nx=\xff\r\n"));
    // Nothing to write: the file is left alone.
    TIniFile again(path);
    QVERIFY(!again.Modified());
    QVERIFY(again.UpdateFile());
    QCOMPARE(again.ReadString("Other", "X", "?"), QString::fromLatin1("\xff"));
}

void TestIni::utf8FileStaysUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("TorvaneAnim.ini");
    QVERIFY(WriteBytes(path, "[Dir]\nRTM=/home/j\xc3\xb6rg\n"));
    TIniFile ini(path);
    QCOMPARE(ini.ReadString("Dir", "RTM", ""), QString::fromUtf8("/home/j\xc3\xb6rg"));
    ini.WriteString("Dir", "P3D", QString::fromUtf8("/\xce\xa9"));
    QVERIFY(ini.UpdateFile());
    QCOMPARE(ReadBytes(path), QByteArray("[Dir]\nRTM=/home/j\xc3\xb6rg\nP3D=/\xce\xa9\n"));
}

void TestIni::missingFileReadsEmptyAndIsCreatedOnWrite()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("none.ini");
    TIniFile ini(path);
    QVERIFY(!ini.SectionExists("Layout"));
    QCOMPARE(ini.ReadInteger("Layout", "MainLeft", 5), 5);
    QVERIFY(ini.UpdateFile());  // nothing written yet
    QVERIFY(!QFile::exists(path));
    ini.WriteInteger("Layout", "MainLeft", 12);
    QVERIFY(ini.UpdateFile());
    QCOMPARE(TIniFile(path).ReadInteger("layout", "mainleft", 0), 12);
}

void TestIni::unwritableFileReportsFailure_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("path is a folder") << "folder";
    QTest::newRow("parent is a file") << "plain.txt/settings.ini";
    QTest::newRow("parent is missing") << "missing/settings.ini";
}

void TestIni::unwritableFileReportsFailure()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(WriteBytes(dir.filePath("plain.txt"), "keep me"));
    TIniFile ini(dir.filePath(relativePath));
    ini.WriteString("S", "k", "v");
    QString error;
    QVERIFY(!ini.UpdateFile(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(ini.Modified());  // still pending
    QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    QCOMPARE(ReadBytes(dir.filePath("plain.txt")), QByteArray("keep me"));
}

TORVANE_TEST(TestIni)
#include "TestIni.moc"
