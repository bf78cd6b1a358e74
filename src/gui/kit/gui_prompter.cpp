#include "gui/kit/gui_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "core/app/dib.h"
#include "core/app/string_table.h"

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

Answer GuiPrompter::ask(const Message& message) {
    const QString caption = message.captionId == kCaptionApplicationName
                                ? QStringLiteral("QV-L70s")
                                : QString::fromStdString(strings_.text(message.captionId));
    const QString text = QString::fromStdString(strings_.text(message.stringId) + message.suffix);
    QMessageBox box(boxIcon(message.icon), caption, text, QMessageBox::NoButton, currentWindow());
    if (!message.detail.empty()) box.setDetailedText(QString::fromStdString(message.detail));
    switch (message.buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
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
