#include "gui/checks/inst_error_confirmation_dlg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "core/app/message_box.h"
#include "core/app/shared_state.h"
#include "core/tiles/standardise.h"
#include "gui/checks/validation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/palette.h"
#include "gui/kit/profile_finder.h"
#include "gui/kit/spectra_chart.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui/measure/calibration_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "ui_inst_error_confirmation_dlg.h"

namespace qv {

namespace {
const char* const kWriteLater =
    "Writes correction factors into an entry of the instrument under "
    "correction. Not available in this version.";
const char* const kRegisterLater =
    "Takes the target from a result file of the reference instrument. Not available in this "
    "version.";
const char* const kTileSetLater =
    "Judges the agreement over a set of tiles and fits a correction over them. Not available "
    "in this version.";
}  // namespace

CorrectionDialogs userCalibrationDialogs(GuiContext& context, TileSetHook tileSet) {
    CorrectionDialogs dialogs;
    dialogs.writeCoefficients = [&context](QWidget* parent, EvaluateHueControl&) {
        CCorrCoeffWriteDlg dialog(context, parent);
        dialog.exec();
        return dialog.writtenCorrection();
    };
    dialogs.registerFromFile = [&context](QWidget* parent, EvaluateHueControl& colour) {
        CDataRegUsingFileDlg dialog(context, colour, parent);
        dialog.exec();
    };
    dialogs.tileSet = std::move(tileSet);
    return dialogs;
}

CInstErrorConfirmationDlg::CInstErrorConfirmationDlg(GuiContext& context,
                                                     CorrectionDialogs correction, QWidget* parent,
                                                     const LogbookStore* logbook)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CInstErrorConfirmationDlg>()),
      context_(context),
      correction_(std::move(correction)),
      workflow_(context),
      profiles_(ProfileFinder::of(logbook, context.strings)) {
    ui_->setupUi(this);
    chart_ = new SpectraChart(ui_->chartHolder);
    auto* holder = new QVBoxLayout(ui_->chartHolder);
    holder->setContentsMargins(0, 0, 0, 0);
    holder->addWidget(chart_);
    const char* target[3] = {"targetL", "targetA", "targetB"};
    const char* sample[3] = {"sampleL", "sampleA", "sampleB"};
    const char* difference[3] = {"dl", "da", "db"};
    for (int c = 0; c < 3; ++c) {
        targetFields_[c] = angleFields(*this, target[c]);
        sampleFields_[c] = angleFields(*this, sample[c]);
        differenceFields_[c] = angleFields(*this, difference[c]);
    }
    deltaEFields_ = angleFields(*this, "dE");
    correctionLabel_ = new QLabel(this);
    correctionLabel_->setObjectName(QStringLiteral("correctionLabel"));
    correctionLabel_->setWordWrap(true);
    ui_->valuesColumn->insertWidget(2, correctionLabel_);
    verdictLabel_ = new QLabel(this);
    verdictLabel_->setObjectName(QStringLiteral("verdictLabel"));
    verdictLabel_->setWordWrap(true);
    ui_->valuesColumn->insertWidget(2, verdictLabel_);
    standardisedLabel_ = new QLabel(this);
    standardisedLabel_->setObjectName(QStringLiteral("standardisedLabel"));
    standardisedLabel_->setWordWrap(true);
    standardisedLabel_->hide();
    ui_->valuesColumn->insertWidget(ui_->valuesColumn->indexOf(correctionLabel_) + 1,
                                    standardisedLabel_);
    pairLabel_ = new QLabel(this);
    pairLabel_->setObjectName(QStringLiteral("pairLabel"));
    ui_->mainLayout->insertWidget(ui_->mainLayout->indexOf(ui_->instructionLabel) + 1, pairLabel_);
    addInstrumentStrip(context, ui_->mainLayout);
    // The connected instrument is the one that answered last, also in the middle of a
    // measurement after the cable was moved.
    if (auto* activity = dynamic_cast<GuiActivity*>(context.activity)) {
        connect(activity, &GuiActivity::instrumentChanged, ui_->instrumentLabel, &QLabel::setText);
        // A hang-up noticed while the line was idle: the header and the buttons follow it.
        connect(activity, &GuiActivity::portChanged, this, [this] {
            workflow_.connectionChanged();
            render();
        });
    }
    workflow_.onVerdict([this] { showVerdict(); });
    connectButtons();
    render();
}

