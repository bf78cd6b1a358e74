#pragma once

#include "core/app/prompter.h"

class QInputDialog;
class QMessageBox;

namespace qv {

class StringTable;

// The message box ask() shows for `message` (the screenshots render the same).
void composeMessageBox(QMessageBox& box, const Message& message, const StringTable& strings);

// The window askReason() shows for `question`: its words above a line for the reason.
void composeReasonDialog(QInputDialog& dialog, const Message& question, const StringTable& strings);

// Message boxes of the desktop program: the text of the message's string, its suffix, the
// caption string (111 unless the message says otherwise), icon and buttons.
class GuiPrompter : public Prompter {
public:
    explicit GuiPrompter(const StringTable& strings) : strings_(strings) {}
    Answer ask(const Message& message) override;
    std::optional<std::string> askOpenFile(const std::string& startPath,
                                           const std::string& filter) override;
    std::optional<std::string> askSaveFile(const std::string& startPath,
                                           const std::string& filter) override;
    std::optional<std::size_t> askChoice(const Message& question,
                                         const std::vector<std::string>& choices) override;
    // A line for the supervisor's reason under the question; Cancel keeps the action held back.
    std::optional<std::string> askReason(const Message& question) override;

private:
    const StringTable& strings_;
};

}  // namespace qv
