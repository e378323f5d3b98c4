#pragma once
// Solids of the 3D canvas: boxes, cones and cylinders, pyramids, truncated pyramids and
// pie slices, each built from projected faces. A face is drawn only when it faces the
// viewer (its corners, seen from outside the solid, run counter-clockwise on the screen),
// so no face needs sorting. Faces other than the front one may be drawn darker.

#include "PlotCanvas.h"

namespace Solid {

void Box(TCanvas3D& canvas, int left, int right, int top, int bottom, int z0, int z1, bool darkSides);
// A 16-sided body between z0 and z1: vertical grows from bottom (base) to top, horizontal
// from left (base) to right; the far end's radius is conePercent of the base radius.
void Cone(TCanvas3D& canvas, bool vertical, int left, int top, int right, int bottom, int z0, int z1, bool darkSides,
          int conePercent);
// Four-sided pyramid over the rect between z0 and z1, apex at the far end.
void Pyramid(TCanvas3D& canvas, bool vertical, int left, int top, int right, int bottom, int z0, int z1,
             bool darkSides);
// Base r (x from left to right at y = bottom, depth z0 to z1); the top at y = top keeps
// halfWidth to each side of the centre in x and halfDepth in depth.
void PyramidTrunc(TCanvas3D& canvas, const TRect& r, int z0, int halfWidth, int halfDepth, int z1);
// A pie slice of the ellipse around (cx, cy), angles in radians, extruded from z0 to z1.
void Pie3D(TCanvas3D& canvas, int cx, int cy, int rx, int ry, double startAngle, double endAngle, int z0, int z1,
           int holePercent, bool drawEnds, bool darkSides);

// The convex outline of the projected corners of the box (2 to 8 corners: left/right,
// top/bottom, z0/z1); at most 8 points, in screen order.
std::vector<TPoint> BoxOutline(TCanvas3D& canvas, const TRect& r, int z0, int z1);

// The gradient drawn over the screen polygon: its bounding rectangle filled, clipped to it.
void GradientOverOutline(TCanvas3D& canvas, const TCustomPlotGradient& gradient, const std::vector<TPoint>& outline);

}  // namespace Solid
