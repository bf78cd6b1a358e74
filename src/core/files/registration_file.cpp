#include "core/files/registration_file.h"

#include <algorithm>

#include "core/app/string_ids.h"

namespace qv {

namespace {

constexpr std::size_t kHeaderLines = 3;
constexpr std::size_t kFirstSpectrumLine = 6;
constexpr std::size_t kLastLine = kFirstSpectrumLine + kAngleCount - 1;

ReadStop readHeaderLine(const std::vector<std::string>& fields, const StringTable& texts,
                        RegistrationFileRead& out) {
    const auto value = headerValue(fields);
    if (!value) return ReadStop::None;
    const std::string_view key = fields.front();
    if (isKey(key, texts, kStrRegisteredSerialLabel)) {
        out.targetSerial = trimmedSerial(*value);
        return out.targetSerial->size() < kMinSerialChars ? ReadStop::ShortSerial : ReadStop::None;
    }
    const bool refused =
        isKey(key, texts, kStrRefusedRegistrationKey) || isKey(key, texts, kStrInstrumentLabel);
    return refused ? ReadStop::RefusedKey : ReadStop::None;
}

ReadStop readSpectrumLine(const std::vector<std::string>& fields, int angle,
                          const NumberFormat& format, AngleSpectrum& out) {
    if (fields.size() == 1 && fields.front().empty()) return ReadStop::EmptyLine;
    const bool sawEmpty =
        appendSpectrumLine(fields, kAngleDegrees[angle], format, EmptyField::EndsReading, out);
    return sawEmpty ? ReadStop::EmptyField : ReadStop::None;
}

}  // namespace

RegistrationFileRead readRegistrationFile(std::string_view text, const NumberFormat& format,
                                          const StringTable& texts, const CsvLimits& limits) {
    RegistrationFileRead out;
    const CsvReadResult csv = readLeadingLines(text, kLastLine, format, limits);
    if (!csv.ok()) {
        out.csvError = csv.error;
        out.csvErrorLine = csv.errorLine;
        return out;
    }
    const auto& lines = csv.table.lines;
    for (std::size_t line = 1; line <= lines.size(); ++line) {
        const auto& fields = lines[line - 1];
        if (line <= kHeaderLines) {
            out.stop = readHeaderLine(fields, texts, out);
        } else if (line >= kFirstSpectrumLine) {
            const int angle = static_cast<int>(line - kFirstSpectrumLine);
            out.stop = readSpectrumLine(fields, angle, format, out.spectra[angle]);
        }
        if (out.stop != ReadStop::None) {
            out.stopLine = line;
            break;
        }
    }
    out.accepted = std::all_of(out.spectra.begin(), out.spectra.end(),
                               [](const auto& s) { return s.size() >= kMinRegistrationValues; });
    return out;
}

}  // namespace qv
