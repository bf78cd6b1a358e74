#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "core/app/serial_channel.h"
#include "core/colour/spectrum.h"

namespace qv {

// What readings that new factors correct passed through: no entry, entry N, or the operator
// does not know. A fact about the instrument, asked, never assumed.
struct WriteBasis {
    enum class Kind { None, Entry, NotKnown };
    Kind kind = Kind::NotKnown;
    int entry = 0;  // 1 to 30 with Kind::Entry

    bool operator==(const WriteBasis&) const = default;
};

// What the short-lived task dialogs leave for each other. One instance for the process; it
// owns the serial port and closes it when it goes.
struct SharedState {
    explicit SharedState(std::unique_ptr<SerialChannel> port = nullptr);
    ~SharedState();
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    // Instrument link.
    std::unique_ptr<SerialChannel> commPort;
    bool bConnected = false;
    std::string strInstrumentId;
    const std::string& instrumentId() const { return strInstrumentId; }
    void setInstrumentId(std::string id) { strInstrumentId = std::move(id); }

    // Files.
    std::string strDataFolder;
    std::string dataFolder() const { return strDataFolder; }

    // Thresholds (in units of the chosen colour-difference formula).
    double defThreshold = 0.0;
    double instThreshold = 0.5;

    // Repeatability check: element 3k + a is measurement k at angle a.
    std::array<AngleSpectrum, 9> repeatSpectrum;
    double repeatMaxDeltaE = 0.0;
    bool repeatPassed = false;
    // The instrument the last series was measured on: serial and type code. A pass unlocks the
    // inter-instrument check, which asks when it is about another instrument.
    std::string repeatSerial;
    std::string repeatType;

    // Inter-instrument check and validation.
    ThreeAngles targetSpectrum;
    ThreeAngles sampleSpectrum;
    std::string targetSerial;
    std::string sampleSerial;
    // The type code ("53", "40") of the instrument that measured the sample; empty when the
    // sample came from a file.
    std::string sampleType;
    bool targetMeasured = false;
    bool sampleMeasured = false;

    // User calibration coefficients.
    std::string coeffFileComment;
    bool coeffEntryDeleted = false;
    // What the connected instrument's readings pass through, as the operator said since it was
    // connected (for instrument `entryBasisSerial`). A connection's settings reset may change
    // what applies and a write changes it, so both clear it.
    std::optional<WriteBasis> entryBasis;
    std::string entryBasisSerial;

    // Window state.
    bool bAboutMode = false;
    bool whiteCalibrationPending = false;
    // The last calibration that the instrument confirmed: which instrument and when ("04:31");
    // empty before one.
    std::string lastCalibration;
    std::string version;
};

}  // namespace qv
