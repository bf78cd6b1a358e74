#pragma once

// The certificate of one check of the logbook: an A4 page naming the instrument, when, by whom
// and against what the check was made, the per-angle values and the verdict; for an
// inter-instrument check or its verification, both instruments' spectra as well; for a
// diagnosed tile set, per angle the terms identified, the decision and its reason; for an entry
// written, how far from its specimen it holds (or why that is not known).

#include <QImage>
#include <QString>
#include <string>

#include "core/app/hold_back.h"
#include "core/app/logbook.h"
#include "core/app/seams.h"
#include "core/log/record_spectra.h"
#include "core/log/record_validity.h"

namespace qv {

// Writes the certificate as a one-page PDF at `pdfPath`, complete or not at all and never over
// an existing file; false with the reason in `error` otherwise. `spectra` as `recordSpectra`
// read them for the record: drawn, or why not named; `validity` as `recordValidity` found it
// for an entry written; `issued` what was overdue when it was issued all the same, and why.
// Needs a QGuiApplication.
bool writeCertificate(const CheckRecord& record, const RecordSpectra& spectra,
                      const QString& pdfPath, QString* error, const RecordValidity& validity = {},
                      const Clearance& issued = {});

// The same page as a picture at `dpi` dots per inch, for previews.
QImage renderCertificate(const CheckRecord& record, const RecordSpectra& spectra, int dpi,
                         const RecordValidity& validity = {});

// What the certificate of an entry written says of its validity, paragraph by paragraph: where
// the prediction comes from (or why the validity is not known), then per angle the radius and
// the residual at 2, 3.5 and 7 dE00. Nothing for a record of another kind.
QStringList validityParagraphs(const RecordValidity& validity, const NumberFormat& format);

// The name a certificate is offered under: "Certificate_L70S-200002_20261207_150405.pdf".
std::string certificateName(const CheckRecord& record);

// Unless the lab's check intervals hold its instrument back (and no supervisor's reason is
// given), asks the operator where to save the certificate of `record` (offering its name in the
// data folder) and writes it there, with the spectra read through the seams' files; a certificate
// that cannot be written is told with the reason. False when none was written; `savedTo`, when
// given, receives the path written.
bool saveCertificateAs(const CheckRecord& record, const Seams& seams,
                       std::string* savedTo = nullptr);

}  // namespace qv
