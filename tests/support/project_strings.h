#pragma once

#include "core/app/string_table_text.h"

namespace qv::test {

// The program's own string table, read from the source tree.
const TextStringTable& projectStrings();

}  // namespace qv::test
