#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "core/log/performance_settings.h"
#include "core/tiles/tile_set.h"

class QLayout;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace qv {

struct GuiContext;

// The tile set and its limits as the settings keep them: the set's name, the tiles in the
// order they are read, the mean and largest thresholds and an optional product tolerance; and
// what the instrument's performance statement is made with (per angle the tolerance and the
// reference's uncertainty, its certificate, the long-term period and specimen). OK keeps them
// only when they may be kept; otherwise it tells why and stays.
class CTileSetSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CTileSetSettingsDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CTileSetSettingsDlg() override;

    void accept() override;

private:
    void build();
    QLayout* buildTileList();
    QWidget* buildPerformance(const QString& unit);
    void fillPerformance(const PerformanceSettings& settings);
    TypedPerformance typedPerformance() const;
    QLineEdit* fieldOf(const PerformanceProblem& problem) const;
    void fill(const TileSet& set, const SetLimits& limits);
    QListWidgetItem* addTile(const QString& name);
    void onAdd();
    void onRemove();
    void onMove(int step);
    TileSet editedSet() const;
    QLineEdit* fieldOf(LimitField field) const;
    // Tells why the limits cannot be kept, marks the field at fault and puts the cursor there.
    void refuse(const LimitsProblem& problem);
    void refuse(QLineEdit* edit, const std::string& why);
    void tell(int stringId, const std::string& suffix);

    GuiContext& context_;
    QLineEdit* nameEdit_ = nullptr;
    QListWidget* tileList_ = nullptr;
    QLineEdit* meanEdit_ = nullptr;
    QLineEdit* largestEdit_ = nullptr;
    QLineEdit* toleranceEdit_ = nullptr;
    std::array<QLineEdit*, kAngleCount> angleToleranceEdits_{};
    std::array<QLineEdit*, kAngleCount> referenceEdits_{};
    QLineEdit* certificateEdit_ = nullptr;
    QLineEdit* daysEdit_ = nullptr;
    QLineEdit* specimenEdit_ = nullptr;
    QLineEdit* validDaysEdit_ = nullptr;
};

}  // namespace qv
