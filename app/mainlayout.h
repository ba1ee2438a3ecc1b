#pragma once
// The main window's geometry in twips: the design positions and the rules
// that move the controls when the window is resized.

#include <QRect>

namespace pm {

constexpr int kMinWindowWidthTwips = 10000;
constexpr int kMinWindowHeightTwips = 6500;
constexpr int kStartWidthTwips = 10000;
constexpr int kStartHeightTwips = 7500;
constexpr int kStartLeftTwips = 100;
constexpr int kStartTopTwips = 100;

// x, y, width, height in twips, relative to the window's client area.
struct MainLayout {
    QRect lblURL, cmdGo, cmbURL, lstUrl, cmdSelNone, cmdSelAll, cmdShowQue, lblStatus;
    QRect cmdHome, cmdRefresh, cmdBack, cmdForward, cmdStop, cmdAdd, WebBrowser1;
};

MainLayout designLayout();

// Moves the controls for an outer window size of W x H twips (already at
// least the minimum size). Controls the rules do not name keep their place.
void applyResizeRules(MainLayout& layout, int W, int H);

}  // namespace pm
