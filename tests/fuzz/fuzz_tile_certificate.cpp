// A tile's certificate comes as a CGATS file from a laboratory, its coefficients as a table
// anyone may have typed, and both come back from the logbook as the texts they were kept as:
// whatever the bytes, each reader gives whole, finite values within its bounds or says why not
// (a table naming its line), and a kept text reads back to itself.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/tiles/certificate_files.h"
#include "fuzz_check.h"

namespace {

void checkAngles(const qv::ThreeAngles& angles, double bound) {
    for (const qv::AngleSpectrum& s : angles) {
        FUZZ_CHECK(s.size() == std::size_t(qv::kSpectrumPoints));
        for (double v : s) FUZZ_CHECK(std::isfinite(v) && std::fabs(v) <= bound);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto certificate = qv::readCgatsCertificate(text, "green");
    if (certificate.ok()) {
        checkAngles(certificate.contents->spectra, 1e300);
        FUZZ_CHECK(!certificate.contents->number.empty());
    } else {
        FUZZ_CHECK(!certificate.problem.empty());
    }
    const auto table = qv::readCoefficientsTable(text);
    if (table.ok())
        checkAngles(*table.contents, qv::kMaxCoefficient);
    else
        FUZZ_CHECK(table.problem.rfind("line ", 0) == 0 || table.problem.rfind("no line", 0) == 0);
    qv::TileCertificate kept;
    if (qv::readCertifiedValuesText(text, kept)) {
        checkAngles(kept.spectra, 1e300);
        const std::string again = qv::certifiedValuesText(kept);
        qv::TileCertificate back;
        FUZZ_CHECK(qv::readCertifiedValuesText(again, back));
        FUZZ_CHECK(qv::certifiedValuesText(back) == again);
    }
    if (qv::readLabValuesText(text, kept)) {
        for (const qv::AngleSpectrum& s : kept.coefficients)
            FUZZ_CHECK(s.empty() || s.size() == std::size_t(qv::kSpectrumPoints));
        FUZZ_CHECK(!kept.limit || std::isfinite(*kept.limit));
    }
    return 0;
}
