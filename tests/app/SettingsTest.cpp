// The settings file's values as the window and the tools take them.
#include "app/Settings.h"
#include "editor/CommandStack.h"
#include "platform/Ini.h"
#include "support/TestMain.h"
#include "support/TestTable.h"

#include <QTest>
#include <climits>
#include <tuple>

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    // Missing or malformed values take their defaults (layout ones the window's current
    // size), the history's length is kept in 1 .. 100000, and a path is kept only when it
    // could be one, with Windows' separators turned round. The autosave interval is 0 (off)
    // or up to a day; a negative one takes the default rather than switching autosave off.
    void reads_data() { QVERIFY(AddTableRows("app/settings-reads.table")); }
    void reads()
    {
        QFETCH(QString, ini);
        QFETCH(int, undo);
        QFETCH(bool, grid);
        QFETCH(bool, light);
        QFETCH(int, width);
        QFETCH(QString, rtm);
        QFETCH(QString, last);
        QFETCH(int, autosave);
        TIniFile file;
        file.SetText(QString(ini).replace("{long}", QString(PATH_MAX, 'a')));
        TSettings s;
        s.Layout.MainWidth = 640;
        s.Read(file, "/exe/");
        QCOMPARE(std::tuple(s.UndoSteps, s.ShowGrid, s.Light3D, s.Layout.MainWidth, s.DirRTM, s.LastP3d, s.AutosaveSeconds),
                 std::tuple(undo, grid, light, width, rtm, last, autosave));
    }

    // Paths inside the folder of the data folders are stored relative to it, so that a copy
    // of that folder (the demo) reads its own files; every stored path reads back as it was.
    void storedPaths_data() { QVERIFY(AddTableRows("app/settings-paths.table")); }
    void storedPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, dataDir);
        QFETCH(QString, stored);
        QCOMPARE(StoredPath(path, dataDir), stored);
        QCOMPARE(ResolvedPath(stored, dataDir), path);
    }

    // A settings file with relative paths (the demo's), read from a folder and written back
    // unchanged; read from elsewhere (the copy) its paths name the copy's files.
    void relativePathsFollowTheFolder()
    {
        const QString text = QStringLiteral(
            "[Dir]\nP3d=.\nRTM=anims\n[Startup]\nLastP3d=walker.p3d\nLastRTM=anims/walk.rtm\n"
            "[Settings]\nTranslationFile=Translation/walker.tsl\nColorFile=/shared/Colors/c.clr\n");
        TIniFile file;
        file.SetText(text);
        TSettings s;
        s.Read(file, "/exe/", "/copy/");
        QCOMPARE(QStringList({s.DirP3d, s.DirRTM, s.LastP3d, s.LastRTM, s.TranslationFile, s.ColorFile}),
                 QStringList({"/copy", "/copy/anims", "/copy/walker.p3d", "/copy/anims/walk.rtm", "/copy/Translation/walker.tsl",
                              "/shared/Colors/c.clr"}));
        TIniFile again;
        s.Write(again, "/copy/");
        const QStringList keys{"Dir/P3d",           "Dir/RTM", "Startup/LastP3d", "Startup/LastRTM", "Settings/TranslationFile",
                               "Settings/ColorFile"};
        for (const QString& key : keys) {
            const QString section = key.section('/', 0, 0), name = key.section('/', 1);
            QCOMPARE(again.ReadString(section, name, "?"), file.ReadString(section, name, "!"));
        }
    }

    // The onion skin's count: 1 unless the file says otherwise, kept in 0 (off) .. 5.
    void onionFrames_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<int>("frames");
        QTest::newRow("missing") << "" << 1;
        QTest::newRow("three, key in any case") << "[startup]\nonionframes=3" << 3;
        QTest::newRow("off") << "[Startup]\nOnionFrames=0" << 0;
        QTest::newRow("too many") << "[Startup]\nOnionFrames=9" << 5;
        QTest::newRow("negative") << "[Startup]\nOnionFrames=-2" << 0;
        QTest::newRow("not a number") << "[Startup]\nOnionFrames=two" << 1;
        QTest::newRow("in another section") << "[Settings]\nOnionFrames=4" << 1;
    }
    void onionFrames()
    {
        QFETCH(QString, ini);
        QFETCH(int, frames);
        TIniFile file;
        file.SetText(ini);
        TSettings s;
        s.Read(file, "/exe/");
        QCOMPARE(s.OnionFrames, frames);
    }

    // Every value written comes back as it was: each key is read under the name it is
    // written with. No value here is its default, so a key read under another name shows.
    void writtenValuesReadBack()
    {
        TSettings s;
        s.Layout = {true, 10, 20, 900, 700, 300, 200, 100};
        s.DirP3d = "/p", s.DirRTM = "/r", s.TranslationFile = "/t.tsl", s.ColorFile = "/c.clr", s.LastP3d = "/m.p3d",
        s.LastRTM = "/a.rtm";
        s.ShowAxes = s.ShowGrid = s.AutoScale = s.Light3D = s.Transparent3D = s.Grid3D = s.AutoSaveSettings = false;
        s.UndoSteps = 7;
        s.UndoMegabytes = 64;
        s.AutosaveSeconds = 0;
        s.OnionFrames = 3;
        TIniFile first, second;
        s.Write(first);
        TSettings back;
        back.Read(first, "/exe/");
        back.Write(second);
        QCOMPARE(second.Text(), first.Text());
        QCOMPARE(first.Text().count('='), 25);  // every key once
    }

    // The history's memory in MiB; without the key (or with 0, or nonsense) the history's
    // own default share of memory, which is then not written into the file.
    void undoMemory_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<qint64>("bytes");  // -1: the default
        QTest::newRow("missing") << QString() << qint64(-1);
        QTest::newRow("512 MiB") << "512" << (qint64(512) << 20);
        QTest::newRow("zero") << "0" << qint64(-1);
        QTest::newRow("negative") << "-3" << qint64(-1);
        QTest::newRow("not a number") << "lots" << qint64(-1);
        QTest::newRow("past the most") << "99999999" << (qint64(1) << 44);
    }
    void undoMemory()
    {
        QFETCH(QString, value);
        QFETCH(qint64, bytes);
        TIniFile file;
        if (!value.isNull())
            file.SetText("[Settings]\nUndoMegabytes=" + value);
        TSettings s;
        s.Read(file, "/exe/");
        QCOMPARE(qint64(s.UndoBytes()), bytes < 0 ? qint64(TCommandStack::DefaultByteLimit()) : bytes);
        TIniFile written;
        s.Write(written);
        QCOMPARE(written.Text().contains("UndoMegabytes"), bytes >= 0);
    }

    // Against what this program read (base), only the keys it changed are written, and the
    // keys the file lacks: what another window wrote meanwhile stays, other sections too.
    void writesOnlyWhatItChanged()
    {
        TSettings base;
        base.LastP3d = "/a.p3d", base.DirRTM = "/r", base.UndoSteps = 50;
        TIniFile file;
        base.Write(file);  // the file as this program read it
        // Another window saved meanwhile, and a program of its own added a section.
        file.WriteInteger("Settings", "UndoSteps", 70);
        file.WriteBool("Startup", "ShowAxes", false);
        file.WriteString("Layout", "MainLeft", "33");
        file.DeleteKey("Dir", "RTM");
        file.WriteString("Plugin", "Colour", "blue");
        TSettings now = base;
        now.ShowGrid = false, now.LastP3d = "/b.p3d", now.Layout.MainLeft = 5;
        now.Write(file, {}, &base);
        TSettings back;
        back.Read(file, "/exe/");
        QCOMPARE(std::tuple(back.ShowGrid, back.LastP3d, back.Layout.MainLeft), std::tuple(false, QString("/b.p3d"), 5));  // ours
        QCOMPARE(std::tuple(back.UndoSteps, back.ShowAxes), std::tuple(70, false));  // theirs
        QCOMPARE(back.DirRTM, QString("/r"));  // missing, so written
        QCOMPARE(file.ReadString("Plugin", "Colour", "?"), QString("blue"));
    }
};

TORVANE_TEST(SettingsTest)
#include "SettingsTest.moc"
