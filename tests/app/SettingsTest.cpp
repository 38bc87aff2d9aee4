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
    // could be one, with Windows' separators turned round.
    void reads_data() { QVERIFY(AddTableRows("app/settings-reads.table")); }
    void reads()
    {
        QFETCH(QString, ini); QFETCH(int, undo); QFETCH(bool, grid); QFETCH(bool, light); QFETCH(int, width); QFETCH(QString, rtm); QFETCH(QString, last);
        TIniFile file;
        file.SetText(QString(ini).replace("{long}", QString(PATH_MAX, 'a')));
        TSettings s;
        s.Layout.MainWidth = 640;
        s.Read(file, "/exe/");
        QCOMPARE(std::tuple(s.UndoSteps, s.ShowGrid, s.Light3D, s.Layout.MainWidth, s.DirRTM, s.LastP3d), std::tuple(undo, grid, light, width, rtm, last));
    }

    // Every value written comes back as it was: each key is read under the name it is
    // written with. No value here is its default, so a key read under another name shows.
    void writtenValuesReadBack()
    {
        TSettings s;
        s.Layout = {true, 10, 20, 900, 700, 300, 200, 100};
        s.DirP3d = "/p", s.DirRTM = "/r", s.TranslationFile = "/t.tsl", s.ColorFile = "/c.clr", s.LastP3d = "/m.p3d", s.LastRTM = "/a.rtm";
        s.ShowAxes = s.ShowGrid = s.AutoScale = s.Light3D = s.Transparent3D = s.Grid3D = s.AutoSaveSettings = false;
        s.UndoSteps = 7;
        s.UndoMegabytes = 64;
        TIniFile first, second;
        s.Write(first);
        TSettings back;
        back.Read(first, "/exe/");
        back.Write(second);
        QCOMPARE(second.Text(), first.Text());
        QCOMPARE(first.Text().count('='), 23);  // every key once
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
        QFETCH(QString, value); QFETCH(qint64, bytes);
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
};

TORVANE_TEST(SettingsTest)
#include "SettingsTest.moc"
