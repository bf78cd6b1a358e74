#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/kit/palette.h"

#include <QCloseEvent>
#include <QLabel>

#include "core/app/string_table.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/pictures.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui/measure/average_measurement_dlg.h"
#include "gui/measure/calibration_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "ui_reproducible_measurement_dlg.h"

namespace qv {

namespace {
const QSize kPictureSize(216, 288);
const char* const kPicture = "PIC/Measurement.bmp";

}  // namespace

CReproducibleMeasurementDlg::CReproducibleMeasurementDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CReproducibleMeasurementDlg>()),
      context_(context),
      workflow_(context) {
    ui_->setupUi(this);
    firstInstruction_ = ui_->instructionLabel->text();
    ui_->pictureLabel->setPixmap(loadPicture(context.programFolder, kPicture, kPictureSize));
    const char* coordinates[3] = {"l", "a", "b"};
    const char* differences[4] = {"dl", "da", "db", "dE"};
    for (int c = 0; c < 3; ++c) coordinateFields_[c] = angleFields(*this, coordinates[c]);
    for (int r = 0; r < 4; ++r) differenceFields_[r] = angleFields(*this, differences[r]);
    verdictLabel_ = new QLabel(this);
    verdictLabel_->setObjectName(QStringLiteral("verdictLabel"));
    verdictLabel_->setWordWrap(true);
    ui_->workColumn->insertWidget(ui_->workColumn->indexOf(ui_->instructionLabel) + 1,
                                  verdictLabel_);
    addInstrumentStrip(context, ui_->workColumn);
    workflow_.onExchangeDone([this] { busy_.reset(); });
    workflow_.onViewChanged([this] { render(); });
    workflow_.onVerdict([this] { showVerdict(); });
    connect(ui_->measureButton, &QPushButton::clicked, this,
            &CReproducibleMeasurementDlg::onMeasure);
    connect(ui_->averageButton, &QPushButton::clicked, this,
            &CReproducibleMeasurementDlg::onAverage);
    connect(ui_->calibrateButton, &QPushButton::clicked, this,
            &CReproducibleMeasurementDlg::onCalibrate);
    connect(ui_->connectButton, &QPushButton::clicked, this,
            &CReproducibleMeasurementDlg::onConnect);
    connect(ui_->thresholdButton, &QPushButton::clicked, this,
            &CReproducibleMeasurementDlg::onThresholds);
    connect(ui_->closeButton, &QPushButton::clicked, this, &CReproducibleMeasurementDlg::onClose);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CReproducibleMeasurementDlg::reject);
    render();
}

CReproducibleMeasurementDlg::~CReproducibleMeasurementDlg() = default;

void CReproducibleMeasurementDlg::onMeasure() {
    ui_->measureButton->setEnabled(false);
    busy_.emplace(*this);
    workflow_.measure();
    busy_.reset();
    render();
}

void CReproducibleMeasurementDlg::onAverage() {
    const AverageSetup setup = workflow_.beginAverage();
    {
        CAverageMeasurementDlg average(context_, workflow_.colour(), setup, this);
        average.exec();
        workflow_.endAverage(average.workflow());
    }
    render();
}

void CReproducibleMeasurementDlg::onCalibrate() {
    CCalibrationDlg calibration(context_, this);
    calibration.exec();
}

void CReproducibleMeasurementDlg::onConnect() {
    {
        CConnInstDlg connection(context_, this);
        connection.exec();
    }
    workflow_.connectionChanged();
    render();
}

void CReproducibleMeasurementDlg::onThresholds() {
    CThresholdDiffDlg thresholds(context_, this);
    thresholds.exec();
}

void CReproducibleMeasurementDlg::onClose() {
    workflow_.close();
    QDialog::accept();
}

void CReproducibleMeasurementDlg::closeEvent(QCloseEvent* event) {
    onClose();
    event->accept();
}

void CReproducibleMeasurementDlg::reject() {
    if (workflow_.cancel()) QDialog::reject();
}

void CReproducibleMeasurementDlg::showVerdict() {
    render();  // the fields as they stand when the verdict is given
    CInstrStabilityDlg verdict(context_, this);
    // The series keeps the formula it started with, whatever was chosen since.
    verdict.prepare(true, workflow_.verdict(), workflow_.view().deltaELabel);
    verdict.exec();
}

void CReproducibleMeasurementDlg::render() {
    const RepeatView& v = workflow_.view();
    ui_->counterLabel->setText(QString::fromStdString(v.counterText));
    ui_->instructionLabel->setText(
        v.instructionId == 0 ? firstInstruction_
                             : QString::fromStdString(context_.strings.text(v.instructionId)));
    for (int c = 0; c < 3; ++c) showRow(coordinateFields_[c], v.coordinate[c]);
    for (int r = 0; r < 4; ++r) showRow(differenceFields_[r], v.difference[r]);
    // The total colour difference is named by its formula.
    ui_->deltaECaption->setText(QString::fromStdString(v.deltaELabel));
    ui_->measureButton->setEnabled(v.measureEnabled);
    ui_->averageButton->setEnabled(v.averageEnabled);
    ui_->calibrateButton->setEnabled(v.calibrateEnabled);
    // The verdict stays in view once its window closed, in the verdict window's colours.
    verdictLabel_->setText(QString::fromStdString(v.verdict));
    verdictLabel_->setStyleSheet(palette::verdictStyle(v.verdictPassed));
    verdictLabel_->setVisible(!v.verdict.empty());
}

}  // namespace qv
