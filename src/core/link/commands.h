#pragma once

// The instrument's command set: every text the program sends, each bounded by the command
// buffer it is built in (the size counts the terminating zero, so a command holds one character
// less). Builders refuse what does not fit, or would not be a single well-formed command, by
// returning nothing; the caller treats that like a failed write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv {

// Reply time-outs, whole seconds.
inline constexpr int kIdentifyReplyTimeoutS = 1;      // IDR
inline constexpr int kStatusReplyTimeoutS = 1;        // STR
inline constexpr int kSettingsReplyTimeoutS = 5;      // CPR, CPS, USR, USS
inline constexpr int kMeasureReplyTimeoutS = 20;      // MES
inline constexpr int kDataReplyTimeoutS = 5;          // "&"
inline constexpr int kFirstDataReplyTimeoutS = 20;    // first "&" after MES in a repeatability run
inline constexpr int kCalibrationReplyTimeoutS = 20;  // UZC, CAL
inline constexpr int kEntryReplyTimeoutS = 5;         // UCR, UCS, USD

// Pauses of the measurement sequence. Type-40 instruments need time between commands.
inline constexpr std::uint32_t kType40PreambleWaitMs = 2500;
inline constexpr std::uint32_t kType40LineWaitMs = 500;
// Before the measure button of a type-40 instrument is offered again.
inline constexpr std::uint32_t kType40ButtonPauseMs = 1500;
// The 45-degree data line of a target measurement is one raw read after a fixed wait.
inline constexpr std::uint32_t kRawReadWaitMs = 1200;
inline constexpr std::size_t kRawReadMaxBytes = 512;

// Command buffers, bytes including the terminating zero.
inline constexpr std::size_t kShortCommandBufferBytes = 6;
inline constexpr std::size_t kIdentifyTextBufferBytes = 10;  // IDR where only the text is read
inline constexpr std::size_t kSettingsCommandBufferBytes = 50;
inline constexpr std::size_t kEntryReadBufferBytes = 20;
inline constexpr std::size_t kEntryWriteBufferBytes = 512;
inline constexpr std::size_t kEntryDeleteBufferBytes = 10;

// User-calibration entries are numbered 1 to 30 and sent with three digits.
inline constexpr int kFirstEntry = 1;
inline constexpr int kLastEntry = 30;
// One UCS block: 16 reflectances (%) then 16 correction factors.
inline constexpr std::size_t kUcsBlockValueCount = 32;

inline constexpr std::string_view kIdrCommand = "IDR\r\n";
inline constexpr std::string_view kStrCommand = "STR\r\n";
inline constexpr std::string_view kCprCommand = "CPR\r\n";
inline constexpr std::string_view kUsrCommand = "USR\r\n";
inline constexpr std::string_view kUssCommand = "USS,0\r\n";
inline constexpr std::string_view kMesCommand = "MES\r\n";
inline constexpr std::string_view kNextLineCommand = "&\r\n";
inline constexpr std::string_view kZeroCalibrationCommand = "UZC\r\n";
inline constexpr std::string_view kWhiteCalibrationCommand = "CAL\r\n";

// True when `command` fits a buffer of `bufferBytes` with its terminating zero.
constexpr bool fitsBuffer(std::string_view command, std::size_t bufferBytes) {
    return command.size() < bufferBytes;
}

// "%03d" of an entry number from 1 to 30; nothing otherwise.
std::optional<std::string> entryNumberText(int entry);

// "UCR,1,<entry>\r\n" (20-byte buffer).
std::optional<std::string> buildUcrCommand(int entry);

// "UCS,1,<entry>,<comment>,<time stamp>,<serial>\r\n" (512-byte buffer). Nothing when a text
// holds a line break or a zero byte, or the whole does not fit.
std::optional<std::string> buildUcsHeaderCommand(int entry, std::string_view comment,
                                                 std::string_view timeStamp,
                                                 std::string_view serial);

// "UCS,<2..4>,<entry>,v1,...,v32\r\n" for angle index 0..2 (512-byte buffer). Each value is
// formatted like "%4.2lf" with a point whatever the locale. Nothing unless there are exactly 32
// finite values and the command fits.
std::optional<std::string> buildUcsBlockCommand(int entry, int angle,
                                                std::span<const double> values);

// "USD,<entry>\r\n" (10-byte buffer).
std::optional<std::string> buildUsdCommand(int entry);

}  // namespace qv
