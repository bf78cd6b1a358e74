#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "core/checks/inter_instrument_workflow.h"
#include "core/tiles/set_agreement.h"
#include "gui/kit/result_fields.h"

class QLabel;

namespace Ui {
class CInstErrorConfirmationDlg;
}

namespace qv {

struct GuiContext;
class LogbookStore;
class ProfileFinder;
class SpectraChart;
struct StoredProfile;

// The dialog over a tile set, opened from this check with the check's colour engine. The tile
// set builds on this check and lies above it, so the program hands it in as a hook.
using TileSetHook = std::function<void(QWidget* parent, EvaluateHueControl& colour)>;

// What the check's correction buttons open, each run modally with the colour engine of the
// check. A dialog left empty has no place in this program: its button stays disabled.
struct CorrectionDialogs {
    // What the write changes in the readings when an entry was written; nothing otherwise.
    std::function<std::optional<WrittenCorrection>(QWidget* parent, EvaluateHueControl& colour)>
        writeCoefficients;
    std::function<void(QWidget* parent, EvaluateHueControl& colour)> registerFromFile;
    // The check over a tile set, with a correction fitted over the set.
    TileSetHook tileSet;
};

// The user-calibration dialogs of the program (the coefficient write and the registration from
// a result file), and the tile set through `tileSet`.
CorrectionDialogs userCalibrationDialogs(GuiContext& context, TileSetHook tileSet);

// The inter-instrument check: target and sample measured on one specimen, the judgement with
// its verdict, the spectra and their ratio on screen, and the way on to correction factors.
class CInstErrorConfirmationDlg : public QDialog {
    Q_OBJECT
public:
    // With a logbook, a judgement shows its differences through the sample instrument's profile
    // too, when it has one.
    CInstErrorConfirmationDlg(GuiContext& context, CorrectionDialogs correction = {},
                              QWidget* parent = nullptr, const LogbookStore* logbook = nullptr);
    ~CInstErrorConfirmationDlg() override;

    const InterInstrumentWorkflow& workflow() const { return workflow_; }
    SpectraChart* chart() const { return chart_; }

private:
    // Each button to its step, with a tooltip on those not wired in this program.
    void connectButtons();
    // The validation dialog for `role`; what it took.
    // `proof`: the sample that verifies a correction, judged at once, so its measurement is
    // acknowledged in the status line rather than a box.
    std::optional<Measurement> measure(ValidationRole role, bool proof = false);
    void onMeasure(ValidationRole role);
    void onRegister();
    void onWrite();
    void onTileSet();
    void onConnect();
    void onCalibrate();
    void onThresholds();
    void onJudge();
    void onReset();
    void showVerdict();
    void render();
    void renderChart();
    void renderCorrection();
    void renderVerdict();
    void renderStandardised();
    void showStandardised(const TileSpectra& pair, const std::optional<StoredProfile>& profile);

    std::unique_ptr<Ui::CInstErrorConfirmationDlg> ui_;
    GuiContext& context_;
    CorrectionDialogs correction_;
    InterInstrumentWorkflow workflow_;
    SpectraChart* chart_ = nullptr;
    QLabel* pairLabel_ = nullptr;
    QLabel* correctionLabel_ = nullptr;
    QLabel* verdictLabel_ = nullptr;
    QLabel* standardisedLabel_ = nullptr;
    std::unique_ptr<ProfileFinder> profiles_;
    // The pair whose profile was asked for last; the answer for another is not shown.
    std::optional<TileSpectra> askedFor_;
    std::array<AngleFields, 3> targetFields_{};
    std::array<AngleFields, 3> sampleFields_{};
    std::array<AngleFields, 3> differenceFields_{};
    AngleFields deltaEFields_{};
};

}  // namespace qv
