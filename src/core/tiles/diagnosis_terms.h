#pragma once

// The physical terms the diagnosis fits, by name and number: what its fit, its normal
// equations and its reports share.

#include <array>
#include <cstddef>

namespace qv {

enum class Term { Offset, Gain, GainTilt, Linearity, Shift, ScaleError, Bandwidth };
inline constexpr std::size_t kTermCount = 7;
using TermMask = std::array<bool, kTermCount>;

}  // namespace qv
