#include "gui/measure/average_measurement_dlg.h"

#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "ui_average_measurement_dlg.h"

namespace qv {

CAverageMeasurementDlg::CAverageMeasurementDlg(GuiContext& context, EvaluateHueControl& colour,
                                               AverageSetup setup, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CAverageMeasurementDlg>()),
      workflow_(context, colour, setup) {
    ui_->setupUi(this);
    const char* coordinates[3] = {"l", "a", "b"};
    const char* deviations[3] = {"sdL", "sdA", "sdB"};
    for (int c = 0; c < 3; ++c) {
        coordinateFields_[c] = angleFields(*this, coordinates[c]);
        deviationFields_[c] = angleFields(*this, deviations[c]);
    }
    addInstrumentStrip(context, ui_->mainLayout);
    workflow_.onExchangeDone([this] { busy_.reset(); });
    connect(ui_->measureButton, &QPushButton::clicked, this, &CAverageMeasurementDlg::onMeasure);
    connect(ui_->finishButton, &QPushButton::clicked, this, &CAverageMeasurementDlg::onFinish);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CAverageMeasurementDlg::reject);
    render();
    holdMinimumSize(this, width());
}

CAverageMeasurementDlg::~CAverageMeasurementDlg() = default;

void CAverageMeasurementDlg::onMeasure() {
    ui_->measureButton->setEnabled(false);
    ui_->finishButton->setEnabled(false);
    busy_.emplace(*this);
    workflow_.measure();
    busy_.reset();
    render();
}

void CAverageMeasurementDlg::onFinish() {
    workflow_.finish();
    render();
}

void CAverageMeasurementDlg::reject() {
    workflow_.cancel();
    QDialog::reject();
}

void CAverageMeasurementDlg::render() {
    const AverageView& v = workflow_.view();
    for (int c = 0; c < 3; ++c) {
        showRow(coordinateFields_[c], v.coordinate[c]);
        showRow(deviationFields_[c], v.deviation[c]);
    }
    ui_->countField->setText(QString::fromStdString(v.countText));
    ui_->measureButton->setEnabled(v.measureEnabled);
    ui_->finishButton->setEnabled(v.finishEnabled);
    if (v.closed && v.finished) QDialog::accept();
}

}  // namespace qv
