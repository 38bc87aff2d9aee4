// The settings reader: any file gives settings whose paths are paths (no backslash, no
// value beyond the system's path limit), and settings written and read back are the
// same. The file is read from disk, as at start-up, and written back through the
// streamed atomic writer.
#include "FuzzSupport.h"
#include "app/Settings.h"
#include "platform/FileUtil.h"
#include "platform/Ini.h"

#include <QTemporaryDir>

namespace {
FuzzSeeds MakeSeeds()
{
    return {
        {"all_keys", "[Layout]\nMaximized=1\nMainLeft=-5\nMainTop=7\nMainWidth=900\nMainHeight=700\nHSplitter=3\n"
                     "VSplitter1=4\nVSplitter2=5\n[Dir]\nP3d=C:\\models\\\nRTM=\"/anims\"\n[Startup]\nLastP3d=a\\b.p3d\n"
                     "LastRTM='x.rtm'\nShowAxes=0\nShowGrid=-3\nAutoScale=yes\n3DLight=0\n3DTranparent=1\n3DGrid=\n"
                     "AutoSaveSettings=0\n[Settings]\nTranslationFile=de.tsl\nColorFile=c.clr\n"},
        {"crlf_latin1", "[startup]\r\nlastp3d=M\xe9nu.p3d\r\n[STARTUP]\r\nShowAxes=0\r\n"},
        {"odd_lines", "ShowAxes=0\n[Startup\n]\n[ Startup ]\n = 1\nShowGrid = 0 \n;ShowAxes=1\n"},
    };
}

bool SameSettings(const TSettings& a, const TSettings& b)
{
    const TLayoutSettings& x = a.Layout;
    const TLayoutSettings& y = b.Layout;
    return x.Maximized == y.Maximized && x.MainLeft == y.MainLeft && x.MainTop == y.MainTop && x.MainWidth == y.MainWidth &&
           x.MainHeight == y.MainHeight && x.HSplitter == y.HSplitter && x.VSplitter1 == y.VSplitter1 &&
           x.VSplitter2 == y.VSplitter2 && a.DirP3d == b.DirP3d && a.DirRTM == b.DirRTM &&
           a.TranslationFile == b.TranslationFile && a.ColorFile == b.ColorFile && a.ShowAxes == b.ShowAxes &&
           a.ShowGrid == b.ShowGrid && a.AutoScale == b.AutoScale && a.Light3D == b.Light3D &&
           a.Transparent3D == b.Transparent3D && a.Grid3D == b.Grid3D && a.AutoSaveSettings == b.AutoSaveSettings &&
           a.LastP3d == b.LastP3d && a.LastRTM == b.LastRTM;
}

// A value read back loses surrounding quotes and blanks: such values cannot round-trip.
bool Stable(const QString& v)
{
    const QString t = v.trimmed();
    return t == v && !(t.size() >= 2 && (t.startsWith(QLatin1Char('"')) || t.startsWith(QLatin1Char('\''))));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzFolder().filePath(QStringLiteral("TorvaneAnim.ini"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }
    const QString exeDir = QStringLiteral("/exe");
    const TIniFile ini(path);
    FUZZ_CHECK(ini.ReadError().isEmpty());
    TSettings s;
    s.Read(ini, exeDir, exeDir);
    for (const QString* p : {&s.DirP3d, &s.DirRTM, &s.TranslationFile, &s.ColorFile, &s.LastP3d, &s.LastRTM}) {
        FUZZ_CHECK(IsPlausiblePath(*p));
        FUZZ_CHECK(!p->contains(QLatin1Char('\\')));
    }

    // Written into the same file (its other lines kept) and read back.
    TIniFile out(path);
    s.Write(out, exeDir);
    QString error;
    FUZZ_CHECK(out.UpdateFile(&error));
    TSettings back;
    back.Read(TIniFile(path), exeDir, exeDir);
    bool stable = true;
    for (const QString* p : {&s.DirP3d, &s.DirRTM, &s.TranslationFile, &s.ColorFile, &s.LastP3d, &s.LastRTM})
        stable = stable && Stable(*p) && !p->contains(QLatin1Char('\n')) && !p->contains(QLatin1Char('\r'));
    if (stable)
        FUZZ_CHECK(SameSettings(s, back));
    return 0;
}
