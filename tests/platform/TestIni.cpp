#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#define EDIT(code) Edit([](TIniFile& i) { code; })
using Edit = std::function<void(TIniFile&)>;
Q_DECLARE_METATYPE(Edit)

class TestIni : public QObject {
    Q_OBJECT
    QTemporaryDir Dir_;

private slots:
    void reads_data() { QVERIFY(AddTableRows("platform/ini-reads.table")); }
    void reads()
    {
        QFETCH(QString, section); QFETCH(QString, key); QFETCH(QString, text); QFETCH(int, number);
        TIniFile ini;
        ini.SetText("; settings\n[Layout]\nMainLeft = 40 \n\n[Dir]\n# a comment=with equals\nRTM=/data/anims\n"
                    "Quoted=\"  spaced  \"\nEq=a=b\n\n[ Startup ]\nLastRTM=\n[N]\n  Neg=-15\nZero=0\nPart=12abc\n"
                    "Hex=0x10\nBig=99999999999\n");
        QCOMPARE(ini.ReadString(section, key, "<def>"), text);
        QCOMPARE(ini.ValueExists(section, key), text != "<def>");
        QCOMPARE(ini.ReadInteger(section, key, 77), number);
        // Any integer but 0 is true; anything else gives the default.
        QCOMPARE(ini.ReadBool(section, key, false), number != 77 && number != 0);
        QCOMPARE(ini.ReadBool(section, key, true), number != 0);
    }

    void edits_data()
    {
        QTest::addColumn<QByteArray>("before"); QTest::addColumn<Edit>("edit"); QTest::addColumn<QByteArray>("after");
        const QByteArray two = "[A]\nx=1\ny=2\n\n[B]\nx=3\n";
        QTest::newRow("update in place") << two << EDIT(i.WriteString("A", "y", "20")) << QByteArray("[A]\nx=1\ny=20\n\n[B]\nx=3\n");
        QTest::newRow("new key before the blank") << two << EDIT(i.WriteString("a", "z", "9")) << QByteArray("[A]\nx=1\ny=2\nz=9\n\n[B]\nx=3\n");
        QTest::newRow("new key, last section") << two << EDIT(i.WriteInteger("B", "n", -4)) << two + "n=-4\n";
        QTest::newRow("new section") << two << EDIT(i.WriteBool("C", "on", true)) << two + "\n[C]\non=1\n";
        QTest::newRow("empty section") << QByteArray("[A]\n[B]\nk=v\n") << EDIT(i.WriteBool("A", "off", false)) << QByteArray("[A]\noff=0\n[B]\nk=v\n");
        QTest::newRow("empty file") << QByteArray() << EDIT(i.WriteString("S", "k", "v")) << QByteArray("[S]\nk=v\n");
        QTest::newRow("delete") << two << EDIT(i.DeleteKey("A", "X")) << QByteArray("[A]\ny=2\n\n[B]\nx=3\n");
        QTest::newRow("comments, blanks and odd lines kept") << QByteArray("; top\n[A]\n  ; n = 1\nx = 1\nodd line\n\n[B]\n#c\n")
            << EDIT(i.WriteString("A", "x", "2"); i.WriteString("B", "new", "v"))
            << QByteArray("; top\n[A]\n  ; n = 1\nx=2\nodd line\n\n[B]\n#c\nnew=v\n");
        // Latin-1 with CRLF: the key matches the stored one without regard to case and keeps its line.
        QTest::newRow("latin-1, CRLF") << QByteArray("[Dir]\r\nKn\xe9=Knie\r\n; \xbd note\r\n\r\n[O]\r\nx=\xff\r\n")
            << EDIT(i.WriteString("Dir", QString::fromLatin1("KN\xc9"), QString::fromLatin1("B\xe4r")))
            << QByteArray("[Dir]\r\nKN\xc9=B\xe4r\r\n; \xbd note\r\n\r\n[O]\r\nx=\xff\r\n");
        QTest::newRow("utf-8") << QByteArray("[Dir]\nRTM=/j\xc3\xb6rg\n") << EDIT(i.WriteString("Dir", "P3D", QString::fromUtf8("/\xce\xa9")))
                               << QByteArray("[Dir]\nRTM=/j\xc3\xb6rg\nP3D=/\xce\xa9\n");
        QTest::newRow("cut off after a CR") << QByteArray("[A]\r\nx=1\r") << EDIT(i.WriteString("A", "y", "2")) << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
        QTest::newRow("a line of CRs") << QByteArray("[A]\r\r") << EDIT(i.WriteString("B", "y", "2")) << QByteArray("[A]\n\n[B]\ny=2\n");
        QTest::newRow("stray CR, not CRLF") << QByteArray("[A]\nx=1\r\n") << EDIT(i.WriteString("A", "z", "2")) << QByteArray("[A]\nx=1\r\nz=2\n");
    }
    void edits()
    {
        QFETCH(QByteArray, before); QFETCH(Edit, edit); QFETCH(QByteArray, after);
        const QString path = Dir_.filePath("settings.ini");
        QVERIFY(WriteFileAtomic(path, before));
        TIniFile ini(path);
        edit(ini);
        QVERIFY(ini.UpdateFile());
        QByteArray written;
        QVERIFY(ReadWholeFile(path, written));
        QCOMPARE(written, after);
    }

    void keepsFilesItCannotReadOrWrite_data()
    {
        QTest::addColumn<QString>("name"); QTest::addColumn<QString>("make");
        QTest::addColumn<QString>("reason");  // part of the error
        QTest::newRow("folder is missing") << "missing/settings.ini" << "" << SystemErrorText(ENOENT);
        // Writing over a file that could not be read would keep only the keys written.
        QTest::newRow("no read permission") << "locked.ini" << "unreadable" << SystemErrorText(EACCES);
        QTest::newRow("fifo") << "pipe.ini" << "fifo" << "Not a regular file";
    }
    void keepsFilesItCannotReadOrWrite()
    {
        QFETCH(QString, name); QFETCH(QString, make); QFETCH(QString, reason);
        const QString path = Dir_.filePath(name);
        const QByteArray original = "[Other]\nKeep=1\n[S]\nk=old\n";
        std::unique_ptr<Hostile::TNoAccessOverride> noOverride;
        if (make == "unreadable") {
            QVERIFY(WriteFileAtomic(path, original));
            QVERIFY(Hostile::SetMode(path, 0200));
            noOverride = std::make_unique<Hostile::TNoAccessOverride>();
            if (!noOverride->Active())
                QSKIP("this process reads files whatever their permissions");
        } else if (make == "fifo" && !Hostile::MakeFifo(path)) {
            QSKIP("no FIFOs here");
        }
        TIniFile ini(path);
        ini.WriteString("S", "k", "v");
        QString error;
        QVERIFY(!ini.UpdateFile(&error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(ini.Modified());
        noOverride.reset();
        if (make == "unreadable") {
            QVERIFY(Hostile::SetMode(path, 0600));
            QByteArray kept;
            QVERIFY(ReadWholeFile(path, kept));
            QCOMPARE(kept, original);
        }
    }
};

TORVANE_TEST(TestIni)
#include "TestIni.moc"
