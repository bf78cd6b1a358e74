#include "gui/tiles/check_tile_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <iterator>
#include <set>

#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "platform/log/certificate_file.h"
#include "platform/log/logbook_store.h"

namespace qv {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QTableWidget* newTable(QWidget* parent, const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) table->setItem(row, c, new QTableWidgetItem(cells[c]));
}

}  // namespace

CCheckTileDlg::CCheckTileDlg(GuiContext& context, LogbookStore* logbook, QWidget* parent)
    : QDialog(parent), context_(context), logbook_(logbook) {
    setWindowTitle(tr("Check tile"));
    auto* form = new QFormLayout;
    tile_ = new QComboBox(this);
    tile_->setObjectName(QStringLiteral("tileCombo"));
    if (const auto on = logbook_ ? logbook_->tileCertificates({}) : std::nullopt) {
        std::set<std::string> seen;
        for (const StoredTileCertificate& s : on->rows)
            if (seen.insert(s.certificate.tile).second) tile_->addItem(q(s.certificate.tile));
    }
    form->addRow(tr("Tile:"), tile_);
    known_ = new QCheckBox(tr("Room temperature (°C):"), this);
    known_->setObjectName(QStringLiteral("temperatureKnown"));
    temperature_ = new QDoubleSpinBox(this);
    temperature_->setObjectName(QStringLiteral("temperature"));
    temperature_->setRange(-20.0, 80.0);
    temperature_->setDecimals(1);
    temperature_->setValue(23.0);
    temperature_->setEnabled(false);
    connect(known_, &QCheckBox::toggled, temperature_, &QWidget::setEnabled);
    form->addRow(known_, temperature_);
    read_ = new QPushButton(tr("&Read the tile"), this);
    read_->setObjectName(QStringLiteral("readButton"));
    read_->setEnabled(tile_->count() > 0);
    connect(read_, &QPushButton::clicked, this, &CCheckTileDlg::onRead);
    table_ = newTable(this, {tr("Angle"), tr("dE*ab"), tr("Limit"), tr("Verdict")}, "resultTable");
    verdict_ = new QLabel(tile_->count() ? tr("Place the tile and read it.")
                                         : tr("No tile certificate is on record."),
                          this);
    verdict_->setObjectName(QStringLiteral("verdictLabel"));
    verdict_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(read_);
    layout->addWidget(table_);
    layout->addWidget(verdict_);
    layout->addWidget(buttons);
}

void CCheckTileDlg::onRead() {
    const std::string tile = tile_->currentText().toStdString();
    const auto on = logbook_ ? logbook_->tileCertificates(tile) : std::nullopt;
    if (!on || on->rows.empty()) {
        verdict_->setText(tr("The certificate of tile %1 cannot be read.").arg(q(tile)));
        return;
    }
    std::optional<double> temperature;
    if (known_->isChecked()) temperature = temperature_->value();
    run_ = runCheckTile(context_, on->rows.front().certificate, temperature);
    showRun(*run_);
}

void CCheckTileDlg::showRun(const CheckTileRun& run) {
    table_->setRowCount(0);
    if (!run.ran) {
        verdict_->setText(q(run.problem));
        return;
    }
    table_->setRowCount(kAngleCount);
    for (int a = 0; a < kAngleCount; ++a) {
        const TileAngleResult& r = run.check.angles[a];
        setRow(table_, a,
               {QStringLiteral("%1°").arg(r.angle), QString::number(r.deltaE, 'f', 3),
                QString::number(r.limit, 'f', 3), r.passed ? tr("passed") : tr("FAILED")});
    }
    QStringList lines{run.check.passed ? tr("Verdict: passed") : tr("Verdict: FAILED")};
    for (const std::string& n : run.check.notes) lines << q(n);
    verdict_->setText(lines.join(QLatin1Char('\n')));
}

CTileCertificatesDlg::CTileCertificatesDlg(GuiContext& context, LogbookStore* logbook,
                                           QWidget* parent)
    : QDialog(parent), context_(context), logbook_(logbook) {
    setWindowTitle(tr("Tile certificates"));
    table_ = newTable(this,
                      {tr("Tile"), tr("Certificate"), tr("Laboratory"), tr("Date"), tr("Due"),
                       tr("Temperature"), tr("Coefficients"), tr("Limit"), tr("Recorded")},
                      "certificateTable");
    // One grid for the file and the fields typed beside it, so their boxes line up.
    auto* form = new QGridLayout;
    tile_ = new QLineEdit(this);
    tile_->setObjectName(QStringLiteral("tileEdit"));
    auto* tileRow = new QHBoxLayout;
    tileRow->addWidget(tile_);
    addWideRow(form, 0, tr("&Tile:"), tile_, tileRow);
    file_ = chosenFile(tr("&Certificate (CGATS or CxF3):"), form, 1);
    file_->setObjectName(QStringLiteral("certificateEdit"));
    coefficients_ = chosenFile(tr("C&oefficients (optional):"), form, 2);
    coefficients_->setObjectName(QStringLiteral("coefficientsEdit"));
    addFields(form, 3);
    auto* import = new QPushButton(tr("&Import"), this);
    import->setObjectName(QStringLiteral("importButton"));
    import->setEnabled(logbook_ != nullptr);
    connect(import, &QPushButton::clicked, this, &CTileCertificatesDlg::onImport);
    outcome_ = new QLabel(this);
    outcome_->setObjectName(QStringLiteral("outcomeLabel"));
    outcome_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(form);
    layout->addWidget(import);
    layout->addWidget(outcome_);
    layout->addWidget(buttons);
    fill();
    // Every column of a certificate in sight on the smallest screen the program supports.
    resizeWithinScreen(this, QSize(900, 560));
}

