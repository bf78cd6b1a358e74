#pragma once

// Student's t, for stating an interval from a standard error estimated from few values.

namespace qv {

// The normal's 95 % two-sided quantile, which Student's t widens.
inline constexpr double kNormal95 = 1.959964;

// Student's t, 95 % two-sided, for `dof` degrees of freedom (taken down to a whole number; at
// least 1; infinite: the normal's 1.96).
double studentT95(double dof);

}  // namespace qv
