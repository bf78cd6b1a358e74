#pragma once

// Instrument settings as text: "NAME:key=value,..." on the command line and in the control
// channel's "set" command.

#include <string>
#include <string_view>
#include <vector>

#include "sim/simulator.h"

namespace qv::sim {

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
