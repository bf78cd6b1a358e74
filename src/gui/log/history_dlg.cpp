#include "gui/log/history_dlg.h"
#include "gui/kit/palette.h"

#include <QAbstractTableModel>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QMetaObject>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "core/app/thresholds.h"
#include "core/log/performance_settings.h"
#include "core/log/workstations.h"
#include "core/tiles/diagnosis_record.h"
#include "core/tiles/diagnosis_view.h"
#include "gui/kit/gui_context.h"
#include "platform/log/fleet_logbook.h"
#include "platform/log/logbook_location.h"
#include "platform/log/logbook_reader.h"
#include "report/log/certificate.h"
#include "report/log/performance_sheet.h"
#include "ui_history_dlg.h"

namespace qv {

namespace {

enum Column {
    kTime,
    kKind,
    kVerdict,
    kDeltaE25,
    kDeltaE75 = kDeltaE25 + 2,
    kThreshold,
    kEntry,
    kWorkstation,
    kDecision
};
constexpr int kColumnCount = kDecision + 1;
// The trend chooser's data: a TrendKind, or this plus a Term for the term's trend.
constexpr int kTermTrend = 100;
constexpr int kLongTermTrend = 50;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString verdictText(const CheckRecord& r) {
    if (!r.passed) return {};
    return *r.passed ? QStringLiteral("passed") : QStringLiteral("failed");
}

QString decisionText(const CheckRecord& r) {
    const auto gravest = r.diagnosis ? gravestDecision(*r.diagnosis) : std::nullopt;
    return gravest ? q(recommendationText(*gravest)) : QString();
}

// Per angle the decision, its reason and the terms the set identified.
void diagnosisLines(QStringList& lines, const DiagnosisRecord& d, const NumberFormat& f) {
    for (int a = 0; a < kAngleCount; ++a) {
        const auto decision = recommendationFromKey(d[a].decision);
        lines << QStringLiteral("Diagnosis %1°: %2 (%3)")
                     .arg(kAngleDegrees[a])
                     .arg(decision ? q(recommendationText(*decision)) : q(d[a].decision),
                          q(d[a].reason));
        QStringList terms;
        for (const TermRecord& t : d[a].terms)
            if (const auto term = termFromKey(t.key); term && t.identified)
                terms << q(termName(*term) + " " + termText(estimateOf(t), *term, f));
        lines << QStringLiteral("  ") + (terms.isEmpty() ? QStringLiteral("no term identified")
                                                         : terms.join(QStringLiteral(", ")));
    }
}

// A record kept in this workstation's own logbook goes by a negative id (see FleetLogbook).
bool keptHere(const CheckRecord& r) {
    return r.id < 0;
}

QString workstationText(const CheckRecord& r) {
    const QString name = r.workstation.empty() ? QStringLiteral("not known") : q(r.workstation);
    return keptHere(r) ? name + QStringLiteral(" (on this workstation)") : name;
}

QString entryText(const CheckRecord& r) {
    if (r.kind != RecordKind::EntryWrite && r.kind != RecordKind::EntryDeletion) return {};
    return r.comment.empty() ? QString::number(r.entry)
                             : QStringLiteral("%1: %2").arg(r.entry).arg(q(r.comment));
}

// A verification shows the difference before the correction and after it.
QString angleLine(int angle, const AngleRecord& g, const NumberFormat& f) {
    const QString dE =
        std::isnan(g.beforeDeltaE)
            ? q(f.display(g.deltaE))
            : QStringLiteral("%1 → %2").arg(q(f.display(g.beforeDeltaE)), q(f.display(g.deltaE)));
    return QStringLiteral("%1°: L* %2  a* %3  b* %4  dE %5")
        .arg(kAngleDegrees[angle])
        .arg(q(f.display(g.lab[0])), q(f.display(g.lab[1])), q(f.display(g.lab[2])), dE);
}

// Everything the record holds, one value a line.
QString recordDetails(const CheckRecord& r, const NumberFormat& f) {
    QStringList lines{QStringLiteral("%1, record %2").arg(text(kindRow(r.kind).title)).arg(r.id),
                      QStringLiteral("Time: ") + q(logbookTime(r.time)),
                      QStringLiteral("Instrument: %1, type %2")
                          .arg(q(r.serial), r.instrumentType.empty() ? QStringLiteral("not known")
                                                                     : q(r.instrumentType))};
    if (!r.referenceSerial.empty())
        lines << QStringLiteral("Reference instrument: ") + q(r.referenceSerial);
    lines << QStringLiteral("Operator: ") +
                 (r.operatorName.empty() ? QStringLiteral("not known") : q(r.operatorName));
    if (!std::isnan(r.threshold))
        lines << QStringLiteral("Threshold: %1 %2").arg(q(f.display(r.threshold)), q(r.formula));
    if (r.passed) lines << QStringLiteral("Verdict: ") + verdictText(r);
    lines << QStringLiteral("Workstation: ") + workstationText(r);
    if (!r.overdue.empty()) lines << QStringLiteral("Made while overdue: ") + q(r.overdue);
    if (!r.overrideReason.empty())
        lines << QStringLiteral("Went ahead on a supervisor's reason: ") + q(r.overrideReason);
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleRecord& g = r.angles[a];
        if (!std::isnan(g.deltaE) || !std::isnan(g.lab[0])) lines << angleLine(a, g, f);
    }
    if (const QString entry = entryText(r); !entry.isEmpty())
        lines << QStringLiteral("Entry: ") + entry;
    if (r.diagnosis) diagnosisLines(lines, *r.diagnosis, f);
    lines << (r.files.empty() ? QStringLiteral("Files: none") : QStringLiteral("Files:"));
    for (const std::string& file : r.files) lines << QStringLiteral("  ") + q(file);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

// The records of one instrument as table rows; cells are made only when the view shows them,
// so a long history opens as fast as a short one.
class RecordTableModel : public QAbstractTableModel {
public:
    RecordTableModel(const NumberFormat& format, QObject* parent)
        : QAbstractTableModel(parent), format_(format) {}

