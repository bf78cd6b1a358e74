#pragma once

// How tests read a tile on a simulated instrument, and an instrument no model of the
// program describes.

#include <cmath>
#include <random>
#include <string>

#include "core/colour/spectrum.h"
#include "core/tiles/set_fit.h"
#include "sim/instrument.h"

namespace qv::test {

// The mean of three readings with reading noise and the instrument's two decimals.
inline ThreeAngles meanOfThree(sim::InstrumentConfig c, const std::string& specimen,
                               std::mt19937& rng, double noise) {
    c.specimen = specimen;
    const sim::AngleSpectra truth = sim::Instrument(c).expectedReading();
    std::normal_distribution<double> n(0.0, noise);
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a) {
        out[a].assign(kSpectrumPoints, 0.0);
        for (int r = 0; r < 3; ++r)
            for (int j = 0; j < kSpectrumPoints; ++j)
                out[a][j] += std::round((truth[a][j] + n(rng)) * 100.0) / 100.0 / 3.0;
    }
    return out;
}

// The same read as the instrument itself measures: the specimen placed three times, each
// reading with the instrument's own noise, placement scatter and entry, to two decimals.
inline ThreeAngles meanOfThree(sim::Instrument& instrument, const std::string& specimen) {
    sim::InstrumentConfig c = instrument.config();
    c.specimen = specimen;
    instrument.reconfigure(c);
    ThreeAngles out;
    for (auto& angle : out) angle.assign(kSpectrumPoints, 0.0);
    for (int r = 0; r < 3; ++r) {
        const sim::AngleSpectra reading = instrument.takeReading();
        for (int a = 0; a < kAngleCount; ++a)
            for (int j = 0; j < kSpectrumPoints; ++j)
                out[a][j] += std::round(reading[a][j] * 100.0) / 100.0 / 3.0;
    }
    return out;
}

// `c` with errors the program's diagnosis has no term for: a bandpass reaching 4 nm below and
// 6 nm above, a gain rippling by 0.3 % every 60 nm, an S-shaped photometric error of up to
// 0.5 %, and each placement of a tile off by 0.1 % in gain and 0.02 % in offset.
inline sim::InstrumentConfig withUnmodelledErrors(sim::InstrumentConfig c) {
    c.passLeftNm = 4.0;
    c.passRightNm = 6.0;
    c.rippleAmplitude = 0.3;
    c.ripplePeriodNm = 60.0;
    c.cubic = 0.1;
    c.placementGainSd = 0.1;
    c.placementOffsetSd = 0.02;
    return c;
}

// The factors, rounded as an entry keeps them, in force on `t` as its entry 1.
inline void writeFactors(sim::Instrument& t, const AngleFactors& f) {
    sim::EntryTable entries{};
    sim::UserEntry& e = entries[0];
    e.written = true;
    e.serial = t.config().idText;
    e.sequence = 1;
    for (int a = 0; a < kAngleCount; ++a) {
        e.haveBlock[a] = true;
        for (int k = 0; k < sim::kBlockPoints; ++k) {
            e.blocks[a][k] = 50.0;
            e.blocks[a][sim::kBlockPoints + k] = std::round(f[a][k] * 100.0) / 100.0;
        }
    }
    t.setEntries(entries);
}

}  // namespace qv::test
