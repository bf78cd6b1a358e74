#pragma once

// The one bundle of seams every workflow takes, built once by the composition root (the
// desktop program, the command line, or a test) and lent to each task for its run.

#include "core/app/activity.h"
#include "core/app/clock.h"
#include "core/app/file_store.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/profile_store.h"
#include "core/app/prompter.h"
#include "core/app/shared_state.h"
#include "core/app/string_table.h"

namespace qv {

struct Seams {
    SharedState& state;
    // The clock of the thread the workflow runs on.
    Clock& clock;
    Prompter& prompter;
    ProfileStore& profile;
    FileStore& files;
    const StringTable& strings;
    // The user's decimal and list separators.
    NumberFormat format;
    // Where completed checks and writes are recorded; none in programs and tests that keep no
    // logbook.
    Logbook* logbook = nullptr;
    // Told which instrument answered and what each exchange is doing; none where nobody
    // watches.
    Activity* activity = nullptr;
};

}  // namespace qv
