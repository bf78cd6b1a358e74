#include "sim/faults.h"

#include <charconv>

#include "sim/text_escape.h"

namespace qv::sim {
namespace {

constexpr long kMaxDelayMs = 600'000;
constexpr std::size_t kMaxFloodBytes = 64u << 20;

bool parseCount(std::string_view text, long max, long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 0 && value <= max;
}

// "2,30" or "2,30,5,100": byte counts and pauses in pairs.
bool parseChunks(std::string_view text, std::vector<std::pair<std::size_t, int>>& chunks) {
    std::vector<long> numbers;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        long v = 0;
        if (!parseCount(text.substr(0, comma), kMaxDelayMs, v)) return false;
        numbers.push_back(v);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (text.empty()) return false;
    }
    if (numbers.empty() || numbers.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < numbers.size(); i += 2) {
        // An empty piece would carry its pause nowhere: the rest would follow at once.
        if (numbers[i] == 0) return false;
        chunks.emplace_back(static_cast<std::size_t>(numbers[i]), static_cast<int>(numbers[i + 1]));
    }
    return true;
}

// One ACTION word (and, for "reply", the word after it).
bool parseAction(const std::vector<std::string>& words, std::size_t& i, Fault& f,
                 std::string& error) {
    const std::string& w = words[i];
    const std::size_t eq = w.find('=');
    const std::string key = w.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : w.substr(eq + 1);
    const bool hasValue = eq != std::string::npos;
    FaultEffect& e = f.effect;
    long n = 0;
    if (key == "silence" && !hasValue) {
        e.silence = true;
    } else if (key == "hangup" && !hasValue) {
        e.hangup = true;
    } else if (key == "nolf" && !hasValue) {
        e.noLineFeed = true;
    } else if (key == "reply") {
        std::string raw = value;
        if (!hasValue) {
            if (i + 1 >= words.size()) return error = "reply needs a text", false;
            raw = words[++i];
        }
        auto text = unescapeBytes(raw);
        if (!text) return error = "bad escape in reply text", false;
        e.reply = *text;
    } else if (key == "prefix" && hasValue) {
        auto bytes = unescapeBytes(value);
        if (!bytes) return error = "bad escape in prefix", false;
        e.prefix = *bytes;
    } else if (key == "flood") {
        e.floodBytes = kDefaultFloodBytes;
        if (hasValue) {
            if (!parseCount(value, static_cast<long>(kMaxFloodBytes), n) || n == 0) {
                return error = "flood size must be 1 to " + std::to_string(kMaxFloodBytes), false;
            }
            e.floodBytes = static_cast<std::size_t>(n);
        }
    } else if (key == "delay" && hasValue) {
        if (!parseCount(value, kMaxDelayMs, n))
            return error = "delay must be 0 to 600000 ms", false;
        e.delayMs = static_cast<int>(n);
    } else if (key == "chunks" && hasValue) {
        if (!parseChunks(value, e.chunks))
            return error = "chunks takes BYTES,MS[,BYTES,MS...] with BYTES 1 or more", false;
    } else if (key == "occurrence" && hasValue) {
        if (!parseCount(value, 1'000'000, n) || n == 0)
            return error = "occurrence must be 1 or more", false;
        f.occurrence = static_cast<int>(n);
    } else {
        return error = "unknown fault action '" + w + "'", false;
    }
    return true;
}

void merge(FaultEffect& into, const FaultEffect& from) {
    into.silence = into.silence || from.silence;
    into.hangup = into.hangup || from.hangup;
    into.noLineFeed = into.noLineFeed || from.noLineFeed;
    if (from.reply) into.reply = from.reply;
    if (!from.prefix.empty()) into.prefix = from.prefix;
    if (from.floodBytes) into.floodBytes = from.floodBytes;
    if (from.delayMs) into.delayMs = from.delayMs;
    if (!from.chunks.empty()) into.chunks = from.chunks;
}

}  // namespace

std::optional<Fault> parseFault(const std::vector<std::string>& words, std::string& error) {
    if (words.size() < 2) {
        error = "fault needs a command and an action";
        return std::nullopt;
    }
    Fault f;
    f.command = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (!parseAction(words, i, f, error)) return std::nullopt;
    }
    for (const std::string& w : words) f.text += (f.text.empty() ? "" : " ") + w;
    return f;
}

std::optional<FaultEffect> applyFaults(std::vector<Fault>& faults, std::string_view mnemonic) {
    std::optional<FaultEffect> effect;
    for (Fault& f : faults) {
        if (f.command != "*" && f.command != mnemonic) continue;
        ++f.seen;
        if (f.occurrence != 0 && f.occurrence != f.seen) continue;
        if (!effect) effect.emplace();
        merge(*effect, f.effect);
    }
    return effect;
}

}  // namespace qv::sim
