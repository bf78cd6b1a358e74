#pragma once

// An instrument's performance statement on one A4 page (its notes continued on another when
// they are long): the instrument, the reference, the
// colour-difference formula and the day it was made; per angle each contribution with the
// figure and the records behind it, the combined and the expanded uncertainty, and the share of
// the product tolerance it takes, drawn as a bar against the bands; what is missing; how the
// figures are combined and where each comes from.

#include <QImage>
#include <QString>
#include <string>

#include "core/app/seams.h"
#include "core/log/performance.h"

namespace qv {

// Writes the page as a PDF at `pdfPath`, complete or not at all and never over an existing
// file; false with the reason in `error` otherwise. Needs a QGuiApplication.
bool writePerformanceSheet(const PerformanceStatement& statement, const QString& pdfPath,
                           QString* error);

// Page `page` (0: the statement; after it, the notes it had no room for) as a picture at `dpi`
// dots per inch, for previews.
QImage renderPerformanceSheet(const PerformanceStatement& statement, int dpi, int page = 0);

// The name the page is offered under: "Performance_L70S-200002_20261208_150405.pdf".
std::string performanceSheetName(const PerformanceStatement& statement);

// Asks the operator where to save the page (offering its name in the data folder) and writes
// it there, and records its issue in the logbook; a page that cannot be written is told with
// the reason. False when none was written.
bool savePerformanceSheetAs(const PerformanceStatement& statement, const Seams& seams);

}  // namespace qv
