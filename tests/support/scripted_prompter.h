#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/prompter.h"

namespace qv::test {

// Answers message boxes from a script and records every message asked. When the script
// runs dry the first button's answer is given (OK or Yes).
class ScriptedPrompter : public Prompter {
public:
    Answer ask(const Message& message) override;
    std::optional<std::string> askOpenFile(const std::string& startPath,
                                           const std::string& filter) override;
    std::optional<std::string> askSaveFile(const std::string& startPath,
                                           const std::string& filter) override;
    // Recorded among `asked` like a message; answered from `choices`, none when it runs dry.
    std::optional<std::size_t> askChoice(const Message& question,
                                         const std::vector<std::string>& offered) override;

    // Recorded among `asked`; answered from `reasons`, none (held back) when it runs dry.
    std::optional<std::string> askReason(const Message& question) override;

    std::deque<Answer> answers;
    std::deque<std::optional<std::string>> reasons;
    std::deque<std::optional<std::string>> files;
    // The answers to save-file questions, and the paths each question offered.
    std::deque<std::optional<std::string>> saveFiles;
    std::vector<std::string> offeredSavePaths;
    std::vector<Message> asked;
    std::deque<std::optional<std::size_t>> choices;
    std::vector<std::vector<std::string>> offeredChoices;
    // Called with each message as it is asked, before it is answered.
    std::function<void(const Message&)> onAsk;

    // The string numbers asked, in order.
    std::vector<int> ids() const;
};

}  // namespace qv::test
