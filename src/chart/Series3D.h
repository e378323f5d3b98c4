#pragma once
// How line and point series draw on a 3D chart: each segment is a band through the
// series' depth slot, each marker a solid or a shape projected at the slot's front.

#include "LineSeries.h"
#include "PlotCanvas.h"

namespace Series3D {

// The depth slot of a series: front, back and middle in pixels.
struct TSlot {
    int startZ = 0;
    int endZ = 0;
    int MiddleZ() const { return (startZ + endZ) / 2; }
};

// The marker centred on the world point (x, y) with half sizes h and v, on a canvas that the
// caller prepared from the pointer (pen, brush). Rectangles and triangles become solids through
// the slot when the pointer draws in 3D; the other shapes lie at the slot's front, the dot in
// its middle.
void DrawPointer(TCanvas3D& canvas, TSeriesPointer& pointer, int x, int y, int h, int v, TColor color,
                 TSeriesPointerStyle style, const TSlot& slot);

// The slope of the depth direction on the screen: a band rising more steeply than this
// shows its underside.
double DarkSlope(int seriesHeight3D, int seriesDepth3D);

// One segment from a to b as a band through the slot, in the canvas' pen and brush (the brush
// in colour). With darkSlope > 0 a band that rises more steeply than darkSlope shows its
// underside: it is drawn darker and, with a line height, that much lower. A line height adds
// the front face below the band.
void DrawBand(TCanvas3D& canvas, const TPoint& a, const TPoint& b, const TSlot& slot, int lineHeight, double darkSlope,
              TColor color);

// Whether the screen pixel lies on the projected band of the segment from a to b.
bool BandContains(TCanvas3D& canvas, const TPoint& a, const TPoint& b, const TSlot& slot, const TPoint& pixel);

}  // namespace Series3D
