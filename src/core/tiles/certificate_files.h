#pragma once

// The files a tile's certificate arrives in: a CGATS table with the certificate's fields as
// keywords, or spectra alone with the fields given beside them, and a table of thermochromic
// coefficients. All untrusted: refused with the keyword, set or line named.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/files/cgats_file.h"
#include "core/files/file_lines.h"
#include "core/tiles/tile_certificate.h"

namespace qv {

// One spectrum a certificate file holds: the specimen it names, its angle (index) and values.
struct CertifiedSpectrum {
    std::string specimen;
    int angle = 0;
    AngleSpectrum reflectances;
};

// The tile's three angles among `spectra`: those of the specimen named `tile` (any case), or,
// when the file holds one specimen only, that one's. Refused when an angle is missing or given
// twice.
FileRead<ThreeAngles> tileSpectra(const std::vector<CertifiedSpectrum>& spectra,
                                  const std::string& tile);

// A certificate in CGATS: the spectra as the program's export writes them (SAMPLE_NAME "green
// 25", SPEC_400 ... SPEC_700) and the certificate under keywords CERTIFICATE_NUMBER,
// LABORATORY, CERTIFICATE_DATE, DUE_DATE, UNCERTAINTY, CERTIFICATE_TEMPERATURE. Refused with
// the keyword, set or line named.
FileRead<TileCertificate> readCgatsCertificate(std::string_view text, const std::string& tile);
// The certificate written so, without its coefficients and limit.
std::string formatCgatsCertificate(const TileCertificate& certificate);

// What the operator gives beside a certificate's file: the fields a file of spectra alone (a
// CxF document) does not carry, or that go before the file's own. Empty texts and no numbers
// leave the file's.
struct CertificateFields {
    std::string number;
    std::string laboratory;
    std::string date;
    std::string dueDate;
    std::optional<double> uncertainty;
    std::optional<double> temperatureC;
    std::optional<double> limit;
};
void applyFields(TileCertificate& certificate, const CertificateFields& fields);

// The same fields as typed (the desktop's import form, the command line's options), the
// numbers still text.
struct TypedCertificateFields {
    std::string number;
    std::string laboratory;
    std::string date;
    std::string dueDate;
    std::string uncertainty;
    std::string temperatureC;
    std::string limit;
};
// The number fields in the order the form shows them.
enum class CertificateNumber { Uncertainty, Temperature, Limit };
// "uncertainty (dE*ab)", as the form labels it.
std::string certificateNumberName(CertificateNumber field);
struct CertificateFieldsReading {
    CertificateFields fields;  // meaningful only when every number read
    std::optional<CertificateNumber> unread;
};
// Texts as typed; each number the whole text (blanks around it) written with `decimal` or a
// point, a blank one leaving the file's. Whether a number is in range is certificateProblem's
// to say, as for the file's own. The first number that does not read, in the form's order.
CertificateFieldsReading readCertificateFields(const TypedCertificateFields& typed, char decimal);

// A coefficients table: one line per wavelength 400 to 700 nm by 10 nm, the wavelength first
// and then either one coefficient for all three angles or three (25°, 45°, 75°), % reflectance
// per °C, separated by commas, semicolons, tabs or blanks; '#' begins a comment, blank lines
// are skipped. Refused naming the line.
FileRead<ThreeAngles> readCoefficientsTable(std::string_view text);

}  // namespace qv
