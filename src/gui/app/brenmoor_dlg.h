#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "core/app/startup_workflow.h"

class QAction;
class QLabel;
class QMenuBar;

namespace Ui {
class CBrenmoorDlg;
}

namespace qv {

class LogbookReader;

struct GuiContext;
class LogbookStore;

// The task dialogs the main window opens, each run modally with the main window as parent.
// A task left empty has no dialog in this program: its button stays disabled.
struct TaskDialogs {
    std::function<void(QWidget* parent)> repeatability;
    std::function<void(QWidget* parent)> interInstrument;
    std::function<void(QWidget* parent)> coeffFile;
    // The repeatability check over many readings, from the Checks menu.
    std::function<void(QWidget* parent)> extendedRepeatability = {};
    // The logbook the history window reads and the import adds to; none: both stay disabled.
    LogbookStore* logbook = nullptr;
    // Opens the operator's guide at its contents, beside `from`; none: the menu item stays
    // disabled.
    std::function<void(QWidget* from)> guide = {};
};

// The main window: the three task buttons, the settings, checks, logbook and help menus, and the
// state of the port and instrument.
class CBrenmoorDlg : public QDialog {
    Q_OBJECT
public:
    CBrenmoorDlg(GuiContext& context, TaskDialogs tasks, QWidget* parent = nullptr);
    ~CBrenmoorDlg() override;

    // Creates the data folder and reopens the port with the saved settings; without saved
    // settings the port settings dialog runs first. Then runs the window modally.
    int runModal();
    void OnInitDialog();

    QAction* settingsAction() const { return settingsAction_; }
    QAction* connectAction() const { return connectAction_; }
    QAction* thresholdsAction() const { return thresholdsAction_; }
    QAction* aboutAction() const { return aboutAction_; }
    QAction* guideAction() const { return guideAction_; }
    QAction* historyAction() const { return historyAction_; }
    QAction* importAction() const { return importAction_; }
    QAction* exportAction() const { return exportAction_; }
    QAction* exportCxfAction() const { return exportCxfAction_; }
    QAction* sendLogbookAction() const { return sendLogbookAction_; }
    QAction* locationAction() const { return locationAction_; }
    QAction* profilesAction() const { return profilesAction_; }
    QAction* exitAction() const { return exitAction_; }
    QAction* extendedRepeatabilityAction() const { return extendedRepeatabilityAction_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildMenu();
    void buildLogbookMenu();
    void buildFleetMenu();
    void updateButtons();
    void updateStatus();
    void onRepeatability();
    void onExtendedRepeatability();
    void onInterInstrument();
    void onCoeffFile();
    void onSettings();
    void onConnect();
    void onThresholds();
    void onAbout();
    void onGuide();
    void onHistory();
    void onImport();
    void onExportSpectra();
    void onExportCxf();
    // The export's outcome: the file written or why nothing was.
    void tellExported(const std::string& out, const std::string& problem);
    void onSendLogbook();
    void onLocation();
    void onProfiles();
    void onFleet();
    void onCheckTile();
    void onTileCertificates();
    void onCheckIntervals();
    // The connected instrument's checks as the fleet overview has them ("repeatability due
    // tomorrow"), read off the window's thread; nothing without a logbook or an instrument.
    void askChecksStatus();
    void showChecksStatus(int asked, const QString& text, bool holdsBack);

    std::unique_ptr<Ui::CBrenmoorDlg> ui_;
    QLabel* calibrationLabel_ = nullptr;
    GuiContext& context_;
    TaskDialogs tasks_;
    MainWindowState buttons_;
    QMenuBar* menuBar_ = nullptr;
    QAction* settingsAction_ = nullptr;
    QAction* connectAction_ = nullptr;
    QAction* thresholdsAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* guideAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* historyAction_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* exportCxfAction_ = nullptr;
    QAction* sendLogbookAction_ = nullptr;
    QAction* locationAction_ = nullptr;
    QAction* profilesAction_ = nullptr;
    QAction* fleetAction_ = nullptr;
    QAction* intervalsAction_ = nullptr;
    QAction* extendedRepeatabilityAction_ = nullptr;
    QLabel* checksLabel_ = nullptr;
    int checksAsked_ = 0;  // an answer to an earlier question is dropped
    // Last: it finishes the read under way before anything it reports to goes.
    std::unique_ptr<LogbookReader> checksReader_;
};

}  // namespace qv
