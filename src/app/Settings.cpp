#include "app/Settings.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <algorithm>
#include <iterator>

namespace {
const QString kLayout = QStringLiteral("Layout");
const QString kDir = QStringLiteral("Dir");
const QString kSettings = QStringLiteral("Settings");
const QString kStartup = QStringLiteral("Startup");
}  // namespace

void TSettings::ReadLayout(const TIniFile& ini, TLayoutSettings& l)
{
    l.Maximized = ini.ReadBool(kLayout, QStringLiteral("Maximized"), false);
    l.MainLeft = ini.ReadInteger(kLayout, QStringLiteral("MainLeft"), l.MainLeft);
    l.MainTop = ini.ReadInteger(kLayout, QStringLiteral("MainTop"), l.MainTop);
    l.MainWidth = ini.ReadInteger(kLayout, QStringLiteral("MainWidth"), l.MainWidth);
    l.MainHeight = ini.ReadInteger(kLayout, QStringLiteral("MainHeight"), l.MainHeight);
    l.HSplitter = ini.ReadInteger(kLayout, QStringLiteral("HSplitter"), l.HSplitter);
    l.VSplitter1 = ini.ReadInteger(kLayout, QStringLiteral("VSplitter1"), l.VSplitter1);
    l.VSplitter2 = ini.ReadInteger(kLayout, QStringLiteral("VSplitter2"), l.VSplitter2);
}

namespace {
// Every key as it is written, in the order of writing: its section, its name and its text
// for a set of settings.
struct TKeyWrite {
    const QString& Section;
    const char* Key;
    QString (*Text)(const TSettings& s);
};
QString Number(int v) { return QString::number(v); }
QString Bool(bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); }
constexpr size_t LayoutKeys = 8;  // the first ones: the layout
const TKeyWrite Keys[] = {
    {kLayout, "MainLeft", [](const TSettings& s) { return Number(s.Layout.MainLeft); }},
    {kLayout, "MainTop", [](const TSettings& s) { return Number(s.Layout.MainTop); }},
    {kLayout, "MainWidth", [](const TSettings& s) { return Number(s.Layout.MainWidth); }},
    {kLayout, "MainHeight", [](const TSettings& s) { return Number(s.Layout.MainHeight); }},
    {kLayout, "HSplitter", [](const TSettings& s) { return Number(s.Layout.HSplitter); }},
    {kLayout, "VSplitter1", [](const TSettings& s) { return Number(s.Layout.VSplitter1); }},
    {kLayout, "VSplitter2", [](const TSettings& s) { return Number(s.Layout.VSplitter2); }},
    {kLayout, "Maximized", [](const TSettings& s) { return Bool(s.Layout.Maximized); }},
    {kDir, "P3d", [](const TSettings& s) { return s.DirP3d; }},
    {kDir, "RTM", [](const TSettings& s) { return s.DirRTM; }},
    {kStartup, "LastP3d", [](const TSettings& s) { return s.LastP3d; }},
    {kStartup, "LastRTM", [](const TSettings& s) { return s.LastRTM; }},
    {kSettings, "TranslationFile", [](const TSettings& s) { return s.TranslationFile; }},
    {kSettings, "ColorFile", [](const TSettings& s) { return s.ColorFile; }},
    {kSettings, "UndoSteps", [](const TSettings& s) { return Number(s.UndoSteps); }},
    {kStartup, "ShowAxes", [](const TSettings& s) { return Bool(s.ShowAxes); }},
    {kStartup, "ShowGrid", [](const TSettings& s) { return Bool(s.ShowGrid); }},
    {kStartup, "AutoScale", [](const TSettings& s) { return Bool(s.AutoScale); }},
    {kStartup, "3DLight", [](const TSettings& s) { return Bool(s.Light3D); }},
    {kStartup, "3DTranparent", [](const TSettings& s) { return Bool(s.Transparent3D); }},
    {kStartup, "3DGrid", [](const TSettings& s) { return Bool(s.Grid3D); }},
    {kStartup, "AutoSaveSettings", [](const TSettings& s) { return Bool(s.AutoSaveSettings); }},
};

void WriteKeys(TIniFile& ini, const TSettings& s, const TSettings* base, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const TKeyWrite& k = Keys[i];
        const QString key = QLatin1String(k.Key), text = k.Text(s);
        if (!base || text != k.Text(*base) || !ini.ValueExists(k.Section, key))
            ini.WriteString(k.Section, key, text);
    }
}
}  // namespace

void TSettings::WriteLayout(TIniFile& ini, const TLayoutSettings& l)
{
    TSettings s;
    s.Layout = l;
    WriteKeys(ini, s, nullptr, LayoutKeys);
}

void TSettings::Read(const TIniFile& ini, const QString& exeDir)
{
    ReadLayout(ini, Layout);
    // Paths in the settings file may have been written on Windows, with backslashes.
    // A value longer than any path the system can open is no path: it is dropped before
    // anything (a file look-up, a window title) has to deal with megabytes of it.
    const auto path = [&ini](const QString& section, const QString& key, const QString& def) {
        const QString value = ini.ReadString(section, key, def);
        if (!IsPlausiblePath(value))
            return def;
        return NormalizeSeparators(value);
    };
    DirP3d = path(kDir, QStringLiteral("P3d"), exeDir);
    DirRTM = path(kDir, QStringLiteral("RTM"), exeDir);
    TranslationFile = path(kSettings, QStringLiteral("TranslationFile"), QString());
    ColorFile = path(kSettings, QStringLiteral("ColorFile"), QString());
    ShowAxes = ini.ReadBool(kStartup, QStringLiteral("ShowAxes"), true);
    ShowGrid = ini.ReadBool(kStartup, QStringLiteral("ShowGrid"), true);
    AutoScale = ini.ReadBool(kStartup, QStringLiteral("AutoScale"), true);
    Light3D = ini.ReadBool(kStartup, QStringLiteral("3DLight"), true);
    Transparent3D = ini.ReadBool(kStartup, QStringLiteral("3DTranparent"), true);
    Grid3D = ini.ReadBool(kStartup, QStringLiteral("3DGrid"), true);
    AutoSaveSettings = ini.ReadBool(kStartup, QStringLiteral("AutoSaveSettings"), true);
    UndoSteps = std::clamp(ini.ReadInteger(kSettings, QStringLiteral("UndoSteps"), 100), 1, 100000);
    LastP3d = path(kStartup, QStringLiteral("LastP3d"), QString());
    LastRTM = path(kStartup, QStringLiteral("LastRTM"), QString());
}

void TSettings::Write(TIniFile& ini, const TSettings* base) const { WriteKeys(ini, *this, base, std::size(Keys)); }
