#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "core/app/logbook.h"
#include "platform/log/logbook_store.h"

class QModelIndex;
class QTreeWidgetItem;

namespace Ui {
class CHistoryDlg;
}

namespace qv {

struct GuiContext;
class RecordTableModel;
class LogbookReader;

// The logbook read back: the instruments on record; for the one chosen, its records newest
// first (of every workstation, or of the one chosen) and the trend of its colour differences
// against their threshold; for the record chosen, all its values, its folder and its certificate.
// It only reads the logbook, on a thread and a connection of its own: the window never waits for
// a server, and a long history comes a part at a time.
class CHistoryDlg : public QDialog {
    Q_OBJECT
public:
    // Opens on `serial`, or without one on the instrument checked last.
    CHistoryDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent = nullptr,
                std::string serial = {});
    ~CHistoryDlg() override;
    // Whether a read of the logbook is under way (what is shown may still change).
    bool reading() const { return reading_; }

private:
    void fillInstruments(const std::vector<LogbookStore::Instrument>& instruments, bool away);
    void onInstrument(QTreeWidgetItem* item);
    // The next part of the chosen instrument's history, read off this window's thread.
    void readPage();
    void pageRead(int generation, std::vector<CheckRecord> page, bool more, bool away);
    // The title says so when the records shown are this workstation's alone, the server away.
    void showSource(bool away);
    void showReading(bool reading);
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
    std::string serial_;  // the chosen instrument
    std::string openOn_;  // the instrument to open on; empty: the one checked last
    // Each choice of instrument starts a new history; a page of an earlier one is dropped.
    int generation_ = 0;
    bool reading_ = false;
    // The chosen instrument's history being read; only the reader's thread touches what it holds.
    std::shared_ptr<std::unique_ptr<HistoryPages>> pages_;
    // Last: it finishes the read under way before anything it reports to goes.
    std::unique_ptr<LogbookReader> reader_;
};

}  // namespace qv
