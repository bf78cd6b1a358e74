#include "gui/coeff/corr_coeff_write_dlg.h"

#include <QColor>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app/shared_state.h"
#include "core/app/string_ids.h"
#include "core/app/string_table.h"
#include "core/coeff/entry_rules.h"
#include "core/files/record_file.h"
#include "gui/coeff/delete_coeff_dlg.h"
#include "gui/coeff/entry_list_loader.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "gui/kit/palette.h"
#include "gui/kit/port_watch.h"
#include "gui/kit/spectra_chart.h"

namespace qv {

namespace {
constexpr int kNumberColumnPx = 70;
constexpr int kCommentColumnPx = 150;
constexpr int kStampColumnPx = 140;
constexpr int kSerialColumnPx = 120;
}  // namespace

CCorrCoeffWriteDlg::CCorrCoeffWriteDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), workflow_(context) {
    setObjectName(QStringLiteral("CCorrCoeffWriteDlg"));
    setWindowTitle(QString::fromStdString(context.strings.text(kStrWriteTitle)));
    // The list shows the entry about to be overwritten before the question comes.
    workflow_.onViewChanged = [this] { render(); };
    build();
}

CCorrCoeffWriteDlg::~CCorrCoeffWriteDlg() = default;

void CCorrCoeffWriteDlg::buildList() {
    list_ = new QTableWidget(0, 4, this);
    list_->setObjectName(QStringLiteral("entryList"));
    list_->setHorizontalHeaderLabels({tr("Write No"), tr("Comment"), tr("Written"), tr("For")});
    // Sixteen characters of comment, a time stamp and a serial side by side; a longer text (an
    // entry that could not be read) shows whole in its tooltip.
    list_->horizontalHeader()->resizeSection(0, kNumberColumnPx);
    list_->horizontalHeader()->resizeSection(1, kCommentColumnPx);
    list_->horizontalHeader()->resizeSection(2, kStampColumnPx);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMinimumWidth(kNumberColumnPx + kCommentColumnPx + kStampColumnPx + kSerialColumnPx);
    comment_ = new QLineEdit(this);
    comment_->setObjectName(QStringLiteral("commentEdit"));
}

QGridLayout* CCorrCoeffWriteDlg::buildSampleGrid() {
    auto* grid = new QGridLayout;
    const char* rows[3] = {"L*", "a*", "b*"};
    const char* prefixes[3] = {"sampleL", "sampleA", "sampleB"};
    for (int a = 0; a < 3; ++a)
        grid->addWidget(new QLabel(QStringLiteral("%1°").arg(kAngleDegrees[a]), this), 0, a + 1,
                        Qt::AlignCenter);
    for (int c = 0; c < 3; ++c) {
        grid->addWidget(new QLabel(QStringLiteral("Sample ") + QLatin1String(rows[c]), this), c + 1,
                        0);
        for (int a = 0; a < 3; ++a)
            grid->addWidget(
                valueField(this, QLatin1String(prefixes[c]) + QString::number(kAngleDegrees[a]) +
                                     QStringLiteral("Field")),
                c + 1, a + 1);
        sampleFields_[c] = angleFields(*this, prefixes[c]);
    }
    return grid;
}

