#pragma once

class QWidget;

namespace qv {

// Keeps the width the dialog's layout file gives and makes the height exactly what the
// contents need at that width (wrapped texts included), so nothing is cut off and no empty
// band is left at the bottom.
void fitHeightToContents(QWidget* dialog);

}  // namespace qv
