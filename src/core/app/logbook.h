#pragma once

// The instrument logbook: every completed check and every write on record, so that an
// instrument's history can be shown and audited. The result files stay as they are; a record
// points at them. Recording never stops a check: a logbook that fails says so once and the
// check goes on.

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/local_time.h"
#include "core/colour/spectrum.h"

namespace qv {

enum class RecordKind {
    Repeatability,
    InterInstrument,
    Verification,
    EntryWrite,
    EntryDeletion,
    TileSet,
    ExtendedRepeatability,
    // Not a check: a white calibration the instrument confirmed, a condition of the checks
    // after it.
    Calibration,
    // Not a check: a performance statement was issued (its page written). The record keeps its
    // number, who made it, the page's file and the expanded uncertainty stated per angle.
    Statement,
    // Not a check: a standardisation profile was fitted. The record keeps the master, its
    // residual on tiles held out per angle and the profile's file.
    Profile,
    // The daily check tile read against its certificate, brought to the certificate's
    // temperature when the room's was given. The record keeps the tile as its specimen.
    CheckTile
};

// The trend of a history a record's colour differences belong to.
enum class TrendKind { Repeatability, InterInstrument, TileSet, CheckTile };

// What the program says of a record kind, in one row: how the logbook stores it, its name in a
// history's list and as a certificate's title, whether its judgement file holds the spectra
// behind it, and the trend it belongs to. A new kind is one row in kRecordKinds.
struct RecordKindRow {
    RecordKind kind;
    std::string_view key;        // "repeatability", "inter-instrument", ...
    std::string_view shortName;  // "Repeatability", "Entry written", ...
    std::string_view title;      // "Repeatability check", ...
    bool hasSpectra;
    std::optional<TrendKind> trend;
};
const RecordKindRow& kindRow(RecordKind kind);

// The kind as the logbook stores it, and back.
std::string_view kindName(RecordKind kind);
std::optional<RecordKind> kindFromName(std::string_view name);

// One angle of a record; NaN where the check has no such value.
struct AngleRecord {
    std::array<double, 3> lab{};  // the checked instrument's L*, a*, b*
    double deltaE = 0.0;        // the decisive colour difference at this angle (a statement: its U)
    double beforeDeltaE = 0.0;  // a verification: the difference before the correction
    // An extended repeatability check: the standard deviations of L*, a*, b* and the largest
    // difference from the mean (its mean difference, the MCDM, is `deltaE`).
    std::array<double, 3> sd{};
    double largest = 0.0;
    // The root mean square of the differences behind `deltaE` (an extended check: from the
    // mean; a tile set: the tiles'), which a few large ones weigh more than their mean does.
    double rms = 0.0;
};

// One physical term of a tile set's instrument diagnosis, as the logbook keeps it.
struct TermRecord {
    std::string key;             // "offset", "gain", ... as the diagnosis names it
    double value = 0.0;          // NaN when not known
    double standardError = 0.0;  // infinite when the set could not tell the term at all
    bool identified = false;
};

// One tile of a diagnosed set at one angle: its colour as the reference reads it and the
// instrument's differences from it in L*, a*, b* (instrument less reference), as the set's
// figure was read (again after the correction when it was) and as predicted after factors
// fitted on the other tiles alone. NaN where not known.
struct TileDifferenceRecord {
    std::array<double, 3> reference{};
    std::array<double, 3> read{};
    std::array<double, 3> heldOut{};
};

// What the diagnosis of one angle decided, and why.
struct AngleDiagnosisRecord {
    std::string decision;  // "write-factors", "service", ...
    std::string reason;
    // The mean colour difference predicted after the fitted factors and after every identified
    // term removed; NaN when not known.
    double meanAfterFactors = 0.0;
    double meanAfterModel = 0.0;
    std::vector<TermRecord> terms;
    // The root mean square of each tile's colour difference after factors fitted on the
    // others: what a colour the set did not see may expect, where the in-sample mean flatters.
    double heldOutRmsAfterFactors = std::numeric_limits<double>::quiet_NaN();
    // The colours the set spans as the reference reads them: L* and C* from low to high, and
    // the hue arc of its chromatic tiles from `hueFrom` counter-clockwise to `hueTo` (degrees;
    // NaN without a chromatic tile). NaN throughout for records kept before the set's span was.
    double lightnessLow = std::numeric_limits<double>::quiet_NaN();
    double lightnessHigh = std::numeric_limits<double>::quiet_NaN();
    double chromaLow = std::numeric_limits<double>::quiet_NaN();
    double chromaHigh = std::numeric_limits<double>::quiet_NaN();
    double hueFrom = std::numeric_limits<double>::quiet_NaN();
    double hueTo = std::numeric_limits<double>::quiet_NaN();
    // The tiles' own differences, in the set's order, from which the agreement is taken apart
    // per coordinate and restated in any formula; empty for records kept before they were.
    std::vector<TileDifferenceRecord> tiles{};
};
using DiagnosisRecord = std::array<AngleDiagnosisRecord, kAngleCount>;

struct CheckRecord {
    std::int64_t id =
        0;  // given by the logbook; one logbook's own number, not the record's identity
    // The record's identity wherever it is kept (made when it is first recorded), so that a server
    // takes a record sent twice only once; empty before it is recorded.
    std::string uuid;
    std::string workstation;  // the host that recorded it; empty when not known
    RecordKind kind = RecordKind::Repeatability;
    std::string serial;           // the instrument checked (under correction)
    std::string instrumentType;   // "53", "40"; empty when not known
    std::string referenceSerial;  // the reference instrument of an inter-instrument check
    LocalTime time;               // the workstation's own clock, as its result files carry it
    // Minutes east of UTC where and when the check was made, so that checks of workstations in
    // different time zones sort by the instant; none for records kept before it was.
    std::optional<int> utcOffsetMinutes;
    std::string operatorName;
    double threshold = 0.0;  // NaN when the kind has none
    std::string formula;     // "dE*ab", ...
    std::optional<bool> passed;
    std::array<AngleRecord, kAngleCount> angles{};
    std::vector<std::string> files;            // result and record files written by the check
    int entry = 0;                             // a write or deletion: the entry, 1 to 30
    std::string comment;                       // a write: the entry's comment; a tile set: the set
    std::optional<DiagnosisRecord> diagnosis;  // a tile set diagnosed when it was judged
    // An extended repeatability check: how many readings, whether the specimen was lifted and
    // placed again between them, and the specimen's name as the operator gave it.
    int readings = 0;
    bool handling = false;
    std::string specimen;
    // Made while the lab's check intervals held the instrument back: its overdue checks in
    // words ("its repeatability check is 3 days overdue; ..."), empty when it was current or no
    // interval was in force. A check made then is how it becomes current again.
    std::string overdue;
    // Why a supervisor let an action that trusts the instrument (a write, a statement) go ahead
    // although it was held back; the record's operator is who did.
    std::string overrideReason;
    // A write: the factors as they were sent, 16 per angle (400 to 700 nm by 20 nm, 25 degrees
    // first), so that a later correction can be computed on top of them wherever the logbook is
    // read; empty for other kinds and for writes recorded before the logbook kept them.
    std::vector<double> factors;
};

// The factors of a write as the logbook keeps them: the instrument's own texts separated by
// blanks ("1.03 0.98 ..."), and back; anything but 48 finite numbers reads as none.
inline constexpr std::size_t kRecordFactorCount = 48;
std::string factorsText(const std::vector<double>& factors);
std::vector<double> factorsFromText(std::string_view text);

// The overdue checks as one text, "reason; reason", as a record keeps them.
std::string overdueText(const std::vector<std::string>& reasons);

// A record with every number NaN, the kind and time set.
CheckRecord emptyRecord(RecordKind kind, const LocalTime& time);

// A check's outcome as its workflow judged it, handed to its verdict: whether it passed, the
// decisive colour difference, and the logbook's record of it (its id included) when the
// logbook kept one.
struct CheckVerdict {
    bool passed = false;
    double largest = 0.0;
    std::optional<CheckRecord> record;
};

class Logbook {
public:
    virtual ~Logbook() = default;
    // Adds the record and gives the id it is kept under (negative: kept on this workstation
    // until the logbook's server takes it), 0 when nothing was kept. A failure is the logbook's
    // own business (it tells the operator); the caller goes on whatever happens.
    virtual std::int64_t record(const CheckRecord& record) = 0;
    // The instrument's records, newest first; `since` "YYYY-MM-DD" or empty for all, `limit`
    // negative for no limit. Nothing when the logbook cannot be read.
    virtual std::vector<CheckRecord> records(const std::string& serial,
                                             const std::string& since = {}, int limit = -1) = 0;
    // The instrument's checks that the lab's check intervals say are overdue on the day of
    // `now`, each in words ("its repeatability check is 3 days overdue"); none where no
    // interval is in force or the logbook keeps none.
    virtual std::vector<std::string> overdueChecks(const std::string& /*serial*/,
                                                   const LocalTime& /*now*/) {
        return {};
    }
    // As record(), the record first marked with the checks of its instrument that were overdue
    // when it was made, unless it is marked already: a check made while held back says so. The
    // reads that tell come before the record, which stays one call.
    std::int64_t recordMarked(CheckRecord record);
    // How many calls of record() in this run kept nothing (the operator was told each time); a
    // command line that recorded less than it checked does not end as if all went well.
    int notRecorded() const { return notRecorded_; }

protected:
    int notRecorded_ = 0;
};

}  // namespace qv
