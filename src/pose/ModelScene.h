#pragma once
// A model set up as "Load P3d..." sets it up, with an animation frame applied and the
// model posed, without any window: the main model with its proxies (each sub-model file
// read once), the display names and colours, the linking file, the pose and the OBJ
// export. Messages the editor would show go to a callback. Window-free (QtCore only), so
// the fuzzing can run it as it is; the window and the command line are to share it.
#include "anim/AnimDocument.h"
#include "pose/Pose.h"

#include <QString>
#include <functional>
#include <vector>

class TAtomicFileWriter;
struct TObjReport;

class TModelScene {
public:
    // Where the editor looks: LinkData for the .lpv file, and the selected translation and
    // colour files (empty: none).
    QString LinkDataDir;
    QString TranslationFile;
    QString ColorFile;
    // Each text the editor would show in a message box, in order.
    std::function<void(const QString&)> Message = [](const QString&) {};

    // False when the main model could not be read at all or ended early (the message is
    // out); the set-up goes on after the other read errors, as in the editor.
    bool LoadModel(const QString& path);
    // False when the animation could not be read (the message is out). Applies frame 0.
    bool LoadAnimation(const QString& path);
    // Applies a frame; false (message out) when the frame cannot be applied.
    bool ApplyFrame(int step);

    // Poses every point for the current frame and options.
    void Pose(const TPoseParams& params);
    // The current pose parameters with these options.
    TPoseParams Params(const double offset[3], bool totalMove) const;

    const TModelList& Models() const { return Models_; }
    // The components in tree order (depth-first pre-order, every level sorted).
    std::vector<TSelection*> TreeOrder() const;
    // Each component's level, in tree order.
    std::vector<int> Levels() const;
    const TAnimDocument& Document() const { return Doc_; }

private:
    // The hierarchy: each node's parent and its children in order (index n: the top level).
    struct TNode {
        TSelection* Component = nullptr;
        int Parent = -1;
    };
    void SortTree();
    void LoadLinking();
    template <typename Visit>
    void Walk(Visit visit) const;

    TModelList Models_;
    QString ModelFileName_;
    std::vector<TNode> Nodes_;
    std::vector<std::vector<int>> Children_;
    TAnimDocument Doc_;
};
