#pragma once
// The models the command-line and window tests load.
#include "filebuild/LpvBuilder.h"
#include "filebuild/P3dBuilder.h"

// body with an arm and a hand below it, a leg, and a proxy triangle (right angle at its
// first corner (0, 2, 0), legs along +Z and +Y) that the arm also holds, so the lamp hangs
// under it. Points: body 0-7, arm 8-15, triangle 16-18, hand 19-26, leg 27-34.
inline TP3dBuilder Robot()
{
    TP3dBuilder b;
    b.AddSelection("body", b.AddBox(-1, 0, -1, 1, 2, 1));
    TP3dBuilder::Range arm = b.AddBox(1, 1, 0, 2, 1.5f, 0.5f);
    const TP3dBuilder::Range tri = b.AddTriangle(0, 2, 0, 0, 2, 1, 0, 4, 0);
    // A face of the arm that starts on a proxy corner: the editor never draws it solid.
    arm.Polygons.push_back(b.AddPolygon({uint32_t(tri.Points[0]), uint32_t(arm.Points[0]), uint32_t(arm.Points[1])}));
    b.AddSelection("hand", b.AddBox(2, 1, 0, 2.5f, 1.5f, 0.5f));
    b.AddSelection("leg", b.AddBox(-0.5f, -2, -0.5f, 0, 0, 0));
    b.AddSelection("proxy:lamp.01", tri);
    arm.Points.insert(arm.Points.end(), tri.Points.begin(), tri.Points.end());
    arm.Polygons.insert(arm.Polygons.end(), tri.Polygons.begin(), tri.Polygons.end());
    b.AddSelection("arm", arm);
    return b;
}

inline TP3dBuilder Lamp()
{
    TP3dBuilder b;
    b.AddBox(0, 0, 0, 0.25f, 0.5f, 0.75f);
    return b;
}

// The robot's linking: arm (pivot (1, 1.25, 0.1)) and leg under body, hand (pivot
// (2, 1.25, 0.25)) under arm.
inline QByteArray RobotLinks()
{
    TLpvBuilder l;
    l.Add("body", "", 0, 1, 0);
    l.Add("arm", "body", 1, 1.25f, 0.1f);
    l.Add("hand", "arm", 2, 1.25f, 0.25f);
    l.Add("leg", "body", -0.25f, 0, -0.25f);
    return l.Build();
}

// An environment: a floor box (points 0-7), "proxy:seat.01" with its right angle at
// (1, 2, 3) (points 8-10), and "proxy:bad.01" without a right angle (points 11-13).
inline TP3dBuilder Room()
{
    TP3dBuilder b;
    b.AddSelection("floor", b.AddBox(-5, -1, -5, 5, 0, 5));
    b.AddSelection("proxy:seat.01", b.AddTriangle(1, 2, 3, 1, 3, 3, 2, 2, 3));
    b.AddSelection("proxy:bad.01", b.AddTriangle(0, 0, 0, 1, 0, 0, 0.5f, 0.8f, 0));
    return b;
}
