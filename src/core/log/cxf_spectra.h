#pragma once

// The spectra of a result file arranged for the colour exchange format: one specimen per
// reading with its three angles, the instrument that read it, and what its values are
// referenced to; and what a reader of such files needs without the XML: the aspecular
// notations, resampling to the program's 31 wavelengths and the names spectra are given back
// under. The XML itself is written and read in the platform layer.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/csv.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/colour/spectrum.h"

namespace qv {

// How a multi-angle instrument with its light at 45° names the angles it reads at, measured
// from the gloss direction: "45as25", "45as45", "45as75".
std::string aspecularNotation(int angle);
// The angle index of such a notation (any case, blanks around it); nothing for other angles.
std::optional<int> angleOfNotation(std::string_view notation);

// One thing read: its name ("target", "measurement 2"), the instrument, what its values are
// referenced to ("as read", or "profile ..." for a standardised copy's readings) and per angle
// the 31 reflectances in percent (empty where the file holds none at that angle).
struct CxfSpecimen {
    std::string name;
    std::string serial;
    std::string referencedTo;
    std::array<AngleSpectrum, kAngleCount> angles;
};

struct CxfContents {
    std::string descriptor;  // "Judgement file"
    std::string created;     // "2026-12-07T15:04:05", from the file's date line
    std::vector<CxfSpecimen> specimens;
    // Empty when the file was read; otherwise why not, in English, with its line.
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// What the values of a file that names no profile are referenced to.
inline constexpr std::string_view kAsRead = "as read";
// The instrument model the exchange format's device names.
inline constexpr std::string_view kInstrumentModel = "L70";

// Reads any result file that carries spectra (through the table of result kinds) and groups
// its spectra by specimen in the order the file holds them. Files are untrusted.
CxfContents cxfContents(std::string_view resultFile, const NumberFormat& format,
                        const StringTable& texts, const CsvLimits& limits = {});

// "Judgement_20261207_150405.csv" -> "Judgement_20261207_150405.cxf".
std::string cxfPathBeside(const std::string& resultFile);

// A spectrum sampled from `startNm` every `stepNm`, linearly interpolated to 400..700 nm by
// 10 nm; nothing when its samples do not reach from 400 to 700 nm or the step is not positive.
std::optional<AngleSpectrum> resampledSpectrum(double startNm, double stepNm,
                                               std::span<const double> values);

}  // namespace qv
