#include "core/tiles/check_tile_workflow.h"

#include <cmath>

#include "core/app/number_format.h"
#include "core/app/thresholds.h"
#include "core/colour/tristimulus.h"
#include "core/link/link_failure.h"
#include "core/measure/measurement_exchange.h"

namespace qv {

CheckRecord checkTileRecord(const CheckTileRun& run, const TileCertificate& certificate,
                            const LocalTime& time) {
    CheckRecord r = emptyRecord(RecordKind::CheckTile, time);
    r.serial = run.serial;
    r.instrumentType = run.type;
    r.threshold = run.check.angles[0].limit;
    r.formula = "dE*ab";
    r.passed = run.check.passed;
    r.specimen = certificate.tile;
    r.comment = "certificate " + certificate.number;
    if (run.check.corrected && run.check.temperatureC && certificate.temperatureC)
        r.comment += ", read at " + formatFixed(*run.check.temperatureC, 1) +
                     " °C and corrected to " + formatFixed(*certificate.temperatureC, 1) + " °C";
    else
        r.comment += ", " + std::string(kNotCorrected);
    if (run.check.overdue) r.comment += ", past its due date " + certificate.dueDate;
    for (int a = 0; a < kAngleCount; ++a) {
        const AngleSpectrum& s = run.check.judged[a];
        if (s.size() >= std::size_t(kSpectrumPoints)) {
            const Lab lab = spectrumToLab(SpectrumView(s.data(), kColourPoints));
            r.angles[a].lab = {lab.L, lab.a, lab.b};
        }
        r.angles[a].deltaE = run.check.angles[a].deltaE;
    }
    return r;
}

CheckTileRun runCheckTile(Seams& seams, const TileCertificate& certificate,
                          std::optional<double> temperatureC) {
    CheckTileRun run;
    if (std::string why = certificateProblem(certificate); !why.empty())
        return run.problem = "tile " + certificate.tile + ": " + why, run;
    if (temperatureC &&
        (!std::isfinite(*temperatureC) || *temperatureC < -20.0 || *temperatureC > 80.0))
        return run.problem = "the temperature is not -20 to 80 °C", run;
    if (!seams.state.commPort) return run.problem = "no port is open", run;
    Acquisition taken(seams.state.commPort.get(), seams.clock, MeasureVariant::Repeatability,
                      seams.activity);
    if (!taken.run()) return run.problem = describe(taken.error()), run;
    const IdentifyResult& id = taken.id();
    run.serial =
        id.outcome == IdentifyOutcome::ThreeField ? std::string(kThreeFieldIdText) : id.idText;
    run.type = id.modelCode();
    const LocalTime now = localTimeOf(seams.clock.calendarSeconds());
    run.check = judgeCheckTile(certificate, taken.outcome().spectra, temperatureC,
                               thresholdFromProfile(seams.profile, false), now);
    run.ran = true;
    if (seams.logbook) {
        CheckRecord r = checkTileRecord(run, certificate, now);
        r.id = seams.logbook->recordMarked(r);
        if (r.id != 0) run.record = std::move(r);
    }
    return run;
}

}  // namespace qv
