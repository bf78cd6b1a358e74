#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/app/number_format.h"
#include "core/tiles/diagnosis.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QStackedLayout;
class QTableWidget;

namespace qv {

class DifferenceChart;

// What kind of error separates the two instruments, once the set is judged: per angle the
// physical terms with their shares of the colour difference, the differences predicted after
// factors and after the errors removed, and the decision with its reason; beside it one tile's
// difference T - R at a chosen angle with the identified terms drawn. Before a judgement, a
// line that says when it appears.
class DiagnosisPanel : public QWidget {
    Q_OBJECT
public:
    explicit DiagnosisPanel(QWidget* parent = nullptr);

    // Nothing: the placeholder, or why the set was refused when `refusal` says.
    void setDiagnosis(const Diagnosis* diagnosis, const NumberFormat& format,
                      const std::string& refusal = {});
    // The set's tiles, the one chosen and its readings (nothing when it has no pair yet).
    void setTile(const std::vector<std::string>& names, int selected, const TileSpectra* tile);

    QTableWidget* table() const { return table_; }
    DifferenceChart* chart() const { return chart_; }
    int angle() const;
    void setAngle(int angle);

signals:
    void tileChosen(int row);

private:
    QWidget* buildTable();
    QWidget* buildChart();
    void renderChart();
    static QString placeholderText();

    QStackedLayout* pages_ = nullptr;
    QLabel* placeholder_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* overall_ = nullptr;
    QLabel* reasons_ = nullptr;
    QComboBox* tiles_ = nullptr;
    QButtonGroup* angles_ = nullptr;
    DifferenceChart* chart_ = nullptr;
    // Kept for the chart, which redraws when the angle changes.
    std::optional<Diagnosis> diagnosis_;
    std::optional<TileSpectra> tile_;
    std::string tileName_;
};

}  // namespace qv
