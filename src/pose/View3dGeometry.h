#pragma once
// The window-free part of the 3D view: the camera and how the mouse moves it, and what one
// picture draws, as vertex arrays a GL painter can hand over in a few calls.
//
// A paint, as the main window runs it:
//   Build3dScene(models, tree, cache, pose, editedFlags, options, params, scene);  // once per paint
//   the GL painter clears, sets the camera, draws the grid, then scene.Shell and
//   scene.Components (their triangles, then their quads), then scene.Pivot.
#include "pose/OnionSkin.h"
#include "pose/Pose.h"

#include <cstdint>
#include <functional>
#include <vector>

// ---- Camera

struct TViewCamera {
    float ViewPanX = 0;  // along the screen's X axis
    float ViewPanY = 0;  // along the screen's Y axis
    float ViewDistance = -5;  // along the viewing axis; negative is in front of the eye
    float ViewRotX = 15;  // degrees about X
    float ViewRotY = 45;  // degrees about Y
};

struct TViewDrag {
    bool ViewDragging = false;
    int ViewLastX = 0, ViewLastY = 0;  // client pixels of the last handled position
};

// The distance is kept between these two. Zooming takes 5 % of the distance per pixel, so
// a step of 20 pixels or more would reach the eye or pass behind it, where the model is
// gone and later steps barely move it; the near limit sits at the near clipping plane.
// The far limit only keeps the value finite.
constexpr float ViewDistanceNear = -0.1f;
constexpr float ViewDistanceFar = -10000.0f;

// Which buttons and keys a mouse move comes with.
struct TViewMouse {
    int X = 0, Y = 0;
    bool Left = false, Right = false, Ctrl = false;
};

void ViewMouseDown(TViewDrag& drag, int x, int y);
void ViewMouseUp(TViewDrag& drag);
// While dragging, the first rule that matches:
//   left + Ctrl: zoom, ViewDistance += |0.5 * ViewDistance| * 0.1 * (-dy), kept in
//                [ViewDistanceFar, ViewDistanceNear]; up brings the model closer;
//   right:       pan, ViewPanX += -dx * f, ViewPanY += dy * f with f = 0.002 * ViewDistance;
//   left:        rotate, ViewRotX += dy, ViewRotY += dx (degrees, no limits);
// then the last position becomes this one. Returns whether the camera changed.
bool ViewMouseMove(TViewCamera& camera, TViewDrag& drag, const TViewMouse& m);

// ---- What one picture draws

// One corner as glInterleavedArrays(GL_C4F_N3F_V3F) takes it: colour, normal, position,
// already mirrored in X (the view shows the model's X axis pointing left).
struct T3dVertex {
    float R, G, B, A;
    float Nx, Ny, Nz;
    float X, Y, Z;
};

// A proxy sub-model at one placement. Its corners are posed only while the batch is drawn,
// one placement at a time, so a sub-model placed hundreds of times is held once.
struct T3dPlacement {
    const TP3dModell* Sub = nullptr;
    TTransform Transform;  // the sub-model's ProxyTransform
    TPoseParams Params;
    float R = 0, G = 0, B = 0, A = 0;
    // How many of the batch's own triangle and quad corners are drawn before it.
    size_t TrianglesBefore = 0, QuadsBefore = 0;
};

// The polygons of one pass. Triangles come three corners each in the order 3, 2, 1 of the
// polygon, quads four in the order 4, 3, 2, 1: mirroring X turns the faces round, the
// reversed order turns them back. All triangles are drawn before all quads; within each,
// the order is that of the polygons, placements in their place among the batch's own.
struct T3dBatch {
    std::vector<T3dVertex> Triangles;  // the batch's own corners, of plain models
    std::vector<T3dVertex> Quads;
    std::vector<T3dPlacement> Placements;
    void Clear()
    {
        Triangles.clear();
        Quads.clear();
        Placements.clear();
    }
    // Hands draw the triangles (quads false) or the quads in drawing order, in runs: the
    // batch's own corners as they are, each placement's posed into scratch.
    void ForEachRun(bool quads, std::vector<T3dVertex>& scratch,
                    const std::function<void(const T3dVertex* corners, size_t count)>& draw) const;
    // Every corner as drawn, placements posed.
    void Expand(std::vector<T3dVertex>& triangles, std::vector<T3dVertex>& quads) const;
    size_t PolygonCount() const;
};

struct T3dScene {
    T3dBatch Shell;  // grey, every visible polygon of the models the switches ask for
    T3dBatch Onion;  // the onion skin's frames, faint, under the components
    T3dBatch Components;  // each drawn component in its colour, in tree order
    bool HasPivot = false;
    float Pivot[6][3] = {};  // three yellow lines through the pivot, 0.2 long, X mirrored
};

struct T3dSceneOptions {
    bool AllPolygons = false;  // grey shell of the main model and its proxies
    bool Environment = false;  // grey shell of the environment
    float PolygonAlpha = 0.1f;  // alpha of the main model's shell
    float EnvironmentAlpha = 0.1f;  // alpha of the environment's shell
    bool CheckedSelections = true;  // the components that are not hidden
    bool AllSelections = false;  // every component
    // The selected component while pivot mode is on: its pivot cross is drawn.
    const TSelection* PivotComponent = nullptr;
    // Neighbouring frames drawn into the onion batch, farthest first: the components shown
    // as the component pass shows them, posed from the layer's points, in its scene colour.
    std::vector<const TOnionLayer*> Onion{};
};

// Half the length of each line of the pivot cross.
constexpr float PivotCrossHalf = 0.1f;

// Fills scene (its buffers are reused: nothing is allocated once they are large enough).
//  - shell: for each model in list order, the environment when Environment is on (alpha
//    EnvironmentAlpha), any other model when AllPolygons is on (alpha PolygonAlpha);
//    every polygon that is not hidden, colour (0.8, 0.8, 0.8, alpha);
//  - components, only when CheckedSelections or AllSelections is on: for each tree node,
//    the pivot cross if its component is PivotComponent; nothing more when the component
//    is hidden and AllSelections is off; colour = the component's 0x00BBGGRR colour with
//    each byte / 256, alpha 0.8 when beingEdited[node] else 0.2; a component with a proxy
//    sub-model draws that sub-model's visible polygons, any other its member polygons that
//    are not hidden and whose first corner is not a proxy corner.
// Positions: display points for plain models, PosePoint with ProxyTransform for proxy
// sub-models. Normals: the stored normal, for proxies turned by the linear part of
// ProxyTransform; a normal index outside the model's normals gives the polygon's own face
// normal. Polygons with other than 3 or 4 corners or with a corner outside the points are
// left out. beingEdited is indexed like treeOrder (shorter means not edited). The onion
// batch holds the layers of options.Onion (only when components are shown).
void Build3dScene(const TModelList& models, const std::vector<const TSelection*>& treeOrder, const TPoseCache& cache,
                  const TPose& pose, const std::vector<bool>& beingEdited, const T3dSceneOptions& options,
                  const TPoseParams& params, T3dScene& scene);

// The colour a component is drawn in: each byte of 0x00BBGGRR divided by 256.
void ComponentColor(uint32_t color, float rgb[3]);
