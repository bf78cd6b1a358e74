#include "gui/tiles/tile_set_settings_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
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

namespace qv {

namespace {
constexpr int kLimitChars = 4;
// A field the limits were refused for.
const QString kRefusedStyle = QStringLiteral("QLineEdit { border: 2px solid #b42318; }");

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
    resize(460, 0);
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
    for (QLineEdit* edit : {meanEdit_, largestEdit_, toleranceEdit_})
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

void CTileSetSettingsDlg::refuse(const LimitsProblem& problem) {
    QLineEdit* edit = fieldOf(problem.field);
    edit->setStyleSheet(kRefusedStyle);
    tell(kStrTileSetRefused, " " + describe(problem) + ".");
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
    saveTileSet(context_.profile, set);
    saveSetLimits(context_.profile, limits.limits);
    QDialog::accept();
}

}  // namespace qv
