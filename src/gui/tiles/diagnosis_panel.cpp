#include "gui/tiles/diagnosis_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/tiles/diagnosis_view.h"
#include "gui/kit/palette.h"
#include "gui/tiles/difference_chart.h"

namespace qv {

namespace {

// The caption, then a value and its share per angle.
constexpr int kColumnCount = 1 + 2 * kAngleCount;
constexpr int kCaptionColumnPx = 170;
constexpr int kValueColumnPx = 178;
constexpr int kShareColumnPx = 50;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QColor decisionColour(Recommendation r) {
    switch (r) {
        case Recommendation::Service:
            return palette::failed();
        case Recommendation::FactorsPartly:
        case Recommendation::Remeasure:
            return palette::warning();
        default:
            return palette::passed();
    }
}

QTableWidgetItem* cellItem(const QString& s, Qt::Alignment alignment) {
    auto* i = new QTableWidgetItem(s);
    i->setTextAlignment(alignment | Qt::AlignVCenter);
    return i;
}

}  // namespace

DiagnosisPanel::DiagnosisPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("diagnosisPanel"));
    auto* placeholder = new QLabel(placeholderText(), this);
    placeholder_ = placeholder;
    placeholder->setObjectName(QStringLiteral("diagnosisPlaceholder"));
    placeholder->setWordWrap(true);
    placeholder->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* content = new QWidget(this);
    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->addWidget(buildTable());
    columns->addWidget(buildChart(), 1);
    pages_ = new QStackedLayout(this);
    pages_->addWidget(placeholder);
    pages_->addWidget(content);
}

QWidget* DiagnosisPanel::buildTable() {
    auto* box = new QWidget(this);
    overall_ = new QLabel(box);
    overall_->setObjectName(QStringLiteral("diagnosisOverall"));
    overall_->setStyleSheet(QStringLiteral("font-weight: bold;"));
    table_ = new QTableWidget(0, kColumnCount, box);
    table_->setObjectName(QStringLiteral("diagnosisTable"));
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList headers{tr("Term")};
    for (int a = 0; a < kAngleCount; ++a)
        headers << QStringLiteral("%1°").arg(kAngleDegrees[a]) << tr("share");
    table_->setHorizontalHeaderLabels(headers);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->resizeSection(0, kCaptionColumnPx);
    for (int a = 0; a < kAngleCount; ++a) {
        header->resizeSection(1 + 2 * a, kValueColumnPx);
        header->resizeSection(2 + 2 * a, kShareColumnPx);
    }
    table_->setMinimumWidth(kCaptionColumnPx + kAngleCount * (kValueColumnPx + kShareColumnPx) +
                            2 * table_->frameWidth() + 2);
    reasons_ = new QLabel(box);
    reasons_->setObjectName(QStringLiteral("diagnosisReasons"));
    reasons_->setWordWrap(true);
    reasons_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(overall_);
    layout->addWidget(table_);
    layout->addWidget(reasons_);
    layout->addStretch(1);
    return box;
}

