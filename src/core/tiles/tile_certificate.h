#pragma once

// A ceramic tile's certificate and the daily check against it. Tiles are thermochromic: a
// green tile moves about 0.08 dE*ab per degree, so a reading taken a few degrees away from the
// certificate's temperature is brought to it with the tile's coefficients (the change of
// reflectance per degree at each wavelength) before it is judged.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/local_time.h"
#include "core/colour/spectrum.h"

namespace qv {

// What a laboratory certified for one tile, and what the lab added to it: the coefficients
// (when the certificate does not carry them) and the limit the tile is judged against.
struct TileCertificate {
    std::string tile;
    std::string number;
    std::string laboratory;
    std::string date;          // YYYY-MM-DD
    std::string dueDate;       // YYYY-MM-DD; empty: the certificate names none
    double uncertainty = 0.0;  // dE*ab, expanded, as the certificate states it
    std::optional<double> temperatureC;
    ThreeAngles spectra;          // per angle the 31 reflectances, percent
    ThreeAngles coefficients;     // per angle 31 values, % reflectance per °C; empty: none
    std::optional<double> limit;  // dE*ab at every angle; none: defaultTileLimit
};

inline constexpr std::size_t kMaxCertificateTextChars = 120;
inline constexpr double kMaxCoefficient = 5.0;  // % reflectance per °C, far beyond any tile

// Empty when the certificate can be kept; otherwise what is wrong, in English. Spectra must be
// whole and plausible, dates real days, numbers finite and in range.
std::string certificateProblem(const TileCertificate& certificate);
bool hasCoefficients(const TileCertificate& certificate);

// The certified values as one canonical text (fixed decimals, fixed order): two imports of
// the same certificate give the same text; its coefficients and limit stay out of it.
std::string certifiedValuesText(const TileCertificate& certificate);
// The coefficients and the limit in the same form, for telling one record of a certificate
// from another that only changes them.
std::string labValuesText(const TileCertificate& certificate);
// And back, onto the certificate's fields; false when the text is not such a text.
bool readCertifiedValuesText(std::string_view text, TileCertificate& certificate);
bool readLabValuesText(std::string_view text, TileCertificate& certificate);

// The limit when the tile has none of its own: what the certificate leaves uncertain plus the
// allowance an instrument of its class has against another (the inter-instrument threshold).
double defaultTileLimit(double uncertainty, double instrumentAllowance);

// A reading at `temperatureC` brought to the certificate's temperature:
// R_cert = R_T - c * (T - T_cert) at each wavelength. Nothing when the certificate has no
// temperature or no coefficients.
std::optional<ThreeAngles> correctedToCertificate(const ThreeAngles& reading,
                                                  const TileCertificate& certificate,
                                                  double temperatureC);

struct TileAngleResult {
    int angle = 0;  // degrees
    double deltaE = 0.0;
    double limit = 0.0;
    bool passed = false;
};

struct TileCheck {
    std::string tile;
    std::string number;
    std::optional<double> temperatureC;
    bool corrected = false;
    bool passed = false;
    std::array<TileAngleResult, kAngleCount> angles{};
    ThreeAngles judged;              // the spectra judged: as read, or brought to the certificate's
    bool overdue = false;            // the certificate is past its due date
    std::vector<std::string> notes;  // "not corrected for temperature", the overdue certificate
};

inline constexpr std::string_view kNotCorrected = "not corrected for temperature";

// The reading against the certificate: dE*ab (D65/10°) per angle against the tile's limit,
// strictly below passes; corrected for temperature when one is given and the certificate
// allows it. The certificate's due date is judged against `today`.
TileCheck judgeCheckTile(const TileCertificate& certificate, const ThreeAngles& reading,
                         std::optional<double> temperatureC, double instrumentAllowance,
                         const LocalTime& today);

}  // namespace qv
