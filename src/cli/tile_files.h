#pragma once

// A tile set as the verbs over it take it: the tiles' names and one judgement file of compare
// per tile, read as the set reads them. Shared by agreement and diagnose.

#include <QCommandLineParser>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/session.h"
#include "core/app/number_format.h"
#include "core/tiles/certified_set.h"
#include "core/tiles/set_agreement.h"
#include "core/tiles/tile_set.h"

namespace qv::cli {

struct SetRun {
    TileSet set;
    std::vector<TileSpectra> tiles;
    std::string targetSerial;
    std::string sampleSerial;
};

// Adds --tiles NAMES, --json and the FILES argument.
void addTileOptions(QCommandLineParser& parser);

// After parsing: the names into `run.set` and the judgement files into `files`; an exit code
// (with its reason printed) when they are missing, break the name rules or do not pair up.
std::optional<int> takeTiles(const QCommandLineParser& parser, const Options& o, SetRun& run,
                             QStringList& files, int instruments = 1);

// Reads every file as one tile; the first problem ends the run with its reason (false).
bool readTiles(Session& s, const Options& o, const QStringList& files, const NumberFormat& format,
               SetRun& run);

// A fleet's readings of the set: the judgement files of each instrument of `serials` (its
// readings as the sample), one per tile in the set's order, the instruments in that order. Each
// run's target is the fleet's mean reading of the tile (its virtual master), its sample the
// instrument's. The first problem ends the run with its reason (false).
bool readFleetTiles(Session& s, const Options& o, const QStringList& files,
                    const NumberFormat& format, const std::vector<std::string>& serials,
                    const TileSet& set, std::vector<SetRun>& runs);

// A number option (the user's decimal separator or a point): nothing when not given; false
// (the reason printed) when not a number.
bool numberOption(const QCommandLineParser& parser, const QString& name, const Options& o,
                  std::optional<double>& value);

// Adds --certified and --temperature T: the set judged against the tiles' certificates.
void addCertifiedOptions(QCommandLineParser& parser);

// With --certified each file is the instrument's reading of one tile: a judgement file (its
// sample) or a target file. The first problem ends the run with its reason (false).
bool readReadings(Session& s, const Options& o, const QStringList& files,
                  const NumberFormat& format, SetRun& run);

// Each tile's certificate in force from the session's logbook put in for the reference's
// reading, the readings brought to the certificates' temperature with --temperature; nothing
// (the reason printed) when a tile has no certificate or the certificates cannot be read.
std::optional<CertifiedSet> takeCertified(Session& s, const Options& o,
                                          const QCommandLineParser& parser, SetRun& run);

}  // namespace qv::cli
