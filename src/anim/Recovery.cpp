#include "anim/Recovery.h"

#include "platform/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <iterator>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString ManifestName = QStringLiteral("manifest.json");
const QString LockName = QStringLiteral("lock");
const QString NewPrefix = QStringLiteral(".new-");
// A manifest is a few hundred bytes; anything much larger is no manifest of ours.
constexpr qint64 MaxManifestSize = 1 << 20;

QByteArray Encoded(const QString& path) { return FileNameToBytes(path); }

// The files a copy may hold: each part's key in the manifest, and its file "KEY-N.EXT"
// for the Nth copy this process wrote.
struct TPartFile {
    TRecoveryPart Part;
    const char* Key;
    const char* Extension;
};
constexpr TPartFile PartFiles[] = {
    {PartAnimation, "animation", "rtm"},
    {PartLinking, "linking", "lpv"},
    {PartNames, "names", "tsl"},
    {PartColors, "colors", "clr"},
};
constexpr size_t PartCount = std::size(PartFiles);
using TCopyFiles = std::array<QString, PartCount>;  // per part its file's name, empty when not held

QString PartName(const TPartFile& part, int generation)
{
    return QStringLiteral("%1-%2.%3").arg(QLatin1String(part.Key)).arg(generation).arg(QLatin1String(part.Extension));
}

// The generation of a part file's name, or -1 for any other name.
int GenerationOf(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z]+-([0-9]{1,9})\\.[a-z]+$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
        return -1;
    const int generation = m.captured(1).toInt();
    for (const TPartFile& part : PartFiles)
        if (name == PartName(part, generation))
            return generation;
    return -1;
}

// Takes the lock of a copy's folder without waiting: the descriptor that holds it, or -1
// when its editor still runs (or the lock file cannot be opened; errnum says why).
int TryLock(const QString& folder, int& errnum)
{
    const int fd = ::open(Encoded(folder + QLatin1Char('/') + LockName).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        errnum = errno;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        errnum = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes a copy's folder: the manifest first, so a half-removed copy is never offered,
// the lock last. True when the folder is gone.
bool RemoveFolder(const QString& folder)
{
    const QDir dir(folder);
    ::unlink(Encoded(dir.filePath(ManifestName)).constData());
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : entries)
        if (name != LockName)
            ::unlink(Encoded(dir.filePath(name)).constData());
    ::unlink(Encoded(dir.filePath(LockName)).constData());
    return ::rmdir(Encoded(folder).constData()) == 0 || errno == ENOENT;
}

bool OlderThan(const QString& path, qint64 seconds)
{
    const QDateTime modified = QFileInfo(path).lastModified();
    return modified.isValid() && modified.secsTo(QDateTime::currentDateTimeUtc()) > seconds;
}

// A stamp in the manifest: its numbers apart by spaces, as text, since JSON numbers lose
// the low digits of nanosecond times.
QString StampText(const TFileStamp& s)
{
    return QStringLiteral("%1 %2 %3 %4 %5").arg(s.Device).arg(s.Inode).arg(s.Size).arg(s.ModifiedNs).arg(s.ChangedNs);
}

TFileStamp StampFromText(const QString& text)
{
    const QStringList n = text.split(QLatin1Char(' '));
    TFileStamp s;
    bool ok[5] = {};
    if (n.size() == 5)
        s = {true, n[0].toULongLong(&ok[0]), n[1].toULongLong(&ok[1]), n[2].toLongLong(&ok[2]),
             n[3].toLongLong(&ok[3]), n[4].toLongLong(&ok[4])};
    return std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) ? s : TFileStamp();
}

