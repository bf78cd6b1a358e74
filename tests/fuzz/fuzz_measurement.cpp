// Whatever numbers the instrument puts into its data lines travel on into colour coordinates,
// colour differences, the dialogs' number texts and the result file. Infinities, NaNs, huge
// and tiny values must pass through all of it without undefined behaviour, and the file must
// stay well formed. Input: up to six data lines (measurement 1, then measurement 2, by angle);
// the first byte also picks the colour-difference formula.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/number_format.h"
#include "core/app/string_table_text.h"
#include "core/colour/colour_requests.h"
#include "core/colour/items.h"
#include "core/files/repeatability_file.h"
#include "core/measure/data_line.h"
#include "fuzz_check.h"

namespace {

constexpr qv::DeltaEFormula kFormulas[] = {qv::DeltaEFormula::Cie76, qv::DeltaEFormula::Cie94,
                                           qv::DeltaEFormula::Ciede2000, qv::DeltaEFormula::Cmc};

void checkTexts(double v) {
    const qv::NumberFormat format{',', ";"};
    FUZZ_CHECK(!format.display(v).empty());
    const std::string file = format.file(v);
    FUZZ_CHECK(file.find_first_of(";\r\n") == std::string::npos);
    // What a file holds reads back to the value it stands for.
    if (std::isfinite(v)) FUZZ_CHECK(format.readFile(file).has_value() || file.size() > 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::array<std::string_view, 6> lines{};
    std::size_t start = 0;
    for (std::string_view& line : lines) {
        if (start > input.size()) break;
        const std::size_t end = input.find('\n', start);
        line = input.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? input.size() + 1 : end + 1;
    }

    qv::RepeatSeries series;
    for (int k = 0; k < 3; ++k)
        for (int a = 0; a < qv::kAngleCount; ++a)
            series[3 * k + a] = qv::parseDataLine(lines[3 * (k == 0 ? 0 : 1) + a]);

    auto engine = qv::makeColourEngine(qv::KEY_VERSION3, kFormulas[data[0] % 4]);
    qv::ColourRequests colour(*engine);
    colour.prepareDifferences();
    for (int a = 0; a < qv::kAngleCount; ++a) {
        colour.setTarget(a, series[a]);
        colour.setSample(a, series[3 + a]);
        for (double v : colour.coordinates(qv::kTargetMode)) checkTexts(qv::asFloat(v));
        for (double v : colour.coordinates(qv::kSampleMode)) checkTexts(v);
        for (std::int32_t item : {qv::item::kDelta1, qv::item::kDelta2, qv::item::kDelta3,
                                  qv::item::kTotalDifference}) {
            const double d = colour.request(item, qv::kSampleMode);
            checkTexts(d);
            series[3 + a].push_back(d);
            checkTexts(qv::roundedToTwoDecimals(d));
        }
    }

    const qv::TextStringTable texts({});
    const std::string file =
        qv::formatRepeatabilityFile(series, "L70S-000001", qv::LocalTime{2026, 3, 14, 9, 15, 2},
                                    texts, qv::NumberFormat{',', ";"}, engine->deltaELabel());
    FUZZ_CHECK(file.size() >= 2 && file.substr(file.size() - 2) == "\r\n");
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = file.find("\r\n", at)) != std::string::npos; at += 2) ++rows;
    FUZZ_CHECK(rows == 16);  // two header lines, two blank, three blocks of four
    return 0;
}
