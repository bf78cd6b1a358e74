#pragma once

// The files of a tile-set agreement: the judgement files of the inter-instrument check read
// back as one tile each, and the set's own result file.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/local_time.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/coeff/coefficient_blocks.h"
#include "core/files/file_lines.h"
#include "core/files/validation_files.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/tile_set.h"

namespace qv {

// A judgement file's spectra as the set takes them: the 31 reflectances of each row (the
// coordinates and differences after them are computed afresh).
TileSpectra judgedTile(const JudgementFile& file);

// The coefficient file of a fitted correction (the record-file layout the write path reads):
// its text, or the first factor outside 0.5 to 1.5, when nothing may be written.
struct CorrectionFile {
    std::string text;
    std::optional<FactorOutOfRange> outOfRange;
};
CorrectionFile correctionFile(const TileSpectra& pair, const std::string& sampleSerial,
                              const LocalTime& time, const StringTable& texts,
                              const NumberFormat& format);

// Everything the set's result file holds. Predicted (the fitted factors applied to the stored
// readings) and after (the set measured again after a correction) are optional columns.
struct SetReport {
    TileSet set;
    std::string targetSerial;
    std::string sampleSerial;
    std::string deltaELabel;
    LocalTime time;
    SetLimits limits;
    SetAgreement measured;
    std::optional<SetAgreement> predicted;
    std::optional<SetAgreement> after;
    // The type code of the instrument under correction, for the logbook; empty when not known.
    std::string sampleType;
    // What separates the two instruments over the set, as read before any correction.
    std::optional<Diagnosis> diagnosis;
};

// The header keys of the set's file, in English whatever the string table holds.
namespace set_key {
inline constexpr std::string_view kDate = "Date";
inline constexpr std::string_view kSet = "Tile set";
inline constexpr std::string_view kReference = "Reference instrument";
inline constexpr std::string_view kUnderCorrection = "Instrument under correction";
inline constexpr std::string_view kFormula = "Colour difference";
inline constexpr std::string_view kMeanThreshold = "Mean threshold";
}  // namespace set_key

// Header lines (date, set, serials, formula, limits), a blank line, one row per tile and angle,
// a blank line, one summary row per angle, a blank line and the set's verdict. CR LF, the
// user's separators, every number followed by the separator.
std::string formatSetFile(const SetReport& report, const NumberFormat& format);
// Saved as "TileSet_" and the time, never over an earlier file.
SavedFile writeSetFile(FileStore& files, const std::string& folder, const SetReport& report,
                       const NumberFormat& format);

// The set's file read back: its header, per tile and angle the difference as measured (and after
// a correction when the file has that column), per angle the summary's mean, and the verdict.
struct SetFileTile {
    std::string tile;
    int angle = 0;
    double deltaE = 0.0;
};
struct SetFile {
    LocalTime time;
    std::string setName;
    std::string targetSerial;
    std::string sampleSerial;
    std::string deltaELabel;
    double meanThreshold = 0.0;
    std::vector<SetFileTile> tiles;
    bool readAgain = false;  // the set was read again after a correction ("dE after")
    std::array<double, kAngleCount> mean{};  // of the readings the verdict is on
    bool passed = false;
};

// Its first lines: the set's name under the date.
bool isSetFile(const CsvTable& head, const StringTable& texts);
FileRead<SetFile> readSetFile(std::string_view text, const NumberFormat& format,
                              const StringTable& texts, const CsvLimits& limits = {});

// What the logbook keeps of a judged set: per angle the mean colour difference (of the set
// read again after a correction, when there is one; then the measured mean is the "before")
// against the mean threshold, and the set's diagnosis when it has one.
CheckRecord setRecord(const SetReport& report, const SavedFile& file);

// The set's result file and its record in `logbook` (when there is one), as every road that
// judges a set leaves them; the record's id, 0 when none was kept.
struct SetFiled {
    SavedFile file;
    std::int64_t record = 0;
};
SetFiled fileAndRecord(FileStore& files, const std::string& folder, const SetReport& report,
                       const NumberFormat& format, Logbook* logbook);

}  // namespace qv
