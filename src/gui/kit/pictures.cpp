#include "gui/kit/pictures.h"

#include <QPainter>
#include <QStyle>

namespace qv {

QPixmap standardPicture(const QWidget& widget, StandardPicture kind, int px) {
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxInformation;
    switch (kind) {
        case StandardPicture::Information:
            break;
        case StandardPicture::Question:
            icon = QStyle::SP_MessageBoxQuestion;
            break;
        case StandardPicture::Warning:
            icon = QStyle::SP_MessageBoxWarning;
            break;
        case StandardPicture::Error:
            icon = QStyle::SP_MessageBoxCritical;
            break;
    }
    const QPixmap pixmap = widget.style()->standardIcon(icon, nullptr, &widget).pixmap(px, px);
    // An icon without a picture of that size hands back a smaller one: the label keeps its size.
    if (pixmap.isNull() || pixmap.size() == QSize(px, px)) return pixmap;
    return pixmap.scaled(px, px, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QPixmap loadPicture(const std::string& programFolder, const std::string& relativePath, QSize size) {
    QPixmap picture(QString::fromStdString(programFolder + "/" + relativePath));
    if (picture.isNull()) return picture;
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage dibImage(const CDib& dib) {
    if (dib.empty()) return {};
    const std::vector<std::uint32_t> pixels = dib.argbPixels();
    QImage image(dib.width(), dib.height(), QImage::Format_RGB32);
    for (int y = 0; y < dib.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::copy_n(pixels.begin() + std::ptrdiff_t(y) * dib.width(), dib.width(), line);
    }
    return image;
}

DibView::DibView(QWidget* parent) : QWidget(parent) {}

bool DibView::load(const std::string& path, Prompter& prompter) {
    const bool ok = readDibFile(path, dib_, prompter);
    image_ = dibImage(dib_);
    update();
    return ok;
}

void DibView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QRect(0, 0, dib_.drawWidth(), dib_.drawHeight()), image_);
}

}  // namespace qv