// What a copy's folder holds: its manifest and the files it names. Without a manifest
// that names any (the editor died between its first files and its first manifest) the
// newest animation file is the copy, of a document never saved. Parts is 0 when there is
// nothing to recover.
void ReadCopy(const QString& folder, TRecoveryManifest& manifest, TCopyFiles& files)
{
    manifest = {};
    files = {};
    const QDir dir(folder);
    QByteArray bytes;
    if (ReadWholeFile(dir.filePath(ManifestName), bytes, nullptr, MaxManifestSize)) {
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        manifest.Document = o.value(QLatin1String("document")).toString();
        manifest.Model = o.value(QLatin1String("model")).toString();
        manifest.Frame = o.value(QLatin1String("frame")).toInt();
        manifest.Written = QDateTime::fromString(o.value(QLatin1String("written")).toString(), Qt::ISODateWithMs);
        manifest.DocumentStamp = StampFromText(o.value(QLatin1String("documentStamp")).toString());
        // Only a name of the part's own pattern: a manifest never leads out of its folder.
        for (size_t i = 0; i < PartCount; ++i) {
            const QString named = o.value(QLatin1String(PartFiles[i].Key)).toString();
            const int generation = GenerationOf(named);
            if (generation >= 0 && named == PartName(PartFiles[i], generation) && QFileInfo(dir.filePath(named)).isFile()) {
                files[i] = named;
                manifest.Parts |= PartFiles[i].Part;
            }
        }
    }
    if (manifest.Parts == 0) {
        int newest = -1;
        for (const QString& name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot))
            if (const int g = GenerationOf(name); g > newest && name == PartName(PartFiles[0], g)) {
                newest = g;
                files[0] = name;
                manifest.Parts = PartAnimation;
            }
    }
    if (manifest.Parts != 0 && !manifest.Written.isValid())
        for (const QString& name : files)
            if (!name.isEmpty()) {
                manifest.Written = QFileInfo(dir.filePath(name)).lastModified();
                break;
            }
}

// What recovering a copy gives back: the model's edits it holds, and its animation when
// that may be work its document's file does not hold (never saved, the file gone, or
// older than the copy).
unsigned Recoverable(const TRecoveryManifest& m)
{
    if (!(m.Parts & PartAnimation) || m.Document.isEmpty())
        return m.Parts;
    const QFileInfo file(m.Document);
    return !file.exists() || m.Written > file.lastModified() ? m.Parts : m.Parts & ~unsigned(PartAnimation);
}
}  // namespace

TRecoveryStore::TRecoveryStore(const QString& root) : Root_(QDir::cleanPath(root)) {}

TRecoveryStore::~TRecoveryStore()
{
    if (OwnLock_ >= 0)
        ::close(OwnLock_);
    for (const auto& [id, fd] : Claims_)
        ::close(fd);
}

QString TRecoveryStore::OwnFolder() const
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    return OwnId_.isEmpty() ? QString() : Root_ + QLatin1Char('/') + OwnId_;
}

bool TRecoveryStore::MakeOwnFolder(QString* error)
{
    if (!QDir().mkpath(Root_)) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1").arg(Root_);
        return false;
    }
    // Made and locked under a name the listing skips, then shown under its own: no other
    // editor ever sees this folder unlocked.
    int errnum = EEXIST;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString id =
            QStringLiteral("%1-%2").arg(::getpid()).arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString temp = Root_ + QLatin1Char('/') + NewPrefix + id;
        if (::mkdir(Encoded(temp).constData(), 0700) != 0) {
            errnum = errno;
            if (errnum == EEXIST)
                continue;
            break;
        }
        const int fd = ::open(Encoded(temp + QLatin1Char('/') + LockName).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
            ::rename(Encoded(temp).constData(), Encoded(Root_ + QLatin1Char('/') + id).constData()) != 0) {
            errnum = errno;
            if (fd >= 0)
                ::close(fd);
            RemoveFolder(temp);
            if (errnum == EEXIST || errnum == ENOTEMPTY)
                continue;
            break;
        }
        OwnId_ = id;
        OwnLock_ = fd;
        Generation_ = 0;
        return true;
    }
    if (error)
        *error = QStringLiteral("Cannot create a folder in %1: %2").arg(Root_, SystemErrorText(errnum));
    return false;
}

