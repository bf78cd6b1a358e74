#pragma once

// A green tile's certificate as a laboratory issues one, for the tests that keep and read it.

#include "core/tiles/tile_certificate.h"

namespace qv::test {

inline TileCertificate sampleCertificate(const std::string& tile = "green") {
    TileCertificate c;
    c.tile = tile;
    c.number = "NCL-2026-0147";
    c.laboratory = "National colour laboratory";
    c.date = "2026-03-01";
    c.dueDate = "2027-03-01";
    c.uncertainty = 0.15;
    c.temperatureC = 23.0;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j) {
            c.spectra[a].push_back(5.0 + 30.0 * j / (kSpectrumPoints - 1) + a);
            c.coefficients[a].push_back(-0.001 * j);
        }
    return c;
}

}  // namespace qv::test
