#pragma once

#include "core/app/prompter.h"

namespace qv {

class StringTable;

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

private:
    const StringTable& strings_;
};

}  // namespace qv
