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

    // Every value written comes back as it was: each key is read under the name it is
    // written with. No value here is its default, so a key read under another name shows.
    void writtenValuesReadBack()
    {
        TSettings s;
        s.Layout = {true, 10, 20, 900, 700, 300, 200, 100};
        s.DirP3d = "/p", s.DirRTM = "/r", s.TranslationFile = "/t.tsl", s.ColorFile = "/c.clr", s.LastP3d = "/m.p3d", s.LastRTM = "/a.rtm";
        s.ShowAxes = s.ShowGrid = s.AutoScale = s.Light3D = s.Transparent3D = s.Grid3D = s.AutoSaveSettings = false;
        s.UndoSteps = 7;
        TIniFile first, second;
        s.Write(first);
        TSettings back;
        back.Read(first, "/exe/");
        back.Write(second);
        QCOMPARE(second.Text(), first.Text());
        QCOMPARE(first.Text().count('='), 22);  // every key once
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
        now.Write(file, &base);
        TSettings back;
        back.Read(file, "/exe/");
        QCOMPARE(std::tuple(back.ShowGrid, back.LastP3d, back.Layout.MainLeft), std::tuple(false, QString("/b.p3d"), 5));  // ours
        QCOMPARE(std::tuple(back.UndoSteps, back.ShowAxes), std::tuple(70, false));                                  // theirs
        QCOMPARE(back.DirRTM, QString("/r"));  // missing, so written
        QCOMPARE(file.ReadString("Plugin", "Colour", "?"), QString("blue"));
    }
};

TORVANE_TEST(SettingsTest)
#include "SettingsTest.moc"