bool TRecoveryStore::Write(const TAnimDocument& doc, const TRecoveryModelEdits& model, TRecoveryManifest manifest, QString* error,
                           const std::atomic<bool>* stop)
{
    QString folder;
    {
        const std::lock_guard<std::mutex> lock(Mutex_);
        // A folder someone removed (a clean-up of the state folder) is made anew.
        if (!OwnId_.isEmpty() && !QFileInfo(Root_ + QLatin1Char('/') + OwnId_).isDir()) {
            ::close(OwnLock_);
            OwnLock_ = -1;
            OwnId_.clear();
        }
        if (OwnId_.isEmpty() && !MakeOwnFolder(error))
            return false;
        folder = Root_ + QLatin1Char('/') + OwnId_;
    }
    // Only this process writes its folder, and one write at a time (the autosave's
    // worker): the claims need not wait for it.
    const QDir dir(folder);
    const int generation = Generation_ + 1;
    const QByteArray* const modelBytes[PartCount] = {nullptr, &model.Linking, &model.Names, &model.Colors};
    QJsonObject o;
    QStringList written;
    QString failure;
    for (size_t i = 0; i < PartCount && failure.isEmpty(); ++i) {
        const QString name = PartName(PartFiles[i], generation);
        const QString path = dir.filePath(name);
        if (i == 0) {
            if (doc.AnimFrames.empty())
                continue;
            TAtomicFileWriter out(path);
            failure = WriteRtm(doc, out, stop);
            if (failure.isEmpty() && stop && stop->load())
                failure = QStringLiteral("Given up");
            if (failure.isEmpty() && (!out.Ok() || !out.Commit()))
                failure = QStringLiteral("Cannot write file %1: %2").arg(out.Path(), out.Error());
            if (!failure.isEmpty())
                out.Discard();
        } else {
            if (modelBytes[i]->isEmpty())
                continue;
            if (stop && stop->load())
                failure = QStringLiteral("Given up");
            else if (QString why; !WriteFileAtomic(path, *modelBytes[i], &why))
                failure = QStringLiteral("Cannot write file %1: %2").arg(path, why);
        }
        if (failure.isEmpty()) {
            o.insert(QLatin1String(PartFiles[i].Key), name);
            written << name;
        }
    }

    manifest.Written = QDateTime::currentDateTimeUtc();
    o.insert(QLatin1String("document"), manifest.Document.isEmpty() ? QJsonValue() : QJsonValue(manifest.Document));
    o.insert(QLatin1String("model"), manifest.Model);
    o.insert(QLatin1String("frame"), manifest.Frame);
    o.insert(QLatin1String("written"), manifest.Written.toString(Qt::ISODateWithMs));
    if (manifest.DocumentStamp.Exists)
        o.insert(QLatin1String("documentStamp"), StampText(manifest.DocumentStamp));
    if (failure.isEmpty() && !WriteFileAtomic(dir.filePath(ManifestName), QJsonDocument(o).toJson(), &failure))
        failure = QStringLiteral("Cannot write file %1: %2").arg(dir.filePath(ManifestName), failure);
    if (!failure.isEmpty()) {
        for (const QString& name : written)
            ::unlink(Encoded(dir.filePath(name)).constData());
        if (error)
            *error = failure;
        return false;
    }
    Generation_ = generation;
    // The manifest names the new files now; the ones before are of no use.
    for (const QString& other : dir.entryList(QDir::Files | QDir::NoDotAndDotDot))
        if (!written.contains(other) && GenerationOf(other) >= 0)
            ::unlink(Encoded(dir.filePath(other)).constData());
    const std::lock_guard<std::mutex> lock(Mutex_);
    RemoveAdopted();
    return true;
}

void TRecoveryStore::RemoveOwn()
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (!OwnId_.isEmpty()) {
        RemoveFolder(Root_ + QLatin1Char('/') + OwnId_);
        ::close(OwnLock_);
        OwnLock_ = -1;
        OwnId_.clear();
    }
    RemoveAdopted();
}

