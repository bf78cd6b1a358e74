#include "gui/verdict/threshold_diff_dlg.h"

#include "core/app/string_table.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "ui_threshold_diff_dlg.h"

namespace qv {

namespace {
constexpr int kRepeatLabelId = 104;
constexpr int kInstLabelId = 105;

struct FormulaChoice {
    DeltaEFormula formula;
    const char* text;
};
constexpr FormulaChoice kFormulas[] = {
    {DeltaEFormula::Cie76, "dE*ab  (CIE 1976)"},
    {DeltaEFormula::Cie94, "dE94  (CIE 1994)"},
    {DeltaEFormula::Ciede2000, "dE00  (CIEDE2000)"},
    {DeltaEFormula::Cmc, "dE CMC(1:1)"},
};
}  // namespace

CThresholdDiffDlg::CThresholdDiffDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CThresholdDiffDlg>()),
      context_(context),
      workflow_(context) {
    ui_->setupUi(this);
    ui_->repeatLabel->setText(QString::fromStdString(context.strings.text(kRepeatLabelId)) +
                              QLatin1Char(':'));
    ui_->instLabel->setText(QString::fromStdString(context.strings.text(kInstLabelId)) +
                            QLatin1Char(':'));
    for (const FormulaChoice& choice : kFormulas)
        ui_->formulaCombo->addItem(QString::fromLatin1(choice.text), int(choice.formula));
    const ThresholdView& view = workflow_.open();
    ui_->formulaCombo->setCurrentIndex(ui_->formulaCombo->findData(int(view.formula)));
    showEdits();
    showUnits();
    connect(ui_->repeatEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { onTextEdited(ThresholdField::Repeat, text); });
    connect(ui_->instEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { onTextEdited(ThresholdField::Inst, text); });
    connect(ui_->formulaCombo, &QComboBox::activated, this, &CThresholdDiffDlg::onFormulaChosen);
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &CThresholdDiffDlg::accept);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fitHeightToContents(this);
}

CThresholdDiffDlg::~CThresholdDiffDlg() = default;

QLineEdit* CThresholdDiffDlg::edit(ThresholdField field) const {
    return field == ThresholdField::Inst ? ui_->instEdit : ui_->repeatEdit;
}

void CThresholdDiffDlg::showEdits() {
    ui_->repeatEdit->setText(QString::fromStdString(workflow_.view().repeatText));
    ui_->instEdit->setText(QString::fromStdString(workflow_.view().instText));
}

void CThresholdDiffDlg::showUnits() {
    const QString unit = QString::fromStdString(displayLabel(workflow_.view().formula));
    ui_->repeatUnitLabel->setText(unit);
    ui_->instUnitLabel->setText(unit);
}

void CThresholdDiffDlg::onTextEdited(ThresholdField field, const QString& text) {
    if (workflow_.textChanged(field, text.toStdString())) {
        const int cursor = edit(field)->cursorPosition();
        showEdits();
        edit(field)->setCursorPosition(cursor + 1);
    }
}

void CThresholdDiffDlg::onFormulaChosen(int index) {
    workflow_.formulaChosen(static_cast<DeltaEFormula>(ui_->formulaCombo->itemData(index).toInt()));
    showUnits();
}

void CThresholdDiffDlg::accept() {
    const auto result =
        workflow_.ok(ui_->repeatEdit->text().toStdString(), ui_->instEdit->text().toStdString());
    if (result.close) {
        QDialog::accept();
        return;
    }
    if (result.focus != ThresholdField::None) {
        edit(result.focus)->setFocus();
        edit(result.focus)->selectAll();
    }
}

}  // namespace qv
