// Where the show's start camera puts a point of a mesh on the 1280 x 720 screen: the same
// matrices as the show builds with gluPerspective, gluLookAt and its two turns, in double. A
// figure is wound, placed and checked against this view.
#pragma once

struct StartView {
    double modelView[16];   // column-major, as GL keeps it
    double projection[16];  // column-major
    int viewport[4];
};

// The start camera for a mesh whose rest centroid is (cx, cy, cz).
StartView startView(double cx, double cy, double cz);

struct WindowPoint {
    double x;      // pixels from the left edge
    double y;      // pixels from the bottom edge
    double depth;  // window depth 0..1
};

WindowPoint projectPoint(const StartView& view, double x, double y, double z);

// The solve moves a vertex only to goals that pass this test (window coordinates divided by
// depth, strictly inside the viewport and more than 50 pixels above its bottom edge); `margin`
// asks for that many pixels to spare on every side.
bool insideSolveArea(const WindowPoint& p, double margin);
