#pragma once

#include "core/app/number_format.h"

class QLocale;

namespace qv {

// The user's decimal and list separators: ";" as list separator where the decimal separator
// is a comma, "," otherwise.
NumberFormat numberFormatFor(const QLocale& locale);
NumberFormat userNumberFormat();

}  // namespace qv
