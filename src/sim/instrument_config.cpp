#include "sim/instrument_config.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sim/specimens.h"
#include "sim/user_entries.h"

namespace qv::sim {
namespace {

constexpr std::size_t kMaxIdText = 32;

bool parseDouble(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

// "1.02" for all angles, or "1.02/1/0.98" angle by angle.
bool parseTriple(std::string_view text, std::array<double, 3>& out) {
    const std::vector<std::string_view> parts = split(text, '/');
    if (parts.size() != 1 && parts.size() != 3) return false;
    std::array<double, 3> v{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parseDouble(parts[i], v[i])) return false;
    }
    if (parts.size() == 1) v[1] = v[2] = v[0];
    out = v;
    return true;
}

bool within(const PerAngle& v, double low, double high) {
    for (double x : v.at)
        if (!(x >= low && x <= high)) return false;
    return true;
}

// Settings of one value per angle, each within its range.
struct AngleSetting {
    std::string_view key;
    PerAngle InstrumentConfig::*field;
    double low, high;
};
constexpr AngleSetting kAngleSettings[] = {
    {"shift", &InstrumentConfig::shiftNm, -20.0, 20.0},
    {"linearity", &InstrumentConfig::linearity, -0.5, 0.5},
    {"scale", &InstrumentConfig::scaleError, -0.05, 0.05},
    {"bandwidth", &InstrumentConfig::bandwidthNm2, 0.0, 50.0},
    {"tilt", &InstrumentConfig::gainTilt, -0.05, 0.05},
    {"cubic", &InstrumentConfig::cubic, -1.0, 1.0},
    {"ripple", &InstrumentConfig::rippleAmplitude, -5.0, 5.0},
    {"rippleperiod", &InstrumentConfig::ripplePeriodNm, 25.0, 1000.0},
    {"placegain", &InstrumentConfig::placementGainSd, 0.0, 5.0},
    {"placeoffset", &InstrumentConfig::placementOffsetSd, 0.0, 5.0},
};

// Settings of one value for the instrument.
struct ValueSetting {
    std::string_view key;
    double InstrumentConfig::*field;
    double low, high;
};
constexpr ValueSetting kValueSettings[] = {
    {"thermo", &InstrumentConfig::thermoNmPerC, -1.0, 1.0},
    {"room", &InstrumentConfig::roomC, 0.0, 50.0},
};

constexpr double kMaxHalfWidthNm = 25.0;

// One angle's bandpass half-widths: "H" for a triangle, "L:R" for a skewed one.
bool parseHalfWidths(std::string_view shape, std::string_view text, double& left, double& right) {
    const std::vector<std::string_view> sides = split(text, ':');
    if (sides.size() != (shape == "skewed" ? 2u : 1u)) return false;
    if (!parseDouble(sides.front(), left) || !parseDouble(sides.back(), right)) return false;
    const auto inRange = [](double w) { return w >= 0.0 && w <= kMaxHalfWidthNm; };
    return inRange(left) && inRange(right) && left + right > 0.0;
}

// "gaussian", "triangular:H" or "skewed:L:R"; the widths once for all angles or three,
// "triangular:4/5/6".
bool parseBandpass(std::string_view text, PerAngle& left, PerAngle& right) {
    const std::size_t colon = text.find(':');
    const std::string_view shape = text.substr(0, colon);
    if (shape == "gaussian" && colon == std::string_view::npos) {
        left = right = PerAngle(0.0);
        return true;
    }
    if ((shape != "triangular" && shape != "skewed") || colon == std::string_view::npos)
        return false;
    const std::vector<std::string_view> angles = split(text.substr(colon + 1), '/');
    if (angles.size() != 1 && angles.size() != 3) return false;
    for (std::size_t a = 0; a < 3; ++a) {
        if (!parseHalfWidths(shape, angles[std::min(a, angles.size() - 1)], left[a], right[a]))
            return false;
    }
    return true;
}

// "yellow/0.965": that specimen reflects 0.965 times what it should; "none".
bool parseDirt(std::string_view text, InstrumentConfig& c) {
    if (text == "none") {
        c.dirtySpecimen.clear();
        c.dirtyFactor = 1.0;
        return true;
    }
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return false;
    c.dirtySpecimen = std::string(text.substr(0, slash));
    return parseDouble(text.substr(slash + 1), c.dirtyFactor) && c.dirtyFactor >= 0.5 &&
           c.dirtyFactor <= 1.5 && specimenSpectra(c.dirtySpecimen);
}

// "last", "none" or an entry number 1 to 30.
bool parseEntryRule(std::string_view text, InstrumentConfig& c) {
    using Rule = InstrumentConfig::EntryRule;
    if (text == "last" || text == "none") {
        c.entryRule = text == "none" ? Rule::None : Rule::LastWritten;
        return true;
    }
    int n = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || ptr != end || n < 1 || n > kEntryCount) return false;
    c.entryRule = Rule::ByNumber;
    c.entryNumber = n;
    return true;
}

// The keys with a parser of their own; false when `key` is none of them.
bool applyOther(InstrumentConfig& c, std::string_view key, std::string_view value, bool& ok) {
    if (key == "bandpass") {
        ok = parseBandpass(value, c.passLeftNm, c.passRightNm);
    } else if (key == "dirty") {
        ok = parseDirt(value, c);
    } else if (key == "entries") {
        ok = parseEntryRule(value, c);
    } else {
        for (const AngleSetting& s : kAngleSettings) {
            if (s.key != key) continue;
            ok = parseTriple(value, (c.*s.field).at) && within(c.*s.field, s.low, s.high);
            return true;
        }
        for (const ValueSetting& s : kValueSettings) {
            if (s.key != key) continue;
            ok = parseDouble(value, c.*s.field) && c.*s.field >= s.low && c.*s.field <= s.high;
            return true;
        }
        return false;
    }
    return true;
}

bool validName(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool applySetting(InstrumentConfig& config, std::string_view key, std::string_view value,
                  std::string& error) {
    InstrumentConfig c = config;
    bool ok = true;
    if (key == "type") {
        c.type = std::string(value);
    } else if (key == "id") {
        c.idText = std::string(value);
    } else if (key == "specimen") {
        c.specimen = std::string(value);
    } else if (key == "noise") {
        ok = parseDouble(value, c.noise) && c.noise >= 0.0;
    } else if (key == "seed") {
        std::uint32_t seed = 0;
        const char* end = value.data() + value.size();
        auto [ptr, ec] = std::from_chars(value.data(), end, seed);
        ok = ec == std::errc() && ptr == end;
        c.seed = seed;
    } else if (key == "gain") {
        ok = parseTriple(value, c.gain);
    } else if (key == "offset") {
        ok = parseTriple(value, c.offset);
    } else if (!applyOther(c, key, value, ok)) {
        error = "unknown instrument setting '" + std::string(key) + "'";
        return false;
    }
    if (!ok) {
        error = "bad value '" + std::string(value) + "' for " + std::string(key);
        return false;
    }
    error = validateConfig(c);
    if (!error.empty()) return false;
    config = c;
    return true;
}

bool parseInstrumentSpec(std::string_view spec, InstrumentConfig& config, std::string& error) {
    const std::size_t colon = spec.find(':');
    InstrumentConfig c = config;
    c.name = std::string(spec.substr(0, colon));
    if (!validName(c.name)) {
        error = "instrument name must be 1 to 32 letters, digits, '_' or '-'";
        return false;
    }
    std::string_view rest =
        colon == std::string_view::npos ? std::string_view() : spec.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            error = "expected key=value, got '" + std::string(item) + "'";
            return false;
        }
        if (!applySetting(c, item.substr(0, eq), item.substr(eq + 1), error)) return false;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    error = validateConfig(c);
    if (!error.empty()) return false;
    config = c;
    return true;
}

std::string validateConfig(const InstrumentConfig& config) {
    if (!validName(config.name)) return "bad instrument name '" + config.name + "'";
    if (config.type != "53" && config.type != "40" && config.type != "three-field") {
        return "instrument type must be 53, 40 or three-field";
    }
    if (config.idText.size() > kMaxIdText) return "identification text longer than 32 characters";
    for (char c : config.idText) {
        if (c == ',' || c < 0x20 || c > 0x7E) {
            return "identification text must be printable and hold no comma";
        }
    }
    if (!specimenSpectra(config.specimen)) {
        std::string names;
        for (const std::string& n : specimenNames()) names += (names.empty() ? "" : ", ") + n;
        return "unknown specimen '" + config.specimen + "' (known: " + names + ")";
    }
    if (!(config.noise >= 0.0) || !std::isfinite(config.noise)) return "noise must be 0 or more";
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(config.gain[a]) || !std::isfinite(config.offset[a])) {
            return "gain and offset must be finite";
        }
    }
    if (config.entryRule == InstrumentConfig::EntryRule::ByNumber &&
        (config.entryNumber < 1 || config.entryNumber > kEntryCount)) {
        return "the entry selected must be 1 to 30";
    }
    return {};
}

const std::vector<std::string_view>& settingKeys() {
    static const std::vector<std::string_view> keys = [] {
        std::vector<std::string_view> k = {"type", "id",     "specimen", "noise", "seed",
                                           "gain", "offset", "bandpass", "dirty", "entries"};
        for (const AngleSetting& s : kAngleSettings) k.push_back(s.key);
        for (const ValueSetting& s : kValueSettings) k.push_back(s.key);
        return k;
    }();
    return keys;
}

}  // namespace qv::sim
