#include "app/Settings.h"
#include "editor/CommandStack.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <algorithm>

namespace {
const QString kLayout = QStringLiteral("Layout");
const QString kDir = QStringLiteral("Dir");
const QString kSettings = QStringLiteral("Settings");
const QString kStartup = QStringLiteral("Startup");
}  // namespace

size_t TSettings::UndoBytes() const
{
    return UndoMegabytes > 0 ? size_t(UndoMegabytes) << 20 : TCommandStack::DefaultByteLimit();
}

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

void TSettings::WriteLayout(TIniFile& ini, const TLayoutSettings& l)
{
    ini.WriteInteger(kLayout, QStringLiteral("MainLeft"), l.MainLeft);
    ini.WriteInteger(kLayout, QStringLiteral("MainTop"), l.MainTop);
    ini.WriteInteger(kLayout, QStringLiteral("MainWidth"), l.MainWidth);
    ini.WriteInteger(kLayout, QStringLiteral("MainHeight"), l.MainHeight);
    ini.WriteInteger(kLayout, QStringLiteral("HSplitter"), l.HSplitter);
    ini.WriteInteger(kLayout, QStringLiteral("VSplitter1"), l.VSplitter1);
    ini.WriteInteger(kLayout, QStringLiteral("VSplitter2"), l.VSplitter2);
    ini.WriteBool(kLayout, QStringLiteral("Maximized"), l.Maximized);
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
    UndoMegabytes = std::clamp(ini.ReadInteger(kSettings, QStringLiteral("UndoMegabytes"), 0), 0, 1 << 24);
    LastP3d = path(kStartup, QStringLiteral("LastP3d"), QString());
    LastRTM = path(kStartup, QStringLiteral("LastRTM"), QString());
}

void TSettings::Write(TIniFile& ini) const
{
    WriteLayout(ini, Layout);
    ini.WriteString(kDir, QStringLiteral("P3d"), DirP3d);
    ini.WriteString(kDir, QStringLiteral("RTM"), DirRTM);
    ini.WriteString(kStartup, QStringLiteral("LastP3d"), LastP3d);
    ini.WriteString(kStartup, QStringLiteral("LastRTM"), LastRTM);
    ini.WriteString(kSettings, QStringLiteral("TranslationFile"), TranslationFile);
    ini.WriteString(kSettings, QStringLiteral("ColorFile"), ColorFile);
    ini.WriteInteger(kSettings, QStringLiteral("UndoSteps"), UndoSteps);
    if (UndoMegabytes > 0)
        ini.WriteInteger(kSettings, QStringLiteral("UndoMegabytes"), UndoMegabytes);
    ini.WriteBool(kStartup, QStringLiteral("ShowAxes"), ShowAxes);
    ini.WriteBool(kStartup, QStringLiteral("ShowGrid"), ShowGrid);
    ini.WriteBool(kStartup, QStringLiteral("AutoScale"), AutoScale);
    ini.WriteBool(kStartup, QStringLiteral("3DLight"), Light3D);
    ini.WriteBool(kStartup, QStringLiteral("3DTranparent"), Transparent3D);
    ini.WriteBool(kStartup, QStringLiteral("3DGrid"), Grid3D);
    ini.WriteBool(kStartup, QStringLiteral("AutoSaveSettings"), AutoSaveSettings);
}
