#include "core/coeff/entry_rules.h"

#include <cstdio>

namespace qv {

namespace {
constexpr std::string_view kWhiteSpace = " \t\r\n";
constexpr std::string_view kCommentCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890:. ";
}  // namespace

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

std::string normalisedComment(std::string_view typed) {
    std::string out(trimmed(typed));
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::optional<char> forbiddenCommentCharacter(std::string_view comment) {
    const std::size_t at = comment.find_first_not_of(kCommentCharacters);
    if (at == std::string_view::npos) return std::nullopt;
    return comment[at];
}

std::string writtenComment(std::string_view comment) {
    return std::string(comment.substr(0, kMaxEntryComment));
}

std::string entryTimeStamp(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year,
                  t.hour, t.minute, t.second);
    return text;
}

bool isKnownInstrument(const IdentifyResult& id) {
    return id.ok();
}

bool isType53Instrument(const IdentifyResult& id) {
    return id.type53();
}

std::string connectedSerial(const IdentifyResult& id) {
    return id.reply.empty() ? std::string(" ") : identificationText(id.reply);
}

std::optional<std::string> unsendableSerial(std::string_view serial) {
    for (char c : serial) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char text[64];
            std::snprintf(text, sizeof text, "the serial holds the control byte 0x%02X", byte);
            return std::string(text);
        }
        if (c == ',') return std::string("the serial holds a comma");
    }
    return std::nullopt;
}

CheckRecord entryRecord(const Seams& seams, RecordKind kind, const std::string& serial,
                        const std::string& type, int entry, const std::string& comment,
                        const std::string& file) {
    CheckRecord r = emptyRecord(kind, localTimeOf(seams.clock.calendarSeconds()));
    r.serial = serial;
    r.instrumentType = type;
    r.entry = entry;
    r.comment = trimmed(comment);  // as the list shows it, without the reply's line end
    if (!file.empty()) r.files.push_back(file);
    return r;
}

void recordEntryChange(const Seams& seams, RecordKind kind, const std::string& serial,
                       const std::string& type, int entry, const std::string& comment,
                       const std::string& file) {
    if (seams.logbook)
        seams.logbook->recordMarked(entryRecord(seams, kind, serial, type, entry, comment, file));
}

}  // namespace qv