void CTileCertificatesDlg::addWideRow(QGridLayout* grid, int row, const QString& label,
                                      QWidget* buddy, QLayout* field) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(buddy);
    grid->addWidget(caption, row, 0);
    grid->addLayout(field, row, 1, 1, 3);
}

QLineEdit* CTileCertificatesDlg::chosenFile(const QString& label, QGridLayout* grid, int row) {
    auto* edit = new QLineEdit(this);
    auto* browse = new QPushButton(tr("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        if (const auto path = context_.prompter.askOpenFile(edit->text().toStdString(), "*"))
            edit->setText(q(*path));
    });
    auto* line = new QHBoxLayout;
    line->addWidget(edit);
    line->addWidget(browse);
    addWideRow(grid, row, label, edit, line);
    return edit;
}

// Two pairs of label and box to a row: the form stays short enough for a small screen.
void CTileCertificatesDlg::addFields(QGridLayout* grid, int firstRow) {
    const struct {
        QLineEdit** edit;
        QString label;
        const char* name;
        QString hint;
    } rows[] = {
        {&number_, tr("Certificate &number:"), "numberEdit", tr("as in the file")},
        {&laboratory_, tr("&Laboratory:"), "laboratoryEdit", tr("as in the file")},
        {&date_, tr("&Date:"), "dateEdit", tr("YYYY-MM-DD")},
        {&due_, tr("Due d&ate:"), "dueEdit", tr("YYYY-MM-DD")},
        {&uncertainty_, tr("&Uncertainty (dE*ab):"), "uncertaintyEdit", tr("as in the file")},
        {&temperatureC_, tr("Certificate tem&perature (°C):"), "temperatureEdit",
         tr("as in the file")},
        {&limit_, tr("Li&mit (dE*ab, optional):"), "limitEdit", tr("default")},
    };
    // Wide enough for a date or a certificate's number however narrow the window is made.
    const int least = fontMetrics().horizontalAdvance(QStringLiteral("NCL-2026-0000 "));
    for (int i = 0; i < int(std::size(rows)); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(rows[i].name));
        edit->setPlaceholderText(rows[i].hint);
        edit->setMinimumWidth(least);
        auto* label = new QLabel(rows[i].label, this);
        label->setBuddy(edit);
        grid->addWidget(label, firstRow + i / 2, (i % 2) * 2);
        grid->addWidget(edit, firstRow + i / 2, (i % 2) * 2 + 1);
        *rows[i].edit = edit;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

TypedCertificateFields CTileCertificatesDlg::typedFields() const {
    const auto text = [](const QLineEdit* e) { return e->text().trimmed().toStdString(); };
    return {text(number_),      text(laboratory_),   text(date_), text(due_),
            text(uncertainty_), text(temperatureC_), text(limit_)};
}

QLineEdit* CTileCertificatesDlg::numberEdit(CertificateNumber field) const {
    switch (field) {
        case CertificateNumber::Uncertainty:
            return uncertainty_;
        case CertificateNumber::Temperature:
            return temperatureC_;
        case CertificateNumber::Limit:
            return limit_;
    }
    return nullptr;
}

void CTileCertificatesDlg::fill() {
    const auto on = logbook_ ? logbook_->tileCertificates({}) : std::nullopt;
    table_->setRowCount(0);
    if (!on) return;
    table_->setRowCount(int(on->rows.size()));
    for (int i = 0; i < int(on->rows.size()); ++i) {
        const StoredTileCertificate& s = on->rows[std::size_t(i)];
        const TileCertificate& c = s.certificate;
        setRow(table_, i,
               {q(c.tile), q(c.number), q(c.laboratory), q(c.date), q(c.dueDate),
                c.temperatureC ? QStringLiteral("%1 °C").arg(*c.temperatureC, 0, 'f', 1)
                               : QStringLiteral("---"),
                hasCoefficients(c) ? tr("yes") : tr("none"),
                c.limit ? QString::number(*c.limit, 'f', 2) : tr("default"), q(s.recordedAt)});
    }
}

void CTileCertificatesDlg::onImport() {
    const std::string tile = tile_->text().trimmed().toStdString();
    if (tile.empty()) return outcome_->setText(tr("Name the tile."));
    for (QLineEdit* e : {uncertainty_, temperatureC_, limit_}) e->setStyleSheet({});
    const CertificateFieldsReading fields =
        readCertificateFields(typedFields(), context_.format.decimalSeparator);
    if (fields.unread) {
        // The field at fault framed in the colour of a failure, as the settings dialogs do.
        QLineEdit* edit = numberEdit(*fields.unread);
        edit->setStyleSheet(
            QStringLiteral("QLineEdit { border: 2px solid %1; }").arg(palette::failed().name()));
        edit->setFocus();
        edit->selectAll();
        return outcome_->setText(tr("The %1 is not a number: nothing is recorded.")
                                     .arg(q(certificateNumberName(*fields.unread))));
    }
    const auto read = readCertificateFile(context_.files, file_->text().toStdString(), tile,
                                          fields.fields, coefficients_->text().toStdString());
    std::string why = read.ok() ? certificateProblem(*read.contents) : read.problem;
    if (!why.empty()) return outcome_->setText(q(why));
    const CertificateAdded added = logbook_->addTileCertificate(*read.contents, why);
    outcome_->setText(
        added == CertificateAdded::Refused
            ? q(why)
            : tr("Certificate %1 of tile %2 %3.")
                  .arg(q(read.contents->number), q(tile),
                       added == CertificateAdded::Added ? tr("recorded") : tr("already recorded")));
    fill();
}

}  // namespace qv
