#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "core/tiles/tile_set_workflow.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLayout;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace qv {

struct GuiContext;
class DiagnosisPanel;
class LogbookStore;
class ProfileFinder;
struct StoredProfile;
class SpectraChart;

// The inter-instrument check over a tile set: each tile read on the reference instrument
// (target) and on the instrument under correction (sample), the set judged beside what a
// correction would reach, the correction fitted over the set written, and the set read again.
class CTileSetDlg : public QDialog {
    Q_OBJECT
public:
    // With a logbook, a judged set shows what it is through the sample instrument's profile
    // too, when it has one, and may be judged against the tiles' certificates on record.
    CTileSetDlg(GuiContext& context, EvaluateHueControl& colour, QWidget* parent = nullptr,
                LogbookStore* logbook = nullptr);
    ~CTileSetDlg() override;

    const TileSetWorkflow& workflow() const { return workflow_; }
    // The line that acknowledges what went as it should (a tile measured).
    QString statusText() const;
    SpectraChart* chart() const { return chart_; }
    DiagnosisPanel* diagnosisPanel() const { return diagnosis_; }
    QTabWidget* tabs() const { return tabs_; }

private:
    // One summary line: mean and largest per angle, and the verdict.
    struct SummaryRow {
        QLabel* caption = nullptr;
        std::array<QLabel*, kAngleCount> mean{};
        std::array<QLabel*, kAngleCount> largest{};
        QLabel* verdict = nullptr;
    };

    void buildTable();
    QWidget* buildSummary();
    QLayout* buildButtons();
    // How many readings one press averages.
    QWidget* buildReadings();
    // What the set is judged against: the reference instrument or the tiles' certificates.
    QWidget* buildReference();
    void onReference();
    void onSelection();
    void onMeasure(ValidationRole role);
    // The selected tile read once, or `readings` times and averaged; nothing when a reading
    // failed (the operator was told) or the operator stopped between readings.
    std::optional<Measurement> measureSelected(ValidationRole role, int readings);
    void onJudge();
    void onCorrect();
    void onSettings();
    void render();
    void renderHeading();
    void renderTable();
    void renderSummary();
    void renderStandardised();
    void showStandardised(const std::vector<std::array<double, kAngleCount>>& judged,
                          const std::optional<StoredProfile>& profile);
    void renderChart();
    void renderDiagnosis();
    // "Fitted over 4 tiles: white, mid grey, ...", as the write dialog names its pair.
    QString fittedPairText() const;

    GuiContext& context_;
    TileSetWorkflow workflow_;
    QLabel* heading_ = nullptr;
    QLabel* limits_ = nullptr;
    QLabel* instruction_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* alike_ = nullptr;
    QTableWidget* table_ = nullptr;
    SpectraChart* chart_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    DiagnosisPanel* diagnosis_ = nullptr;
    // Now, the two predictions, after correction, and through the instrument's profile.
    std::array<SummaryRow, 5> summary_{};
    std::unique_ptr<ProfileFinder> profiles_;
    // The set's differences when its profile was asked for; an answer for another is not shown.
    std::optional<std::vector<std::array<double, kAngleCount>>> askedFor_;
    QPushButton* targetButton_ = nullptr;
    QPushButton* sampleButton_ = nullptr;
    QPushButton* judgeButton_ = nullptr;
    QPushButton* correctButton_ = nullptr;
    QSpinBox* readings_ = nullptr;
    LogbookStore* logbook_ = nullptr;
    QCheckBox* certified_ = nullptr;
    QCheckBox* temperatureKnown_ = nullptr;
    QDoubleSpinBox* temperature_ = nullptr;
    QLabel* certifiedNotes_ = nullptr;
};

}  // namespace qv
