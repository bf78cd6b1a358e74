#include "core/tiles/tile_certificate.h"

#include <cctype>
#include <cmath>

#include "core/app/number_format.h"
#include "core/app/thresholds.h"
#include "core/colour/delta_e.h"
#include "core/colour/tristimulus.h"

namespace qv {
namespace {

constexpr int kValueDecimals = 4;

bool isDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    const LocalTime day{std::stoi(std::string(text.substr(0, 4))),
                        std::stoi(std::string(text.substr(5, 2))),
                        std::stoi(std::string(text.substr(8, 2)))};
    const LocalTime back = civilFromDays(daysFromCivil(day));
    return back.year == day.year && back.month == day.month && back.day == day.day;
}

bool wholeAngles(const ThreeAngles& angles, double low, double high) {
    for (const AngleSpectrum& s : angles) {
        if (s.size() != std::size_t(kSpectrumPoints)) return false;
        for (double v : s)
            if (!std::isfinite(v) || v < low || v > high) return false;
    }
    return true;
}

bool fitsText(const std::string& text) {
    if (text.size() > kMaxCertificateTextChars) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == '=') return false;
    return true;
}

std::string textProblem(const TileCertificate& c) {
    if (c.tile.empty()) return "the tile has no name";
    if (c.number.empty()) return "the certificate has no number";
    for (const std::string* t : {&c.tile, &c.number, &c.laboratory})
        if (!fitsText(*t)) return "\"" + t->substr(0, 40) + "\" is too long or holds a control";
    if (!isDay(c.date)) return "the certificate's date is not a day (YYYY-MM-DD)";
    if (!c.dueDate.empty() && !isDay(c.dueDate))
        return "the certificate's due date is not a day (YYYY-MM-DD)";
    return {};
}

void appendLine(std::string& out, std::string_view key, const std::string& value) {
    out.append(key).append("=").append(value).append("\n");
}

std::string spectrumText(const AngleSpectrum& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i) out += ';';
        out += formatFixed(s[i], kValueDecimals);
    }
    return out;
}

std::string angleKey(std::string_view what, int angle) {
    return std::string(what) + std::to_string(kAngleDegrees[angle]);
}

// Each "key=value" line of a canonical text; nothing when a line has no '='.
std::optional<std::vector<std::pair<std::string, std::string>>> keyLines(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        out.emplace_back(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return out;
}

std::optional<AngleSpectrum> spectrumOfText(std::string_view text) {
    AngleSpectrum out;
    while (out.size() <= std::size_t(kSpectrumPoints)) {
        const std::size_t end = text.find(';');
        const auto v = wholeNumber(text.substr(0, end), '.');
        if (!v) return std::nullopt;
        out.push_back(*v);
        if (end == std::string_view::npos) break;
        text = text.substr(end + 1);
    }
    if (out.size() != std::size_t(kSpectrumPoints)) return std::nullopt;
    return out;
}

std::optional<double> optionalNumber(const std::string& text, bool& ok) {
    if (text.empty()) return std::nullopt;
    const auto v = wholeNumber(text, '.');
    if (!v) ok = false;
    return v;
}

}  // namespace

bool hasCoefficients(const TileCertificate& certificate) {
    for (const AngleSpectrum& s : certificate.coefficients)
        if (s.empty()) return false;
    return true;
}

std::string certificateProblem(const TileCertificate& c) {
    if (std::string t = textProblem(c); !t.empty()) return t;
    if (!std::isfinite(c.uncertainty) || c.uncertainty < 0.0 || c.uncertainty > 10.0)
        return "the uncertainty is not 0 to 10 dE*ab";
    if (c.temperatureC &&
        (!std::isfinite(*c.temperatureC) || *c.temperatureC < -20.0 || *c.temperatureC > 80.0))
        return "the certificate's temperature is not -20 to 80 °C";
    if (!wholeAngles(c.spectra, -5.0, 400.0))
        return "the spectra are not 31 plausible reflectances at each angle";
    const bool none =
        c.coefficients[0].empty() && c.coefficients[1].empty() && c.coefficients[2].empty();
    if (!none && !wholeAngles(c.coefficients, -kMaxCoefficient, kMaxCoefficient))
        return "the coefficients are not 31 values of at most 5 %/°C at each angle";
    if (c.limit && (!std::isfinite(*c.limit) || *c.limit <= 0.0 || *c.limit > 20.0))
        return "the tile's limit is not above 0 and at most 20 dE*ab";
    return {};
}

std::string certifiedValuesText(const TileCertificate& c) {
    std::string out;
    appendLine(out, "tile", c.tile);
    appendLine(out, "number", c.number);
    appendLine(out, "laboratory", c.laboratory);
    appendLine(out, "date", c.date);
    appendLine(out, "due", c.dueDate);
    appendLine(out, "uncertainty", formatFixed(c.uncertainty, kValueDecimals));
    appendLine(out, "temperature",
               c.temperatureC ? formatFixed(*c.temperatureC, kValueDecimals) : std::string());
    for (int a = 0; a < kAngleCount; ++a)
        appendLine(out, angleKey("spectrum", a), spectrumText(c.spectra[a]));
    return out;
}

