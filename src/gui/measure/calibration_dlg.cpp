#include "gui/measure/calibration_dlg.h"

#include "core/app/string_table.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/pictures.h"
#include "ui_calibration_dlg.h"

namespace qv {

namespace {
const QSize kPictureSize(230, 240);
const char* const kZeroPicture = "PIC/RS417Zero.bmp";
const char* const kWhitePicture = "PIC/RS417White.bmp";
}  // namespace

CCalibrationDlg::CCalibrationDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CCalibrationDlg>()),
      context_(context),
      workflow_(context) {
    ui_->setupUi(this);
    addInstrumentStrip(context, ui_->mainLayout);
    zeroCaption_ = windowTitle();
    zeroInstruction_ = ui_->instructionLabel->text();
    connect(ui_->okButton, &QPushButton::clicked, this, &CCalibrationDlg::onOk);
    connect(ui_->skipZeroButton, &QPushButton::clicked, this, &CCalibrationDlg::onSkipZero);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CCalibrationDlg::reject);
    render();
}

CCalibrationDlg::~CCalibrationDlg() = default;

void CCalibrationDlg::onOk() {
    ui_->okButton->setEnabled(false);
    {
        const ExchangeGuard exchanging(*this);
        workflow_.confirm();
    }
    ui_->okButton->setEnabled(true);
    render();
}

void CCalibrationDlg::onSkipZero() {
    workflow_.skipZero();
    render();
}

void CCalibrationDlg::reject() {
    workflow_.cancel();
    QDialog::reject();
}

void CCalibrationDlg::render() {
    const CalibrationView& v = workflow_.view();
    const auto text = [this](int id, const QString& fallback) {
        return id == 0 ? fallback : QString::fromStdString(context_.strings.text(id));
    };
    setWindowTitle(text(v.captionId, zeroCaption_));
    ui_->instructionLabel->setText(text(v.instructionId, zeroInstruction_));
    const bool white = v.picture == CalibrationPicture::White;
    ui_->pictureLabel->setPixmap(
        loadPicture(context_.programFolder, white ? kWhitePicture : kZeroPicture, kPictureSize));
    ui_->skipZeroButton->setVisible(v.skipVisible);
    if (v.closed) QDialog::accept();
}

}  // namespace qv
