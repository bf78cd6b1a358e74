#include "sim/instrument.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace qv::sim {
namespace {

constexpr std::string_view kOk = "OK00";
// Field 3 of the identification reply: four characters with its comma, so that the
// identification text starts at offset 12.
constexpr std::string_view kModelField = "L70";
constexpr std::string_view kFirmwareField = "V1.04";

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return fields;
        text.remove_prefix(comma + 1);
    }
}

Answer reply(std::string_view text, bool changed = false) {
    return {std::string(text), changed};
}

// Entry numbers travel as exactly three digits, 001 to 030.
std::optional<int> entryIndex(std::string_view text) {
    if (text.size() != 3) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > kEntryCount) return std::nullopt;
    return n - 1;
}

bool printable(std::string_view text, std::size_t maxChars) {
    if (text.size() > maxChars) return false;
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::optional<double> parseValue(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    double v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string joinValues(const double* values, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += ',';
        out += formatValue(values[i]);
    }
    return out;
}

}  // namespace

std::string formatValue(double v) {
    char buf[512];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    std::string text = ec == std::errc() ? std::string(buf, ptr) : std::string("0.00");
    return text == "-0.00" ? "0.00" : text;
}

Instrument::Instrument(InstrumentConfig config) : config_(std::move(config)), rng_(config_.seed) {}

void Instrument::reconfigure(const InstrumentConfig& config) {
    if (config.seed != config_.seed) rng_.seed(config.seed);
    config_ = config;
}

void Instrument::setEntries(const EntryTable& entries) {
    entries_ = entries;
    nextSequence_ = 1;
    for (const UserEntry& e : entries_) nextSequence_ = std::max(nextSequence_, e.sequence + 1);
}

Answer Instrument::answer(std::string_view command) {
    const auto f = splitFields(command);
    const std::string_view m = f[0];
    const bool bare = f.size() == 1;
    if (m == "IDR") return bare ? identify() : reply(kBadArgument);
    if (m == "STR") return bare ? reply("OK00,0") : reply(kBadArgument);
    if (m == "CPR") return bare ? reply(std::string(kOk) + conditions_) : reply(kBadArgument);
    if (m == "CPS") return setConditions(command);
    if (m == "USR")
        return bare ? reply(std::string(kOk) + "," + userSetting_) : reply(kBadArgument);
    if (m == "USS") return setUserSetting(f);
    if (m == "UZC" || m == "CAL") {
        if (!bare) return reply(kBadArgument);
        (m == "UZC" ? zeroDone_ : whiteDone_) = true;
        return reply(kOk);
    }
    if (m == "MES") return bare ? measure() : reply(kBadArgument);
    if (m == "&") return bare ? nextStreamLine() : reply(kBadArgument);
    if (m == "UCR") return readEntry(f);
    if (m == "UCS") return writeEntry(f);
    if (m == "USD") return deleteEntry(f);
    return reply(kUnknownCommand);
}

Answer Instrument::identify() const {
    if (config_.type == "three-field") return reply("OK00, 0, 0, 1");
    return reply(std::string(kOk) + "," + config_.type + "," + std::string(kModelField) + "," +
                 config_.idText + "," + std::string(kFirmwareField));
}

// CPS carries the conditions in the shape CPR reported them: same length, commas in the same
// places, digits or blanks between.
Answer Instrument::setConditions(std::string_view command) {
    const std::string_view values = command.substr(3);
    if (values.size() != conditions_.size()) return reply(kBadArgument);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const bool comma = values[i] == ',';
        if (comma != (conditions_[i] == ',')) return reply(kBadArgument);
        if (!comma && values[i] != ' ' && (values[i] < '0' || values[i] > '9')) {
            return reply(kBadArgument);
        }
    }
    conditions_ = std::string(values);
    return reply(kOk);
}

Answer Instrument::setUserSetting(const std::vector<std::string_view>& f) {
    if (f.size() != 2 || f[1].empty() || f[1].size() > 2) return reply(kBadArgument);
    for (char c : f[1]) {
        if (c < '0' || c > '9') return reply(kBadArgument);
    }
    userSetting_ = std::string(f[1]);
    return reply(kOk);
}

double Instrument::bent(double reading, int angle) const {
    const std::size_t a = static_cast<std::size_t>(angle);
    const double k = config_.linearity[a];
    const double c = config_.cubic[a];
    const double r = reading / 100.0;
    return reading + k * reading * (1.0 - r) + c * reading * (1.0 - r) * (r - 0.5);
}

