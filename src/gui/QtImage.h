#pragma once
// For the GUI layer's own Qt code only: a bitmap's pixels as a Qt image without copying
// them, so presenting a frame costs no second pass over it.

#include <QImage>

#include "Graphics.h"

// Shares the bitmap's pixels; painting still in progress on the bitmap is finished first.
QImage QtImageOf(const TBitmap& bitmap);
