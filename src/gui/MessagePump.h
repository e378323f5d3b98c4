#pragma once
// Letting the window system catch up inside a long action, and the application's
// hint timing.

// Handles the window events waiting now (paints included), then returns; without
// an application object it does nothing.
void ProcessMessages();

// Milliseconds the mouse rests before a hint shows; the same for every control.
inline constexpr int DefaultHintPause = 500;
int HintPause();
void SetHintPause(int milliseconds);