void TRecoveryStore::RemoveAdopted()
{
    for (const QString& id : Adopted_) {
        RemoveFolder(Root_ + QLatin1Char('/') + id);
        DropClaim(id);
    }
    Adopted_.clear();
}

void TRecoveryStore::DropClaim(const QString& id)
{
    if (const auto it = Claims_.find(id); it != Claims_.end()) {
        ::close(it->second);
        Claims_.erase(it);
    }
}

std::vector<TRecoveryCopy> TRecoveryStore::Offers()
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    std::vector<TRecoveryCopy> offers;
    const QStringList folders = QDir(Root_).entryList(QDir::Dirs | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QString& id : folders) {
        const QString folder = Root_ + QLatin1Char('/') + id;
        if (id == OwnId_)
            continue;
        TRecoveryCopy copy{id, {}};
        TCopyFiles files;
        if (const auto claimed = Claims_.find(id); claimed != Claims_.end()) {
            ReadCopy(folder, copy.Manifest, files);
            copy.Manifest.Parts = Recoverable(copy.Manifest);
            offers.push_back(copy);
            continue;
        }
        int errnum = 0;
        const int fd = TryLock(folder, errnum);
        if (id.startsWith(QLatin1Char('.'))) {
            // Another editor is making its folder, or died doing so an hour ago or more.
            if ((fd >= 0 || errnum == ENOENT) && id.startsWith(NewPrefix) && OlderThan(folder, 3600))
                RemoveFolder(folder);
        } else if (fd < 0) {
            // Without a lock file the folder is what a removal left: no editor owns it.
            if (errnum == ENOENT)
                RemoveFolder(folder);
        } else {
            ReadCopy(folder, copy.Manifest, files);
            if (copy.Manifest.Parts == 0) {
                RemoveFolder(folder);  // nothing in it to recover
            } else if ((copy.Manifest.Parts = Recoverable(copy.Manifest)) != 0) {
                Claims_[id] = fd;
                offers.push_back(copy);
                continue;
            } else if (copy.Manifest.Written.daysTo(QDateTime::currentDateTimeUtc()) >= StaleDays) {
                RemoveFolder(folder);
            }
        }
        if (fd >= 0)
            ::close(fd);
    }
    std::sort(offers.begin(), offers.end(),
              [](const TRecoveryCopy& a, const TRecoveryCopy& b) { return a.Manifest.Written > b.Manifest.Written; });
    return offers;
}

TRecoveredWork TRecoveryStore::Take(const QString& id)
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    TRecoveredWork work;
    const QString folder = Root_ + QLatin1Char('/') + id;
    TCopyFiles files;
    if (Claims_.count(id))
        ReadCopy(folder, work.Manifest, files);
    work.Manifest.Parts = Recoverable(work.Manifest);
    if (work.Manifest.Parts == 0) {
        work.Animation.Error = QStringLiteral("No recovery copy %1").arg(id);
        return work;
    }
    if (work.Manifest.Parts & PartAnimation) {
        const QString path = folder + QLatin1Char('/') + files[0];
        work.Animation = ReadRtmFile(path, path);
    }
    QByteArray* const modelBytes[PartCount] = {nullptr, &work.Model.Linking, &work.Model.Names, &work.Model.Colors};
    for (size_t i = 1; i < PartCount && work.Animation.Ok(); ++i)
        if (work.Manifest.Parts & PartFiles[i].Part)
            ReadWholeFile(folder + QLatin1Char('/') + files[i], *modelBytes[i], &work.Animation.Error, MaxModelFileSize);
    if (work.Animation.Ok())
        Adopted_.insert(id);
    return work;
}

bool TRecoveryStore::Discard(const QString& id)
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (!Claims_.count(id))
        return false;
    const bool removed = RemoveFolder(Root_ + QLatin1Char('/') + id);
    DropClaim(id);
    Adopted_.erase(id);
    return removed;
}

void TRecoveryStore::Release(const QString& id)
{
    const std::lock_guard<std::mutex> lock(Mutex_);
    DropClaim(id);
    Adopted_.erase(id);
}
