#include "app/CommandLine.h"
#include "anim/Rtm.h"
#include "anim/RtmInfo.h"
#include "platform/FileUtil.h"

#include <QTextStream>

TCommandLine TCommandLine::Parse(const QStringList& args)
{
    TCommandLine c;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--home")) {
            if (i + 1 >= args.size()) {
                c.Kind = Mode::Usage;
                c.Error = QStringLiteral("--home needs a folder");
                return c;
            }
            c.Home = args[++i];
        } else if (a == QLatin1String("--json")) {
            c.Json = true;
        } else if (a == QLatin1String("info") && c.Kind == Mode::Gui && c.Files.isEmpty()) {
            c.Kind = Mode::Info;
        } else if (a.startsWith(QLatin1String("--")) || (a.startsWith(QLatin1Char('-')) && a.size() > 1)) {
            c.Kind = Mode::Usage;
            c.Error = QStringLiteral("unknown option %1").arg(a);
            return c;
        } else {
            c.Files << a;
        }
    }
    if (c.Kind == Mode::Info && c.Files.size() != 1) {
        c.Kind = Mode::Usage;
        c.Error = QStringLiteral("info takes one file");
    } else if (c.Kind == Mode::Gui && c.Json) {
        c.Kind = Mode::Usage;
        c.Error = QStringLiteral("--json goes with info");
    }
    return c;
}

int RunInfoCommand(const TCommandLine& cmd, QTextStream& out, QTextStream& err)
{
    const QString path = cmd.Files.value(0);
    QByteArray bytes;
    if (!ReadWholeFile(ResolveCaseInsensitive(path), bytes)) {
        err << QStringLiteral("Cannot open file %1").arg(path) << Qt::endl;
        return 1;
    }
    TAnimDocument doc;
    const QString error = ReadRtm(bytes, doc);
    if (!error.isEmpty()) {
        err << error << Qt::endl;
        return 1;
    }
    out << (cmd.Json ? RtmInfoJson(doc) : RtmInfoText(doc));
    out.flush();
    return 0;
}
