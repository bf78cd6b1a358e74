// Conversion of measurement data lines. The process-wide C locale is never consulted or
// switched: numbers are read through a private "C" locale object.
#include "core/measure/data_line.h"

#include <locale.h>
#include <stdlib.h>

#include <cstddef>
#include <string>

namespace qv {

namespace {

locale_t pointLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

double parseInstrumentNumber(std::string_view text) {
    const std::string copy(text);  // strtod_l needs a terminated text
    const locale_t c = pointLocale();
    if (c == static_cast<locale_t>(nullptr)) return 0.0;
    return strtod_l(copy.c_str(), nullptr, c);
}

AngleSpectrum parseDataLine(std::string_view line) {
    AngleSpectrum spectrum;
    spectrum.reserve(kSpectrumPoints);
    // Skip field 1, then take one value per field; past the last field every value is 0.0.
    std::size_t comma = line.find(',');
    for (int i = 0; i < kSpectrumPoints; ++i) {
        if (comma == std::string_view::npos) {
            spectrum.push_back(0.0);
            continue;
        }
        const std::size_t start = comma + 1;
        comma = line.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        spectrum.push_back(parseInstrumentNumber(line.substr(start, end - start)));
    }
    return spectrum;
}

}  // namespace qv
