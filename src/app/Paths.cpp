#include "app/Paths.h"
#include "platform/FileUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString WithSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// A base folder from an XDG variable: only an absolute path counts, otherwise the default
// under the user's home folder. Empty when neither is usable.
QString XdgBase(const QString& variable, const QString& userHome, const QString& fallback)
{
    if (QDir::isAbsolutePath(variable))
        return WithSlash(QDir::cleanPath(variable));
    if (QDir::isAbsolutePath(userHome))
        return WithSlash(QDir::cleanPath(userHome + QLatin1Char('/') + fallback));
    return {};
}

void SetDataDirs(TAppPaths& p, const QString& dataDir)
{
    p.DataDir = dataDir;
    p.LinkDataDir = dataDir + QStringLiteral("LinkData");
    p.TranslationDir = dataDir + QStringLiteral("Translation");
    p.ColorsDir = dataDir + QStringLiteral("Colors");
}
}  // namespace

TPathFacts TPathFacts::Gather(const QString& home)
{
    TPathFacts f;
    f.Home = home;
    f.ExeDir = QCoreApplication::applicationDirPath();
    const QDir exe(f.ExeDir);
    f.ExeDirHasSettings = QFileInfo::exists(exe.filePath(QStringLiteral("TorvaneAnim.ini"))) ||
                          QFileInfo::exists(exe.filePath(QStringLiteral("Zelvix.ini")));
    f.ExeDirWritable = QFileInfo(f.ExeDir).isWritable();
    f.UserHome = QDir::homePath();
    f.XdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    f.XdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    f.XdgStateHome = qEnvironmentVariable("XDG_STATE_HOME");
    return f;
}

bool TAppPaths::IsSystemFolder(const QString& dir)
{
    static const char* const kRoots[] = {"/usr",    "/bin", "/sbin", "/lib", "/lib32",     "/lib64",
                                         "/libx32", "/opt", "/snap", "/app", "/nix/store", "/gnu/store"};
    const QString clean = QDir::cleanPath(dir);
    for (const char* root : kRoots) {
        const QString r = QString::fromLatin1(root);
        if (clean == r || clean.startsWith(r + QLatin1Char('/')))
            return true;
    }
    return false;
}

TAppPaths TAppPaths::ChooseFolders(const TPathFacts& f)
{
    TAppPaths p;
    if (!f.Home.isEmpty()) {
        p.Kind = Layout::Home;
        p.ExeDir = WithSlash(QDir(f.Home).absolutePath());
    } else {
        p.ExeDir = WithSlash(f.ExeDir);
        // An existing settings file beside the executable keeps an installation working as
        // it did; so does a folder the user may write to that no package manager owns.
        const bool portable = f.ExeDirHasSettings || (f.ExeDirWritable && !IsSystemFolder(f.ExeDir));
        if (!portable) {
            const QString config = XdgBase(f.XdgConfigHome, f.UserHome, QStringLiteral(".config"));
            const QString data = XdgBase(f.XdgDataHome, f.UserHome, QStringLiteral(".local/share"));
            // Without a home folder there is nowhere better than beside the executable.
            if (!config.isEmpty() && !data.isEmpty()) {
                p.Kind = Layout::User;
                p.SettingsDir = config + QStringLiteral("torvane-anim/");
                SetDataDirs(p, data + QStringLiteral("torvane-anim/"));
                p.StartDir = WithSlash(QDir::cleanPath(f.UserHome));
                return p;
            }
        }
        p.Kind = Layout::Portable;
    }
    p.SettingsDir = p.ExeDir;
    SetDataDirs(p, p.ExeDir);
    p.StartDir = p.ExeDir;
    return p;
}

TAppPaths TAppPaths::Choose(const TPathFacts& f)
{
    TAppPaths p = ChooseFolders(f);
    if (p.Kind == Layout::User) {
        // Recovery copies are state, neither settings nor data the user keeps.
        const QString state = XdgBase(f.XdgStateHome, f.UserHome, QStringLiteral(".local/state"));
        p.RecoveryDir = state.isEmpty() ? p.DataDir + QStringLiteral("recovery/")
                                        : state + QStringLiteral("torvane-anim/recovery/");
    } else {
        p.RecoveryDir = p.SettingsDir + QStringLiteral("Recovery/");
    }
    if (p.Kind != Layout::Home) {
        const QString data = XdgBase(f.XdgDataHome, f.UserHome, QStringLiteral(".local/share"));
        if (!data.isEmpty())
            p.RecentlyUsedFile = data + QStringLiteral("recently-used.xbel");
    }
    return p;
}

TAppPaths TAppPaths::FromHome(const QString& home) { return Choose(TPathFacts::Gather(home)); }

QString TAppPaths::SettingsFileToRead() const
{
    if (!FileExists(SettingsFile()) && FileExists(LegacySettingsFile()))
        return LegacySettingsFile();
    return SettingsFile();
}

bool TAppPaths::MakeFolder(const QString& dir) { return QDir().mkpath(dir); }

QString VersionText(const TAppPaths& p)
{
    QString layout;
    switch (p.Kind) {
    case TAppPaths::Layout::Home:
        layout = QStringLiteral("the folder given with --home");
        break;
    case TAppPaths::Layout::Portable:
        layout = QStringLiteral("portable, beside the executable");
        break;
    case TAppPaths::Layout::User:
        layout = QStringLiteral("the user's folders");
        break;
    }
    return QStringLiteral("torvane-anim %1\n"
                          "settings and data: %2\n"
                          "settings file:     %3\n"
                          "LinkData:          %4\n"
                          "Translation:       %5\n"
                          "Colors:            %6\n"
                          "Recovery:          %7\n")
        .arg(QStringLiteral(TORVANE_VERSION), layout, p.SettingsFile(), p.LinkDataDir, p.TranslationDir, p.ColorsDir,
             p.RecoveryDir.chopped(1));
}
