#pragma once

// A tile's certificate read from the file a laboratory sent: a CxF3 document of its spectra or
// a CGATS table with the certificate's fields as keywords, and the coefficients beside it.

#include <string>

#include "core/app/file_store.h"
#include "core/tiles/certificate_files.h"

namespace qv {

// The certificate of `tile` in the file at `path`, with `fields` before the file's own (a CxF
// document holds spectra only: its number and date must be given), and the coefficients
// table at `coefficientsPath` when one is named. A document is CxF when its first character
// that is no blank is '<'. Not checked against certificateProblem: the caller says what it
// refuses.
FileRead<TileCertificate> readCertificateFile(FileStore& files, const std::string& path,
                                              const std::string& tile,
                                              const CertificateFields& fields,
                                              const std::string& coefficientsPath);

}  // namespace qv
