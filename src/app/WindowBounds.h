#pragma once
// The main window's position and size as plain values: the settings pass reads and clamps them, the
// front end applies them to the real window and reads them back before they are saved.
#include "platform/Ui.h"

namespace tv {

enum class TWindowState { Normal, Minimized, Maximized };

struct TWindowBounds {
    // Outer bounds of the window in its normal (not maximised) state, in pixels.
    int Left = 200;
    int Top = 120;
    int Width = 445;
    int Height = 260;
    int MinWidth = 445;
    int MinHeight = 220;
    TWindowState State = TWindowState::Normal;
};

// The designed minimum width, raised for a screen at 120 dots per inch.
int MinWidthForDpi(int dpi);

// Pulls saved bounds onto the screen: too wide or too high becomes the minimum size, negative
// positions become 0, and a window hanging over the right or bottom edge is moved back inside.
void ClampBounds(TWindowBounds& b, const ScreenMetrics& screen);

} // namespace tv
