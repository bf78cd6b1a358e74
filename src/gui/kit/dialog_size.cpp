#include "gui/kit/dialog_size.h"

#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace qv {

void fitHeightToContents(QWidget* dialog) {
    QLayout* layout = dialog->layout();
    if (!layout) return;
    layout->activate();
    const int width = std::max(dialog->width(), layout->totalMinimumSize().width());
    int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                             : layout->totalSizeHint().height();
    height = std::max(height, layout->totalMinimumSize().height());
    holdMinimumSize(dialog, width);
    dialog->resize(width, std::max(height, dialog->minimumHeight()));
}

void holdMinimumSize(QWidget* window, int width) {
    QLayout* layout = window->layout();
    if (!layout) return;
    layout->activate();
    const QSize least = layout->totalMinimumSize();
    width = std::max(width, least.width());
    int height = least.height();
    if (layout->hasHeightForWidth())
        height = std::max(height, layout->totalMinimumHeightForWidth(width));
    window->setMinimumSize(width, height);
}

QSize smallScreenClientArea() {
    return kSmallScreenAvailable - kWindowFramePx;
}

QSize sizeWithinScreen(QSize preferred, QSize minimum, QSize available) {
    return preferred.boundedTo(available - kWindowFramePx).expandedTo(minimum);
}

void resizeWithinScreen(QWidget* window, QSize preferred) {
    const QScreen* screen = window->screen();
    const QSize available =
        screen ? screen->availableGeometry().size() : preferred + kWindowFramePx;
    QSize minimum = window->minimumSize();
    if (QLayout* layout = window->layout()) {
        layout->activate();
        minimum = minimum.expandedTo(layout->totalMinimumSize());
    }
    window->resize(sizeWithinScreen(preferred, minimum, available));
}

}  // namespace qv