void CInstErrorConfirmationDlg::connectButtons() {
    connect(ui_->targetButton, &QPushButton::clicked, this,
            [this] { onMeasure(ValidationRole::Target); });
    connect(ui_->sampleButton, &QPushButton::clicked, this,
            [this] { onMeasure(ValidationRole::Sample); });
    connect(ui_->registerButton, &QPushButton::clicked, this,
            &CInstErrorConfirmationDlg::onRegister);
    connect(ui_->writeButton, &QPushButton::clicked, this, &CInstErrorConfirmationDlg::onWrite);
    connect(ui_->tileSetButton, &QPushButton::clicked, this, &CInstErrorConfirmationDlg::onTileSet);
    connect(ui_->connectButton, &QPushButton::clicked, this, &CInstErrorConfirmationDlg::onConnect);
    connect(ui_->calibrateButton, &QPushButton::clicked, this,
            &CInstErrorConfirmationDlg::onCalibrate);
    connect(ui_->thresholdButton, &QPushButton::clicked, this,
            &CInstErrorConfirmationDlg::onThresholds);
    connect(ui_->judgeButton, &QPushButton::clicked, this, &CInstErrorConfirmationDlg::onJudge);
    connect(ui_->resetButton, &QPushButton::clicked, this, &CInstErrorConfirmationDlg::onReset);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ui_->writeButton->setToolTip(correction_.writeCoefficients ? QString() : tr(kWriteLater));
    ui_->registerButton->setToolTip(correction_.registerFromFile ? QString() : tr(kRegisterLater));
    ui_->tileSetButton->setToolTip(correction_.tileSet ? QString() : tr(kTileSetLater));
}

CInstErrorConfirmationDlg::~CInstErrorConfirmationDlg() = default;

std::optional<Measurement> CInstErrorConfirmationDlg::measure(ValidationRole role, bool proof) {
    CValidationDlg validation(context_, workflow_.colour(), role, this);
    if (proof) validation.workflow().acknowledgeInStatusLine();
    // Asked once the instrument named itself, so that going back keeps the dialog and the
    // target: the operator moves the cable and measures again. The proof of a correction is
    // measured on the instrument just corrected, which the operator answered for already.
    if (role == ValidationRole::Sample && !proof)
        validation.workflow().checkBeforeMeasuring([this](const std::string& serial) {
            return workflow_.confirmRepeatableInstrument(serial);
        });
    validation.exec();
    return validation.measurement();
}

void CInstErrorConfirmationDlg::onMeasure(ValidationRole role) {
    if (const auto taken = measure(role)) workflow_.take(role, *taken);
    render();
}

void CInstErrorConfirmationDlg::onRegister() {
    if (!correction_.registerFromFile) return;
    correction_.registerFromFile(this, workflow_.colour());
    workflow_.endRegistration();
    render();
}

void CInstErrorConfirmationDlg::onWrite() {
    if (!correction_.writeCoefficients || !workflow_.view().writeEnabled) return;
    tellStep(context_.activity, {});
    const auto written = correction_.writeCoefficients(this, workflow_.colour());
    if (!written) return render();
    workflow_.correctionWritten(*written);
    render();
    // The proof: the sample once more on the corrected instrument, judged against the target.
    if (context_.prompter.ask(messageBox(kStrVerifyCorrection, Icon::Question, Buttons::YesNo)) !=
        Answer::Yes)
        return;
    // Cancelled or failed: nothing is judged; the correction waits for its sample.
    if (const auto again = measure(ValidationRole::Sample, true))
        workflow_.verifyCorrection(*again);
    render();
}

void CInstErrorConfirmationDlg::onTileSet() {
    if (!correction_.tileSet) return;
    correction_.tileSet(this, workflow_.colour());
    render();
}

void CInstErrorConfirmationDlg::onConnect() {
    {
        CConnInstDlg connection(context_, this);
        connection.exec();
    }
    workflow_.connectionChanged();
    render();
}

void CInstErrorConfirmationDlg::onCalibrate() {
    CCalibrationDlg calibration(context_, this);
    calibration.exec();
}

void CInstErrorConfirmationDlg::onThresholds() {
    {
        CThresholdDiffDlg thresholds(context_, this);
        thresholds.exec();
    }
    workflow_.thresholdsChanged();
    render();
}

void CInstErrorConfirmationDlg::onJudge() {
    tellStep(context_.activity, {});  // what the last measurement finished is no news now
    workflow_.judge();
    render();
}

void CInstErrorConfirmationDlg::onReset() {
    workflow_.reset();
    render();
}

void CInstErrorConfirmationDlg::showVerdict() {
    render();  // the differences as they stand when the verdict is given
    CInstrStabilityDlg verdict(context_, this);
    verdict.prepare(false, workflow_.verdict(), workflow_.view().deltaELabel);
    verdict.exec();
}

void CInstErrorConfirmationDlg::render() {
    const InterInstrumentView& v = workflow_.view();
    for (int c = 0; c < 3; ++c) {
        showRow(targetFields_[c], v.target[c]);
        showRow(sampleFields_[c], v.sample[c]);
        showRow(differenceFields_[c], v.difference[c]);
    }
    showRow(deltaEFields_, v.deltaE);
    ui_->deltaECaption->setText(QString::fromStdString(v.deltaELabel));
    // The instrument that answered last, also when its measurement was not kept.
    const auto* activity = dynamic_cast<const GuiActivity*>(context_.activity);
    const bool answered =
        activity && !activity->instrument().isEmpty() && context_.state.bConnected;
    ui_->instrumentLabel->setText(answered ? activity->instrument()
                                           : QString::fromStdString(v.instrumentId));
    // The header tells the port's state as it is, not as it was when the check opened.
    ui_->instrumentCaption->setText(context_.state.bConnected
                                        ? tr("Connected instrument:")
                                        : tr("Not connected. Last instrument:"));
    pairLabel_->setText(tr("Reference (target): %1      Under correction (sample): %2")
                            .arg(QString::fromStdString(v.targetInstrument),
                                 QString::fromStdString(v.sampleInstrument)));
    ui_->targetButton->setEnabled(v.measureEnabled);
    ui_->sampleButton->setEnabled(v.measureEnabled);
    ui_->calibrateButton->setEnabled(v.calibrateEnabled);
    ui_->judgeButton->setEnabled(v.judgeEnabled);
    ui_->writeButton->setEnabled(v.writeEnabled && bool(correction_.writeCoefficients));
    ui_->registerButton->setEnabled(bool(correction_.registerFromFile));
    ui_->tileSetButton->setEnabled(bool(correction_.tileSet));
    ui_->instructionLabel->setText(QString::fromStdString(workflow_.instruction()));
    renderVerdict();
    renderChart();
    renderCorrection();
    renderStandardised();
}

