#include "gui/checks/validation_dlg.h"

#include "core/app/string_table.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/pictures.h"
#include "gui/measure/average_measurement_dlg.h"
#include "ui_validation_dlg.h"

namespace qv {

namespace {
const QSize kPictureSize(172, 230);
const char* const kPicture = "PIC/Measurement.bmp";
}  // namespace

CValidationDlg::CValidationDlg(GuiContext& context, EvaluateHueControl& colour, ValidationRole role,
                               QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CValidationDlg>()),
      context_(context),
      workflow_(context, colour, role) {
    ui_->setupUi(this);
    setWindowTitle(role == ValidationRole::Target ? tr("Target measurement")
                                                  : tr("Sample measurement"));
    ui_->pictureLabel->setPixmap(loadPicture(context.programFolder, kPicture, kPictureSize));
    ui_->headingLabel->setText(QString::fromStdString(context.strings.text(workflow_.headingId())));
    addInstrumentStrip(context, ui_->workColumn);
    workflow_.onExchangeDone([this] { busy_.reset(); });
    connect(ui_->measureButton, &QPushButton::clicked, this, &CValidationDlg::onMeasure);
    connect(ui_->averageButton, &QPushButton::clicked, this, &CValidationDlg::onAverage);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CValidationDlg::reject);
}

CValidationDlg::~CValidationDlg() = default;

void CValidationDlg::onMeasure() {
    ui_->measureButton->setEnabled(false);
    ui_->averageButton->setEnabled(false);
    busy_.emplace(*this);
    measurement_ = workflow_.measure();
    busy_.reset();
    if (workflow_.wentBack()) {
        ui_->measureButton->setEnabled(true);
        ui_->averageButton->setEnabled(true);
        return;
    }
    finish();
}

void CValidationDlg::onAverage() {
    const AverageSetup setup = workflow_.beginAverage();
    {
        CAverageMeasurementDlg average(context_, workflow_.colour(), setup, this);
        average.exec();
        measurement_ = workflow_.endAverage(average.workflow());
    }
    finish();
}

void CValidationDlg::finish() {
    ui_->pictureLabel->clear();
    done(QDialog::Accepted);
}

}  // namespace qv
