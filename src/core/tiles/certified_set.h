#pragma once

// A tile set judged against certified values instead of a reference instrument's readings:
// each tile's certificate in force stands where the reference's reading would, and the
// instrument's readings are brought to the certificate's temperature first when the room's is
// known. The fit, the diagnosis and a profile then stand on the certificates, so an
// instrument is corrected towards what a laboratory certified rather than towards another
// instrument.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/local_time.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/tile_certificate.h"

namespace qv {

// Where the set names its reference instrument's serial (its result file, its record, a
// profile's master) it names this instead.
inline constexpr std::string_view kCertifiedValues = "certified values";
bool isCertifiedValues(std::string_view reference);

struct CertifiedSet {
    std::vector<TileCertificate> certificates;  // one per tile, in the set's order
    std::optional<double> temperatureC;         // the room's, when known
    // What the judgement cannot see: readings not corrected for temperature (which tiles and
    // why), certificates past their due date, the largest uncertainty the values carry.
    std::vector<std::string> notes;
    // Empty when every tile has a certificate; otherwise the tiles that have none.
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// The certificate in force of each tile of `tiles` among `onRecord` (newest first, as the
// logbook lists them: a tile's first is in force), tile names compared without regard to
// case; the certificates' due dates judged against `today`.
CertifiedSet certifiedSet(const std::vector<std::string>& tiles,
                          const std::vector<TileCertificate>& onRecord,
                          std::optional<double> temperatureC, const LocalTime& today);

// The instrument's reading of tile `tile` as it is judged against its certificate: brought to
// the certificate's temperature when the set has a temperature and the certificate
// coefficients, as read otherwise.
ThreeAngles certifiedReading(const CertifiedSet& set, std::size_t tile, const ThreeAngles& reading);

// Every tile's target the certified values, every sample as `certifiedReading` takes it.
void putCertified(const CertifiedSet& set, std::vector<TileSpectra>& tiles);

// "certified values (certificates N1, N2, ...)" for a report's line.
std::string certifiedLabel(const CertifiedSet& set);

}  // namespace qv