// Beside the differences as read, the same through the sample instrument's profile once the
// logbook has answered; a pair judged anew asks again.
void CInstErrorConfirmationDlg::renderStandardised() {
    const SharedState& s = context_.state;
    if (!profiles_ || !workflow_.judgement()) {
        askedFor_.reset();
        standardisedLabel_->hide();
        return;
    }
    const TileSpectra pair{s.targetSpectrum, s.sampleSpectrum};
    if (askedFor_ && askedFor_->target == pair.target && askedFor_->sample == pair.sample) return;
    askedFor_ = pair;
    standardisedLabel_->hide();
    profiles_->find(s.sampleSerial, this, [this, pair](const std::optional<StoredProfile>& p) {
        showStandardised(pair, p);
    });
}

void CInstErrorConfirmationDlg::showStandardised(const TileSpectra& pair,
                                                 const std::optional<StoredProfile>& profile) {
    if (!profile || !askedFor_ || askedFor_->sample != pair.sample) return;
    const auto r = standardisePair(workflow_.colour(), pair, profile->file->profile);
    if (!r) return;
    const auto angles = [this](const std::array<double, kAngleCount>& v) {
        return QString::fromStdString(context_.format.display(v[0]) + " / " +
                                      context_.format.display(v[1]) + " / " +
                                      context_.format.display(v[2]));
    };
    QString text =
        tr("%1 at 25° / 45° / 75°: as read %2, standardised %3 %4.")
            .arg(QString::fromStdString(workflow_.view().deltaELabel), angles(r->deltaEBefore),
                 angles(r->deltaEAfter),
                 profileInUseText(*profile, localTimeOf(context_.clock.calendarSeconds())));
    if (profile->record.referenceSerial != context_.state.targetSerial)
        text += tr(" Its master is %1, not this check's target.")
                    .arg(QString::fromStdString(profile->record.referenceSerial));
    standardisedLabel_->setText(text);
    standardisedLabel_->show();
}

// The verdict stays in view once its window closed, in the verdict window's colours.
void CInstErrorConfirmationDlg::renderVerdict() {
    const std::string line = workflow_.verdictLine();
    const bool passed = workflow_.judgement() && workflow_.judgement()->passed;
    verdictLabel_->setText(QString::fromStdString(line));
    verdictLabel_->setStyleSheet(palette::verdictStyle(passed));
    verdictLabel_->setVisible(!line.empty());
}

void CInstErrorConfirmationDlg::renderCorrection() {
    using Correction = InterInstrumentView::Correction;
    const InterInstrumentView& v = workflow_.view();
    const QString before = QString::fromStdString(v.beforeDeltaE[0] + " / " + v.beforeDeltaE[1] +
                                                  " / " + v.beforeDeltaE[2]);
    const QString after =
        QString::fromStdString(v.deltaE[0] + " / " + v.deltaE[1] + " / " + v.deltaE[2]);
    QString text;
    if (v.correction == Correction::Written)
        text = tr("Correction written. Before it: %1 %2 (25° / 45° / 75°). Measure the sample "
                  "again to verify.")
                   .arg(QString::fromStdString(v.deltaELabel), before);
    else if (v.correction == Correction::Verified)
        text = tr("%1 at 25° / 45° / 75°\nBefore correction: %2\nAfter correction: %3 (%4)")
                   .arg(QString::fromStdString(v.deltaELabel), before, after,
                        workflow_.verdict().passed ? tr("the instruments agree")
                                                   : tr("they still disagree"));
    else if (v.correction == Correction::NotApplied)
        text = tr("%1 at 25° / 45° / 75°\nBefore correction: %2\nAfter: %3. The instrument "
                  "does not apply the entry yet.")
                   .arg(QString::fromStdString(v.deltaELabel), before, after);
    correctionLabel_->setText(text);
    correctionLabel_->setVisible(!text.isEmpty());
}

void CInstErrorConfirmationDlg::renderChart() {
    const SharedState& s = context_.state;
    const auto& judged = workflow_.judgement();
    chart_->setSpectra(s.targetSpectrum, s.sampleSpectrum,
                       judged ? judged->implausible : std::nullopt);
}

}  // namespace qv
