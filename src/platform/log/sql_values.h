#pragma once

// The conversions between a record's values and a database's, shared by the logbook's opening,
// writing and reading.

#include <QString>
#include <QVariant>
#include <cmath>
#include <limits>
#include <string>

namespace qv::sqlvalues {

inline QVariant real(double v) {
    return std::isnan(v) ? QVariant() : QVariant(v);
}

inline double real(const QVariant& v) {
    return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
}

// Not every database keeps an infinity: NULL stands for any number that is not finite.
inline QVariant finite(double v) {
    return std::isfinite(v) ? QVariant(v) : QVariant();
}

// A standard error not kept is one the set could not tell.
inline double errorOrInfinite(const QVariant& v) {
    return v.isNull() ? std::numeric_limits<double>::infinity() : v.toDouble();
}

inline QString text(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string str(const QVariant& v) {
    return v.toString().toStdString();
}

}  // namespace qv::sqlvalues
