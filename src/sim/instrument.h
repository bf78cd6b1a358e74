#pragma once

// One simulated instrument: its answers to the command set, its settings, its measurement
// stream and its user-calibration entries. Pure logic; the line is the simulator's business.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/instrument_config.h"
#include "sim/specimens.h"
#include "sim/user_entries.h"

namespace qv::sim {

// Status codes of the simulated instrument beyond "OK00".
inline constexpr std::string_view kUnknownCommand = "ER01";
inline constexpr std::string_view kBadArgument = "ER02";
inline constexpr std::string_view kNoData = "ER03";

struct Answer {
    std::string line;             // without CR LF
    bool entriesChanged = false;  // the entries must be saved
};

class Instrument {
public:
    explicit Instrument(InstrumentConfig config);

    const InstrumentConfig& config() const { return config_; }
    // New settings; entries, calibration and measurement stream stay. A new seed restarts
    // the noise sequence.
    void reconfigure(const InstrumentConfig& config);

    // The answer to one command as received, without its terminator.
    Answer answer(std::string_view command);

    const EntryTable& entries() const { return entries_; }
    void setEntries(const EntryTable& entries);

    // The reflectances (%) a measurement would report now, before noise and placement
    // scatter: the specimen through every error of the instrument, then the correction of the
    // entry that applies.
    AngleSpectra expectedReading() const;
    // The same for any spectrum under the aperture instead of the configured specimen: its
    // true reflectances (%) through the instrument's wavelength errors, gain and offset, then
    // the entry's correction (the room's warmth and dirt are the configured specimen's).
    AngleSpectra expectedReadingOf(const AngleSpectra& truth) const;
    // One measurement as MES takes it, not yet rounded to two decimals: the specimen placed
    // anew (placement scatter), read with noise from the instrument's own stream, corrected.
    AngleSpectra takeReading();
    // The same with any spectrum under the aperture, as expectedReadingOf takes it.
    AngleSpectra takeReadingOf(const AngleSpectra& truth);
    // The 31 correction factors per angle that apply now; nothing when no entry applies.
    std::optional<AngleSpectra> correctionFactors() const;

private:
    Answer identify() const;
    Answer measure();
    Answer nextStreamLine();
    Answer readEntry(const std::vector<std::string_view>& f) const;
    Answer writeEntry(const std::vector<std::string_view>& f);
    Answer deleteEntry(const std::vector<std::string_view>& f);
    Answer setConditions(std::string_view command);
    Answer setUserSetting(const std::vector<std::string_view>& f);
    double gaussianNoise();
    // The reading through the instrument's photometric non-linearity at one angle.
    double bent(double reading, int angle) const;
    // Gain with its tilt and ripple, offset and non-linearity, angle by angle.
    AngleSpectra photometric(AngleSpectra values) const;
    // The specimen's reflectances through the wavelength errors: warmed by the room, dirty.
    AngleSpectra specimenSeen() const;
    // The specimen as this instrument reads it, before noise and correction.
    AngleSpectra truthSeen() const;
    AngleWavelengthErrors wavelengthErrors() const;
    // Reflectances through a fresh placement, the photometric errors, noise and correction.
    AngleSpectra read(AngleSpectra seen);
    const UserEntry* applyingEntry() const;
    // The readings multiplied by the factors of the entry that applies now.
    AngleSpectra corrected(AngleSpectra values) const;

    InstrumentConfig config_;
    EntryTable entries_{};
    std::uint64_t nextSequence_ = 1;
    std::mt19937 rng_;
    // Measuring conditions as CPR reports them and CPS sets them (after "OK00"/"CPS").
    std::string conditions_ = ",01,0500, 3,1";
    std::string userSetting_ = "1";
    bool zeroDone_ = false;
    bool whiteDone_ = false;
    int measurementCount_ = 0;
    std::vector<std::string> stream_;  // lines still to send on "&"
    std::size_t streamPos_ = 0;
};

// A reflectance as the instrument writes it: fixed point, two decimals, never a comma.
std::string formatValue(double v);

}  // namespace qv::sim
