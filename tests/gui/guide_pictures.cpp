// qvl70s-guide-pictures: refreshes the operator's guide's pictures from the screenshots.
//   qvl70s-guide-pictures <screenshot folder> <guide folder>
// Every picture a page of the guide shows (src="images/NAME.png") is taken from the screenshot
// of the same name, scaled down to at most kWidthPx wide, and written over the guide's copy.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <cstdio>

namespace {

constexpr int kWidthPx = 800;
// PNG's strongest compression: the pictures are checked in and installed.
constexpr int kPngQuality = 0;
constexpr int kFrameGrey = 150;

QSet<QString> picturesOfGuide(const QDir& guide) {
    static const QRegularExpression source(QStringLiteral("src=\"images/([^\"/]+\\.png)\""));
    QSet<QString> names;
    for (const QString& page : guide.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(guide.filePath(page));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QString html = QString::fromUtf8(file.readAll());
        for (auto m = source.globalMatch(html); m.hasNext();) names.insert(m.next().captured(1));
    }
    return names;
}

bool refresh(const QDir& shots, const QDir& images, const QString& name) {
    QImage shot(shots.filePath(name));
    if (shot.isNull()) {
        std::fprintf(stderr, "qvl70s-guide-pictures: no screenshot %s\n",
                     qPrintable(shots.filePath(name)));
        return false;
    }
    if (shot.width() > kWidthPx) shot = shot.scaledToWidth(kWidthPx, Qt::SmoothTransformation);
    // A thin frame sets the window apart from the page around it.
    shot = shot.convertToFormat(QImage::Format_RGB32);
    QPainter frame(&shot);
    frame.setPen(QColor(kFrameGrey, kFrameGrey, kFrameGrey));
    frame.drawRect(shot.rect().adjusted(0, 0, -1, -1));
    frame.end();
    const QString out = images.filePath(name);
    if (!shot.save(out, "PNG", kPngQuality)) {
        std::fprintf(stderr, "qvl70s-guide-pictures: cannot write %s\n", qPrintable(out));
        return false;
    }
    std::printf("%s\n", qPrintable(out));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // pictures need no window system
    if (argc != 3) {
        std::fprintf(stderr, "usage: qvl70s-guide-pictures <screenshot folder> <guide folder>\n");
        return 2;
    }
    const QDir shots(QString::fromLocal8Bit(argv[1]));
    const QDir guide(QString::fromLocal8Bit(argv[2]));
    guide.mkpath(QStringLiteral("images"));
    const QDir images(guide.filePath(QStringLiteral("images")));
    const QSet<QString> wanted = picturesOfGuide(guide);
    int failures = 0;
    for (const QString& name : wanted)
        if (!refresh(shots, images, name)) ++failures;
    // A picture no page shows any more would only be installed for nothing.
    for (const QString& name : images.entryList({QStringLiteral("*.png")}, QDir::Files))
        if (!wanted.contains(name)) std::printf("not shown by any page: %s\n", qPrintable(name));
    return failures == 0 ? 0 : 1;
}
