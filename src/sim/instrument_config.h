#pragma once

// Instrument settings as text: "NAME:key=value,..." on the command line and in the control
// channel's "set" command.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sim {

// One simulated instrument. Several may sit behind one port; `plug` chooses which answers.
// One value per angle (25, 45, 75 degrees); a plain number sets all three.
struct PerAngle {
    PerAngle() = default;
    PerAngle(double all) { at.fill(all); }  // NOLINT: a plain number is meant for every angle
    double operator[](std::size_t angle) const { return at[angle]; }
    double& operator[](std::size_t angle) { return at[angle]; }
    std::array<double, 3> at{};
};

struct InstrumentConfig {
    std::string name = "A";
    // "53", "40" or "three-field" (the 14-character "OK00, 0, 0, 1" answer).
    std::string type = "53";
    // Placed at offset 12 of the IDR reply; also the serial recorded in written entries.
    std::string idText = "L70S-000001";
    std::string specimen = "white";  // see specimenNames()
    double noise = 0.0;              // standard deviation in % reflectance
    std::uint32_t seed = 1;
    std::array<double, 3> gain{1.0, 1.0, 1.0};    // per angle: reading = gain * true + offset
    std::array<double, 3> offset{0.0, 0.0, 0.0};  // per angle, % reflectance
    // Errors no single factor per wavelength removes, per angle (a plain number sets all
    // three). The wavelength scale off by `shiftNm` and by `scaleError` nm per nm away from
    // 550 nm (the instrument reports at 500 nm what lies at 500 - shift - scale * (500 - 550)),
    // a bandpass wider than an ideal one by `bandwidthNm2` (half its variance, nm^2), a gain
    // that tilts by `gainTilt` % per nm away from 550 nm, and a photometric scale bent by
    // `linearity` (reading + linearity * reading * (1 - reading / 100)).
    PerAngle shiftNm;
    PerAngle linearity;
    PerAngle scaleError;
    PerAngle bandwidthNm2;
    PerAngle gainTilt;
    // Errors the program's diagnosis has no term for, so that it can be tried on instruments
    // its model does not describe. All off by default.
    // A triangular bandpass reaching `passLeftNm` below and `passRightNm` above the nominal
    // wavelength (triangular when equal, skewed when not, none when both are 0); the Gaussian
    // of `bandwidthNm2` widens it further.
    PerAngle passLeftNm;
    PerAngle passRightNm;
    // The gain rippling by `rippleAmplitude` % as sin(2 pi (L - 400 nm) / `ripplePeriodNm`).
    PerAngle rippleAmplitude;
    PerAngle ripplePeriodNm{100.0};
    // The photometric scale bent in an S besides: + cubic * reading * (1 - reading / 100) *
    // (reading / 100 - 0.5), no change at 0, 50 and 100 %.
    PerAngle cubic;
    // Each reading places the specimen anew: its reflectance times (1 + g / 100) plus o, with
    // g and o drawn per reading and angle with these standard deviations (%, % reflectance).
    PerAngle placementGainSd;
    PerAngle placementOffsetSd;
    // Chromatic specimens' spectral edges move by `thermoNmPerC` nm per degree of `roomC`
    // above 23 °C, fully on red and orange, less on the cooler colours, not on neutrals.
    double thermoNmPerC = 0.0;
    double roomC = 23.0;
    // The named specimen reflects `dirtyFactor` times what it should; empty: none is dirty.
    std::string dirtySpecimen;
    double dirtyFactor = 1.0;
    // Which entry corrects the readings: the complete entry written last for this instrument,
    // none at all (as while a connection reset keeps the entries out of force), or entry
    // `entryNumber` (1 to 30) as selected on the instrument's panel, whatever serial it holds.
    // Real instruments differ here, and the program must find out rather than assume.
    enum class EntryRule { LastWritten, None, ByNumber };
    EntryRule entryRule = EntryRule::LastWritten;
    int entryNumber = 1;
};

// Applies one "key=value" (see settingKeys()) to `config`. The per-angle errors take one value
// for all angles or three as v25/v45/v75; `bandpass` is "gaussian", "triangular:H" or
// "skewed:L:R" (half-widths in nm, once or three times as H25/H45/H75); `dirty` is
// "SPECIMEN/FACTOR" or "none"; `entries` is "last" (the entry written last applies), "none" or
// an entry number 1 to 30 (that entry applies, as chosen on the panel). False with a reason.
bool applySetting(InstrumentConfig& config, std::string_view key, std::string_view value,
                  std::string& error);

// Parses "NAME:key=value,key=value" (or a bare "NAME") on top of `base`.
bool parseInstrumentSpec(std::string_view spec, InstrumentConfig& config, std::string& error);

// Every key applySetting takes, for the command line's options.
const std::vector<std::string_view>& settingKeys();

// Empty when the configuration can be simulated, else the reason.
std::string validateConfig(const InstrumentConfig& config);

}  // namespace qv::sim
