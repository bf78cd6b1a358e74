#pragma once

#include <string>

#include "core/app/shared_state.h"
#include "core/measure/measurement_exchange.h"

namespace qv {

// The pair the checks and the correction share: target and sample spectra, the serial of the
// instrument behind each, the sample instrument's type and whether each side is present. Every
// task that puts spectra there (a measurement taken, a registration file, a coefficient file,
// the tile set's correction) goes through these functions, so each field has one writer.
enum class PairSide { Target, Sample };

struct MeasuredPair {
    ThreeAngles target, sample;
    std::string targetSerial, sampleSerial, sampleType;
    bool targetMeasured = false, sampleMeasured = false;
};

// A measurement taken on one side: spectra, serial, (sample) type, and the side is present.
void placeMeasurement(SharedState& st, PairSide side, const Measurement& m);
// One field of a side, for the file roads that fill a side step by step.
void placeSpectra(SharedState& st, PairSide side, const ThreeAngles& spectra);
void placeSerial(SharedState& st, PairSide side, std::string serial);
void placeSampleType(SharedState& st, std::string type);
void markMeasured(SharedState& st, PairSide side, bool measured);
// The judged colour difference per angle after the sample's coordinates, where the judgement
// and coefficient record files keep it (a sample without coordinates takes none).
void placeJudgedDifferences(SharedState& st, const std::array<double, kAngleCount>& deltaE);
// Both sides emptied and marked absent.
void emptyPair(SharedState& st);

// The whole pair, read and put back (the tile set borrows the fields and returns them).
MeasuredPair currentPair(const SharedState& st);
void placePair(SharedState& st, const MeasuredPair& pair);

}  // namespace qv
