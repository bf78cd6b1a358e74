#pragma once

// Profiles on record as the profile verb leaves them (a file in the folder and its record), for
// the profiles window's test and its screenshot: one made ten days before `now`, one past its
// date, and one whose file was edited after it was recorded.

#include <QFile>
#include <array>
#include <string>

#include "core/tiles/profile_file.h"
#include "platform/app/atomic_file_store.h"
#include "platform/log/sql_logbook.h"

namespace qv::test {

// `slope`: the affine stage's per angle (the reading divided by a gain), the terms none.
inline std::int64_t keepProfile(SqlLogbook& logbook, const std::string& folder,
                                const std::string& serial, std::int64_t madeSeconds, int validDays,
                                double heldOut, std::array<double, kAngleCount> slope = {1, 1, 1}) {
    ProfileFile f{localTimeOf(madeSeconds),
                  serial,
                  "L70S-100001",
                  "Ceramics",
                  0,
                  localTimeOf(madeSeconds + std::int64_t(validDays) * 86400),
                  {}};
    for (int a = 0; a < kAngleCount; ++a) {
        AngleProfile& p = f.profile.angles[a];
        p.angleDegrees = kAngleDegrees[a];
        p.slope.fill(slope[a]);
        p.ridge = 3.0;
        p.leaveOneOut = {heldOut * (1.0 + 0.2 * a), 2.2 * heldOut, 12};
    }
    AtomicFileStore files;
    const SavedFile saved = writeProfileFile(files, folder, f, {});
    return logbook.record(profileRecord(f, saved.path));
}

// A fleet of three profiled to its virtual master on five tiles, 90 days before `now` and
// again ten days before it, every instrument reading 1 % higher the second time.
inline void keepFleet(SqlLogbook& logbook, const std::string& folder, std::int64_t now) {
    AtomicFileStore files;
    for (int generation = 0; generation < 2; ++generation)
        for (int i = 0; i < 3; ++i) {
            const std::int64_t made = now - (generation == 0 ? 90 : 10) * std::int64_t(86400);
            ProfileFile f{localTimeOf(made),
                          "L70S-50000" + std::to_string(i),
                          virtualMasterName(3),
                          "Ceramics",
                          0,
                          localTimeOf(made + 90 * std::int64_t(86400)),
                          {}};
            for (int k = 0; k < 5; ++k) {
                TileSpectra t;
                for (int a = 0; a < kAngleCount; ++a)
                    for (int j = 0; j < kSpectrumPoints; ++j) {
                        const double truth = 10.0 + 15.0 * k + 0.4 * j * (k % 2) - 3.0 * a;
                        t.target[a].push_back(truth);
                        t.sample[a].push_back(truth * (1.0 + 0.004 * i) *
                                              (generation == 0 ? 1.0 : 1.01));
                    }
                f.tileNames.push_back("tile " + std::to_string(k + 1));
                f.tiles.push_back(t);
            }
            for (int a = 0; a < kAngleCount; ++a) {
                AngleProfile& p = f.profile.angles[a];
                p.angleDegrees = kAngleDegrees[a];
                p.slope.fill(1.0);
                p.leaveOneOut = {0.04, 0.09, 5};
            }
            const SavedFile saved = writeProfileFile(files, folder, f, {});
            logbook.record(profileRecord(f, saved.path));
        }
}

inline void keepProfiles(SqlLogbook& logbook, const std::string& folder, std::int64_t now) {
    keepProfile(logbook, folder, "L70S-200002", now - 10 * 86400, 90, 0.06);
    keepProfile(logbook, folder, "L70S-300003", now - 120 * 86400, 90, 0.09);
    const std::int64_t edited =
        keepProfile(logbook, folder, "L70S-400004", now - 3 * 86400, 90, 0.05);
    QFile file(QString::fromStdString(logbook.recordById(edited)->files.front()));
    if (file.open(QIODevice::Append)) file.write("\r\n");
}

}  // namespace qv::test
