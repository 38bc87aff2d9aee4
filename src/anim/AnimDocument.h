#pragma once
// The animation in memory: which components are animated, the frames in play order, and
// one transform per animated component in each frame. It knows nothing of files, models
// or windows; the main window keeps one and runs the operations that touch controls.
#include "base/Transform.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

struct TAnimEntry {
    int32_t NameIndex = 0;
    TMatrix12f Matrix = IdentityMatrix12f;
};

struct TAnimFrame {
    bool TimeValid = false;
    float Time = 0;
    std::vector<TAnimEntry> Entries;
    // Scratch for the undo history: which frame this was before an operation (-1 for a
    // frame made since). Never saved.
    int32_t Tag = -1;
};

// Names of the animated components, in slot order. Duplicates are kept; look-up ignores
// letter case and finds the first equal name, through a hash rather than a scan.
class TAnimSelections {
public:
    int Count() const { return static_cast<int>(Names_.size()); }
    bool IsEmpty() const { return Names_.isEmpty(); }
    const QString& operator[](int i) const { return Names_[i]; }
    const QStringList& Names() const { return Names_; }
    // Appends name and returns its slot.
    int Add(const QString& name);
    // First slot whose name equals name without regard to case, or -1.
    int IndexOf(const QString& name) const;
    void Clear();
    void Reserve(int n);

private:
    static QString Key(const QString& name) { return name.toCaseFolded(); }
    QStringList Names_;
    QHash<QString, int> First_;
};

struct TAnimDocument {
    TAnimSelections AnimSelections;
    std::vector<TAnimFrame> AnimFrames;
    int32_t AnimStepCount = 0;
    int32_t ActAnimStep = 0;
    int32_t AnimComponentCount = 0;
    std::array<float, 3> TotalMove{0, 0, 0};
    QString AnimFileName;
    double PlayFraction = 0;
    bool LoadingAnim = false;
    bool ShuttingDown = false;

    int FrameCount() const { return static_cast<int>(AnimFrames.size()); }
};

// First frame at 0 and valid; every later frame valid when strictly later than its
// predecessor; with two or more frames the last at 1 and valid. Nothing is sorted.
void ValidateFrameTimes(std::vector<TAnimFrame>& frames);
