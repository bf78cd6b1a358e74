#include "gui/kit/palette.h"

#include <array>

namespace qv::palette {

QColor angle(int angleIndex) {
    static const std::array<QColor, 3> kAngles = {QColor(31, 90, 180), QColor(225, 115, 20),
                                                  QColor(40, 150, 70)};
    return angleIndex >= 0 && angleIndex < 3 ? kAngles[static_cast<std::size_t>(angleIndex)]
                                             : QColor(Qt::gray);
}

QColor passed() {
    return {0x1b, 0x6e, 0x20};
}

QColor failed() {
    return {0xb0, 0x00, 0x20};
}

QColor warning() {
    return {0xa0, 0x50, 0x00};
}

QString verdictStyle(bool ok) {
    return QStringLiteral("color: %1; font-weight: bold;").arg((ok ? passed() : failed()).name());
}

}  // namespace qv::palette
