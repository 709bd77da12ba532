#pragma once
// The window's font and the scaling of its layout to the screen's resolution.
#include <QFont>
#include <QRect>

namespace app {

constexpr int DesignDpi = 96;
constexpr int DesignTextHeight = 13;

// Tahoma at a height of 11 pixels at 96 dpi (8 points), scaled to `dpi`; the
// system's sans face where Tahoma is not installed.
QFont DesignFont(int dpi);

// The factor applied to every stored position and size: 1 at the design
// resolution, else the scaled font's text height over 13.
double LayoutScale(const QFont& font, int dpi);

QRect Scaled(const QRect& stored, double scale);

}  // namespace app
