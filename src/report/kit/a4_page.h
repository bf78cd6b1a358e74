#pragma once

// One A4 page painted twice over: into a PDF for paper and into a picture for the screen and
// the tests. Whatever paints it takes the painter and the resolution, so point sizes and
// millimetres come out alike in both.

#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>
#include <string>

namespace qv {

inline constexpr double kA4WidthMm = 210.0;
inline constexpr double kA4HeightMm = 297.0;

using PagePainter = std::function<void(QPainter& painter, int dpi)>;

// Paints in millimetres from the page's top left corner, text sizes in points.
class PageCanvas {
public:
    PageCanvas(QPainter& painter, int dpi);
    double px(double mm) const { return mm * pxPerMm_; }
    QRectF box(double x, double y, double w, double h) const {
        return {px(x), px(y), px(w), px(h)};
    }
    void font(double points, bool bold = false, const QColor& colour = Qt::black);
    // The height (mm) of `t` wrapped `w` wide in the font set; and `t` drawn so, its height
    // handed back.
    double heightOf(double w, const QString& t);
    double paragraph(double x, double y, double w, const QString& t);
    QPainter& painter() { return p_; }

protected:
    QPainter& p_;
    double pxPerMm_;
};

// White, with the picture's resolution set; empty for a resolution of 0 or less.
QImage renderA4Page(int dpi, const PagePainter& paint);

// Painted into memory first, then saved as a new file whole or not at all; a file already
// there is left alone. `error` (may be null) says why nothing was written.
bool writeA4Pdf(const QString& path, const QString& title, const PagePainter& paint,
                QString* error);

// A document of as many pages as it needs: `paint` paints page `page` (0 first, in order, with
// the same painter) and says whether another follows; at most kMostA4Pages.
inline constexpr int kMostA4Pages = 8;
using PagesPainter = std::function<bool(QPainter& painter, int dpi, int page)>;
bool writeA4PdfPages(const QString& path, const QString& title, const PagesPainter& paint,
                     QString* error);

// A serial as a file name may carry it: letters, digits and '-', anything else '_'.
std::string fileNameSerial(const std::string& serial);

}  // namespace qv
