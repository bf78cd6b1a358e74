#include "support/scripted_prompter.h"

namespace qv::test {

Answer ScriptedPrompter::ask(const Message& message) {
    asked.push_back(message);
    if (onAsk) onAsk(message);
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return message.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

std::optional<std::string> ScriptedPrompter::askOpenFile(const std::string&, const std::string&) {
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
}

std::optional<std::string> ScriptedPrompter::askSaveFile(const std::string& startPath,
                                                         const std::string&) {
    offeredSavePaths.push_back(startPath);
    if (saveFiles.empty()) return std::nullopt;
    auto f = saveFiles.front();
    saveFiles.pop_front();
    return f;
}

std::optional<std::string> ScriptedPrompter::askReason(const Message& question) {
    asked.push_back(question);
    if (onAsk) onAsk(question);
    if (reasons.empty()) return std::nullopt;
    const auto r = reasons.front();
    reasons.pop_front();
    return r;
}

std::optional<std::size_t> ScriptedPrompter::askChoice(const Message& question,
                                                       const std::vector<std::string>& offered) {
    asked.push_back(question);
    offeredChoices.push_back(offered);
    if (onAsk) onAsk(question);
    if (choices.empty()) return std::nullopt;
    const auto c = choices.front();
    choices.pop_front();
    return c;
}

std::vector<int> ScriptedPrompter::ids() const {
    std::vector<int> out;
    for (const Message& m : asked) out.push_back(m.stringId);
    return out;
}

}  // namespace qv::test
