// Draws the program's pictures: the splash, the two verdict icons, the three instrument
// pictures and the application icon. Run it after changing a drawing and commit the output:
//   qvl70s-draw-pictures <resources folder>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace {

const QColor kDialogGrey(239, 239, 239);  // the Fusion window colour the pictures sit on
const QColor kBody(58, 64, 72);
const QColor kBodyLight(92, 100, 112);
const QColor kAccent(0, 120, 200);

QFont font(int pixelSize, int weight = QFont::Bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

// A reflectance-like curve across the visible range, for the splash.
QPainterPath spectrumCurve(const QRectF& box, double peakNm, double width, double base) {
    QPainterPath path;
    for (int nm = 400; nm <= 700; nm += 5) {
        const double x = box.left() + (nm - 400) / 300.0 * box.width();
        const double r = base + (1.0 - base) * std::exp(-std::pow((nm - peakNm) / width, 2.0));
        const QPointF p(x, box.bottom() - r * box.height());
        if (nm == 400)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

// The instrument from the side: a handheld body with a display, its aperture at the bottom
// centre (`aperture`), `scale` 1 for a body 120 pixels long.
void drawInstrument(QPainter& p, QPointF aperture, double scale) {
    p.save();
    p.translate(aperture);
    p.scale(scale, scale);
    QPainterPath body;
    body.addRoundedRect(QRectF(-60, -58, 120, 54), 14, 14);
    QPainterPath foot;
    foot.addRoundedRect(QRectF(-24, -10, 48, 10), 3, 3);
    QLinearGradient g(0, -58, 0, 0);
    g.setColorAt(0, kBodyLight);
    g.setColorAt(1, kBody);
    p.setPen(QPen(QColor(30, 30, 34), 1.5));
    p.setBrush(g);
    p.drawPath(body.united(foot));
    p.setBrush(QColor(150, 210, 240));
    p.setPen(QPen(QColor(20, 40, 60), 1));
    p.drawRoundedRect(QRectF(-40, -50, 52, 24), 3, 3);  // display
    p.setPen(QPen(QColor(20, 60, 90), 1.6));
    p.drawPolyline(QPolygonF({QPointF(-36, -32), QPointF(-28, -40), QPointF(-20, -36),
                              QPointF(-10, -45), QPointF(8, -34)}));
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(34, -38), 9, 9);  // measure button
    p.setBrush(Qt::black);
    p.drawRect(QRectF(-10, -2, 20, 2));  // aperture
    p.restore();
}

void drawTile(QPainter& p, const QRectF& r, QColor top, QColor side) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(side);
    p.drawRect(QRectF(r.left(), r.top() + 6, r.width(), r.height() - 6));
    p.setBrush(top);
    p.drawRect(QRectF(r.left(), r.top(), r.width(), 6));
}

void caption(QPainter& p, const QRectF& r, const QString& text, int size = 15) {
    p.setPen(QColor(40, 40, 40));
    p.setFont(font(size));
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text);
}

QImage canvas(int w, int h, QColor fill = kDialogGrey) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

QImage splash() {
    QImage img = canvas(476, 200);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 476, 200);
    bg.setColorAt(0, QColor(16, 32, 58));
    bg.setColorAt(1, QColor(30, 64, 104));
    p.fillRect(img.rect(), bg);
    const QRectF plot(250, 36, 200, 128);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    for (int i = 0; i <= 4; ++i)
        p.drawLine(QPointF(plot.left(), plot.top() + i * 32),
                   QPointF(plot.right(), plot.top() + i * 32));
    const struct {
        double peak, width, base;
        QColor colour;
    } curves[] = {{460, 60, 0.10, QColor(90, 140, 255)},
                  {540, 50, 0.12, QColor(90, 220, 120)},
                  {650, 70, 0.08, QColor(255, 90, 80)}};
    for (const auto& c : curves) {
        p.setPen(QPen(c.colour, 2.6));
        p.setBrush(Qt::NoBrush);
        p.drawPath(spectrumCurve(plot, c.peak, c.width, c.base));
    }
    p.setPen(QColor(200, 215, 235));
    p.setFont(font(10, QFont::Normal));
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 16), Qt::AlignLeft,
               QStringLiteral("400 nm"));
    p.drawText(QRectF(plot.left(), plot.bottom() + 4, plot.width(), 16), Qt::AlignRight,
               QStringLiteral("700 nm"));
    p.setPen(Qt::white);
    p.setFont(font(44));
    p.drawText(QRectF(24, 46, 230, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("QV-L70s"));
    p.setPen(QColor(170, 200, 235));
    p.setFont(font(14, QFont::Normal));
    p.drawText(QRectF(26, 104, 230, 22), Qt::AlignLeft, QStringLiteral("Instrument check and"));
    p.drawText(QRectF(26, 124, 230, 22), Qt::AlignLeft, QStringLiteral("user calibration"));
    p.setPen(QColor(120, 150, 190));
    p.setFont(font(11, QFont::Normal));
    p.drawText(QRectF(26, 160, 230, 18), Qt::AlignLeft,
               QStringLiteral("25\xB0 \xB7 45\xB0 \xB7 75\xB0   400-700 nm"));
    return img;
}

