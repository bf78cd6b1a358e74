#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/log/fleet_status.h"

class QLabel;
class QTreeWidget;

namespace qv {

struct GuiContext;
class LogbookReader;
class LogbookStore;

// The lab's fleet at a glance: every instrument in the logbook, worst first, with its status
// (in words as well as colour, so that it reads in grey print), when each kind of check with an
// interval in force is due, the drift of its agreement per angle and the newest tile set's
// decision. A row opens that instrument's history. It only reads, on a thread and a connection
// of its own.
class CFleetDlg : public QDialog {
    Q_OBJECT
public:
    using OpenHistory = std::function<void(const std::string& serial)>;
    CFleetDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent = nullptr,
              OpenHistory openHistory = {});
    ~CFleetDlg() override;
    bool reading() const { return reading_; }
    const QTreeWidget* table() const { return table_; }
    QString summary() const;

private:
    void fill(const std::vector<InstrumentStatus>& fleet, const CheckIntervals& intervals,
              bool read);

    GuiContext& context_;
    OpenHistory openHistory_;
    QTreeWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    bool reading_ = false;
    std::unique_ptr<LogbookReader> reader_;
};

// "3 days overdue", "due tomorrow", "due 2026-12-20", "never checked": one kind's due date as
// the fleet window and the main window word it, `today` a day number (daysFromCivil).
QString dueWords(const KindStatus& check, long long today);

}  // namespace qv
