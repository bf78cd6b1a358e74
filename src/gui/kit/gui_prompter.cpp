#include "gui/kit/gui_prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

#include "core/app/dib.h"
#include "core/app/string_table.h"
#include "gui/kit/choice_dialog.h"

namespace qv {

namespace {
QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Stop:
            return QMessageBox::Critical;
        case Icon::Exclamation:
        case Icon::Warning:
            break;
    }
    return QMessageBox::Warning;
}

QWidget* currentWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}
}  // namespace

void composeMessageBox(QMessageBox& box, const Message& message, const StringTable& strings) {
    const QString caption = message.captionId == kCaptionApplicationName
                                ? QStringLiteral("QV-L70s")
                                : QString::fromStdString(strings.text(message.captionId));
    box.setIcon(boxIcon(message.icon));
    box.setWindowTitle(caption);
    box.setText(QString::fromStdString(strings.text(message.stringId) + message.suffix));
    // A question asks for consent: what it is about is shown with it, not behind a button.
    const QString detail = QString::fromStdString(message.detail);
    if (!detail.isEmpty() && message.buttons == Buttons::YesNo)
        box.setInformativeText(detail);
    else if (!detail.isEmpty())
        box.setDetailedText(detail);
    switch (message.buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            if (!message.yesText.empty())
                box.button(QMessageBox::Yes)->setText(QString::fromStdString(message.yesText));
            if (!message.noText.empty())
                box.button(QMessageBox::No)->setText(QString::fromStdString(message.noText));
            break;
    }
}

Answer GuiPrompter::ask(const Message& message) {
    QMessageBox box(currentWindow());
    composeMessageBox(box, message, strings_);
    // The operator answers with the arrow even while an exchange shows the wait cursor.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box.exec();
    if (busy) QApplication::restoreOverrideCursor();
    switch (pressed) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            break;
    }
    return message.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

std::optional<std::size_t> GuiPrompter::askChoice(const Message& question,
                                                  const std::vector<std::string>& choices) {
    ChoiceDialog dialog(question, choices, strings_, currentWindow());
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    dialog.exec();
    if (busy) QApplication::restoreOverrideCursor();
    return dialog.chosen();
}

void composeReasonDialog(QInputDialog& dialog, const Message& question,
                         const StringTable& strings) {
    dialog.setObjectName(QStringLiteral("ReasonDialog"));
    dialog.setWindowTitle(QString::fromStdString(strings.text(question.captionId)));
    // What holds the action back on a line of its own, under why it matters.
    dialog.setLabelText(QString::fromStdString(strings.text(question.stringId)) +
                        QStringLiteral("\n\n") +
                        QString::fromStdString(question.suffix).trimmed());
    for (QLabel* label : dialog.findChildren<QLabel*>()) label->setWordWrap(true);
    dialog.setOkButtonText(QApplication::translate("GuiPrompter", "Go ahead"));
    dialog.setMinimumWidth(520);
    dialog.adjustSize();
}

std::optional<std::string> GuiPrompter::askReason(const Message& question) {
    QInputDialog dialog(currentWindow());
    composeReasonDialog(dialog, question, strings_);
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answered = dialog.exec();
    if (busy) QApplication::restoreOverrideCursor();
    if (answered != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().simplified().toStdString();
}

std::optional<std::string> GuiPrompter::askOpenFile(const std::string& startPath,
                                                    const std::string& filter) {
    const QString file =
        QFileDialog::getOpenFileName(currentWindow(), QString(), QString::fromStdString(startPath),
                                     QString::fromStdString(filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

std::optional<std::string> GuiPrompter::askSaveFile(const std::string& startPath,
                                                    const std::string& filter) {
    const QString file =
        QFileDialog::getSaveFileName(currentWindow(), QString(), QString::fromStdString(startPath),
                                     QString::fromStdString(filter));
    if (file.isEmpty()) return std::nullopt;
    return file.toStdString();
}

}  // namespace qv