QWidget* DiagnosisPanel::buildChart() {
    auto* box = new QWidget(this);
    tiles_ = new QComboBox(box);
    tiles_->setObjectName(QStringLiteral("diagnosisTile"));
    connect(tiles_, &QComboBox::activated, this, &DiagnosisPanel::tileChosen);
    angles_ = new QButtonGroup(box);
    auto* chooser = new QHBoxLayout;
    chooser->addWidget(new QLabel(tr("Tile:"), box));
    chooser->addWidget(tiles_, 1);
    chooser->addSpacing(12);
    for (int a = 0; a < kAngleCount; ++a) {
        auto* b = new QRadioButton(QStringLiteral("%1°").arg(kAngleDegrees[a]), box);
        b->setObjectName(QStringLiteral("diagnosisAngle%1").arg(kAngleDegrees[a]));
        angles_->addButton(b, a);
        chooser->addWidget(b);
    }
    angles_->button(0)->setChecked(true);
    connect(angles_, &QButtonGroup::idClicked, this, [this] { renderChart(); });
    chart_ = new DifferenceChart(box);
    chart_->setObjectName(QStringLiteral("differenceChart"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(chooser);
    layout->addWidget(chart_, 1);
    return box;
}

int DiagnosisPanel::angle() const {
    return angles_->checkedId();
}

void DiagnosisPanel::setAngle(int angle) {
    if (QAbstractButton* b = angles_->button(angle)) b->setChecked(true);
    renderChart();
}

QString DiagnosisPanel::placeholderText() {
    return tr(
        "The diagnosis appears once the set is judged: per angle what kind of error "
        "separates the instrument under correction from the reference (offset, gain, "
        "wavelength, ...), and whether factors correct it, a tile is to be read again or "
        "the instrument needs service.");
}

void DiagnosisPanel::setDiagnosis(const Diagnosis* diagnosis, const NumberFormat& format,
                                  const std::string& refusal) {
    const bool fresh = diagnosis && !diagnosis_;
    diagnosis_ = diagnosis ? std::optional<Diagnosis>(*diagnosis) : std::nullopt;
    pages_->setCurrentIndex(diagnosis ? 1 : 0);
    placeholder_->setText(refusal.empty() ? placeholderText()
                                          : tr("The set is not diagnosed: %1.").arg(text(refusal)));
    if (!diagnosis) return;
    const DiagnosisView v = diagnosisView(*diagnosis, format);
    overall_->setText(tr("Decision over the set: %1").arg(text(v.overall)));
    const int rows = static_cast<int>(v.terms.size() + v.figures.size()) + 1;
    table_->clearSpans();
    table_->setRowCount(rows);
    int r = 0;
    for (const DiagnosisRow& row : v.terms) {
        table_->setItem(r, 0, cellItem(text(row.caption), Qt::AlignLeft));
        for (int a = 0; a < kAngleCount; ++a) {
            table_->setItem(r, 1 + 2 * a, cellItem(text(row.value[a]), Qt::AlignRight));
            table_->setItem(r, 2 + 2 * a, cellItem(text(row.share[a]), Qt::AlignRight));
        }
        ++r;
    }
    const auto spanned = [this](int row, int a, const QString& s) {
        table_->setSpan(row, 1 + 2 * a, 1, 2);
        table_->setItem(row, 1 + 2 * a, cellItem(s, Qt::AlignCenter));
    };
    for (const DiagnosisRow& row : v.figures) {
        table_->setItem(r, 0, cellItem(text(row.caption), Qt::AlignLeft));
        for (int a = 0; a < kAngleCount; ++a) spanned(r, a, text(row.value[a]));
        ++r;
    }
    table_->setItem(r, 0, cellItem(tr("Decision"), Qt::AlignLeft));
    for (int a = 0; a < kAngleCount; ++a) {
        spanned(r, a, text(v.decision[a]));
        QTableWidgetItem* cell = table_->item(r, 1 + 2 * a);
        cell->setForeground(decisionColour(diagnosis->angles[a].recommendation));
        QFont bold = cell->font();
        bold.setBold(true);
        cell->setFont(bold);
    }
    table_->resizeRowsToContents();
    // As high as its rows, so that the reasons stand right below them.
    // (The header's hint: while the tab is hidden it has no height of its own.)
    int height = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    for (int row = 0; row < rows; ++row) height += table_->rowHeight(row);
    table_->setFixedHeight(height);
    QStringList reasons;
    for (const std::string& reason : v.reason) reasons << text(reason);
    reasons_->setText(reasons.join(QLatin1Char('\n')));
    // A new judgement opens on the angle that decides the set.
    if (fresh)
        for (int a = 0; a < kAngleCount; ++a)
            if (diagnosis->angles[a].recommendation == diagnosis->overall) {
                angles_->button(a)->setChecked(true);
                break;
            }
    renderChart();
}

void DiagnosisPanel::setTile(const std::vector<std::string>& names, int selected,
                             const TileSpectra* tile) {
    {
        const QSignalBlocker quiet(tiles_);
        tiles_->clear();
        for (const std::string& name : names) tiles_->addItem(text(name));
        tiles_->setCurrentIndex(selected);
    }
    tile_ = tile ? std::optional<TileSpectra>(*tile) : std::nullopt;
    tileName_ = selected >= 0 && selected < static_cast<int>(names.size())
                    ? names[static_cast<std::size_t>(selected)]
                    : std::string();
    renderChart();
}

void DiagnosisPanel::renderChart() {
    const int a = angle();
    if (!diagnosis_ || !tile_ || a < 0) return chart_->clear();
    chart_->setDifference(tile_->target[a], tile_->sample[a], diagnosis_->angles[a].fit.terms,
                          tr("%1 at %2°").arg(text(tileName_)).arg(kAngleDegrees[a]));
}

}  // namespace qv
