#pragma once

// Faults set on the line at run time: how the answer to a command is altered. The instrument
// still carries out the command; only what goes back over the line changes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::sim {

struct FaultEffect {
    bool silence = false;              // no answer at all
    bool hangup = false;               // close the line instead of answering
    bool noLineFeed = false;           // the answer ends with CR only
    std::optional<std::string> reply;  // answer text in place of the real one (CR LF added)
    std::string prefix;                // bytes sent before the answer
    std::size_t floodBytes = 0;        // this many bytes without a line feed instead of the answer
    int delayMs = 0;                   // pause before the first byte
    // Split the answer: send `first` bytes, pause `second` ms, next pair, then the rest.
    std::vector<std::pair<std::size_t, int>> chunks;
};

struct Fault {
    std::string command;  // mnemonic as received ("IDR", "&", "UCS"), or "*" for every command
    int occurrence = 0;   // 0: every matching command; N: only the Nth after the fault was set
    int seen = 0;         // matching commands since the fault was set
    FaultEffect effect;
    std::string text;  // as it was given, for the status report
};

// Parses "CMD ACTION [ACTION ...] [occurrence=N]" (the words after "fault"). On failure
// returns nothing and says why in `error`.
std::optional<Fault> parseFault(const std::vector<std::string>& words, std::string& error);

// Every fault that applies to this command, merged in the order they were set (later ones win
// where they disagree). Counts the command for each fault that watches its mnemonic.
std::optional<FaultEffect> applyFaults(std::vector<Fault>& faults, std::string_view mnemonic);

// The default size of a flood when none is given.
inline constexpr std::size_t kDefaultFloodBytes = 1u << 20;

}  // namespace qv::sim