void CCorrCoeffWriteDlg::build() {
    auto* heading = new QLabel(windowTitle(), this);
    heading->setStyleSheet(QStringLiteral("font-size: 13pt; font-weight: bold;"));
    buildList();
    QGridLayout* grid = buildSampleGrid();
    chart_ = new SpectraChart(this);
    darkWarning_ = new QLabel(this);
    darkWarning_->setObjectName(QStringLiteral("darkWarning"));
    darkWarning_->setWordWrap(true);
    darkWarning_->setStyleSheet(QStringLiteral("color: %1;").arg(palette::warning().name()));
    deleteButton_ = new QPushButton(tr("&Delete entry..."), this);
    deleteButton_->setObjectName(QStringLiteral("deleteButton"));
    writeButton_ = new QPushButton(tr("&Write"), this);
    writeButton_->setObjectName(QStringLiteral("writeButton"));
    writeButton_->setDefault(true);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    auto* left = new QVBoxLayout;
    left->addWidget(list_, 1);
    left->addWidget(
        new QLabel(tr("Comment (A-Z, 0-9, colon, full stop, blank; 16 at most):"), this));
    left->addWidget(comment_);
    basisLabel_ = new QLabel(this);
    basisLabel_->setObjectName(QStringLiteral("basisLabel"));
    basisLabel_->setWordWrap(true);
    left->addWidget(basisLabel_);
    pairLabel_ = new QLabel(this);
    pairLabel_->setObjectName(QStringLiteral("pairLabel"));
    pairLabel_->setWordWrap(true);
    pairLabel_->setStyleSheet(QStringLiteral("font-weight: bold;"));
    pairLabel_->hide();
    auto* right = new QVBoxLayout;
    right->addWidget(pairLabel_);
    right->addLayout(grid);
    right->addWidget(chart_, 1);
    right->addWidget(darkWarning_);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(deleteButton_);
    buttons->addStretch(1);
    buttons->addWidget(writeButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);
    layout->addWidget(new InstrumentStrip(context_, this));
    resize(1100, 620);
    connect(list_, &QTableWidget::itemSelectionChanged, this, &CCorrCoeffWriteDlg::onSelection);
    connect(writeButton_, &QPushButton::clicked, this, &CCorrCoeffWriteDlg::onWrite);
    connect(deleteButton_, &QPushButton::clicked, this, &CCorrCoeffWriteDlg::onDelete);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CCorrCoeffWriteDlg::setPairDescription(const QString& text) {
    pairLabel_->setText(text);
    pairLabel_->setVisible(!text.isEmpty());
}

int CCorrCoeffWriteDlg::exec() {
    if (!loadEntries()) return QDialog::Accepted;
    render();
    return QDialog::exec();
}

bool CCorrCoeffWriteDlg::loadEntries() {
    {
        BusyCursor busy;
        if (!workflow_.open()) return false;
    }
    EntryListWorker worker(*context_.state.commPort);
    connect(&worker, &EntryListWorker::rowRead, this,
            [this](int entry, const QString& number, const QString& comment,
                   const QString& unreadable, const QString& timeStamp, const QString& serial) {
                // The time stamp and serial tell this program's own writes from others'.
                workflow_.addRow({entry, number.toStdString(), comment.toStdString(),
                                  unreadable.toStdString(), timeStamp.toStdString(),
                                  serial.toStdString()});
            });
    const PortWatch::Hold workerTalks;
    CLoadCoeff loading(context_, worker, this);
    QTimer::singleShot(0, &worker, [&worker] { worker.start(); });
    loading.exec();
    worker.wait();
    // Rows still queued belong to this list.
    QCoreApplication::sendPostedEvents(this);
    return workflow_.listDone(worker.stopRequested(), worker.error());
}

void CCorrCoeffWriteDlg::onSelection() {
    const auto rows = list_->selectionModel()->selectedRows();
    workflow_.select(rows.isEmpty() ? -1 : rows.first().row());
    deleteButton_->setEnabled(workflow_.view().deleteEnabled);
}

void CCorrCoeffWriteDlg::onWrite() {
    workflow_.setComment(comment_->text().toStdString());
    WriteOutcome outcome;
    {
        const ExchangeGuard exchanging(*this);
        outcome = workflow_.write();
    }
    written_ = outcome == WriteOutcome::Written;
    render();
    if (outcome != WriteOutcome::Stays) accept();
}

void CCorrCoeffWriteDlg::onDelete() {
    // What the operator typed is kept through the deletion.
    workflow_.setComment(comment_->text().toStdString());
    if (!workflow_.beginDelete()) return;
    const EntryRow& row = workflow_.view().rows[workflow_.view().selected];
    {
        CDeleteCoeffDlg confirm(context_, row.entry, row.comment, this);
        confirm.exec();
    }
    workflow_.endDelete();
    render();
}

void CCorrCoeffWriteDlg::render() {
    const CoefficientWriteView& v = workflow_.view();
    list_->setRowCount(v.rowCount);
    for (int i = 0; i < v.rowCount; ++i) {
        const EntryRow& row = v.rows[i];
        list_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(row.number)));
        // An entry that did not answer is shown as such, never as free.
        auto* comment = new QTableWidgetItem(
            row.unreadable.empty()
                ? QString::fromStdString(row.comment)
                : tr("(not read: %1)").arg(QString::fromStdString(row.unreadable)));
        if (!row.unreadable.empty()) comment->setForeground(palette::warning());
        comment->setToolTip(comment->text());
        list_->setItem(i, 1, comment);
        list_->setItem(i, 2, new QTableWidgetItem(QString::fromStdString(row.timeStamp)));
        list_->setItem(i, 3, new QTableWidgetItem(QString::fromStdString(row.serial)));
    }
    basisLabel_->setText(tr("Basis: %1").arg(QString::fromStdString(v.basis)));
    if (v.selected >= 0 && list_->currentRow() != v.selected) list_->selectRow(v.selected);
    // Typing stops at 16 characters; a longer comment proposed by a file shows the 16 that are
    // written.
    comment_->setMaxLength(static_cast<int>(kMaxEntryComment));
    comment_->setText(QString::fromStdString(v.comment));
    for (int c = 0; c < 3; ++c) showRow(sampleFields_[c], v.sample[c]);
    deleteButton_->setEnabled(v.deleteEnabled);
    const SharedState& s = context_.state;
    chart_->setSpectra(s.targetSpectrum, s.sampleSpectrum, std::nullopt);
    const auto dark = darkWavelengths(s.sampleSpectrum);
    QString warning;
    if (!dark.empty())
        warning = tr("%1 of the 48 factors rest on a sample reflectance below 5 %, the first at "
                     "%2°, %3 nm (%4 %): such factors are mostly noise. A lighter specimen "
                     "gives a better correction.")
                      .arg(dark.size())
                      .arg(kAngleDegrees[dark.front().angle])
                      .arg(dark.front().wavelengthNm)
                      .arg(dark.front().reflectance, 0, 'f', 2);
    darkWarning_->setText(warning);
    darkWarning_->setVisible(!warning.isEmpty());
}

}  // namespace qv
