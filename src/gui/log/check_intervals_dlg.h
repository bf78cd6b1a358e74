#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>

#include "core/log/check_intervals.h"

class QCheckBox;
class QLabel;
class QSpinBox;

namespace qv {

struct GuiContext;
class LogbookReader;
class LogbookStore;

// The lab's check intervals, set once for every instrument in the logbook: per kind of check
// whether one is in force, its days and how many days before it the check shows as due soon,
// beside the values a lab is offered. Read and written on a thread and a connection of its own;
// OK closes once the logbook has taken every change, and says why not when it has not.
class CCheckIntervalsDlg : public QDialog {
    Q_OBJECT
public:
    CCheckIntervalsDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent = nullptr);
    ~CCheckIntervalsDlg() override;
    bool busy() const { return busy_; }
    void accept() override;

    struct Row {
        QCheckBox* inForce = nullptr;
        QSpinBox* days = nullptr;
        QSpinBox* lead = nullptr;
    };
    const Row& row(CheckKind kind) const { return rows_[std::size_t(kind)]; }
    QString problem() const;

private:
    void show(const std::optional<CheckIntervals>& intervals);
    CheckInterval shown(CheckKind kind) const;
    void written(const QString& why);

    GuiContext& context_;
    std::array<Row, kCheckKindCount> rows_{};
    QLabel* problem_ = nullptr;
    std::optional<CheckIntervals> read_;
    bool busy_ = false;
    std::unique_ptr<LogbookReader> reader_;
};

}  // namespace qv
