#pragma once

// Every kind of result file the program writes, once: how its first lines are known, the reader
// of its module, the logbook record its check makes and the spectra it carries. The logbook's
// import, the CGATS export and anything else that takes "a result file" go through this table
// and know no kind by name.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/app/csv.h"
#include "core/app/logbook.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"
#include "core/files/extended_repeatability_file.h"
#include "core/files/record_file.h"
#include "core/files/repeatability_file.h"
#include "core/files/validation_files.h"
#include "core/tiles/profile_file.h"
#include "core/tiles/set_files.h"

namespace qv {

// What one of the readers handed back.
using ResultContents = std::variant<RepeatabilityFile, TargetFile, JudgementFile, CoefficientRecord,
                                    SetFile, ExtendedReport, ProfileFile>;

// One spectrum of a file, named after what it is ("target 25", "reading 7 45").
struct NamedSpectrum {
    std::string name;
    AngleSpectrum reflectances;  // the 31, in percent
    std::string specimen;        // what was read, without the angle ("target", "reading 7")
    int angle = 0;               // index into kAngleDegrees
    std::string serial;          // the instrument that read it; empty where the file does not say
    bool standardised = false;   // read through the file's profile (`standardisedBy`)
};

// The spectra a file carries and the instruments that read them.
struct ResultSpectra {
    std::string instrumentation;  // "L70S-100001", or "target ..., sample ..."
    std::vector<NamedSpectrum> samples;
    std::string standardisedBy;  // the profile, when the readings were standardised through one
};

struct ResultKindRow {
    // How the file is named to other tools ("Judgement file").
    std::string_view descriptor;
    // The record its check makes (a judgement that verifies a correction makes a verification);
    // nothing for a file of no check.
    std::optional<RecordKind> recordKind;
    // Why such a file makes no record; empty when it makes one.
    std::string_view noRecord;
    // Whether the file's first three lines are this kind's.
    bool (*detect)(const CsvTable& head, const StringTable& texts);
    // The module's reader, its contents in the table's one type.
    FileRead<ResultContents> (*read)(std::string_view text, const NumberFormat& format,
                                     const StringTable& texts, const CsvLimits& limits);
    // The record of the check it holds, without the file's path; nullptr for a kind that makes
    // none. Refused, with its line, where the file holds less than its record needs.
    FileRead<CheckRecord> (*record)(const ResultContents& contents);
    // Its spectra for other colour tools; nullptr for a kind that carries none.
    ResultSpectra (*spectra)(const ResultContents& contents);
};

std::span<const ResultKindRow> resultKinds();

// A result file's kind from its first lines, with the separators its date line shows (the
// user's `format` when they agree). Nothing, and why not with its line, when it is none of ours.
struct KnownResultFile {
    const ResultKindRow* kind = nullptr;
    NumberFormat format;
    std::string problem;
};
KnownResultFile knownResultFile(std::string_view text, const NumberFormat& user,
                                const StringTable& texts);

// When the file says it was written.
LocalTime resultTime(const ResultContents& contents);

}  // namespace qv
