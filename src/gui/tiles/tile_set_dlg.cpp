#include "gui/tiles/tile_set_dlg.h"
#include "gui/kit/palette.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/app/string_table.h"
#include "core/tiles/diagnosis_view.h"
#include "core/tiles/standardise.h"
#include "gui/checks/validation_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/profile_finder.h"
#include "gui/kit/spectra_chart.h"
#include "gui/tiles/diagnosis_panel.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "platform/log/logbook_store.h"

namespace qv {

namespace {

// A summary row in view or out of it.
template <class Row>
void showRow(const Row& row, bool shown) {
    row.caption->setVisible(shown);
    for (int a = 0; a < kAngleCount; ++a) {
        row.mean[a]->setVisible(shown);
        row.largest[a]->setVisible(shown);
    }
    row.verdict->setVisible(shown);
}

// Table columns: the tile, its two readings, the differences, and after a correction the
// sample read again with its differences.
constexpr int kTargetColumn = 1;
constexpr int kSampleColumn = 2;
constexpr int kDeltaEColumn = 3;
constexpr int kAgainColumn = kDeltaEColumn + kAngleCount;
constexpr int kAfterColumn = kAgainColumn + 1;
constexpr int kColumnCount = kAfterColumn + kAngleCount;
constexpr int kNameColumnPx = 120;
constexpr int kMarkColumnPx = 62;
constexpr int kValueColumnPx = 78;

const QString kMark = QStringLiteral("\u2713");

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString sentence(QString s) {
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    return s;
}

QLabel* summaryCell(QWidget* parent, const QString& name, Qt::Alignment alignment) {
    auto* label = new QLabel(QStringLiteral("---"), parent);
    label->setObjectName(name);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* button(QWidget* parent, const QString& label, const char* name) {
    auto* b = new QPushButton(label, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
}  // namespace

CTileSetDlg::CTileSetDlg(GuiContext& context, EvaluateHueControl& colour, QWidget* parent,
                         LogbookStore* logbook)
    : QDialog(parent),
      context_(context),
      workflow_(context, colour),
      profiles_(ProfileFinder::of(logbook, context.strings)),
      logbook_(logbook) {
    setObjectName(QStringLiteral("CTileSetDlg"));
    setWindowTitle(tr("Tile set"));
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("headingLabel"));
    heading_->setStyleSheet(QStringLiteral("font-size: 13pt; font-weight: bold;"));
    limits_ = new QLabel(this);
    limits_->setObjectName(QStringLiteral("limitsLabel"));
    limits_->setWordWrap(true);
    instruction_ = new QLabel(this);
    instruction_->setObjectName(QStringLiteral("instructionLabel"));
    instruction_->setWordWrap(true);
    instruction_->setStyleSheet(QStringLiteral("font-weight: bold;"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    buildTable();
    chart_ = new SpectraChart(this);
    auto* left = new QVBoxLayout;
    left->addWidget(table_, 1);
    left->addWidget(buildSummary());
    auto* tiles = new QWidget(this);
    auto* columns = new QHBoxLayout(tiles);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(10);
    left->setSpacing(10);
    columns->addLayout(left);
    columns->addWidget(chart_, 1);
    diagnosis_ = new DiagnosisPanel(this);
    connect(diagnosis_, &DiagnosisPanel::tileChosen, this, [this](int row) {
        workflow_.select(row);
        render();
    });
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tileSetTabs"));
    // The tab's pages keep the window's own background.
    tabs_->setDocumentMode(true);
    tabs_->addTab(tiles, tr("Tiles"));
    tabs_->addTab(diagnosis_, tr("Diagnosis"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->addWidget(heading_);
    layout->addWidget(limits_);
    layout->addWidget(instruction_);
    layout->addWidget(buildReference());
    layout->addWidget(tabs_, 1);
    layout->addLayout(buildButtons());
    layout->addWidget(status_);
    holdMinimumSize(this, 0);
    // As much as a 1366 × 768 laptop offers, less on a smaller screen.
    resizeWithinScreen(this, smallScreenClientArea());
    render();
}

CTileSetDlg::~CTileSetDlg() = default;

void CTileSetDlg::buildTable() {
    table_ = new QTableWidget(0, kColumnCount, this);
    table_->setObjectName(QStringLiteral("tileTable"));
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // On a small screen the columns after a correction scroll rather than squeeze.
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setMinimumSectionSize(kMarkColumnPx);
    header->resizeSection(0, kNameColumnPx);
    for (int c : {kTargetColumn, kSampleColumn, kAgainColumn})
        header->resizeSection(c, kMarkColumnPx);
    for (int a = 0; a < kAngleCount; ++a) {
        header->resizeSection(kDeltaEColumn + a, kValueColumnPx);
        header->resizeSection(kAfterColumn + a, kValueColumnPx);
    }
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CTileSetDlg::onSelection);
}

QWidget* CTileSetDlg::buildSummary() {
    auto* box =
        new QGroupBox(tr("Over the set: mean and largest colour difference per angle"), this);
    box->setObjectName(QStringLiteral("summaryBox"));
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    for (int a = 0; a < kAngleCount; ++a) {
        grid->addWidget(new QLabel(QStringLiteral("<b>%1°</b>").arg(kAngleDegrees[a]), box), 0,
                        1 + 2 * a, 1, 2, Qt::AlignCenter);
        grid->addWidget(new QLabel(tr("mean"), box), 1, 1 + 2 * a, Qt::AlignRight);
        grid->addWidget(new QLabel(tr("largest"), box), 1, 2 + 2 * a);
    }
    grid->addWidget(new QLabel(tr("Verdict"), box), 1, 1 + 2 * kAngleCount);
    const char* names[5] = {"now", "lightestOnly", "fitted", "after", "standardised"};
    for (int r = 0; r < 5; ++r) {
        SummaryRow& row = summary_[r];
        row.caption = new QLabel(box);
        grid->addWidget(row.caption, 2 + r, 0);
        for (int a = 0; a < kAngleCount; ++a) {
            const QString angle = QString::number(kAngleDegrees[a]);
            row.mean[a] = summaryCell(box, QLatin1String(names[r]) + QStringLiteral("Mean") + angle,
                                      Qt::AlignRight);
            row.largest[a] = summaryCell(
                box, QLatin1String(names[r]) + QStringLiteral("Largest") + angle, Qt::AlignLeft);
            // A long tile name goes on a second line rather than widen the window.
            row.largest[a]->setWordWrap(true);
            grid->addWidget(row.mean[a], 2 + r, 1 + 2 * a);
            grid->addWidget(row.largest[a], 2 + r, 2 + 2 * a);
        }
        row.verdict =
            summaryCell(box, QLatin1String(names[r]) + QStringLiteral("Verdict"), Qt::AlignLeft);
        grid->addWidget(row.verdict, 2 + r, 1 + 2 * kAngleCount);
    }
    // Room for a value and a short tile name on one line; a longer name wraps.
    // (A wrapping label wants a little more than its text.)
    const int largestPx =
        box->fontMetrics().horizontalAdvance(QStringLiteral("0.00 (light grey)")) + 8;
    for (int a = 0; a < kAngleCount; ++a) grid->setColumnMinimumWidth(2 + 2 * a, largestPx);
    alike_ = new QLabel(box);
    alike_->setObjectName(QStringLiteral("predictionsAlikeLabel"));
    alike_->setWordWrap(true);
    grid->addWidget(alike_, 7, 0, 1, 3 + 2 * kAngleCount);
    grid->setColumnStretch(2 + 2 * kAngleCount, 1);
    summary_[0].caption->setText(tr("Now"));
    // As it reads before a judgement, so that the smallest size holds it.
    summary_[1].caption->setText(tr("Predicted, the lightest tile alone"));
    summary_[2].caption->setText(tr("Predicted, fitted over the set"));
    summary_[3].caption->setText(tr("After correction"));
    summary_[4].caption->setText(tr("Standardised"));
    showRow(summary_[4], false);
    return box;
}

QLayout* CTileSetDlg::buildButtons() {
    targetButton_ = button(this, tr("Measure &target"), "targetButton");
    sampleButton_ = button(this, tr("Measure &sample"), "sampleButton");
    judgeButton_ = button(this, tr("&Judge"), "judgeButton");
    correctButton_ = button(this, tr("C&orrect..."), "correctButton");
    auto* settings = button(this, tr("S&et..."), "setButton");
    auto* close = button(this, tr("C&lose"), "closeButton");
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {targetButton_, sampleButton_}) row->addWidget(b);
    row->addWidget(buildReadings());
    for (QPushButton* b : {judgeButton_, correctButton_}) row->addWidget(b);
    row->addStretch(1);
    row->addWidget(settings);
    row->addWidget(close);
    connect(targetButton_, &QPushButton::clicked, this,
            [this] { onMeasure(ValidationRole::Target); });
    connect(sampleButton_, &QPushButton::clicked, this,
            [this] { onMeasure(ValidationRole::Sample); });
    connect(judgeButton_, &QPushButton::clicked, this, &CTileSetDlg::onJudge);
    connect(correctButton_, &QPushButton::clicked, this, &CTileSetDlg::onCorrect);
    connect(settings, &QPushButton::clicked, this, &CTileSetDlg::onSettings);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    return row;
}

QWidget* CTileSetDlg::buildReadings() {
    auto* holder = new QWidget(this);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    readings_ = new QSpinBox(holder);
    readings_->setObjectName(QStringLiteral("readingsSpin"));
    readings_->setRange(1, kMaxAverageMeasurements);
    readings_->setSuffix(tr(" readings"));
    readings_->setSpecialValueText(tr("1 reading"));
    readings_->setValue(workflow_.readingsPerTile());
    readings_->setToolTip(
        tr("Each press of Measure target or Measure sample takes the average "
           "of this many readings, lifting the instrument between them."));
    auto* label = new QLabel(tr("A&verage of"), holder);
    label->setBuddy(readings_);
    row->addWidget(label);
    row->addWidget(readings_);
    connect(readings_, &QSpinBox::valueChanged, this,
            [this](int n) { workflow_.setReadingsPerTile(n); });
    return holder;
}

QWidget* CTileSetDlg::buildReference() {
    auto* holder = new QWidget(this);
    auto* grid = new QGridLayout(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    certified_ = new QCheckBox(tr("Against &certified values"), holder);
    certified_->setObjectName(QStringLiteral("certifiedCheck"));
    certified_->setToolTip(
        tr("Each tile's certificate on record stands for the reference "
           "instrument: only the instrument under correction reads the set."));
    certified_->setEnabled(logbook_ != nullptr);
    temperatureKnown_ = new QCheckBox(tr("Room temperature"), holder);
    temperatureKnown_->setObjectName(QStringLiteral("temperatureKnown"));
    temperature_ = new QDoubleSpinBox(holder);
    temperature_->setObjectName(QStringLiteral("temperature"));
    temperature_->setRange(-20.0, 80.0);
    temperature_->setDecimals(1);
    temperature_->setSuffix(QStringLiteral(" °C"));
    temperature_->setValue(23.0);
    certifiedNotes_ = new QLabel(holder);
    certifiedNotes_->setObjectName(QStringLiteral("certifiedNotes"));
    certifiedNotes_->setWordWrap(true);
    certifiedNotes_->hide();  // until there is something to say
    grid->addWidget(certified_, 0, 0);
    grid->addWidget(temperatureKnown_, 0, 1);
    grid->addWidget(temperature_, 0, 2);
    grid->setColumnStretch(3, 1);
    grid->addWidget(certifiedNotes_, 1, 0, 1, 4);
    for (QWidget* w :
         {static_cast<QWidget*>(temperatureKnown_), static_cast<QWidget*>(temperature_)})
        w->setEnabled(false);
    connect(certified_, &QCheckBox::toggled, this, &CTileSetDlg::onReference);
    connect(temperatureKnown_, &QCheckBox::toggled, this, &CTileSetDlg::onReference);
    connect(temperature_, &QDoubleSpinBox::editingFinished, this, &CTileSetDlg::onReference);
    return holder;
}

void CTileSetDlg::onReference() {
    std::optional<CertifiedSet> set;
    if (certified_->isChecked()) {
        const auto onRecord = logbook_ ? logbook_->tileCertificates({}) : std::nullopt;
        std::optional<double> temperature;
        if (temperatureKnown_->isChecked()) temperature = temperature_->value();
        set = certifiedSet(workflow_.set().tiles,
                           onRecord ? certificatesOf(*onRecord) : std::vector<TileCertificate>{},
                           temperature, localTimeOf(context_.clock.calendarSeconds()));
        if (!onRecord) set->problem = "the logbook's tile certificates cannot be read";
    }
    QString notes;
    if (set && !set->ok()) {
        notes = tr("Not against certified values: %1.").arg(text(set->problem));
        set.reset();
    } else if (set) {
        QStringList lines{tr("Against %1.").arg(text(certifiedLabel(*set)))};
        for (const std::string& n : set->notes) lines << sentence(text(n)) + QLatin1Char('.');
        notes = lines.join(QLatin1Char(' '));
    }
    if (!workflow_.useCertified(set))
        notes = tr("The reference stays as it is while a correction is verified.");
    const QSignalBlocker quiet(certified_);
    certified_->setChecked(workflow_.certified().has_value());
    temperatureKnown_->setEnabled(certified_->isChecked());
    temperature_->setEnabled(certified_->isChecked() && temperatureKnown_->isChecked());
    certifiedNotes_->setText(notes);
    certifiedNotes_->setVisible(!notes.isEmpty());
    render();
}

void CTileSetDlg::onSelection() {
    const auto rows = table_->selectionModel()->selectedRows();
    workflow_.select(rows.isEmpty() ? -1 : rows.first().row());
    render();
}

void CTileSetDlg::onMeasure(ValidationRole role) {
    const int tile = workflow_.view().selected;
    if (tile < 0) return;
    const QString name = text(workflow_.tileName(tile));
    const bool target = role == ValidationRole::Target;
    status_->clear();
    // One press per reading: the tile is named by the selection and the instruction, so no
    // window of its own asks for a second press; a set of nine tiles read before and after a
    // correction would otherwise take 54 presses. A failure is still told in a box. An average
    // asks only for the instrument to be placed again between its readings.
    const int readings = workflow_.readingsPerTile();
    const std::optional<Measurement> taken = measureSelected(role, readings);
    if (taken && workflow_.take(role, *taken)) {
        const QString on = target                       ? tr("the reference instrument")
                           : workflow_.view().verifying ? tr("the corrected instrument")
                                                        : tr("the instrument under correction");
        QString read = (readings == 1 ? tr("%1 %2 read on %3 (%4).")
                                      : tr("%1 %2 read on %3 (%4), the average of %5 readings."))
                           .arg(text(context_.strings.text(kStrMeasurementFinished)),
                                sentence(name), on, text(taken->serial));
        if (readings > 1) read = read.arg(readings);
        status_->setText(read);
    }
    render();
}

std::optional<Measurement> CTileSetDlg::measureSelected(ValidationRole role, int readings) {
    ValidationWorkflow validation(context_, workflow_.colour(), role);
    validation.acknowledgeInStatusLine();
    // The buttons rest while the instrument works, not while a question waits for the operator.
    std::optional<ExchangeGuard> exchanging(std::in_place, *this);
    validation.onExchangeDone([&exchanging] { exchanging.reset(); });
    if (readings == 1) return validation.measure();
    return validation.measureAverage(readings, [&](int reading) {
        if (!workflow_.placeAgain(reading)) return false;
        exchanging.emplace(*this);
        return true;
    });
}

QString CTileSetDlg::statusText() const {
    return status_->text();
}

void CTileSetDlg::onJudge() {
    const bool judged = workflow_.judge();
    render();
    // A set judged before a correction: what kind of error it is comes first.
    if (judged && !workflow_.view().verifying && workflow_.diagnosis())
        tabs_->setCurrentWidget(diagnosis_);
}

void CTileSetDlg::onCorrect() {
    if (!workflow_.view().correctEnabled || !workflow_.prepareCorrection()) return render();
    std::optional<WrittenCorrection> written;
    {
        CCorrCoeffWriteDlg write(context_, this);
        write.setPairDescription(fittedPairText());
        write.exec();
        written = write.writtenCorrection();
    }
    workflow_.correctionDone(written.has_value(), written);
    render();
}

void CTileSetDlg::onSettings() {
    CTileSetSettingsDlg settings(context_, this);
    if (settings.exec() != QDialog::Accepted) return;
    workflow_.setChanged();
    // The certificates are found again for the set's tiles as they are now.
    if (certified_->isChecked()) return onReference();
    render();
}

void CTileSetDlg::render() {
    const TileSetView& v = workflow_.view();
    renderHeading();
    renderTable();
    renderSummary();
    renderChart();
    renderDiagnosis();
    targetButton_->setEnabled(v.targetEnabled);
    sampleButton_->setEnabled(v.sampleEnabled);
    judgeButton_->setEnabled(v.judgeEnabled);
    correctButton_->setEnabled(v.correctEnabled);
}

void CTileSetDlg::renderHeading() {
    const TileSet& set = workflow_.set();
    heading_->setText(set.name.empty() ? tr("Tile set") : tr("Tile set: %1").arg(text(set.name)));
    const SetLimits& l = workflow_.limits();
    QString limits = tr("Passes when at every angle the mean lies below %1 and the largest below "
                        "%2 (%3).")
                         .arg(text(context_.format.display(l.meanThreshold)),
                              text(context_.format.display(l.largestThreshold)),
                              text(workflow_.colour().deltaELabel()));
    if (l.productTolerance)
        limits +=
            tr(" Product tolerance: %1.").arg(text(context_.format.display(*l.productTolerance)));
    limits_->setText(limits);
    instruction_->setText(text(workflow_.view().instruction));
}

void CTileSetDlg::renderTable() {
    const TileSetView& v = workflow_.view();
    const QString label = text(workflow_.colour().deltaELabel());
    QStringList headers{tr("Tile"), tr("Target"), tr("Sample")};
    for (int a = 0; a < kAngleCount; ++a)
        headers << QStringLiteral("%1 %2°").arg(label).arg(kAngleDegrees[a]);
    headers << tr("Again");
    for (int a = 0; a < kAngleCount; ++a) headers << tr("After %1°").arg(kAngleDegrees[a]);
    // Filling the table is not a choice of the operator's: no selection signals meanwhile.
    const QSignalBlocker quiet(table_);
    table_->setHorizontalHeaderLabels(headers);
    table_->setRowCount(static_cast<int>(v.rows.size()));
    const auto cell = [this](int r, int c, const QString& s, Qt::Alignment alignment) {
        auto* item = new QTableWidgetItem(s);
        item->setTextAlignment(alignment | Qt::AlignVCenter);
        table_->setItem(r, c, item);
    };
    for (int r = 0; r < table_->rowCount(); ++r) {
        const TileRow& row = v.rows[static_cast<std::size_t>(r)];
        cell(r, 0, text(row.name), Qt::AlignLeft);
        cell(r, kTargetColumn, row.target ? kMark : QString(), Qt::AlignCenter);
        cell(r, kSampleColumn, row.sample ? kMark : QString(), Qt::AlignCenter);
        cell(r, kAgainColumn, row.after ? kMark : QString(), Qt::AlignCenter);
        for (int a = 0; a < kAngleCount; ++a) {
            cell(r, kDeltaEColumn + a, text(row.deltaE[a]), Qt::AlignRight);
            cell(r, kAfterColumn + a, text(row.afterDeltaE[a]), Qt::AlignRight);
        }
    }
    for (int c = kAgainColumn; c < kColumnCount; ++c) table_->setColumnHidden(c, !v.verifying);
    if (v.selected >= 0)
        table_->selectRow(v.selected);
    else
        table_->setCurrentCell(-1, -1);
}

void CTileSetDlg::renderSummary() {
    const TileSetView& v = workflow_.view();
    summary_[1].caption->setText(
        tr("Predicted, %1 alone")
            .arg(v.lightestTile.empty() ? tr("the lightest tile") : text(v.lightestTile)));
    const std::array<const SetSummary*, 4> lines{&v.now, &v.lightestOnly, &v.fitted, &v.after};
    for (std::size_t r = 0; r < lines.size(); ++r) {
        const SetSummary& s = *lines[r];
        SummaryRow& row = summary_[r];
        for (int a = 0; a < kAngleCount; ++a) {
            row.mean[a]->setText(text(s.mean[a]));
            row.largest[a]->setText(text(s.largest[a]));
        }
        row.verdict->setText(!s.passed   ? QStringLiteral("---")
                             : *s.passed ? QStringLiteral("PASSED")
                                         : QStringLiteral("FAILED"));
        row.verdict->setStyleSheet(s.passed ? palette::verdictStyle(*s.passed) : QString());
    }
    alike_->setText(text(v.predictionsAlike));
    alike_->setVisible(!v.predictionsAlike.empty());
    renderStandardised();
}

// The set judged through the sample instrument's profile, once the logbook has answered; a set
// judged anew asks again.
void CTileSetDlg::renderStandardised() {
    const auto& judged = workflow_.agreement();
    if (!profiles_ || !judged) {
        askedFor_.reset();
        showRow(summary_[4], false);
        return;
    }
    if (askedFor_ && *askedFor_ == judged->deltaE) return;
    askedFor_ = judged->deltaE;
    showRow(summary_[4], false);
    profiles_->find(workflow_.sampleSerial(), this,
                    [this, asked = judged->deltaE](const std::optional<StoredProfile>& p) {
                        showStandardised(asked, p);
                    });
}

void CTileSetDlg::showStandardised(const std::vector<std::array<double, kAngleCount>>& judged,
                                   const std::optional<StoredProfile>& profile) {
    const auto& now = workflow_.agreement();
    if (!profile || !now || now->deltaE != judged) return;
    const SetSummary s = workflow_.standardisedSummary(profile->file->profile);
    if (!s.passed) return;
    SummaryRow& row = summary_[4];
    row.caption->setText(tr("Standardised, profile %1").arg(profile->record.id));
    row.caption->setToolTip(
        profileInUseText(*profile, localTimeOf(context_.clock.calendarSeconds())));
    for (int a = 0; a < kAngleCount; ++a) {
        row.mean[a]->setText(text(s.mean[a]));
        row.largest[a]->setText(text(s.largest[a]));
    }
    row.verdict->setText(*s.passed ? QStringLiteral("PASSED") : QStringLiteral("FAILED"));
    row.verdict->setStyleSheet(palette::verdictStyle(*s.passed));
    showRow(row, true);
}

void CTileSetDlg::renderChart() {
    const int selected = workflow_.view().selected;
    if (selected < 0) return chart_->clear();
    const auto i = static_cast<std::size_t>(selected);
    const TileSpectra& tile = workflow_.tiles()[i];
    // After a correction, the reading taken again once there is one.
    const ThreeAngles& after = workflow_.afterSamples()[i];
    const bool again = workflow_.view().rows[i].after;
    chart_->setSpectra(tile.target, again ? after : tile.sample, std::nullopt);
}

void CTileSetDlg::renderDiagnosis() {
    const std::optional<Diagnosis>& d = workflow_.diagnosis();
    diagnosis_->setDiagnosis(d ? &*d : nullptr, context_.format, workflow_.diagnosisRefusal());
    const TileSetView& v = workflow_.view();
    std::vector<std::string> names;
    for (const TileRow& row : v.rows) names.push_back(row.name);
    const bool paired = v.selected >= 0 && v.rows[static_cast<std::size_t>(v.selected)].target &&
                        v.rows[static_cast<std::size_t>(v.selected)].sample;
    diagnosis_->setTile(
        names, v.selected,
        paired ? &workflow_.tiles()[static_cast<std::size_t>(v.selected)] : nullptr);
    tabs_->setTabText(
        tabs_->indexOf(diagnosis_),
        d ? tr("Diagnosis: %1").arg(text(recommendationText(d->overall))) : tr("Diagnosis"));
}

QString CTileSetDlg::fittedPairText() const {
    QStringList names;
    for (const std::string& tile : workflow_.set().tiles) names << text(tile);
    const QString list = names.join(QStringLiteral(", "));
    return names.size() == 1 ? tr("Fitted over 1 tile: %1").arg(list)
                             : tr("Fitted over %1 tiles: %2").arg(names.size()).arg(list);
}

}  // namespace qv
