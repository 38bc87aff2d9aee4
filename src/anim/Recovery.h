#pragma once
// Copies of unsaved work that outlive a crash, a killed process or a power cut.
//
// Each running editor has a folder of its own under the recovery folder, named after its
// process and locked (flock) for as long as the process lives: the kernel drops the lock
// however the process ends, so a folder whose lock is free belongs to an editor that is
// gone. The folder holds the animation as an RTM file and a small manifest naming it,
// both written atomically, the manifest last, so a manifest always names a complete file.
// A new start offers the copies of editors that are gone and claims them with the same
// lock, so two editors starting together never both offer one. Nothing outside the
// recovery folder is ever written or removed: the document's own file is only looked at.
#include "anim/AnimDocument.h"
#include "anim/Rtm.h"
#include "platform/FileUtil.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <vector>

// What a copy holds, as flags.
enum TRecoveryPart : unsigned {
    PartAnimation = 1,
    PartLinking = 2,
    PartNames = 4,
    PartColors = 8,
};

struct TRecoveryManifest {
    QString Document;  // the animation's own file; empty for one never saved
    QString Model;  // the model it was made on; empty without one
    int Frame = 0;  // the current frame
    QDateTime Written;  // when the copy was made (UTC); Write sets it
    // What recovering it gives back (TRecoveryPart flags): set when it is read back, the
    // animation left out when its document's file is newer than the copy.
    unsigned Parts = 0;
    // The document's file as the editor last read or wrote it; none when it never did (or
    // the copy is of an older editor that did not keep it).
    TFileStamp DocumentStamp;
};

// The model's unsaved edits, each as the bytes of the file the editor saves it to: a
// linking file (.lpv), a translation file, a colour file. Empty: not held.
struct TRecoveryModelEdits {
    QByteArray Linking;
    QByteArray Names;
    QByteArray Colors;
    bool Empty() const { return Linking.isEmpty() && Names.isEmpty() && Colors.isEmpty(); }
};

// A copy whose editor is gone.
struct TRecoveryCopy {
    QString Id;  // its folder's name
    TRecoveryManifest Manifest;
};

struct TRecoveredWork {
    TRecoveryManifest Manifest;
    // No frames when the copy gives back no animation; Animation.Error says why the copy
    // could not be read.
    TRtmData Animation;
    TRecoveryModelEdits Model;
};

class TRecoveryStore {
public:
    // root: the recovery folder (created when the first copy is written).
    explicit TRecoveryStore(const QString& root);
    // Unlocks everything; the own copy stays (as it would after a crash) unless RemoveOwn
    // ran, so a later start offers it.
    ~TRecoveryStore();
    TRecoveryStore(const TRecoveryStore&) = delete;
    TRecoveryStore& operator=(const TRecoveryStore&) = delete;

    const QString& Root() const { return Root_; }
    // This process's folder; empty until the first copy.
    QString OwnFolder() const;

    // Writes doc (none without frames) and the model's edits as this process's copy,
    // replacing the one before only once complete. Copies taken over with Take are removed
    // then: the work they held is in this one. False with error set when it could not be
    // written, or when stop became true meanwhile (the copy before stays).
    bool Write(const TAnimDocument& doc, const TRecoveryModelEdits& model, TRecoveryManifest manifest, QString* error = nullptr,
               const std::atomic<bool>* stop = nullptr);
    // This process's copy and the copies taken over are removed (a save, a normal exit).
    void RemoveOwn();

    // The copies to offer, newest first: those of editors that are gone holding model
    // edits, or an animation never saved, newer than its file or whose file is gone (model
    // edits are offered whatever their files' dates: only saving them all removes a
    // copy, and the files may have been written with other work). They stay
    // claimed by this process until Take, Discard or Release. A copy that is not offered (its
    // document was saved later) stays, unclaimed, for StaleDays, then is removed; leftovers
    // with nothing to recover are removed at once.
    std::vector<TRecoveryCopy> Offers();
    // Reads a claimed copy back ("Recover"). It stays, claimed, until this process's own
    // copy has been written or removed; should this process die first, it is offered again.
    TRecoveredWork Take(const QString& id);
    // Removes a claimed copy ("Discard"). False when it is not claimed or not all of it
    // could be removed.
    bool Discard(const QString& id);
    // Gives a claimed copy up, for another start to offer ("Later").
    void Release(const QString& id);

    // Days a copy older than its document's file is kept before it is removed.
    static constexpr int StaleDays = 14;
    // Bytes of a model file that are read back; a model's own are a few hundred kilobytes.
    static constexpr qint64 MaxModelFileSize = 64 << 20;

private:
    bool MakeOwnFolder(QString* error);
    void DropClaim(const QString& id);
    void RemoveAdopted();

    const QString Root_;
    mutable std::mutex Mutex_;
    QString OwnId_;
    int OwnLock_ = -1;
    int Generation_ = 0;  // of the animation file last written
    std::map<QString, int> Claims_;  // copies of editors that are gone: id -> locked descriptor
    std::set<QString> Adopted_;  // claimed copies taken over by Take
};
