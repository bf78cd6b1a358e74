#include "gui/tiles/tile_set_settings_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

#include "core/app/message_box.h"
#include "core/app/thresholds.h"
#include "core/colour/delta_e.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"

namespace qv {

namespace {
constexpr int kLimitChars = 4;
constexpr int kDaysChars = 4;
// Three angles' fields and their note beside the captions, in the dialog's width.
constexpr int kAngleFieldPx = 64;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QLineEdit* limitEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(kLimitChars);
    edit->setMaximumWidth(80);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return edit;
}
}  // namespace

CTileSetSettingsDlg::CTileSetSettingsDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("CTileSetSettingsDlg"));
    setWindowTitle(tr("Tile set settings"));
    build();
    fill(tileSetFromProfile(context.profile), setLimitsFromProfile(context.profile));
    fillPerformance(savedPerformanceSettings(context.profile));
    resize(540, 0);
    fitHeightToContents(this);
}

CTileSetSettingsDlg::~CTileSetSettingsDlg() = default;

void CTileSetSettingsDlg::build() {
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    meanEdit_ = limitEdit(this, "meanEdit");
    largestEdit_ = limitEdit(this, "largestEdit");
    toleranceEdit_ = limitEdit(this, "toleranceEdit");
    const QString unit = text(displayLabel(formulaFromProfile(context_.profile)));
    auto* form = new QFormLayout;
    form->addRow(tr("Set &name:"), nameEdit_);
    form->addRow(
        new QLabel(tr("Tiles, in the order they are read (double-click to rename):"), this));
    form->addRow(buildTileList());
    const auto limitRow = [this, form](const QString& label, QLineEdit* edit, const QString& note) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(edit);
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(new QLabel(note, this), 1);
        form->addRow(caption, row);
    };
    limitRow(tr("&Mean below:"), meanEdit_, unit + tr(" at every angle"));
    limitRow(tr("&Largest below:"), largestEdit_, unit + tr(" at every angle"));
    limitRow(tr("&Product tolerance:"), toleranceEdit_, unit + tr(" (empty: none)"));
    // The tolerance is no limit: it only shows how much of it the disagreement takes.
    auto* toleranceNote =
        new QLabel(tr("For scale only: the result file gives each mean as a share of it."), this);
    toleranceNote->setObjectName(QStringLiteral("toleranceNote"));
    toleranceNote->setWordWrap(true);
    form->addRow(toleranceNote);
    form->addRow(buildPerformance(unit));
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textEdited, edit, [edit] { edit->setStyleSheet(QString()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTileSetSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLayout* CTileSetSettingsDlg::buildTileList() {
    tileList_ = new QListWidget(this);
    tileList_->setObjectName(QStringLiteral("tileList"));
    tileList_->setMinimumHeight(220);
    const auto tileButton = [this](const QString& label, const char* name) {
        auto* b = new QPushButton(label, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = tileButton(tr("&Add"), "addButton");
    QPushButton* remove = tileButton(tr("&Remove"), "removeButton");
    QPushButton* up = tileButton(tr("&Up"), "upButton");
    QPushButton* down = tileButton(tr("&Down"), "downButton");
    connect(add, &QPushButton::clicked, this, &CTileSetSettingsDlg::onAdd);
    connect(remove, &QPushButton::clicked, this, &CTileSetSettingsDlg::onRemove);
    connect(up, &QPushButton::clicked, this, [this] { onMove(-1); });
    connect(down, &QPushButton::clicked, this, [this] { onMove(1); });
    auto* column = new QVBoxLayout;
    for (QPushButton* b : {add, remove, up, down}) column->addWidget(b);
    column->addStretch(1);
    auto* tiles = new QHBoxLayout;
    tiles->addWidget(tileList_, 1);
    tiles->addLayout(column);
    return tiles;
}

void CTileSetSettingsDlg::fill(const TileSet& set, const SetLimits& limits) {
    nameEdit_->setText(text(set.name));
    for (const std::string& t : set.tiles) addTile(text(t));
    tileList_->setCurrentRow(0);
    meanEdit_->setText(text(context_.format.display(limits.meanThreshold)));
    largestEdit_->setText(text(context_.format.display(limits.largestThreshold)));
    toleranceEdit_->setText(limits.productTolerance
                                ? text(context_.format.display(*limits.productTolerance))
                                : QString());
}

// Per angle the tolerance and the reference's uncertainty, three fields a row under the angles;
// then the reference's certificate and the long-term repeatability's period and specimen.
QWidget* CTileSetSettingsDlg::buildPerformance(const QString& unit) {
    auto* box = new QGroupBox(tr("Performance statement"), this);
    box->setObjectName(QStringLiteral("performanceBox"));
    auto* grid = new QGridLayout(box);
    for (int a = 0; a < kAngleCount; ++a) {
        grid->addWidget(new QLabel(QStringLiteral("%1°").arg(kAngleDegrees[a]), box), 0, a + 1,
                        Qt::AlignCenter);
        const QString degrees = QString::number(kAngleDegrees[a]);
        angleToleranceEdits_[a] = limitEdit(box, qPrintable("tolerance" + degrees + "Edit"));
        referenceEdits_[a] = limitEdit(box, qPrintable("reference" + degrees + "Edit"));
        for (QLineEdit* edit : {angleToleranceEdits_[a], referenceEdits_[a]})
            edit->setMaximumWidth(kAngleFieldPx);
        grid->addWidget(angleToleranceEdits_[a], 1, a + 1);
        grid->addWidget(referenceEdits_[a], 2, a + 1);
    }
    grid->addWidget(new QLabel(unit, box), 0, 4);
    certificateEdit_ = new QLineEdit(box);
    certificateEdit_->setObjectName(QStringLiteral("certificateEdit"));
    certificateEdit_->setMaxLength(static_cast<int>(kMaxCertificateChars));
    daysEdit_ = limitEdit(box, "daysEdit");
    daysEdit_->setMaxLength(kDaysChars);
    daysEdit_->setMaximumWidth(kAngleFieldPx);
    specimenEdit_ = new QLineEdit(box);
    specimenEdit_->setObjectName(QStringLiteral("specimenEdit"));
    specimenEdit_->setMaxLength(static_cast<int>(kMaxSpecimenChars));
    specimenEdit_->setPlaceholderText(tr("that of the latest extended check"));
    validDaysEdit_ = limitEdit(box, "validDaysEdit");
    validDaysEdit_->setMaxLength(kDaysChars);
    validDaysEdit_->setMaximumWidth(kAngleFieldPx);
    const auto caption = [box, grid](int row, const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, box);
        label->setBuddy(buddy);
        grid->addWidget(label, row, 0);
    };
    const auto note = [box, grid](int row, int column, const QString& text) {
        auto* label = new QLabel(text, box);
        label->setWordWrap(true);
        grid->addWidget(label, row, column, 1, 4 - column + 1);
    };
    caption(1, tr("&Tolerance:"), angleToleranceEdits_[0]);
    note(1, 4, tr("empty: the set's"));
    caption(2, tr("Reference U (&k = 2):"), referenceEdits_[0]);
    note(2, 4, tr("from its certificate"));
    caption(3, tr("C&ertificate:"), certificateEdit_);
    grid->addWidget(certificateEdit_, 3, 1, 1, 4);
    caption(4, tr("Lon&g-term period:"), daysEdit_);
    grid->addWidget(daysEdit_, 4, 1);
    note(4, 2, tr("days (0: every record)"));
    caption(5, tr("Long-term &specimen:"), specimenEdit_);
    grid->addWidget(specimenEdit_, 5, 1, 1, 4);
    caption(6, tr("Statement &valid for:"), validDaysEdit_);
    grid->addWidget(validDaysEdit_, 6, 1);
    note(6, 2, tr("days after it is made"));
    grid->setColumnStretch(4, 1);
    return box;
}

void CTileSetSettingsDlg::fillPerformance(const PerformanceSettings& settings) {
    const auto shown = [this](const std::optional<double>& v) {
        return v ? text(context_.format.display(*v)) : QString();
    };
    for (int a = 0; a < kAngleCount; ++a) {
        angleToleranceEdits_[a]->setText(shown(settings.tolerance[a]));
        referenceEdits_[a]->setText(shown(settings.referenceExpanded[a]));
    }
    certificateEdit_->setText(text(settings.referenceCertificate));
    daysEdit_->setText(QString::number(settings.longTermDays));
    specimenEdit_->setText(text(settings.specimen));
    validDaysEdit_->setText(QString::number(settings.validDays));
}

TypedPerformance CTileSetSettingsDlg::typedPerformance() const {
    TypedPerformance typed;
    for (int a = 0; a < kAngleCount; ++a) {
        typed.tolerance[a] = angleToleranceEdits_[a]->text().toStdString();
        typed.reference[a] = referenceEdits_[a]->text().toStdString();
    }
    typed.certificate = certificateEdit_->text().toStdString();
    typed.days = daysEdit_->text().toStdString();
    typed.specimen = specimenEdit_->text().toStdString();
    typed.validDays = validDaysEdit_->text().toStdString();
    return typed;
}

QListWidgetItem* CTileSetSettingsDlg::addTile(const QString& name) {
    auto* item = new QListWidgetItem(name, tileList_);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

void CTileSetSettingsDlg::onAdd() {
    QListWidgetItem* item = addTile(tr("new tile"));
    tileList_->setCurrentItem(item);
    tileList_->editItem(item);
}

void CTileSetSettingsDlg::onRemove() {
    delete tileList_->currentItem();
}

void CTileSetSettingsDlg::onMove(int step) {
    const int from = tileList_->currentRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= tileList_->count()) return;
    tileList_->insertItem(to, tileList_->takeItem(from));
    tileList_->setCurrentRow(to);
}

TileSet CTileSetSettingsDlg::editedSet() const {
    TileSet set;
    set.name = nameEdit_->text().toStdString();
    for (int i = 0; i < tileList_->count(); ++i)
        set.tiles.push_back(tileList_->item(i)->text().toStdString());
    return set;
}

void CTileSetSettingsDlg::tell(int stringId, const std::string& suffix) {
    Message m = messageBox(stringId, Icon::Exclamation);
    m.suffix = suffix;
    context_.prompter.ask(m);
}

QLineEdit* CTileSetSettingsDlg::fieldOf(LimitField field) const {
    switch (field) {
        case LimitField::Mean:
            return meanEdit_;
        case LimitField::Largest:
            return largestEdit_;
        case LimitField::ProductTolerance:
            return toleranceEdit_;
    }
    return meanEdit_;
}

QLineEdit* CTileSetSettingsDlg::fieldOf(const PerformanceProblem& problem) const {
    const auto angle = static_cast<std::size_t>(std::clamp(problem.angle, 0, kAngleCount - 1));
    switch (problem.field) {
        case PerformanceField::Tolerance:
            return angleToleranceEdits_[angle];
        case PerformanceField::Reference:
            return referenceEdits_[angle];
        case PerformanceField::Certificate:
            return certificateEdit_;
        case PerformanceField::Days:
            return daysEdit_;
        case PerformanceField::Specimen:
            return specimenEdit_;
        case PerformanceField::ValidDays:
            return validDaysEdit_;
    }
    return certificateEdit_;
}

void CTileSetSettingsDlg::refuse(const LimitsProblem& problem) {
    refuse(fieldOf(problem.field), describe(problem));
}

void CTileSetSettingsDlg::refuse(QLineEdit* edit, const std::string& why) {
    // A field the limits were refused for: framed in the colour of a failure.
    edit->setStyleSheet(
        QStringLiteral("QLineEdit { border: 2px solid %1; }").arg(palette::failed().name()));
    tell(kStrTileSetRefused, " " + why + ".");
    edit->setFocus();
    edit->selectAll();
}

void CTileSetSettingsDlg::accept() {
    const TileSet set = trimmedTileSet(editedSet());
    if (const TileSetProblem problem = checkTileSet(set); !problem.ok()) {
        tell(kStrTileSetRefused, " " + describe(problem, set) + ".");
        tileList_->setCurrentRow(std::min(static_cast<int>(problem.tile), tileList_->count() - 1));
        tileList_->setFocus();
        return;
    }
    const LimitsReading limits =
        readSetLimits({meanEdit_->text().toStdString(), largestEdit_->text().toStdString(),
                       toleranceEdit_->text().toStdString()},
                      context_.format.decimalSeparator);
    if (!limits.problem.ok()) return refuse(limits.problem);
    const PerformanceReading performance =
        readPerformanceSettings(typedPerformance(), context_.format.decimalSeparator);
    if (performance.problem)
        return refuse(fieldOf(*performance.problem), describe(*performance.problem));
    saveTileSet(context_.profile, set);
    saveSetLimits(context_.profile, limits.limits);
    savePerformanceSettings(context_.profile, performance.settings);
    QDialog::accept();
}

}  // namespace qv