std::string labValuesText(const TileCertificate& c) {
    std::string out;
    for (int a = 0; a < kAngleCount; ++a)
        appendLine(out, angleKey("coefficients", a), spectrumText(c.coefficients[a]));
    appendLine(out, "limit", c.limit ? formatFixed(*c.limit, kValueDecimals) : std::string());
    return out;
}

bool readCertifiedValuesText(std::string_view text, TileCertificate& c) {
    const auto lines = keyLines(text);
    if (!lines || lines->size() != 7 + std::size_t(kAngleCount)) return false;
    const auto& l = *lines;
    if (l[0].first != "tile" || l[1].first != "number" || l[2].first != "laboratory" ||
        l[3].first != "date" || l[4].first != "due" || l[5].first != "uncertainty" ||
        l[6].first != "temperature")
        return false;
    bool ok = true;
    const auto uncertainty = optionalNumber(l[5].second, ok);
    c.temperatureC = optionalNumber(l[6].second, ok);
    if (!ok || !uncertainty) return false;
    c.tile = l[0].second, c.number = l[1].second, c.laboratory = l[2].second;
    c.date = l[3].second, c.dueDate = l[4].second, c.uncertainty = *uncertainty;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto s = spectrumOfText(l[7 + a].second);
        if (l[7 + a].first != angleKey("spectrum", a) || !s) return false;
        c.spectra[a] = *s;
    }
    return true;
}

bool readLabValuesText(std::string_view text, TileCertificate& c) {
    const auto lines = keyLines(text);
    if (!lines || lines->size() != 1 + std::size_t(kAngleCount)) return false;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto& [key, value] = (*lines)[a];
        if (key != angleKey("coefficients", a)) return false;
        c.coefficients[a].clear();
        if (value.empty()) continue;
        const auto s = spectrumOfText(value);
        if (!s) return false;
        c.coefficients[a] = *s;
    }
    bool ok = (*lines)[kAngleCount].first == "limit";
    c.limit = optionalNumber((*lines)[kAngleCount].second, ok);
    return ok;
}

double defaultTileLimit(double uncertainty, double instrumentAllowance) {
    return uncertainty + instrumentAllowance;
}

std::optional<ThreeAngles> correctedToCertificate(const ThreeAngles& reading,
                                                  const TileCertificate& certificate,
                                                  double temperatureC) {
    if (!certificate.temperatureC || !hasCoefficients(certificate) || !std::isfinite(temperatureC))
        return std::nullopt;
    const double away = temperatureC - *certificate.temperatureC;
    ThreeAngles out = reading;
    for (int a = 0; a < kAngleCount; ++a) {
        if (out[a].size() < std::size_t(kSpectrumPoints)) return std::nullopt;
        for (int j = 0; j < kSpectrumPoints; ++j)
            out[a][j] -= certificate.coefficients[a][j] * away;
    }
    return out;
}

TileCheck judgeCheckTile(const TileCertificate& certificate, const ThreeAngles& reading,
                         std::optional<double> temperatureC, double instrumentAllowance,
                         const LocalTime& today) {
    TileCheck check{
        certificate.tile, certificate.number, temperatureC, false, true, {}, reading, false, {}};
    if (temperatureC) {
        if (auto corrected = correctedToCertificate(reading, certificate, *temperatureC)) {
            check.judged = std::move(*corrected);
            check.corrected = true;
        }
    }
    if (!check.corrected)
        check.notes.push_back(std::string(kNotCorrected) +
                              (temperatureC ? ": the tile has no coefficients or no temperature"
                                            : ": no temperature given"));
    const double limit =
        certificate.limit.value_or(defaultTileLimit(certificate.uncertainty, instrumentAllowance));
    for (int a = 0; a < kAngleCount; ++a) {
        double dE = std::nan("");
        if (check.judged[a].size() >= std::size_t(kSpectrumPoints) &&
            certificate.spectra[a].size() >= std::size_t(kSpectrumPoints))
            dE = deltaE76(spectrumToLab(SpectrumView(certificate.spectra[a].data(), kColourPoints)),
                          spectrumToLab(SpectrumView(check.judged[a].data(), kColourPoints)));
        const bool passed = passesThreshold(dE, limit);
        check.angles[a] = {kAngleDegrees[a], dE, limit, passed};
        check.passed = check.passed && passed;
    }
    if (!certificate.dueDate.empty() && calendarDate(today) > certificate.dueDate) {
        check.overdue = true;
        check.notes.push_back("certificate " + certificate.number + " is past its due date " +
                              certificate.dueDate);
    }
    return check;
}

}  // namespace qv
