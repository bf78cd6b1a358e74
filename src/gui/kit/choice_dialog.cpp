#include "gui/kit/choice_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/string_table.h"

namespace qv {

ChoiceDialog::ChoiceDialog(const Message& question, const std::vector<std::string>& choices,
                           const StringTable& strings, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ChoiceDialog"));
    setWindowTitle(QStringLiteral("QV-L70s"));
    auto* icon = new QLabel(this);
    const int iconPx = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(iconPx, iconPx));
    auto* text =
        new QLabel(QString::fromStdString(strings.text(question.stringId) + question.suffix), this);
    text->setObjectName(QStringLiteral("questionLabel"));
    text->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("choiceList"));
    for (const std::string& c : choices) list_->addItem(QString::fromStdString(c));
    auto* detail = new QLabel(QString::fromStdString(question.detail), this);
    detail->setObjectName(QStringLiteral("detailLabel"));
    detail->setWordWrap(true);
    detail->setVisible(!question.detail.empty());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setEnabled(false);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(detail);
    layout->addWidget(buttons);
    resize(640, 360);
    // Selected, not merely current: focus makes a row current without the operator's choice.
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { ok_->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void ChoiceDialog::accept() {
    if (!list_->selectedItems().isEmpty()) QDialog::accept();
}

std::optional<std::size_t> ChoiceDialog::chosen() const {
    const QList<QListWidgetItem*> picked = list_->selectedItems();
    if (result() != QDialog::Accepted || picked.isEmpty()) return std::nullopt;
    return static_cast<std::size_t>(list_->row(picked.front()));
}

}  // namespace qv
