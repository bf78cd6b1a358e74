#pragma once

// The rules around the instrument's user-calibration entries: comments, time stamps and which
// instruments may be written to (what an entry's reply says is judged in entry_state).

#include <optional>
#include <string>
#include <string_view>

#include "core/app/local_time.h"
#include "core/app/seams.h"
#include "core/link/identify.h"

namespace qv {

inline constexpr std::size_t kMaxEntryComment = 16;

// Blanks, tabs and line ends removed from both ends.
std::string_view trimmed(std::string_view text);
// A typed comment made ready: blanks around it removed, upper case.
std::string normalisedComment(std::string_view typed);
// The first character outside "A-Z 0-9 : . blank"; nothing when every one is allowed.
std::optional<char> forbiddenCommentCharacter(std::string_view comment);
// What is written: the first 16 characters.
std::string writtenComment(std::string_view comment);

// "dd.mm.yyyy hh:mm:ss", as the instrument keeps an entry's time.
std::string entryTimeStamp(const LocalTime& time);

// Which identifications let the entries be used: any known instrument may have one deleted,
// only a type-53 instrument takes new entries or lists them.
bool isKnownInstrument(const IdentifyResult& id);
bool isType53Instrument(const IdentifyResult& id);
// The serial the instrument reports, " " when it did not answer; a write carries it.
std::string connectedSerial(const IdentifyResult& id);
// Why a serial cannot go into a command (a control byte would end it early); nothing when it
// can.
std::optional<std::string> unsendableSerial(std::string_view serial);

// The logbook record of a write or a deletion, for a change that needs more said of it.
CheckRecord entryRecord(const Seams& seams, RecordKind kind, const std::string& serial,
                        const std::string& type, int entry, const std::string& comment,
                        const std::string& file = {});
// Puts a write or a deletion of `entry` on record in the seams' logbook, when there is one:
// the instrument's serial and type code ("53", "40"), the entry's comment (the deleted one's
// for a deletion) and the record file of a write.
void recordEntryChange(const Seams& seams, RecordKind kind, const std::string& serial,
                       const std::string& type, int entry, const std::string& comment,
                       const std::string& file = {});

}  // namespace qv
