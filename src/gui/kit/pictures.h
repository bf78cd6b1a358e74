#pragma once

#include <QPixmap>
#include <QWidget>
#include <string>

#include "core/app/dib.h"

namespace qv {

class Prompter;

// A picture file below the program folder, scaled to `size`; a null pixmap when the file is
// missing or unreadable (the picture control then stays empty).
QPixmap loadPicture(const std::string& programFolder, const std::string& relativePath, QSize size);

// The platform's standard icon for `kind` (information, question, warning, error), as the
// message boxes show it: every window's icon is of one style.
enum class StandardPicture { Information, Question, Warning, Error };
QPixmap standardPicture(const QWidget& widget, StandardPicture kind, int px);

// The bitmap as a picture: pixels top to bottom, as CDib decodes them.
QImage dibImage(const CDib& dib);

// The owner-drawn picture of the splash window: the bitmap stretched four pixels wider than
// it is, at the control's origin.
class DibView : public QWidget {
    Q_OBJECT
public:
    explicit DibView(QWidget* parent = nullptr);
    // Reads the bitmap file anew; a refused file shows message 160 or 163 and leaves the
    // control undrawn.
    bool load(const std::string& path, Prompter& prompter);
    const CDib& dib() const { return dib_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CDib dib_;
    QImage image_;
};

}  // namespace qv
