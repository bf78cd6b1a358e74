#pragma once

// The certificate of one check of the logbook: an A4 page naming the instrument, when, by whom
// and against what the check was made, the per-angle values and the verdict.

#include <QImage>
#include <QString>

#include "core/app/logbook.h"

namespace qv {

// Writes the certificate as a one-page PDF at `pdfPath`, complete or not at all and never over
// an existing file; false with the reason in `error` otherwise. Needs a QGuiApplication.
bool writeCertificate(const CheckRecord& record, const QString& pdfPath, QString* error);

// The same page as a picture at `dpi` dots per inch, for previews.
QImage renderCertificate(const CheckRecord& record, int dpi);

}  // namespace qv
