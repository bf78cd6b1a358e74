#pragma once

// The spectra of a result file as CGATS text, for colour tools that read spectral data: one
// sample per angle and spectrum, named after what the file holds ("target 25", "reading 7 45",
// "measurement 2 75"), the 31 reflectances in percent as the file keeps them.

#include <string>
#include <string_view>

#include "core/app/csv.h"
#include "core/app/file_store.h"
#include "core/app/number_format.h"
#include "core/app/string_table.h"

namespace qv {

struct CgatsExport {
    std::string text;
    // Empty when the file was read; otherwise why it is not a result file the export reads,
    // in English, with its line.
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// Reads a target, judgement, repeatability (of three or of many readings) or coefficient record
// file (with the separators its date line shows, `format`'s when it shows none; header keys and
// block titles from `texts`) and writes its spectra. Files are untrusted: anything else is refused.
CgatsExport exportSpectra(std::string_view resultFile, const NumberFormat& format,
                          const StringTable& texts, const CsvLimits& limits = {});

// Where an export goes when no other name is given: beside the result file under its own name,
// "Judgement_20261207_150405.csv" -> "Judgement_20261207_150405.cgats.txt".
std::string cgatsPathBeside(const std::string& resultFile);

// Reads the result file at `resultFile`, exports its spectra and saves them as the new file
// `out`, never over an existing one. Empty when written; otherwise why not, naming the file.
std::string exportSpectraFile(FileStore& files, const std::string& resultFile,
                              const std::string& out, const NumberFormat& format,
                              const StringTable& texts);

}  // namespace qv