AngleSpectra Instrument::photometric(AngleSpectra values) const {
    for (int a = 0; a < kAngleCount; ++a) {
        const std::size_t i = static_cast<std::size_t>(a);
        for (int j = 0; j < kSpectrumPoints; ++j) {
            const double nm = kStartNm + kStepNm * j;
            const double tilt = 1.0 + config_.gainTilt[i] * (nm - 550.0) / 100.0;
            const double amplitude = config_.rippleAmplitude[i] / 100.0;
            const double ripple =
                amplitude == 0.0
                    ? 1.0
                    : 1.0 + amplitude * std::sin(2.0 * std::numbers::pi * (nm - kStartNm) /
                                                 config_.ripplePeriodNm[i]);
            values[i][j] =
                bent(config_.gain[i] * tilt * ripple * values[i][j] + config_.offset[i], a);
        }
    }
    return values;
}

AngleWavelengthErrors Instrument::wavelengthErrors() const {
    AngleWavelengthErrors errors{};
    for (std::size_t a = 0; a < errors.size(); ++a)
        errors[a] = {config_.shiftNm[a], config_.scaleError[a], config_.bandwidthNm2[a],
                     config_.passLeftNm[a], config_.passRightNm[a]};
    return errors;
}

AngleSpectra Instrument::specimenSeen() const {
    const double warmingNm = config_.thermoNmPerC * (config_.roomC - 23.0);
    AngleSpectra values =
        specimenSpectra(config_.specimen, wavelengthErrors(), warmingNm).value_or(AngleSpectra{});
    if (config_.specimen == config_.dirtySpecimen) {
        for (Spectrum31& angle : values)
            for (double& v : angle) v *= config_.dirtyFactor;
    }
    return values;
}

AngleSpectra Instrument::truthSeen() const {
    return photometric(specimenSeen());
}

double Instrument::gaussianNoise() {
    // Box-Muller over the engine's raw output, so a seed gives the same numbers everywhere.
    const double u1 = (static_cast<double>(rng_()) + 0.5) / 4294967296.0;
    const double u2 = (static_cast<double>(rng_()) + 0.5) / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

AngleSpectra Instrument::takeReading() {
    return read(specimenSeen());
}

AngleSpectra Instrument::takeReadingOf(const AngleSpectra& truth) {
    return read(spectraSeen(truth, wavelengthErrors()));
}

AngleSpectra Instrument::read(AngleSpectra seen) {
    // Drawn only when asked for, so that instruments without placement scatter keep the noise
    // sequence of their seed.
    for (std::size_t a = 0; a < seen.size(); ++a) {
        const double sdGain = config_.placementGainSd[a];
        const double sdOffset = config_.placementOffsetSd[a];
        const double gain = sdGain > 0.0 ? 1.0 + sdGain / 100.0 * gaussianNoise() : 1.0;
        const double offset = sdOffset > 0.0 ? sdOffset * gaussianNoise() : 0.0;
        for (double& v : seen[a]) v = v * gain + offset;
    }
    AngleSpectra values = photometric(seen);
    const auto factors = correctionFactors();
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) {
            double v = values[a][j];
            if (config_.noise > 0.0) v += config_.noise * gaussianNoise();
            if (factors) v *= (*factors)[a][j];
            values[a][j] = v;
        }
    }
    return values;
}

Answer Instrument::measure() {
    const AngleSpectra values = takeReading();
    ++measurementCount_;
    stream_.clear();
    streamPos_ = 0;
    for (int a = 0; a < kAngleCount; ++a) {
        const std::string angle = std::to_string(kAngleDegrees[a]);
        stream_.push_back(std::string(kOk) + "," + joinValues(values[a].data(), kSpectrumPoints));
        stream_.push_back(std::string(kOk) + "," + angle + "," + std::to_string(measurementCount_));
    }
    if (config_.type == "53") stream_.push_back("OK00,END");
    return reply(kOk);
}

Answer Instrument::nextStreamLine() {
    if (streamPos_ >= stream_.size()) return reply(kNoData);
    return reply(stream_[streamPos_++]);
}

