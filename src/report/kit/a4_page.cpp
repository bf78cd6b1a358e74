#include "report/kit/a4_page.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <cctype>
#include <cmath>

#include "platform/app/atomic_file_store.h"

namespace qv {

namespace {
constexpr int kPdfDpi = 300;
constexpr double kMmPerInch = 25.4;
}  // namespace

PageCanvas::PageCanvas(QPainter& painter, int dpi) : p_(painter), pxPerMm_(dpi / kMmPerInch) {
    p_.setRenderHint(QPainter::Antialiasing);
    p_.setRenderHint(QPainter::TextAntialiasing);
}

void PageCanvas::font(double points, bool bold, const QColor& colour) {
    QFont f = p_.font();
    f.setPointSizeF(points);
    f.setBold(bold);
    p_.setFont(f);
    p_.setPen(colour);
}

double PageCanvas::heightOf(double w, const QString& t) {
    return p_.boundingRect(box(0, 0, w, kA4HeightMm), Qt::TextWordWrap, t).height() / pxPerMm_;
}

double PageCanvas::paragraph(double x, double y, double w, const QString& t) {
    const double h = heightOf(w, t);
    p_.drawText(box(x, y, w, h), Qt::AlignLeft | Qt::TextWordWrap, t);
    return h;
}

QImage renderA4Page(int dpi, const PagePainter& paint) {
    if (dpi <= 0) return {};
    const auto pixels = [dpi](double mm) {
        return static_cast<int>(std::lround(mm * dpi / kMmPerInch));
    };
    QImage image(pixels(kA4WidthMm), pixels(kA4HeightMm), QImage::Format_RGB32);
    // Point sizes follow the picture's resolution, as they follow the PDF's.
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / kMmPerInch * 1000.0));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, dpi);
    return image;
}

bool writeA4Pdf(const QString& path, const QString& title, const PagePainter& paint,
                QString* error) {
    return writeA4PdfPages(
        path, title,
        [&paint](QPainter& painter, int dpi, int) {
            paint(painter, dpi);
            return false;
        },
        error);
}

bool writeA4PdfPages(const QString& path, const QString& title, const PagesPainter& paint,
                     QString* error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(kPdfDpi);
        pdf.setCreator(QStringLiteral("QV-L70s"));
        pdf.setTitle(title);
        QPainter painter;
        if (!painter.begin(&pdf)) {
            if (error) *error = QStringLiteral("the PDF could not be painted");
            return false;
        }
        for (int page = 0; paint(painter, kPdfDpi, page) && page + 1 < kMostA4Pages; ++page)
            pdf.newPage();
    }
    AtomicFileStore files;
    const NewFileResult saved = files.saveNew(path.toStdString(), buffer.data().toStdString());
    if (saved.kind == NewFileResult::Kind::Saved) return true;
    if (error)
        *error = saved.kind == NewFileResult::Kind::Exists
                     ? path + QStringLiteral(" exists already; it is left alone")
                     : path + QStringLiteral(" could not be written: ") +
                           QString::fromStdString(saved.error);
    return false;
}

std::string fileNameSerial(const std::string& serial) {
    std::string out;
    for (char c : serial) out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    return out;
}

}  // namespace qv
