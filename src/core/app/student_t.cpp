#include "core/app/student_t.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace qv {

namespace {

// Student's t, 95 % two-sided, for 1 to 30 degrees of freedom.
constexpr std::array<double, 30> kT95 = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306,
                                         2.262,  2.228, 2.201, 2.179, 2.160, 2.145, 2.131, 2.120,
                                         2.110,  2.101, 2.093, 2.086, 2.080, 2.074, 2.069, 2.064,
                                         2.060,  2.056, 2.052, 2.048, 2.045, 2.042};

}  // namespace

double studentT95(double dof) {
    if (!(dof >= 1.0)) return kT95[0];
    if (dof <= 30.0) return kT95[static_cast<std::size_t>(dof) - 1];
    // Beyond the table the normal's quantile with the first two terms of its expansion in 1/dof.
    const double n = std::isfinite(dof) ? std::floor(dof) : std::numeric_limits<double>::infinity();
    const double z = kNormal95;
    return z + (z * z * z + z) / (4.0 * n) +
           (5.0 * std::pow(z, 5) + 16.0 * z * z * z + 3.0 * z) / (96.0 * n * n);
}

}  // namespace qv
