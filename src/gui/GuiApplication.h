#pragma once
// The GUI layer needs one application object of the toolkit (fonts, display). Programs
// with their own (the viewer) create it first; everything else gets one on first use.

void EnsureGuiApplication();
