#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/colour/delta_e.h"

namespace qv {

// Text tables for the colour command line: one row in, one result line or one complaint out.
//   Spectra:  an identifier and 31 reflectances in percent (400..700 nm); out "id L* a* b*".
//   LabPairs: L1 a1 b1 L2 a2 b2 (the first colour is the reference); out the difference.
// Fields are separated by tabs, semicolons or commas (the first of these found in the row);
// Lab rows may also use blanks. Numbers take a point, or a comma where the separator is not
// a comma. Outputs are tab-separated with four decimals and never depend on the C locale.
enum class ColourTable { Spectra, LabPairs };

struct RowOutcome {
    enum class Kind { Skipped, Result, Error };
    Kind kind = Kind::Skipped;
    // The result line (no line end) or the complaint, which names the line.
    std::string text;
};

class ColourRowConverter {
public:
    explicit ColourRowConverter(ColourTable table, DeltaEFormula formula = DeltaEFormula::Cie76);

    // One line without its line end (a trailing carriage return is dropped). Blank lines and
    // a header as the first non-blank row are skipped.
    RowOutcome feed(std::string_view line);

    int lineNumber() const { return line_; }
    int resultRows() const { return results_; }
    int badRows() const { return errors_; }

private:
    RowOutcome spectrumRow(const std::vector<std::string_view>& fields, bool commaDecimal);
    RowOutcome labPairRow(const std::vector<std::string_view>& fields, bool commaDecimal);
    RowOutcome error(const std::string& what);

    ColourTable table_;
    DeltaEFormula formula_;
    int line_ = 0;
    int results_ = 0;
    int errors_ = 0;
    bool seenRow_ = false;
};

// A number in the given notation: the whole field, finite; nothing otherwise.
std::optional<double> parseDecimal(std::string_view field, bool commaDecimal = false);

// Fixed notation with four decimals and a point; never "-0.0000".
std::string formatFixed4(double value);

}  // namespace qv
