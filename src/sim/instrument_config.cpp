#include "sim/instrument_config.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sim/specimens.h"

namespace qv::sim {
namespace {

constexpr std::size_t kMaxIdText = 32;

bool parseDouble(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

// "1.02" for all angles, or "1.02/1/0.98" angle by angle.
bool parseTriple(std::string_view text, std::array<double, 3>& out) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t slash = text.find('/');
        parts.push_back(text.substr(0, slash));
        if (slash == std::string_view::npos) break;
        text.remove_prefix(slash + 1);
    }
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
    } else if (key == "shift") {
        ok = parseTriple(value, c.shiftNm.at) && within(c.shiftNm, -20.0, 20.0);
    } else if (key == "linearity") {
        ok = parseTriple(value, c.linearity.at) && within(c.linearity, -0.5, 0.5);
    } else if (key == "scale") {
        ok = parseTriple(value, c.scaleError.at) && within(c.scaleError, -0.05, 0.05);
    } else if (key == "bandwidth") {
        ok = parseTriple(value, c.bandwidthNm2.at) && within(c.bandwidthNm2, 0.0, 50.0);
    } else if (key == "tilt") {
        ok = parseTriple(value, c.gainTilt.at) && within(c.gainTilt, -0.05, 0.05);
    } else if (key == "entries") {
        ok = value == "last" || value == "none";
        c.entryRule = value == "none" ? InstrumentConfig::EntryRule::None
                                      : InstrumentConfig::EntryRule::LastWritten;
    } else {
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
    return {};
}

}  // namespace qv::sim
