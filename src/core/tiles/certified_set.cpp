#include "core/tiles/certified_set.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qv {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

bool correctable(const TileCertificate& c) {
    return c.temperatureC.has_value() && hasCoefficients(c);
}

// What the verdict over the set does not show, in the order an operator reads it.
std::vector<std::string> notesOf(const CertifiedSet& set, const std::vector<std::string>& tiles,
                                 const LocalTime& today) {
    std::vector<std::string> notes, uncorrected, overdue;
    double largest = 0.0;
    for (std::size_t t = 0; t < set.certificates.size(); ++t) {
        const TileCertificate& c = set.certificates[t];
        if (!set.temperatureC || !correctable(c)) uncorrected.push_back(tiles[t]);
        if (!c.dueDate.empty() && calendarDate(today) > c.dueDate)
            overdue.push_back(c.number + " of " + tiles[t] + " (due " + c.dueDate + ")");
        largest = std::max(largest, c.uncertainty);
    }
    if (!set.temperatureC)
        notes.push_back(std::string(kNotCorrected) + ": no temperature given");
    else if (!uncorrected.empty())
        notes.push_back(std::string(kNotCorrected) + " (no coefficients or no temperature on the " +
                        "certificate): " + joined(uncorrected));
    if (!overdue.empty()) notes.push_back("past the due date: certificate " + joined(overdue));
    char text[96];
    std::snprintf(text, sizeof text,
                  "the certified values are uncertain by up to %.2f dE*ab (expanded)", largest);
    notes.emplace_back(text);
    return notes;
}

}  // namespace

bool isCertifiedValues(std::string_view reference) {
    return reference == kCertifiedValues;
}

CertifiedSet certifiedSet(const std::vector<std::string>& tiles,
                          const std::vector<TileCertificate>& onRecord,
                          std::optional<double> temperatureC, const LocalTime& today) {
    CertifiedSet set;
    set.temperatureC = temperatureC;
    std::vector<std::string> missing;
    for (const std::string& tile : tiles) {
        const auto found =
            std::find_if(onRecord.begin(), onRecord.end(),
                         [&](const TileCertificate& c) { return sameName(c.tile, tile); });
        if (found == onRecord.end())
            missing.push_back(tile);
        else
            set.certificates.push_back(*found);
    }
    if (!missing.empty()) {
        set.problem = "no certificate on record for " + joined(missing);
        set.certificates.clear();
        return set;
    }
    set.notes = notesOf(set, tiles, today);
    return set;
}

ThreeAngles certifiedReading(const CertifiedSet& set, std::size_t tile,
                             const ThreeAngles& reading) {
    if (!set.temperatureC || tile >= set.certificates.size()) return reading;
    auto corrected = correctedToCertificate(reading, set.certificates[tile], *set.temperatureC);
    return corrected ? std::move(*corrected) : reading;
}

void putCertified(const CertifiedSet& set, std::vector<TileSpectra>& tiles) {
    for (std::size_t t = 0; t < tiles.size() && t < set.certificates.size(); ++t) {
        tiles[t].target = set.certificates[t].spectra;
        tiles[t].sample = certifiedReading(set, t, tiles[t].sample);
    }
}

std::string certifiedLabel(const CertifiedSet& set) {
    std::vector<std::string> numbers;
    for (const TileCertificate& c : set.certificates)
        if (std::find(numbers.begin(), numbers.end(), c.number) == numbers.end())
            numbers.push_back(c.number);
    return std::string(kCertifiedValues) + " (certificate" + (numbers.size() == 1 ? " " : "s ") +
           joined(numbers) + ")";
}

}  // namespace qv
