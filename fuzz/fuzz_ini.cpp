// INI text: any text survives Text()/SetText() unchanged in content and meaning; writes
// read back; a write or delete of one key changes no other key's value.
//
// Input: INI text, optionally followed by a NUL byte and an edit script (4 bytes per edit:
// kind, which key, value length, spelling variant). Keys come from the text itself, so
// the edits hit real lines, including odd ones.
#include "FuzzSupport.h"
#include "platform/Ini.h"

#include <QStringList>

namespace {
struct TProbe {
    QString Section, Key;
};

// Every section/key pair the text names, found independently of the INI unit.
std::vector<TProbe> Probes(const QString& text)
{
    std::vector<TProbe> out;
    QString section;
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (const QString& raw : t.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !line.startsWith(QLatin1Char(';')) && !line.startsWith(QLatin1Char('#')))
            out.push_back({section, line.left(eq).trimmed()});
    }
    out.push_back({QStringLiteral("Fuzz"), QStringLiteral("NewKey")});
    out.push_back({section, QStringLiteral("Another")});
    return out;
}

bool SameKey(const TProbe& a, const TProbe& b)
{
    return a.Section.compare(b.Section, Qt::CaseInsensitive) == 0 && a.Key.compare(b.Key, Qt::CaseInsensitive) == 0;
}

// Names and values that the line format can carry: one line of text a file can hold (no
// half of a surrogate pair), no '=' in a key, nothing that would read as a section
// header, a comment or a quoted value.
bool Writable(const TProbe& p, const QString& value)
{
    auto oneLine = [](const QString& s) {
        return !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r')) && s.isValidUtf16();
    };
    if (!oneLine(p.Section) || !oneLine(p.Key) || !oneLine(value))
        return false;
    if (p.Key.isEmpty() || p.Key != p.Key.trimmed() || p.Key.contains(QLatin1Char('=')) || p.Key.startsWith(QLatin1Char('[')) ||
        p.Key.startsWith(QLatin1Char(';')) || p.Key.startsWith(QLatin1Char('#')))
        return false;
    if (p.Section != p.Section.trimmed() || p.Section.contains(QLatin1Char(']')) || p.Section.contains(QLatin1Char('[')))
        return false;
    if (value != value.trimmed())
        return false;
    const bool quoted = value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
                        value.back() == value.front();
    return !quoted;
}

std::vector<QString> ReadAll(const TIniFile& ini, const std::vector<TProbe>& probes)
{
    std::vector<QString> out;
    for (const TProbe& p : probes)
        out.push_back(ini.ReadString(p.Section, p.Key, QStringLiteral("\x01missing")));
    return out;
}

void CheckTextRoundTrip(const TIniFile& ini, const std::vector<TProbe>& probes)
{
    const QString text = ini.Text();
    TIniFile copy;
    copy.SetText(text);
    FUZZ_CHECK(copy.Text() == text);
    FUZZ_CHECK(ReadAll(copy, probes) == ReadAll(ini, probes));
}

