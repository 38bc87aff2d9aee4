#include "app/Settings.h"
#include "editor/CommandStack.h"
#include "editor/EditorOptions.h"
#include "pose/OnionSkin.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QDir>
#include <algorithm>
#include <iterator>

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

void TSettings::ToOptions(TEditorOptions& o) const
{
    o.Axes = ShowAxes;
    o.Grid = ShowGrid;
    o.AutoScale = AutoScale;
    o.Lighting = !Light3D;  // the key holds whether "L" is pressed, which draws unlit
    o.Transparent3d = Transparent3D;
    o.Grid3d = Grid3D;
    o.OnionFrames = OnionFrames;
}

void TSettings::FromOptions(const TEditorOptions& o)
{
    ShowAxes = o.Axes;
    ShowGrid = o.Grid;
    AutoScale = o.AutoScale;
    Light3D = !o.Lighting;
    Transparent3D = o.Transparent3d;
    Grid3D = o.Grid3d;
    OnionFrames = o.OnionFrames;
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

namespace {
// The folder without its trailing separator ("/" stays), empty when there is none.
QString Base(const QString& dataDir)
{
    QString base = dataDir;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

// "C:/x" and "C:\x" are absolute on the system that wrote them.
bool IsDrivePath(const QString& path)
{
    return path.size() >= 3 && path[0].isLetter() && path[1] == QLatin1Char(':') &&
           (path[2] == QLatin1Char('/') || path[2] == QLatin1Char('\\'));
}
}  // namespace

QString StoredPath(const QString& path, const QString& dataDir)
{
    const QString base = Base(dataDir);
    if (!base.startsWith(QLatin1Char('/')) || path.isEmpty())
        return path;
    if (path == base)
        return QStringLiteral(".");
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    if (path == prefix)
        return QStringLiteral("./");
    if (!path.startsWith(prefix))
        return path;
    // Only a plain path below the folder (a folder may end in its separator), one that
    // reads back as itself: "a/../b" and a name that starts with a blank or a quote stay whole.
    const QString rest = path.mid(prefix.size());
    const QString name = rest.endsWith(QLatin1Char('/')) ? rest.chopped(1) : rest;
    const bool plain = !name.isEmpty() && QDir::cleanPath(name) == name && !name.startsWith(QLatin1Char('/')) &&
                       name != QLatin1String(".") && name != QLatin1String("..") && !name.startsWith(QLatin1String("../")) &&
                       !IsDrivePath(name) && name.trimmed() == name && !name.startsWith(QLatin1Char('"')) &&
                       !name.startsWith(QLatin1Char('\''));
    return plain ? rest : path;
}

QString ResolvedPath(const QString& stored, const QString& dataDir)
{
    const QString base = Base(dataDir);
    if (!base.startsWith(QLatin1Char('/')) || stored.isEmpty() || stored.startsWith(QLatin1Char('/')) || IsDrivePath(stored))
        return stored;
    if (stored == QLatin1String("."))
        return base;
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return stored == QLatin1String("./") ? prefix : prefix + stored;
}

void TSettings::Read(const TIniFile& ini, const QString& exeDir, const QString& dataDir)
{
    ReadLayout(ini, Layout);
    // Paths in the settings file may have been written on Windows, with backslashes.
    // A value longer than any path the system can open is no path: it is dropped before
    // anything (a file look-up, a window title) has to deal with megabytes of it.
    const auto path = [&ini, &dataDir](const QString& section, const QString& key, const QString& def) {
        const QString value = ini.ReadString(section, key, def);
        if (!IsPlausiblePath(value))
            return def;
        const QString resolved = ResolvedPath(NormalizeSeparators(value), dataDir);
        return IsPlausiblePath(resolved) ? resolved : def;
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
    OnionFrames = std::clamp(ini.ReadInteger(kStartup, QStringLiteral("OnionFrames"), 1), 0, MaxOnionFrames);
    UndoSteps = std::clamp(ini.ReadInteger(kSettings, QStringLiteral("UndoSteps"), 100), 1, 100000);
    UndoMegabytes = std::clamp(ini.ReadInteger(kSettings, QStringLiteral("UndoMegabytes"), 0), 0, 1 << 24);
    // A negative interval is a slip, not a wish to lose work: it counts as the default.
    AutosaveSeconds = ini.ReadInteger(kStartup, QStringLiteral("AutosaveSeconds"), 60);
    AutosaveSeconds = AutosaveSeconds < 0 ? 60 : std::min(AutosaveSeconds, 86400);
    LastP3d = path(kStartup, QStringLiteral("LastP3d"), QString());
    LastRTM = path(kStartup, QStringLiteral("LastRTM"), QString());
}

namespace {
// Every key as it is written, in the order of writing: its section, its name and its text
// for a set of settings (paths as the file holds them, relative to dataDir).
struct TKeyWrite {
    const QString& Section;
    const char* Key;
    QString (*Text)(const TSettings& s, const QString& dataDir);
};
QString Number(int v) { return QString::number(v); }
QString Bool(bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); }
constexpr size_t LayoutKeys = 8;  // the first ones: the layout
const TKeyWrite Keys[] = {
    {kLayout, "MainLeft", [](const TSettings& s, const QString&) { return Number(s.Layout.MainLeft); }},
    {kLayout, "MainTop", [](const TSettings& s, const QString&) { return Number(s.Layout.MainTop); }},
    {kLayout, "MainWidth", [](const TSettings& s, const QString&) { return Number(s.Layout.MainWidth); }},
    {kLayout, "MainHeight", [](const TSettings& s, const QString&) { return Number(s.Layout.MainHeight); }},
    {kLayout, "HSplitter", [](const TSettings& s, const QString&) { return Number(s.Layout.HSplitter); }},
    {kLayout, "VSplitter1", [](const TSettings& s, const QString&) { return Number(s.Layout.VSplitter1); }},
    {kLayout, "VSplitter2", [](const TSettings& s, const QString&) { return Number(s.Layout.VSplitter2); }},
    {kLayout, "Maximized", [](const TSettings& s, const QString&) { return Bool(s.Layout.Maximized); }},
    {kDir, "P3d", [](const TSettings& s, const QString& d) { return StoredPath(s.DirP3d, d); }},
    {kDir, "RTM", [](const TSettings& s, const QString& d) { return StoredPath(s.DirRTM, d); }},
    {kStartup, "LastP3d", [](const TSettings& s, const QString& d) { return StoredPath(s.LastP3d, d); }},
    {kStartup, "LastRTM", [](const TSettings& s, const QString& d) { return StoredPath(s.LastRTM, d); }},
    {kSettings, "TranslationFile", [](const TSettings& s, const QString& d) { return StoredPath(s.TranslationFile, d); }},
    {kSettings, "ColorFile", [](const TSettings& s, const QString& d) { return StoredPath(s.ColorFile, d); }},
    {kSettings, "UndoSteps", [](const TSettings& s, const QString&) { return Number(s.UndoSteps); }},
    // Written only when set: the default follows the machine's memory.
    {kSettings, "UndoMegabytes",
     [](const TSettings& s, const QString&) { return s.UndoMegabytes > 0 ? Number(s.UndoMegabytes) : QString(); }},
    {kStartup, "ShowAxes", [](const TSettings& s, const QString&) { return Bool(s.ShowAxes); }},
    {kStartup, "ShowGrid", [](const TSettings& s, const QString&) { return Bool(s.ShowGrid); }},
    {kStartup, "AutoScale", [](const TSettings& s, const QString&) { return Bool(s.AutoScale); }},
    {kStartup, "3DLight", [](const TSettings& s, const QString&) { return Bool(s.Light3D); }},
    {kStartup, "3DTranparent", [](const TSettings& s, const QString&) { return Bool(s.Transparent3D); }},
    {kStartup, "3DGrid", [](const TSettings& s, const QString&) { return Bool(s.Grid3D); }},
    {kStartup, "AutoSaveSettings", [](const TSettings& s, const QString&) { return Bool(s.AutoSaveSettings); }},
    {kStartup, "AutosaveSeconds", [](const TSettings& s, const QString&) { return Number(s.AutosaveSeconds); }},
    {kStartup, "OnionFrames", [](const TSettings& s, const QString&) { return Number(s.OnionFrames); }},
};

void WriteKeys(TIniFile& ini, const TSettings& s, const QString& dataDir, const TSettings* base, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const TKeyWrite& k = Keys[i];
        const QString key = QLatin1String(k.Key), text = k.Text(s, dataDir);
        if (text.isNull())  // a key not to write
            continue;
        if (!base || text != k.Text(*base, dataDir) || !ini.ValueExists(k.Section, key))
            ini.WriteString(k.Section, key, text);
    }
}
}  // namespace

void TSettings::WriteLayout(TIniFile& ini, const TLayoutSettings& l)
{
    TSettings s;
    s.Layout = l;
    WriteKeys(ini, s, QString(), nullptr, LayoutKeys);
}

void TSettings::Write(TIniFile& ini, const QString& dataDir, const TSettings* base) const
{
    WriteKeys(ini, *this, dataDir, base, std::size(Keys));
}