Answer Instrument::readEntry(const std::vector<std::string_view>& f) const {
    if (f.size() != 3 || f[1].size() != 1 || f[1][0] < '1' || f[1][0] > '4')
        return reply(kBadArgument);
    const auto index = entryIndex(f[2]);
    if (!index) return reply(kBadArgument);
    const UserEntry& e = entries_[*index];
    if (f[1] == "1") {
        if (!e.written) return reply("OK00,");
        return reply("OK00," + e.comment + "," + e.timeStamp + "," + e.serial);
    }
    const int angle = f[1][0] - '2';
    if (!e.haveBlock[angle]) return reply("OK00,");
    return reply("OK00," + joinValues(e.blocks[angle].data(), kBlockValues));
}

Answer Instrument::writeEntry(const std::vector<std::string_view>& f) {
    if (f.size() < 3 || f[1].size() != 1 || f[1][0] < '1' || f[1][0] > '4')
        return reply(kBadArgument);
    const auto index = entryIndex(f[2]);
    if (!index) return reply(kBadArgument);
    UserEntry& e = entries_[*index];
    if (f[1] == "1") {
        if (f.size() != 6 || !printable(f[3], kMaxCommentChars) ||
            !printable(f[4], kMaxHeaderChars) || !printable(f[5], kMaxHeaderChars)) {
            return reply(kBadArgument);
        }
        // A new header starts a new entry: blocks of an older one must not be mixed in.
        e = UserEntry{};
        e.written = true;
        e.comment = std::string(f[3]);
        e.timeStamp = std::string(f[4]);
        e.serial = std::string(f[5]);
        e.sequence = nextSequence_++;
        return reply(kOk, true);
    }
    if (f.size() != 3 + kBlockValues) return reply(kBadArgument);
    std::array<double, kBlockValues> block{};
    for (int i = 0; i < kBlockValues; ++i) {
        const auto v = parseValue(f[3 + i]);
        if (!v) return reply(kBadArgument);
        block[i] = *v;
    }
    const int angle = f[1][0] - '2';
    e.blocks[angle] = block;
    e.haveBlock[angle] = true;
    e.sequence = nextSequence_++;
    return reply(kOk, true);
}

Answer Instrument::deleteEntry(const std::vector<std::string_view>& f) {
    if (f.size() != 2) return reply(kBadArgument);
    const auto index = entryIndex(f[1]);
    if (!index) return reply(kBadArgument);
    entries_[*index] = UserEntry{};
    return reply(kOk, true);
}

const UserEntry* Instrument::applyingEntry() const {
    switch (config_.entryRule) {
        case InstrumentConfig::EntryRule::None:
            return nullptr;
        case InstrumentConfig::EntryRule::ByNumber: {
            // The panel's choice applies as it stands, whatever serial it was written for.
            const UserEntry& e = entries_[static_cast<std::size_t>(config_.entryNumber - 1)];
            return e.complete() ? &e : nullptr;
        }
        case InstrumentConfig::EntryRule::LastWritten:
            break;
    }
    const UserEntry* latest = nullptr;
    for (const UserEntry& e : entries_) {
        if (!e.complete() || e.serial != config_.idText) continue;
        if (!latest || e.sequence > latest->sequence) latest = &e;
    }
    return latest;
}

std::optional<AngleSpectra> Instrument::correctionFactors() const {
    const UserEntry* latest = applyingEntry();
    if (!latest) return std::nullopt;
    // Factors sit at every second wavelength; the ones between are interpolated linearly.
    AngleSpectra f{};
    for (int a = 0; a < kAngleCount; ++a) {
        const double* k = latest->blocks[a].data() + kBlockPoints;
        for (int j = 0; j < kSpectrumPoints; ++j) {
            f[a][j] = j % 2 == 0 ? k[j / 2] : (k[j / 2] + k[j / 2 + 1]) / 2.0;
        }
    }
    return f;
}

AngleSpectra Instrument::corrected(AngleSpectra values) const {
    const auto factors = correctionFactors();
    for (int a = 0; a < kAngleCount; ++a) {
        for (int j = 0; j < kSpectrumPoints; ++j) {
            if (factors) values[a][j] *= (*factors)[a][j];
        }
    }
    return values;
}

AngleSpectra Instrument::expectedReading() const {
    return corrected(truthSeen());
}

AngleSpectra Instrument::expectedReadingOf(const AngleSpectra& truth) const {
    return corrected(photometric(spectraSeen(truth, wavelengthErrors())));
}

}  // namespace qv::sim