FuzzSeeds MakeSeeds()
{
    const QByteArray script("\x00\x00\x01\x05\x00\x01\x02\x00\x01\x03\x00\x01\x02\x00\x04\x01", 16);
    return {
        {"settings", QByteArray("[Layout]\nMaximized=0\nMainLeft=10\nMainTop=20\n\n[Dir]\nRTM=/data/anims\n"
                                "P3D=C:\\models\\tank.p3d\n\n[Settings]\nTranslationFile=\n\n[Startup]\n"
                                "AutoScale=1\n3DTranparent=1\nLastRTM=walk.rtm\n") +
                         script},
        {"translation_latin1_crlf",
         QByteArray("; names\r\n[Translation]\r\nKn\xe9=Knie \xdf\r\nARM=Left arm\r\n\r\n[Other]\r\nx = \"quoted\"\r\n") +
             script},
        {"colors", QByteArray("[ColorDef]\nbody=255\nturret=0x00FF00\ngun=$FF0000\nbad=blue\n# end\n")},
        {"odd_lines", QByteArray("garbage\n[A\n[]\nk\n=v\n[ Spaced ]\n  key = value  \n[a]\nK=1\nk=2\n") + script},
        {"empty", QByteArray()},
    };
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    WriteSeedsIfAsked(MakeSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* chars = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(chars, 0, size);
    const size_t textSize = nul ? size_t(static_cast<const char*>(nul) - chars) : size;
    const QByteArray script(nul ? chars + textSize + 1 : chars + size, qsizetype(size - textSize - (nul ? 1 : 0)));
    // Odd scripts read the text as UTF-8, even ones as single-byte text.
    const QString text = script.size() % 2 ? QString::fromUtf8(chars, qsizetype(textSize))
                                           : QString::fromLatin1(chars, qsizetype(textSize));

    TIniFile ini;
    ini.SetText(text);
    const std::vector<TProbe> probes = Probes(text);
    CheckTextRoundTrip(ini, probes);
    for (const TProbe& p : probes) {
        (void)ini.ReadInteger(p.Section, p.Key, 0);
        (void)ini.ReadBool(p.Section, p.Key, true);
        // A key exists exactly when its reading ignores the default.
        FUZZ_CHECK(ini.ValueExists(p.Section, p.Key) == (ini.ReadString(p.Section, p.Key, QStringLiteral("a")) ==
                                                         ini.ReadString(p.Section, p.Key, QStringLiteral("b"))));
    }

    for (qsizetype at = 0; at + 4 <= script.size() && at < 4 * 16; at += 4) {
        const int kind = uchar(script[at]) % 5;
        TProbe p = probes[size_t(uchar(script[at + 1])) % probes.size()];
        const int valueLength = uchar(script[at + 2]) % 24;
        if (uchar(script[at + 3]) & 1)
            p.Key = p.Key.toUpper();
        if (uchar(script[at + 3]) & 2)
            p.Section = p.Section.toLower();
        const QString value = text.mid(at % (text.size() + 1), valueLength).trimmed();

        const std::vector<QString> before = ReadAll(ini, probes);
        const qsizetype linesBefore = ini.Text().count(QLatin1Char('\n'));
        switch (kind) {
        case 0:
        case 1:
            if (!Writable(p, value))
                continue;
            ini.WriteString(p.Section, p.Key, value);
            FUZZ_CHECK(ini.ReadString(p.Section, p.Key, QStringLiteral("\x01missing")) == value);
            FUZZ_CHECK(ini.ValueExists(p.Section, p.Key));
            break;
        case 2: {
            if (!Writable(p, QString()))
                continue;
            const int n = int(uchar(script[at + 2])) * 1000003 - 77777777;
            ini.WriteInteger(p.Section, p.Key, n);
            FUZZ_CHECK(ini.ReadInteger(p.Section, p.Key, n + 1) == n);
            FUZZ_CHECK(ini.ReadBool(p.Section, p.Key, n == 0) == (n != 0));
            break;
        }
        case 3:
            if (!Writable(p, QString()))
                continue;
            ini.WriteBool(p.Section, p.Key, at % 8 == 0);
            FUZZ_CHECK(ini.ReadBool(p.Section, p.Key, at % 8 != 0) == (at % 8 == 0));
            break;
        case 4: {
            const bool existed = ini.ValueExists(p.Section, p.Key);
            ini.DeleteKey(p.Section, p.Key);
            FUZZ_CHECK(ini.Text().count(QLatin1Char('\n')) == linesBefore - (existed ? 1 : 0));
            break;
        }
        }
        const std::vector<QString> after = ReadAll(ini, probes);
        for (size_t i = 0; i < probes.size(); ++i)
            if (!SameKey(probes[i], p))
                FUZZ_CHECK(after[i] == before[i]);
        CheckTextRoundTrip(ini, probes);
    }
    return 0;
}
