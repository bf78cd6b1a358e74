#include "gui/kit/dialog_size.h"

#include <QLayout>
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
    dialog->resize(width, height);
}

}  // namespace qv