    void setRecords(std::vector<CheckRecord> records) {
        beginResetModel();
        records_ = std::move(records);
        endResetModel();
    }
    const std::vector<CheckRecord>& records() const { return records_; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(records_.size());
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kColumnCount;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeads[kColumnCount] = {
            "Time",   "Kind",      "Verdict",         "dE 25°",      "dE 45°",
            "dE 75°", "Threshold", "Entry / comment", "Workstation", "Decision"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= kColumnCount)
            return {};
        return QString::fromUtf8(kHeads[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount({})) return {};
        const CheckRecord& r = records_[static_cast<std::size_t>(index.row())];
        const int c = index.column();
        if (role == Qt::ForegroundRole && c == kVerdict && r.passed == false)
            return palette::failed();
        if (role == Qt::TextAlignmentRole && c >= kDeltaE25 && c <= kThreshold)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole && c == kWorkstation && keptHere(r))
            return QStringLiteral(
                "Kept in this workstation's own logbook: recorded while the logbook server could "
                "not be reached, and sent to it when it can be. While the server is away, the "
                "history shows this workstation's own records.");
        if (role != Qt::DisplayRole) return {};
        return cell(r, c);
    }

private:
    QString cell(const CheckRecord& r, int c) const {
        switch (c) {
            case kTime:
                return q(logbookTime(r.time));
            case kKind:
                return text(kindRow(r.kind).shortName);
            case kVerdict:
                return verdictText(r);
            case kThreshold:
                return std::isnan(r.threshold) ? QString() : q(format_.display(r.threshold));
            case kEntry:
                return entryText(r);
            case kWorkstation:
                return workstationText(r);
            case kDecision:
                return decisionText(r);
            default:
                break;
        }
        const double dE = r.angles[static_cast<std::size_t>(c - kDeltaE25)].deltaE;
        return std::isnan(dE) ? QString() : q(format_.display(dE));
    }