QImage verdictIcon(bool pass) {
    QImage img = canvas(35, 35);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (pass) {
        p.setBrush(QColor(0, 110, 200));
        p.drawEllipse(QRectF(1.5, 1.5, 32, 32));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(15, 7, 5, 5));
        p.drawRoundedRect(QRectF(15, 14, 5, 14), 1.5, 1.5);
    } else {
        p.setBrush(QColor(240, 170, 0));
        p.setPen(QPen(QColor(150, 100, 0), 1.2));
        p.drawPolygon(QPolygonF({QPointF(17.5, 2), QPointF(33.5, 32), QPointF(1.5, 32)}));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(15.5, 11, 4, 12), 1.5, 1.5);
        p.drawEllipse(QRectF(15.5, 25, 4, 4));
    }
    return img;
}

QImage zeroCalibration() {
    QImage img = canvas(230, 240, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    caption(p, QRectF(8, 6, 214, 40), QStringLiteral("1  Zero calibration"));
    // The black trap: light that leaves the aperture is not reflected back.
    drawTile(p, QRectF(55, 170, 120, 34), QColor(20, 20, 20), QColor(45, 45, 45));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(95, 164, 40, 12));
    drawInstrument(p, QPointF(115, 160), 1.1);
    caption(p, QRectF(8, 208, 214, 30), QStringLiteral("Place on the black trap"), 12);
    return img;
}

QImage whiteCalibration() {
    QImage img = canvas(230, 240, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    caption(p, QRectF(8, 6, 214, 40), QStringLiteral("2  White calibration"));
    drawTile(p, QRectF(45, 170, 140, 30), QColor(252, 252, 252), QColor(205, 205, 205));
    drawInstrument(p, QPointF(115, 170), 1.1);
    caption(p, QRectF(8, 208, 214, 30), QStringLiteral("Place on the white standard"), 12);
    return img;
}

QImage measurement() {
    QImage img = canvas(216, 288, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    caption(p, QRectF(8, 8, 200, 40), QStringLiteral("Measure the specimen"));
    QLinearGradient panel(0, 190, 216, 230);
    panel.setColorAt(0, QColor(150, 160, 175));
    panel.setColorAt(0.5, QColor(205, 212, 222));
    panel.setColorAt(1, QColor(120, 130, 145));
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(panel);
    p.drawRect(QRectF(28, 190, 160, 36));
    drawInstrument(p, QPointF(108, 190), 1.25);
    caption(p, QRectF(8, 236, 200, 44), QStringLiteral("Hold the instrument flat and still"), 12);
    return img;
}

QImage icon() {
    QImage img(128, 128, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 128, 128);
    bg.setColorAt(0, QColor(22, 48, 86));
    bg.setColorAt(1, QColor(36, 84, 138));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);
    const QColor colours[3] = {QColor(255, 90, 80), QColor(90, 220, 120), QColor(90, 150, 255)};
    const double angles[3] = {25, 45, 75};
    const QPointF spot(64, 96);
    for (int i = 0; i < 3; ++i) {
        const double a = angles[i] * M_PI / 180.0;
        p.setPen(QPen(colours[i], 9, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(spot, spot + QPointF(-66 * std::cos(a), -66 * std::sin(a)));
    }
    p.setPen(QPen(QColor(245, 245, 245), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 100), QPointF(106, 100));
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const auto bmp = [&](const QImage& img, const QString& name) {
        return img.convertToFormat(QImage::Format_RGB888)
            .save(dir + QLatin1Char('/') + name, "BMP");
    };
    bool ok = bmp(splash(), QStringLiteral("Splash"));
    ok = bmp(verdictIcon(true), QStringLiteral("PIC/inf_icon.bmp")) && ok;
    ok = bmp(verdictIcon(false), QStringLiteral("PIC/excl_icon.bmp")) && ok;
    ok = bmp(zeroCalibration(), QStringLiteral("PIC/RS417Zero.bmp")) && ok;
    ok = bmp(whiteCalibration(), QStringLiteral("PIC/RS417White.bmp")) && ok;
    ok = bmp(measurement(), QStringLiteral("PIC/Measurement.bmp")) && ok;
    ok = icon().save(dir + QStringLiteral("/icon128.png"), "PNG") && ok;
    return ok ? 0 : 1;
}
