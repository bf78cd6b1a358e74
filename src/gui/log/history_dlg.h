#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "core/app/logbook.h"

class QModelIndex;
class QTreeWidgetItem;

namespace Ui {
class CHistoryDlg;
}

namespace qv {

struct GuiContext;
class RecordTableModel;
class LogbookStore;

// The logbook read back: the instruments on record; for the one chosen, its records newest
// first (of every workstation, or of the one chosen) and the trend of its colour differences
// against their threshold; for the record chosen, all its values, its folder and its certificate.
// It only reads the logbook.
class CHistoryDlg : public QDialog {
    Q_OBJECT
public:
    // Opens on the instrument checked last.
    CHistoryDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent = nullptr);
    ~CHistoryDlg() override;

private:
    void fillInstruments();
    void onInstrument(QTreeWidgetItem* item);
    // The title names where the records shown came from when it is not the server.
    void showSource();
    void fillWorkstations();
    // The chosen instrument's records of the chosen workstation, in the table and the trend.
    void showRecords();
    void onRecord(const QModelIndex& index);
    void drawTrend();
    void onOpenFolder();
    void onSaveCertificate();
    void onSavePerformance();
    // The long-term repeatability of the specimen the performance settings name (or of the
    // latest extended check's) among the records shown.
    void drawLongTermTrend();
    const CheckRecord* selected() const;

    std::unique_ptr<Ui::CHistoryDlg> ui_;
    GuiContext& context_;
    LogbookStore& logbook_;
    RecordTableModel* model_ = nullptr;
    std::vector<CheckRecord> all_;  // the chosen instrument's records, of every workstation
    QString title_;
};

}  // namespace qv
