// The settings file's values as the window and the tools take them.
#include "app/Settings.h"
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

    // The onion skin's count: 1 unless the file says otherwise, kept in 0 (off) .. 5.
    void onionFrames_data()
    {
        QTest::addColumn<QString>("ini"); QTest::addColumn<int>("frames");
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
        QFETCH(QString, ini); QFETCH(int, frames);
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
        s.DirP3d = "/p", s.DirRTM = "/r", s.TranslationFile = "/t.tsl", s.ColorFile = "/c.clr", s.LastP3d = "/m.p3d", s.LastRTM = "/a.rtm";
        s.ShowAxes = s.ShowGrid = s.AutoScale = s.Light3D = s.Transparent3D = s.Grid3D = s.AutoSaveSettings = false;
        s.UndoSteps = 7;
        s.OnionFrames = 3;
        TIniFile first, second;
        s.Write(first);
        TSettings back;
        back.Read(first, "/exe/");
        back.Write(second);
        QCOMPARE(second.Text(), first.Text());
        QCOMPARE(first.Text().count('='), 23);  // every key once
    }
};

TORVANE_TEST(SettingsTest)
#include "SettingsTest.moc"
