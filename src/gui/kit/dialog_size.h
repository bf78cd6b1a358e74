#pragma once

#include <QSize>

class QWidget;

namespace qv {

// Keeps the width the dialog's layout file gives and makes the height exactly what the
// contents need at that width (wrapped texts included), so nothing is cut off and no empty
// band is left at the bottom. That width is also the narrowest the dialog can be made.
void fitHeightToContents(QWidget* dialog);

// Makes the smallest size of `window` one at which nothing is cut: at least `width` wide (and
// never narrower than its layout needs), and as high as its contents need at that width with
// every wrapped text whole. A window does not take the height a wrapped text needs into its
// smallest size by itself, so without this a narrowed window squeezes its captions.
void holdMinimumSize(QWidget* window, int width);

// The smallest screen the program is made for: a 1366 × 768 laptop less a 40 px taskbar.
inline constexpr QSize kSmallScreenAvailable{1366, 728};
// What a window manager adds around a window's contents: borders and a title bar.
inline constexpr QSize kWindowFramePx{8, 38};
// The contents of a window, frame included, fit this on the smallest screen.
QSize smallScreenClientArea();

// Opens `window` at `preferred`, made smaller where the screen it opens on offers less (less
// the window's frame), never below what its layout needs.
void resizeWithinScreen(QWidget* window, QSize preferred);
// The same rule without a window: `available` is the screen's area less taskbars.
QSize sizeWithinScreen(QSize preferred, QSize minimum, QSize available);

}  // namespace qv
