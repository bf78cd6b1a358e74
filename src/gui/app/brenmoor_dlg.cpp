#include "gui/app/brenmoor_dlg.h"

#include <QLabel>

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMenuBar>

#include "core/app/message_box.h"
#include "core/app/profile_store.h"
#include "core/app/shared_state.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/link/connection_workflow.h"
#include "core/log/cgats_export.h"
#include "core/log/fleet_status.h"
#include "core/log/performance_settings.h"
#include "gui/app/splash_wnd.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "gui/kit/port_watch.h"
#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui/log/check_intervals_dlg.h"
#include "gui/log/fleet_dlg.h"
#include "gui/log/history_dlg.h"
#include "gui/log/logbook_location_dlg.h"
#include "gui/log/profiles_dlg.h"
#include "gui/tiles/check_tile_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "platform/app/data_folder.h"
#include "platform/app/resource_file.h"
#include "platform/log/cxf_file.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/import_folder.h"
#include "platform/log/logbook_reader.h"
#include "platform/log/logbook_server_tasks.h"
#include "ui_brenmoor_dlg.h"

namespace qv {

namespace {
constexpr int kAboutStringId = 101;
const char* const kNotAvailable = "Not available in this version.";
}  // namespace

CBrenmoorDlg::CBrenmoorDlg(GuiContext& context, TaskDialogs tasks, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CBrenmoorDlg>()),
      context_(context),
      tasks_(std::move(tasks)),
      buttons_(bool(tasks_.repeatability), bool(tasks_.interInstrument), bool(tasks_.coeffFile)) {
    ui_->setupUi(this);
    setWindowIcon(QIcon(QString::fromLatin1(kApplicationIconResource)));
    buildMenu();
    connect(ui_->repeatabilityButton, &QPushButton::clicked, this, &CBrenmoorDlg::onRepeatability);
    connect(ui_->interInstrumentButton, &QPushButton::clicked, this,
            &CBrenmoorDlg::onInterInstrument);
    connect(ui_->coeffFileButton, &QPushButton::clicked, this, &CBrenmoorDlg::onCoeffFile);
    connect(ui_->connectButton, &QPushButton::clicked, this, &CBrenmoorDlg::onConnect);
    connect(ui_->exitButton, &QPushButton::clicked, this, &QDialog::accept);
    for (QPushButton* b :
         {ui_->repeatabilityButton, ui_->interInstrumentButton, ui_->coeffFileButton})
        b->setAutoDefault(false);
    // The by-id name of an adapter is long: the port line breaks rather than cut it.
    ui_->portStatusLabel->setWordWrap(true);
    ui_->portStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    calibrationLabel_ = new QLabel(this);
    calibrationLabel_->setObjectName(QStringLiteral("calibrationStatusLabel"));
    ui_->linkLayout->addRow(tr("Calibration:"), calibrationLabel_);
    checksLabel_ = new QLabel(this);
    checksLabel_->setObjectName(QStringLiteral("checksStatusLabel"));
    checksLabel_->setWordWrap(true);
    ui_->linkLayout->addRow(tr("Checks:"), checksLabel_);
    if (tasks_.logbook)
        checksReader_ = std::make_unique<LogbookReader>(sameLogbook(*tasks_.logbook));
    updateButtons();
    // A hang-up while nobody talks shows at once, not at the next click.
    auto* watch = new PortWatch(context_, this);
    connect(watch, &PortWatch::portChanged, this, [this] {
        updateButtons();
        updateStatus();
    });
    updateStatus();
    fitHeightToContents(this);
}

CBrenmoorDlg::~CBrenmoorDlg() = default;

void CBrenmoorDlg::buildMenu() {
    // Menu 170 with its accelerators.
    menuBar_ = new QMenuBar(this);
    layout()->setMenuBar(menuBar_);
    QMenu* settings = menuBar_->addMenu(tr("&Settings"));
    settingsAction_ = settings->addAction(tr("&Port settings..."), this, &CBrenmoorDlg::onSettings);
    settingsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connectAction_ =
        settings->addAction(tr("&Connect instrument..."), this, &CBrenmoorDlg::onConnect);
    connectAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    thresholdsAction_ =
        settings->addAction(tr("&Thresholds..."), this, &CBrenmoorDlg::onThresholds);
    thresholdsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    intervalsAction_ =
        settings->addAction(tr("Check &intervals..."), this, &CBrenmoorDlg::onCheckIntervals);
    intervalsAction_->setEnabled(tasks_.logbook != nullptr);
    settings->addSeparator();
    exitAction_ = settings->addAction(tr("E&xit"), this, &QDialog::accept);
    exitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The repeatability checks: of three readings (as its button) and of many.
    QMenu* checks = menuBar_->addMenu(tr("&Checks"));
    checks->addAction(tr("&Repeatability check..."), this, &CBrenmoorDlg::onRepeatability)
        ->setEnabled(bool(tasks_.repeatability));
    extendedRepeatabilityAction_ = checks->addAction(tr("Repeatability over &many readings..."),
                                                     this, &CBrenmoorDlg::onExtendedRepeatability);
    extendedRepeatabilityAction_->setEnabled(bool(tasks_.extendedRepeatability));
    // The daily check tile against its certificate: only with a logbook that keeps them.
    checks->addAction(tr("Check &tile..."), this, &CBrenmoorDlg::onCheckTile)
        ->setEnabled(tasks_.logbook != nullptr);
    buildLogbookMenu();
    buildFleetMenu();
    QMenu* help = menuBar_->addMenu(tr("&Help"));
    // F1 is the program's own (the guide's page of the window in front, wherever it is
    // pressed), so the menu only names it.
    guideAction_ = help->addAction(tr("&Operator's guide") + QStringLiteral("\tF1"), this,
                                   &CBrenmoorDlg::onGuide);
    guideAction_->setEnabled(bool(tasks_.guide));
    QString about = QString::fromStdString(context_.strings.text(kAboutStringId));
    if (about.isEmpty()) about = tr("&About QV-L70s...");
    aboutAction_ = help->addAction(about, this, &CBrenmoorDlg::onAbout);
    for (QAction* a : {settingsAction_, connectAction_, thresholdsAction_, exitAction_})
        a->setShortcutContext(Qt::WindowShortcut);
}

void CBrenmoorDlg::buildLogbookMenu() {
    QMenu* logbook = menuBar_->addMenu(tr("&Logbook"));
    historyAction_ = logbook->addAction(tr("&History..."), this, &CBrenmoorDlg::onHistory);
    historyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    fleetAction_ = logbook->addAction(tr("&Fleet..."), this, &CBrenmoorDlg::onFleet);
    importAction_ =
        logbook->addAction(tr("&Import result files..."), this, &CBrenmoorDlg::onImport);
    sendLogbookAction_ = logbook->addAction(tr("&Send a logbook file to the server..."), this,
                                            &CBrenmoorDlg::onSendLogbook);
    // Only a server logbook has somewhere to send another workstation's file to.
    sendLogbookAction_->setEnabled(dynamic_cast<FleetLogbook*>(tasks_.logbook) != nullptr);
    if (!sendLogbookAction_->isEnabled())
        sendLogbookAction_->setToolTip(tr("The logbook in force is not on a server."));
    exportAction_ =
        logbook->addAction(tr("&Export spectra..."), this, &CBrenmoorDlg::onExportSpectra);
    exportCxfAction_ =
        logbook->addAction(tr("Export spectra as &CxF3..."), this, &CBrenmoorDlg::onExportCxf);
    logbook->addAction(tr("&Tile certificates..."), this, &CBrenmoorDlg::onTileCertificates)
        ->setEnabled(tasks_.logbook != nullptr);
    for (QAction* a : {historyAction_, fleetAction_, importAction_}) {
        a->setEnabled(tasks_.logbook != nullptr);
        if (!tasks_.logbook) a->setToolTip(tr("The logbook cannot be opened."));
    }
    historyAction_->setShortcutContext(Qt::WindowShortcut);
    logbook->addSeparator();
    locationAction_ =
        logbook->addAction(tr("Logbook &location..."), this, &CBrenmoorDlg::onLocation);
}

// What the lab's instruments share: the profiles that standardise each to the master.
void CBrenmoorDlg::buildFleetMenu() {
    QMenu* fleet = menuBar_->addMenu(tr("&Fleet"));
    profilesAction_ = fleet->addAction(tr("&Profiles..."), this, &CBrenmoorDlg::onProfiles);
    profilesAction_->setEnabled(tasks_.logbook != nullptr);
    if (!tasks_.logbook) profilesAction_->setToolTip(tr("The logbook cannot be opened."));
}

void CBrenmoorDlg::OnInitDialog() {
    ensureFolder(context_.state.dataFolder());
    if (connectWithSavedSettings(context_.state, context_.profile, context_.prompter) ==
        StartupPort::NotSaved) {
        CCommSettingDlg settings(context_, nullptr);
        settings.exec();
    }
    updateStatus();
}

int CBrenmoorDlg::runModal() {
    OnInitDialog();
    return exec();
}

void CBrenmoorDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Back at the window (a dialog of any menu closed, or the operator returns after plugging
    // the adapter in again): the state shown is looked at anew. Never while a dialog above it
    // may be talking to the instrument.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        QApplication::activeModalWidget() == this)
        updateStatus();
}

void CBrenmoorDlg::updateButtons() {
    const struct {
        QPushButton* button;
        MainTask task;
        bool built;
    } rows[] = {
        {ui_->repeatabilityButton, MainTask::Repeatability, bool(tasks_.repeatability)},
        {ui_->interInstrumentButton, MainTask::InterInstrument, bool(tasks_.interInstrument)},
        {ui_->coeffFileButton, MainTask::CoeffFile, bool(tasks_.coeffFile)}};
    for (const auto& row : rows) {
        row.button->setEnabled(buttons_.enabled(row.task));
        row.button->setToolTip(row.built ? QString() : tr(kNotAvailable));
    }
}

void CBrenmoorDlg::updateStatus() {
    SharedState& s = context_.state;
    // The port actually held, which need not be the one saved (a choice whose line settings
    // were refused leaves its port open unsaved); its line is looked at first, so a pulled
    // adapter shows as such, and no instrument counts as connected on a closed port.
    const PortStatus port = checkPort(s);
    const QString name = QString::fromStdString(port.port);
    switch (port.state) {
        case PortState::Open:
            ui_->portStatusLabel->setText(name + tr("\n(open)"));
            break;
        case PortState::ClosedAfterHangUp:
            // Connect opens the saved port again; without saved settings it cannot.
            ui_->portStatusLabel->setText(
                name + (savedPortSettings(context_.profile)
                            ? tr("\nclosed after a hang-up - Connect opens it again")
                            : tr("\nclosed after a hang-up - choose it under Settings > Port "
                                 "settings")));
            break;
        case PortState::NotOpen:
            ui_->portStatusLabel->setText(
                tr("not open - choose it under Settings > Port settings"));
            break;
    }
    ui_->instrumentStatusLabel->setText(s.bConnected ? QString::fromStdString(s.instrumentId()) +
                                                           tr("  (connected)")
                                                     : tr("not connected"));
    calibrationLabel_->setText(
        s.lastCalibration.empty()
            ? tr("not calibrated in this session")
            : tr("calibrated: %1").arg(QString::fromStdString(s.lastCalibration)));
    askChecksStatus();
}

void CBrenmoorDlg::askChecksStatus() {
    const int asked = ++checksAsked_;
    const SharedState& s = context_.state;
    if (!checksReader_ || !s.bConnected || s.instrumentId().empty()) {
        checksLabel_->setText(checksReader_ ? tr("no instrument connected") : tr("no logbook"));
        checksLabel_->setStyleSheet({});
        return;
    }
    const std::string serial = s.instrumentId();
    const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
    const int longTerm = performanceSettingsFromProfile(context_.profile).longTermDays;
    checksReader_->post([this, asked, serial, now, longTerm](LogbookStore* store) {
        const auto intervals = store ? store->checkIntervals() : std::nullopt;
        QString text = tr("the logbook cannot be read");
        bool holdsBack = false;
        if (intervals) {
            const InstrumentStatus i =
                instrumentStatus(serial, store->records(serial), *intervals, now, longTerm);
            QStringList due;
            for (const KindStatus& k : i.checks)
                if (intervalOf(*intervals, k.kind).days)
                    due << QString::fromUtf8(checkKindName(k.kind).data(),
                                             qsizetype(checkKindName(k.kind).size())) +
                               QLatin1Char(' ') + dueWords(k, daysFromCivil(now));
            text = due.isEmpty() ? tr("no check interval set for the lab") : due.join(", ");
            holdsBack = i.status == FleetStatus::Overdue || i.status == FleetStatus::Failed;
        }
        QMetaObject::invokeMethod(
            this, [this, asked, text, holdsBack] { showChecksStatus(asked, text, holdsBack); },
            Qt::QueuedConnection);
    });
}

void CBrenmoorDlg::showChecksStatus(int asked, const QString& text, bool holdsBack) {
    if (asked != checksAsked_) return;
    checksLabel_->setText(text);
    checksLabel_->setStyleSheet(
        holdsBack ? QStringLiteral("color: %1;").arg(palette::failed().name()) : QString());
}

void CBrenmoorDlg::onRepeatability() {
    if (!buttons_.enabled(MainTask::Repeatability)) return;
    tasks_.repeatability(this);
    buttons_.repeatabilityClosed(context_.state.repeatPassed);
    updateButtons();
    updateStatus();
}

void CBrenmoorDlg::onExtendedRepeatability() {
    if (!tasks_.extendedRepeatability) return;
    tasks_.extendedRepeatability(this);
    updateStatus();
}

void CBrenmoorDlg::onInterInstrument() {
    if (!buttons_.enabled(MainTask::InterInstrument)) return;
    tasks_.interInstrument(this);
    buttons_.interInstrumentClosed();
    updateButtons();
    updateStatus();
}

void CBrenmoorDlg::onCoeffFile() {
    if (!buttons_.enabled(MainTask::CoeffFile)) return;
    tasks_.coeffFile(this);
    updateStatus();
}

void CBrenmoorDlg::onSettings() {
    CCommSettingDlg dialog(context_, this);
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onConnect() {
    CConnInstDlg dialog(context_, this);
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onThresholds() {
    CThresholdDiffDlg dialog(context_, this);
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onAbout() {
    context_.state.bAboutMode = true;
    CSplashWnd::ShowSplashWnd(this, context_);
}

void CBrenmoorDlg::onGuide() {
    if (tasks_.guide) tasks_.guide(this);
}

void CBrenmoorDlg::onHistory() {
    if (!tasks_.logbook) return;
    CHistoryDlg dialog(context_, *tasks_.logbook, this);
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onFleet() {
    if (!tasks_.logbook) return;
    CFleetDlg dialog(context_, *tasks_.logbook, this, [this](const std::string& serial) {
        CHistoryDlg history(context_, *tasks_.logbook, QApplication::activeModalWidget(), serial);
        history.exec();
    });
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onCheckTile() {
    if (!tasks_.logbook) return;
    CCheckTileDlg dialog(context_, tasks_.logbook, this);
    dialog.exec();
    updateStatus();
}

void CBrenmoorDlg::onTileCertificates() {
    if (!tasks_.logbook) return;
    CTileCertificatesDlg dialog(context_, tasks_.logbook, this);
    dialog.exec();
}

void CBrenmoorDlg::onCheckIntervals() {
    if (!tasks_.logbook) return;
    CCheckIntervalsDlg dialog(context_, *tasks_.logbook, this);
    dialog.exec();
}

void CBrenmoorDlg::onProfiles() {
    if (!tasks_.logbook) return;
    CProfilesDlg dialog(context_, *tasks_.logbook, this);
    dialog.exec();
}

void CBrenmoorDlg::onImport() {
    if (!tasks_.logbook) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto files = importFolder(context_.state.dataFolder(), *tasks_.logbook, context_.format,
                                    context_.strings);
    QApplication::restoreOverrideCursor();
    Message m = messageBox(kStrFilesImported, Icon::Information);
    m.suffix = "\n" + importSummary(files);
    context_.prompter.ask(m);
    updateStatus();
}

void CBrenmoorDlg::onExportSpectra() {
    const auto file = context_.prompter.askOpenFile(context_.state.dataFolder(),
                                                    "Result files (*.csv);;All files (*)");
    if (!file) return;
    const std::string out = cgatsPathBeside(*file);
    tellExported(out,
                 exportSpectraFile(context_.files, *file, out, context_.format, context_.strings));
}

void CBrenmoorDlg::onExportCxf() {
    const auto file = context_.prompter.askOpenFile(context_.state.dataFolder(),
                                                    "Result files (*.csv);;All files (*)");
    if (!file) return;
    // In the order of CxfLayout.
    const std::vector<std::string> layouts{
        "one object per reading, with its three angles",
        "one object per angle, for readers that take one spectrum per object"};
    const auto chosen = context_.prompter.askChoice(
        messageBox(kStrCxfLayout, Icon::Question, Buttons::OkCancel), layouts);
    if (!chosen || *chosen >= layouts.size()) return;
    const CxfLayout layout = *chosen == 0 ? CxfLayout::Grouped : CxfLayout::PerAngle;
    const std::string out = cxfPathBeside(*file);
    tellExported(
        out, exportCxfFile(context_.files, *file, out, layout, context_.format, context_.strings));
}

void CBrenmoorDlg::tellExported(const std::string& out, const std::string& problem) {
    Message m = problem.empty() ? messageBox(kStrSpectraExported, Icon::Information)
                                : messageBox(kStrSpectraNotExported, Icon::Exclamation);
    m.suffix = "\n" + (problem.empty() ? out : problem);
    context_.prompter.ask(m);
    updateStatus();
}

void CBrenmoorDlg::onSendLogbook() {
    auto* fleet = dynamic_cast<FleetLogbook*>(tasks_.logbook);
    if (!fleet) return;
    const auto file = context_.prompter.askOpenFile(context_.state.dataFolder(),
                                                    "Logbook files (*.sqlite);;All files (*)");
    if (!file) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SentFile sent = sendLogbookFile(*fleet, *file);
    QApplication::restoreOverrideCursor();
    const bool done = sent.outcome == SentFile::Outcome::Sent;
    Message m = done ? messageBox(kStrLogbookFileSent, Icon::Information)
                     : messageBox(kStrLogbookFileNotSent, Icon::Exclamation);
    m.suffix = "\n" + *file + "\n" + (done ? sentSummary(sent.counts) : sent.why);
    context_.prompter.ask(m);
    updateStatus();
}

void CBrenmoorDlg::onLocation() {
    CLogbookLocationDlg dialog(context_, this);
    dialog.exec();
    updateStatus();
}

}  // namespace qv
