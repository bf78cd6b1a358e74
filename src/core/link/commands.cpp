#include "core/link/commands.h"

#include <charconv>
#include <cmath>

#include "core/app/number_format.h"

namespace qv {

static_assert(fitsBuffer(kIdrCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kStrCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kCprCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kUsrCommand, kSettingsCommandBufferBytes));
static_assert(fitsBuffer(kUssCommand, kSettingsCommandBufferBytes));
static_assert(fitsBuffer(kMesCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kNextLineCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kZeroCalibrationCommand, kShortCommandBufferBytes));
static_assert(fitsBuffer(kWhiteCalibrationCommand, kShortCommandBufferBytes));

namespace {

constexpr std::string_view kTerminator = "\r\n";

std::optional<std::string> bounded(std::string command, std::size_t bufferBytes) {
    if (!fitsBuffer(command, bufferBytes)) return std::nullopt;
    return command;
}

// A free text argument must not end the command early or start a second one.
bool isSingleLineText(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> entryNumberText(int entry) {
    if (entry < kFirstEntry || entry > kLastEntry) return std::nullopt;
    const char digits[] = {static_cast<char>('0' + entry / 100),
                           static_cast<char>('0' + entry / 10 % 10),
                           static_cast<char>('0' + entry % 10)};
    return std::string(digits, sizeof digits);
}

std::optional<std::string> buildUcrCommand(int entry) {
    const auto number = entryNumberText(entry);
    if (!number) return std::nullopt;
    return bounded("UCR,1," + *number + std::string(kTerminator), kEntryReadBufferBytes);
}

std::optional<std::string> buildUcsHeaderCommand(int entry, std::string_view comment,
                                                 std::string_view timeStamp,
                                                 std::string_view serial) {
    const auto number = entryNumberText(entry);
    if (!number) return std::nullopt;
    for (std::string_view text : {comment, timeStamp, serial}) {
        if (!isSingleLineText(text)) return std::nullopt;
        if (text.size() >= kEntryWriteBufferBytes) return std::nullopt;
    }
    std::string command = "UCS,1," + *number;
    for (std::string_view text : {comment, timeStamp, serial}) {
        command += ',';
        command += text;
    }
    command += kTerminator;
    return bounded(std::move(command), kEntryWriteBufferBytes);
}

std::optional<std::string> buildUcsBlockCommand(int entry, int angle,
                                                std::span<const double> values) {
    const auto number = entryNumberText(entry);
    if (!number || angle < 0 || angle > 2 || values.size() != kUcsBlockValueCount) {
        return std::nullopt;
    }
    std::string command = "UCS," + std::to_string(angle + 2) + "," + *number;
    for (double v : values) {
        if (!std::isfinite(v)) return std::nullopt;
        command += ',';
        command += instrumentNumber(v);
        if (!fitsBuffer(command, kEntryWriteBufferBytes)) return std::nullopt;
    }
    command += kTerminator;
    return bounded(std::move(command), kEntryWriteBufferBytes);
}

std::optional<std::string> buildUsdCommand(int entry) {
    const auto number = entryNumberText(entry);
    if (!number) return std::nullopt;
    return bounded("USD," + *number + std::string(kTerminator), kEntryDeleteBufferBytes);
}

}  // namespace qv
