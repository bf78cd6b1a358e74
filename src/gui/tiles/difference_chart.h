#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <QWidget>

#include "core/tiles/diagnosis.h"

QT_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_END_NAMESPACE

namespace qv {

// One tile's measured difference T - R over wavelength at one angle, beside what each term the
// diagnosis identified contributes to it and their sum: a wavelength shift draws the slope of
// the reference's curve, an offset a flat line. Terms that add less than a reading's resolution
// anywhere are left out.
class DifferenceChart : public QWidget {
    Q_OBJECT
public:
    explicit DifferenceChart(QWidget* parent = nullptr);

    // The tile's readings at one angle (31 reflectances each) and the terms fitted there.
    void setDifference(const AngleSpectrum& target, const AngleSpectrum& sample,
                       const TermEstimates& terms, const QString& title);
    void clear();

    // The names of the curves drawn, in the order of the legend; a curve's points by name.
    QStringList curveNames() const;
    QList<QPointF> points(const QString& name) const;

    static QString measuredName();
    static QString sumName();

private:
    void addCurve(const QString& name, const QList<QPointF>& points, const QPen& pen);
    void fitValueAxis();

    QChart* chart_ = nullptr;
    QValueAxis* nmAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
};

}  // namespace qv
