#pragma once
// How the editing session is shown, apart from the document: the one record of the view
// switches that the window's controls, the views, the command line's pictures and the
// settings file all follow (TEditor::Options).
#include "pose/ViewGeometry.h"

#include <QString>
#include <array>

struct TEditorOptions {
    std::array<double, 3> Offset{0, 0, 0};  // the model offset
    bool TotalMove = true;                  // the total-move switch
    bool PivotMode = false;                 // pivots are placed on the model at rest
    TComponentShow Show = TComponentShow::Checked;
    bool AllPolygons = false;
    bool Environment = false;
    bool AutoScale = true;
    bool Axes = true;
    // The onion skin: this many frames before and after the current one (0: off, at most
    // MaxOnionFrames), drawn under the pose in the 2D and 3D views, except while playback
    // or pivot mode poses the model.
    int OnionFrames = 0;
    // The component (by Name) whose motion path the 2D views show; empty: none.
    QString MotionPath;
    // Where MotionPath names none: the 2D views show the motion path of the component the
    // tree holds current, whichever it is (the window's switch).
    bool PathOfCurrent = false;

    // How the views draw, not what: these change no outline or pose.
    bool Grid = true;  // the 2D views' grid lines
    // The 3D view's switches: lit ("L" not pressed), transparent ("T": additive blending,
    // no depth test), the ground grid ("G").
    bool Lighting = true;
    bool Transparent3d = false;
    bool Grid3d = true;
    // The 3D view's grey shells: the alpha of the main model's and of the environment's,
    // 0 .. 1.
    float PolygonAlpha = 0.1f;
    float EnvironmentAlpha = 0.1f;

    bool operator==(const TEditorOptions&) const = default;
    // Whether the two differ only in how the views draw.
    bool SameDrawing(const TEditorOptions& other) const;
};
