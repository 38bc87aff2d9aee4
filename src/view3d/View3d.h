#pragma once
// The 3D view's GL work, done inside the OpenGL panel's events with its context current.

// Fixed GL state, once per context.
void P_3dViewInit();
// Viewport and perspective projection; a height of 0 counts as 1.
void P_3dViewResize(int width, int height);
// One picture.
void P_3dViewPaint();
