#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "platform/log/stored_profiles.h"

class QLabel;
class QTreeWidget;

namespace qv {

struct GuiContext;
class LogbookReader;

// The standardisation profiles on record, one row each: the instrument and its master, when
// it was made and how old it is, how far it misses a tile held out of its fit per angle, and
// whether it is current, due again, or cannot be used (its file missing or changed); below, how
// each fleet's readings of its tiles moved between its two newest profilings (with a virtual
// master: the master's own drift). It only reads, on a thread and a connection of its own.
class CProfilesDlg : public QDialog {
    Q_OBJECT
public:
    CProfilesDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent = nullptr);
    ~CProfilesDlg() override;
    bool reading() const { return reading_; }
    const QTreeWidget* table() const { return table_; }
    // Each fleet's drift between its two newest profilings; empty without one.
    QString driftText() const;

private:
    void fill(const std::vector<StoredProfile>& profiles);

    GuiContext& context_;
    QTreeWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* drift_ = nullptr;
    bool reading_ = false;
    std::unique_ptr<LogbookReader> reader_;
};

}  // namespace qv