    NumberFormat format_;
    std::vector<CheckRecord> records_;
};

namespace {
// Whether what `store` gave came from this workstation alone, its server away.
bool awayFrom(const LogbookStore* store) {
    const auto* fleet = dynamic_cast<const FleetLogbook*>(store);
    return fleet && fleet->readLocally();
}
}  // namespace

CHistoryDlg::CHistoryDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent,
                         std::string serial)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CHistoryDlg>()),
      context_(context),
      logbook_(logbook),
      openOn_(std::move(serial)) {
    ui_->setupUi(this);
    model_ = new RecordTableModel(context_.format, this);
    ui_->recordTable->setModel(model_);
    ui_->recordTable->verticalHeader()->hide();
    ui_->recordTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui_->recordTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Every column keeps the width its contents and its heading need (a narrow window scrolls
    // rather than cutting "Decision" to "Deci").
    ui_->recordTable->horizontalHeader()->setStretchLastSection(false);
    // Column widths from the rows in sight, not from every row of a long history.
    ui_->recordTable->horizontalHeader()->setResizeContentsPrecision(20);
    ui_->trendKindCombo->addItem(tr("Inter-instrument checks and verifications"),
                                 int(TrendKind::InterInstrument));
    ui_->trendKindCombo->addItem(tr("Repeatability series"), int(TrendKind::Repeatability));
    ui_->trendKindCombo->addItem(tr("Tile sets"), int(TrendKind::TileSet));
    ui_->trendKindCombo->addItem(tr("Check tiles"), int(TrendKind::CheckTile));
    ui_->trendKindCombo->addItem(tr("Long-term repeatability"), kLongTermTrend);
    for (std::size_t k = 0; k < kTermCount; ++k)
        ui_->trendKindCombo->addItem(tr("Diagnosis: %1").arg(q(termName(static_cast<Term>(k)))),
                                     kTermTrend + int(k));
    ui_->mainSplitter->setSizes({340, 860});
    ui_->recordSplitter->setSizes({330, 330});
    ui_->lowerSplitter->setSizes({400, 420});
    connect(ui_->instrumentList, &QTreeWidget::currentItemChanged, this,
            &CHistoryDlg::onInstrument);
    connect(ui_->recordTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CHistoryDlg::onRecord);
    connect(ui_->trendKindCombo, &QComboBox::activated, this, &CHistoryDlg::drawTrend);
    connect(ui_->workstationCombo, &QComboBox::activated, this, &CHistoryDlg::showRecords);
    connect(ui_->openFolderButton, &QPushButton::clicked, this, &CHistoryDlg::onOpenFolder);
    connect(ui_->certificateButton, &QPushButton::clicked, this, &CHistoryDlg::onSaveCertificate);
    connect(ui_->performanceButton, &QPushButton::clicked, this, &CHistoryDlg::onSavePerformance);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui_->olderButton, &QPushButton::clicked, this, &CHistoryDlg::readPage);
    onRecord({});
    title_ = windowTitle();
    ui_->olderButton->hide();
    reader_ = std::make_unique<LogbookReader>(sameLogbook(logbook_));
    showReading(true);
    reader_->post([this](LogbookStore* store) {
        std::vector<LogbookStore::Instrument> list;
        if (store) list = store->instruments();
        QMetaObject::invokeMethod(
            this, [this, list, away = awayFrom(store)] { fillInstruments(list, away); },
            Qt::QueuedConnection);
    });
}

// With the server away the window shows this workstation's records only, and says so where
// every glance goes.
void CHistoryDlg::showSource(bool away) {
    setWindowTitle(away ? title_ + tr(" (this workstation's records only: the logbook server "
                                      "cannot be reached)")
                        : title_);
}

void CHistoryDlg::showReading(bool reading) {
    reading_ = reading;
    ui_->readingLabel->setText(reading ? tr("Reading the logbook...") : QString());
    ui_->olderButton->setEnabled(!reading);
}

CHistoryDlg::~CHistoryDlg() = default;

