#include "platform/FileUtil.h"
#include "platform/Ini.h"
#include "support/HostileFiles.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTemporaryDir>
#include <QTest>

class IniTest : public QObject {
    Q_OBJECT
    QTemporaryDir Dir_;

private slots:
    void reads_data() { QVERIFY(AddTableRows("platform/ini-reads.table")); }
    void reads()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, number);
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

    void edits_data() { QVERIFY(AddTableRows("platform/ini-edits.table")); }
    void edits()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, edit);
        QFETCH(QByteArray, after);
        const QString path = Dir_.filePath("settings.ini");
        QVERIFY(WriteFileAtomic(path, before));
        TIniFile ini(path);
        for (const QString& command : edit.split(';')) {
            const QStringList w = command.split(' ', Qt::SkipEmptyParts);
            QVERIFY(w.size() == (w[0] == "delete" ? 3 : 4));
            if (w[0] == "delete")
                ini.DeleteKey(w[1], w[2]);
            else if (w[0] == "integer")
                ini.WriteInteger(w[1], w[2], w[3].toInt());
            else if (w[0] == "bool")
                ini.WriteBool(w[1], w[2], w[3] == "1");
            else if (w[0] == "string")
                ini.WriteString(w[1], w[2], w[3]);
            else
                QFAIL("unknown edit");
        }
        QVERIFY(ini.UpdateFile());
        QByteArray written;
        QVERIFY(ReadWholeFile(path, written));
        QCOMPARE(written, after);
    }

    // A large file costs about its own size, however it is made: all line breaks, all
    // section headers, or all keys of the section looked up. A string per line took twenty
    // times the file and more.
    void largeFilesCostAboutTheirSize_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("line breaks") << QByteArray("\n");
        QTest::newRow("headers") << QByteArray("[s]\n");
        QTest::newRow("keys") << QByteArray("k%07d=v\n");
        QTest::newRow("one key again") << QByteArray("k=v\n");
    }
    void largeFilesCostAboutTheirSize()
    {
        QFETCH(QByteArray, line);
        if (!Hostile::MemoryLimitsWork())
            QSKIP("no address-space limits here");
        constexpr qsizetype size = 16 << 20;
        QByteArray text("[Settings]\nfirst=1\n");
        text.reserve(size + 64);
        for (int i = 0; text.size() < size; ++i)
            text += line.contains('%') ? QString::asprintf(line.constData(), i).toLatin1() : line;
        text += "last=2\n";
        const QString path = Dir_.filePath("large.ini");
        QVERIFY(WriteFileAtomic(path, text));
        const int code = Hostile::RunWithMemoryLimit(6 * size, [&path] {
            const TIniFile ini(path);
            const bool keys = ini.ReadString("settings", "FIRST", "-") == "1" &&
                              ini.ReadString("Settings", "k0000007", "-") != "x";
            return ini.ReadError().isEmpty() && keys && ini.ReadString("Settings", "missing", "-") == "-" ? 0 : 1;
        });
        QCOMPARE(code, 0);
    }

    void keepsFilesItCannotReadOrWrite_data() { QVERIFY(AddTableRows("platform/ini-unwritable.table")); }
    void keepsFilesItCannotReadOrWrite()
    {
        QFETCH(QString, name);
        QFETCH(QString, make);
        QFETCH(QString, reason);
        const QString path = Dir_.filePath(name);
        const QByteArray original = "[Other]\nKeep=1\n[S]\nk=old\n";
        std::unique_ptr<Hostile::TNoAccessOverride> noOverride;
        if (make == "unreadable") {
            QVERIFY(WriteFileAtomic(path, original) && Hostile::SetMode(path, 0200));
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

TORVANE_TEST(IniTest)
#include "IniTest.moc"
