#pragma once
// The 3D view's GL work, done with the view's context current: the fixed state once per
// context, the projection on every resize, and one picture from a scene built by
// Build3dScene (pose/View3dGeometry.h). Fixed-function OpenGL 1.1 with vertex arrays.
#include "pose/View3dGeometry.h"

// What the tool buttons of the view ask for.
struct T3dPaintOptions {
    bool Lighting = true;  // "Light Mode" not pressed
    bool Transparent = false;  // additive blending, no depth test
    bool Grid = true;
};

// Fixed GL state: smooth shading, clear colour (0, 0, 0, 0.5), depth test GL_LEQUAL, the
// directional light GL_LIGHT1, colour material for ambient and diffuse, GL_NORMALIZE, and
// the additive blend function (GL_SRC_ALPHA, GL_ONE) that blending uses when it is on.
void Gl3dInit();
// Viewport and a 45 degree perspective (near 0.1, far 100). A height of 0 counts as 1, and
// so does a width of 0, so the aspect ratio stays finite.
void Gl3dResize(int width, int height);
// One picture: clear, camera (the light is placed again before the rotations, so it stays
// fixed to the eye), blending or depth test, the grid, the shell pass, the pivot cross and
// the component pass. Does nothing without a current context.
void Gl3dPaint(const TViewCamera& camera, const T3dPaintOptions& options, const T3dScene& scene);

// The 20 + 20 grid lines in the plane y = 0: x = -10 .. 9 from z = -10 to 10, then
// z = -10 .. 9 from x = -10 to 10; the edges x = 10 and z = 10 stay open. Each line is two
// points of three floats.
constexpr int GridLineCount = 40;
void GridLines(float points[GridLineCount * 2][3]);
