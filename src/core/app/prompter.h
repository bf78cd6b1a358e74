#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/app/string_ids.h"

namespace qv {

enum class Icon { Information, Exclamation, Stop, Question, Warning };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

// One message box: a text from the string table, optionally followed by a suffix (a value).
struct Message {
    int stringId = 0;
    Icon icon = Icon::Information;
    Buttons buttons = Buttons::Ok;
    std::string suffix;
    // What went wrong in technical words, shown on request; empty for most messages.
    std::string detail;
    int captionId = kStrErrorCaption;
    // Words for the Yes and No buttons of a question whose answers are actions ("Go back");
    // empty: Yes and No.
    std::string yesText, noText;
};

// Everything the workflows ask the operator goes through here: message boxes in the
// desktop program, printed lines on the command line, scripted answers in tests.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual Answer ask(const Message& message) = 0;
    // Asks for a file to open; nothing when the operator cancels.
    virtual std::optional<std::string> askOpenFile(const std::string& startPath,
                                                   const std::string& filter) = 0;
    // Asks a question of fact, offering `choices`; the index chosen, nothing when the operator
    // cancels or the program has no way to ask (the command line takes such facts as options).
    virtual std::optional<std::size_t> askChoice(const Message& /*question*/,
                                                 const std::vector<std::string>& /*choices*/) {
        return std::nullopt;
    }
    // Asks why an action should go ahead although `question` (its reason given as the suffix)
    // holds it back: a supervisor's reason, recorded with the action; nothing when refused or
    // the program has no way to ask (the command line takes it as --override).
    virtual std::optional<std::string> askReason(const Message& /*question*/) {
        return std::nullopt;
    }
    // Asks where to save a new file, offering `startPath`; nothing when the operator cancels
    // or the program has no way to ask.
    virtual std::optional<std::string> askSaveFile(const std::string& /*startPath*/,
                                                   const std::string& /*filter*/) {
        return std::nullopt;
    }
};

}  // namespace qv
