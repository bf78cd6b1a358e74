#include "core/measure/measured_pair.h"

#include "core/colour/evaluated_spectrum.h"

namespace qv {

namespace {
bool target(PairSide side) {
    return side == PairSide::Target;
}
}  // namespace

void placeSpectra(SharedState& st, PairSide side, const ThreeAngles& spectra) {
    (target(side) ? st.targetSpectrum : st.sampleSpectrum) = spectra;
}

void placeSerial(SharedState& st, PairSide side, std::string serial) {
    (target(side) ? st.targetSerial : st.sampleSerial) = std::move(serial);
}

void placeSampleType(SharedState& st, std::string type) {
    st.sampleType = std::move(type);
}

void placeJudgedDifferences(SharedState& st, const std::array<double, kAngleCount>& deltaE) {
    for (int a = 0; a < kAngleCount; ++a) setDifference(st.sampleSpectrum[a], deltaE[a]);
}

void markMeasured(SharedState& st, PairSide side, bool measured) {
    (target(side) ? st.targetMeasured : st.sampleMeasured) = measured;
}

void placeMeasurement(SharedState& st, PairSide side, const Measurement& m) {
    placeSpectra(st, side, m.spectra);
    placeSerial(st, side, m.serial);
    if (!target(side)) placeSampleType(st, m.type);
    markMeasured(st, side, true);
}

void emptyPair(SharedState& st) {
    for (AngleSpectrum& s : st.targetSpectrum) s.clear();
    for (AngleSpectrum& s : st.sampleSpectrum) s.clear();
    st.targetMeasured = st.sampleMeasured = false;
}

MeasuredPair currentPair(const SharedState& st) {
    return {st.targetSpectrum, st.sampleSpectrum, st.targetSerial,  st.sampleSerial,
            st.sampleType,     st.targetMeasured, st.sampleMeasured};
}

void placePair(SharedState& st, const MeasuredPair& pair) {
    st.targetSpectrum = pair.target;
    st.sampleSpectrum = pair.sample;
    st.targetSerial = pair.targetSerial;
    st.sampleSerial = pair.sampleSerial;
    st.sampleType = pair.sampleType;
    st.targetMeasured = pair.targetMeasured;
    st.sampleMeasured = pair.sampleMeasured;
}

}  // namespace qv
