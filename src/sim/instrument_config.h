#pragma once

// Instrument settings as text: "NAME:key=value,..." on the command line and in the control
// channel's "set" command.

#include <string>
#include <string_view>

#include "sim/simulator.h"

namespace qv::sim {

// Applies one "key=value" (type, id, specimen, noise, seed, gain, offset, shift, linearity,
// scale, bandwidth, tilt, entries) to `config`. The per-angle errors take one value for all angles
// or three as v25/v45/v75; `entries` is "last" (the entry written last applies) or "none". False
// with a reason.
bool applySetting(InstrumentConfig& config, std::string_view key, std::string_view value,
                  std::string& error);

// Parses "NAME:key=value,key=value" (or a bare "NAME") on top of `base`.
bool parseInstrumentSpec(std::string_view spec, InstrumentConfig& config, std::string& error);

// Empty when the configuration can be simulated, else the reason.
std::string validateConfig(const InstrumentConfig& config);

}  // namespace qv::sim
