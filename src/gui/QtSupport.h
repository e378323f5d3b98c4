#pragma once
// For the GUI layer's own Qt code only.

#include <QCoreApplication>
#include <QImage>
#include <cstdlib>

#include "Graphics.h"

// A bitmap's pixels as a Qt image without copying them, so presenting a frame costs no
// second pass over it. Painting still in progress on the bitmap is finished first.
QImage QtImageOf(const TBitmap& bitmap);

// Makes the toolkit's application object of kind App unless there is one already; it is
// kept for the life of the process. Headless runs (tests, tools) have no display: they
// fall back on offscreen drawing rather than aborting.
template <class App>
void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "narvi";
    static char* argv[] = {name, nullptr};
    static App* app = new App(argc, argv);
    (void)app;
}