void CHistoryDlg::fillInstruments(const std::vector<LogbookStore::Instrument>& instruments,
                                  bool away) {
    showReading(false);
    QTreeWidgetItem* latest = nullptr;
    for (const LogbookStore::Instrument& i : instruments) {
        auto* item = new QTreeWidgetItem(
            ui_->instrumentList,
            {q(i.serial), q(i.type), QString::number(i.records), q(i.lastTime)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        // The logbook's times sort as text; the instrument asked for wins.
        if (openOn_.empty() ? !latest || item->text(3) > latest->text(3) : i.serial == openOn_)
            latest = item;
    }
    for (int c = 0; c < ui_->instrumentList->columnCount(); ++c)
        ui_->instrumentList->resizeColumnToContents(c);
    showSource(away);
    if (latest)
        ui_->instrumentList->setCurrentItem(latest);
    else
        onInstrument(nullptr);
}

void CHistoryDlg::onInstrument(QTreeWidgetItem* item) {
    ++generation_;
    all_.clear();
    serial_ = item ? item->text(0).toStdString() : std::string();
    pages_ = std::make_shared<std::unique_ptr<HistoryPages>>();
    ui_->olderButton->hide();
    if (item) readPage();
    // The workstation chosen stays chosen while the next instrument's records are read.
    showRecords();
}

void CHistoryDlg::readPage() {
    // A part large enough for a year of checks, small enough to read and chart at once.
    constexpr int kPage = 2000;
    showReading(true);
    reader_->post(
        [this, generation = generation_, pages = pages_, serial = serial_](LogbookStore* store) {
            std::vector<CheckRecord> page;
            bool more = false;
            if (store) {
                if (!*pages) *pages = store->history(serial, {});
                page = (*pages)->next(kPage);
                more = page.size() == static_cast<std::size_t>(kPage) && !(*pages)->failed();
            }
            QMetaObject::invokeMethod(
                this,
                [this, generation, page = std::move(page), more, away = awayFrom(store)]() mutable {
                    pageRead(generation, std::move(page), more, away);
                },
                Qt::QueuedConnection);
        });
}

void CHistoryDlg::pageRead(int generation, std::vector<CheckRecord> page, bool more, bool away) {
    if (generation != generation_) return;
    const bool first = all_.empty();
    all_.insert(all_.end(), std::make_move_iterator(page.begin()),
                std::make_move_iterator(page.end()));
    showReading(false);
    ui_->olderButton->setVisible(more);
    showSource(away);
    fillWorkstations();
    // The trend of the newest check that has one.
    for (const CheckRecord& r : first ? all_ : std::vector<CheckRecord>{}) {
        if (const auto kind = kindRow(r.kind).trend) {
            ui_->trendKindCombo->setCurrentIndex(ui_->trendKindCombo->findData(int(*kind)));
            break;
        }
    }
    showRecords();
}

// The workstations of the instrument's records; the one chosen stays chosen while the next
// instrument has records of it too.
void CHistoryDlg::fillWorkstations() {
    QComboBox* combo = ui_->workstationCombo;
    const int was = combo->currentIndex();
    const QVariant chosen = was > 0 ? combo->itemData(was) : QVariant();
    combo->clear();
    combo->addItem(tr("All workstations"));
    for (const std::string& name : workstationsOf(all_))
        combo->addItem(name.empty() ? tr("not known") : q(name), q(name));
    const int again = chosen.isValid() ? combo->findData(chosen) : -1;
    combo->setCurrentIndex(std::max(again, 0));
}

void CHistoryDlg::showRecords() {
    const int chosen = ui_->workstationCombo->currentIndex();
    model_->setRecords(
        chosen > 0
            ? recordsOf(all_, ui_->workstationCombo->itemData(chosen).toString().toStdString())
            : all_);
    ui_->recordTable->resizeColumnsToContents();
    // Nothing on record: say how earlier checks get in rather than draw an empty trend.
    const bool none = model_->records().empty();
    ui_->emptyLabel->setText(
        reading_ ? tr("Reading the logbook...")
        : none ? tr("No check is recorded yet. Checks are recorded as they are made; result files "
                    "of earlier checks are taken in with Logbook > Import result files... (from "
                    "the data folder) or on the command line with qvl70s-cli import.")
               : QString());
    ui_->emptyLabel->setVisible(none);
    ui_->trendChart->setVisible(!none);
    ui_->performanceButton->setEnabled(!all_.empty());
    drawTrend();
    onRecord({});
}

void CHistoryDlg::drawTrend() {
    const int chosen = ui_->trendKindCombo->currentData().toInt();
    if (chosen == kLongTermTrend)
        drawLongTermTrend();
    else if (chosen >= kTermTrend)
        ui_->trendChart->setTermRecords(model_->records(), static_cast<Term>(chosen - kTermTrend));
    else
        ui_->trendChart->setRecords(model_->records(), static_cast<TrendKind>(chosen));
}

const CheckRecord* CHistoryDlg::selected() const {
    const QModelIndex index = ui_->recordTable->currentIndex();
    if (!index.isValid()) return nullptr;
    return &model_->records()[static_cast<std::size_t>(index.row())];
}

void CHistoryDlg::onRecord(const QModelIndex& index) {
    const CheckRecord* r =
        index.isValid() ? &model_->records()[static_cast<std::size_t>(index.row())] : nullptr;
    ui_->detailsText->setPlainText(r ? recordDetails(*r, context_.format)
                                     : tr("Choose a record to see all its values."));
    ui_->openFolderButton->setEnabled(r && !r->files.empty());
    // A statement's record stands for a page already issued, a calibration's for no check, a
    // profile's for its file: they have no certificate of their own.
    ui_->certificateButton->setEnabled(r != nullptr && r->kind != RecordKind::Statement &&
                                       r->kind != RecordKind::Calibration &&
                                       r->kind != RecordKind::Profile);
}

void CHistoryDlg::onOpenFolder() {
    const CheckRecord* r = selected();
    if (!r || r->files.empty()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(q(r->files.front())).absolutePath()));
}

void CHistoryDlg::onSaveCertificate() {
    if (const CheckRecord* r = selected()) saveCertificateAs(*r, context_);
}

namespace {

// The first day of the long-term period as of `now`; empty for every record.
std::string periodStart(const LocalTime& now, int days) {
    if (days <= 0) return {};
    return QDate(now.year, now.month, now.day)
        .addDays(-days)
        .toString(QStringLiteral("yyyy-MM-dd"))
        .toStdString();
}

}  // namespace

void CHistoryDlg::drawLongTermTrend() {
    const PerformanceSettings settings = performanceSettingsFromProfile(context_.profile);
    const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
    const std::vector<CheckRecord> chosen = longTermRecords(
        model_->records(), settings.specimen, periodStart(now, settings.longTermDays));
    const DeltaEFormula formula = formulaFromProfile(context_.profile);
    const auto mcdm = longTermMcdm(chosen, formula);
    QStringList perAngle;
    for (int a = 0; a < kAngleCount; ++a)
        perAngle << QStringLiteral("%1° %2")
                        .arg(kAngleDegrees[a])
                        .arg(q(context_.format.fixed(mcdm[a], 3)));
    // A three-reading check is taken by its colour and may carry no name.
    const auto named = std::find_if(chosen.begin(), chosen.end(),
                                    [](const CheckRecord& r) { return !r.specimen.empty(); });
    const std::string specimen = named == chosen.end() ? std::string() : named->specimen;
    const QString title =
        chosen.empty()
            ? tr("Long-term repeatability: no repeatability check of the specimen on record")
            : tr("Long-term repeatability%1, %2 checks<br>MCDM %3 %4")
                  .arg(specimen.empty() ? QString() : QStringLiteral(" of ") + q(specimen))
                  .arg(chosen.size())
                  .arg(perAngle.join(QStringLiteral(", ")), q(displayLabel(formula)));
    ui_->trendChart->setLongTermRecords(chosen, formula, title);
}

void CHistoryDlg::onSavePerformance() {
    if (serial_.empty()) return;
    // Every record of the instrument, however many pages the table holds, and those of the
    // reference behind its agreement, read off this window's thread; the statement is made
    // from them here.
    showReading(true);
    reader_->post([this, serial = serial_](LogbookStore* store) {
        std::vector<CheckRecord> records, reference;
        std::vector<TileCertificate> certificates;
        if (store) records = store->records(serial);
        if (const std::string ref = statementReference(records); store && !ref.empty())
            reference = store->records(ref);
        if (const auto on = store ? store->tileCertificates({}) : std::nullopt)
            certificates = certificatesOf(*on);
        QMetaObject::invokeMethod(
            this,
            [this, records = std::move(records), reference = std::move(reference),
             certificates = std::move(certificates)] {
                showReading(false);
                if (records.empty()) return;
                PerformanceSettings settings = performanceSettingsFromProfile(context_.profile);
                settings.referenceNoise = referenceReadingNoise(records, reference);
                const LocalTime now = localTimeOf(context_.clock.calendarSeconds());
                const std::string caution = citeReferenceCertificate(settings, certificates, now);
                PerformanceStatement statement = performanceStatement(
                    records, settings, formulaFromProfile(context_.profile), now);
                if (!caution.empty()) statement.missing.push_back(caution);
                statement.madeBy = operatorName();
                statement.workstation = workstationName();
                savePerformanceSheetAs(statement, context_);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace qv
