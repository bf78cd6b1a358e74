#pragma once

// The newest standardisation profile of an instrument, looked up in the logbook on a thread of
// its own (a window never waits for a server), so that a check can show beside its differences
// as read what they are through the instrument's profile.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/log/logbook_reader.h"
#include "platform/log/stored_profiles.h"

namespace qv {

class ProfileFinder {
public:
    // None when `logbook` is none or not open: find() then answers nothing at once.
    static std::unique_ptr<ProfileFinder> of(const LogbookStore* logbook, const StringTable& texts);
    ProfileFinder(const LogbookStore& logbook, const StringTable& texts);

    // The profile, or nothing when the instrument has none that can be used, handed to `done`
    // on `owner`'s thread. `owner` owns this finder: a lookup under way ends before it goes.
    void find(const std::string& serial, QObject* owner,
              std::function<void(const std::optional<StoredProfile>&)> done);

private:
    LogbookReader reader_;
    const StringTable& texts_;
};

// "Through profile 12 to L70S-100001 of 2026-12-09", and " (due: ...)" when it is due at `now`.
QString profileInUseText(const StoredProfile& profile, const LocalTime& now);

}  // namespace qv
