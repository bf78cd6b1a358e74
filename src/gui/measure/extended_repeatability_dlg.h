#pragma once

#include <QDialog>
#include <QList>
#include <QPointF>
#include <array>

#include "core/measure/extended_repeatability.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScatterSeries;
class QSpinBox;
class QTableWidget;
class QValueAxis;
QT_END_NAMESPACE

namespace qv {

struct GuiContext;

// The repeatability check over many readings: how many, whether the specimen is lifted and
// placed again between them, its name; then the count as the readings are taken, per angle
// their spread about the mean, and the readings drawn about it.
class CExtendedRepeatabilityDlg : public QDialog {
    Q_OBJECT
public:
    CExtendedRepeatabilityDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CExtendedRepeatabilityDlg() override;

    const ExtendedRepeatabilityWorkflow& workflow() const { return workflow_; }
    // The points drawn for one angle (0 = 25°): da*, db* about the mean, or reading number
    // and dL*.
    QList<QPointF> abPoints(int angle) const;
    QList<QPointF> lPoints(int angle) const;

    void reject() override;

private:
    void buildForm();
    void buildResults();
    void onStart();
    void showProgress(int reading, int of);
    void showResult(const ExtendedReport& report);
    void showChart(const ExtendedReport& report);

    GuiContext& context_;
    ExtendedRepeatabilityWorkflow workflow_;
    bool running_ = false;
    QSpinBox* readings_ = nullptr;
    QCheckBox* handling_ = nullptr;
    QLineEdit* specimen_ = nullptr;
    QLabel* progress_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::array<QScatterSeries*, kAngleCount> ab_{};
    std::array<QScatterSeries*, kAngleCount> l_{};
    std::array<QValueAxis*, 2> abAxes_{};
    std::array<QValueAxis*, 2> lAxes_{};
};

}  // namespace qv
