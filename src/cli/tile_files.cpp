#include "cli/tile_files.h"

#include <set>

#include "core/coeff/file_choice.h"
#include "core/files/validation_files.h"
#include "core/tiles/profile_file.h"
#include "core/tiles/set_files.h"
#include "platform/app/locale_format.h"

namespace qv::cli {

void addTileOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("tiles"), QStringLiteral("The tiles' names, comma-separated."),
                      QStringLiteral("NAMES")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    parser.addPositionalArgument(QStringLiteral("FILES"), QStringLiteral("The judgement files."));
}

std::optional<int> takeTiles(const QCommandLineParser& parser, const Options& o, SetRun& run,
                             QStringList& files, int instruments) {
    files = parser.positionalArguments();
    if (!parser.isSet(QStringLiteral("tiles")) || files.isEmpty())
        return failed(o, "give --tiles NAMES and one judgement file per tile");
    for (const QString& name : parser.value(QStringLiteral("tiles")).split(QLatin1Char(',')))
        run.set.tiles.push_back(name.toStdString());
    run.set = trimmedTileSet(run.set);
    if (const TileSetProblem p = checkTileSet(run.set); !p.ok())
        return failed(o, describe(p, run.set));
    const std::size_t expected = run.set.tiles.size() * std::size_t(instruments);
    if (static_cast<std::size_t>(files.size()) != expected)
        return failed(o,
                      "--tiles names " + std::to_string(run.set.tiles.size()) + " tiles" +
                          (instruments > 1 ? " of " + std::to_string(instruments) + " instruments"
                                           : std::string()) +
                          " for " + std::to_string(files.size()) + " files");
    return std::nullopt;
}

namespace {

// A file the operator named, whole; nothing (the reason printed) when it cannot be read.
std::optional<std::string> chosenFile(Session& s, const Options& o, const std::string& path) {
    std::string text;
    if (s.files.readAll(path, kMaxChosenFileBytes, text)) return text;
    failed(o, "cannot read " + path);
    return std::nullopt;
}

}  // namespace

bool readTiles(Session& s, const Options& o, const QStringList& files, const NumberFormat& format,
               SetRun& run) {
    for (const QString& file : files) {
        const std::string path = file.toStdString();
        const auto text = chosenFile(s, o, path);
        if (!text) return false;
        const FileRead<JudgementFile> read = readJudgementFile(*text, format, s.strings());
        if (!read.ok()) {
            failed(o, path + " is not a judgement file the set reads: " + read.problem);
            return false;
        }
        const JudgementFile& judged = *read.contents;
        if (run.tiles.empty()) {
            run.targetSerial = judged.targetSerial;
            run.sampleSerial = judged.sampleSerial;
        } else if (judged.targetSerial != run.targetSerial ||
                   judged.sampleSerial != run.sampleSerial) {
            failed(o, path + " compares " + judged.targetSerial + " with " + judged.sampleSerial +
                          ", the first file " + run.targetSerial + " with " + run.sampleSerial);
            return false;
        }
        run.tiles.push_back(judgedTile(judged));
    }
    return true;
}

bool readFleetTiles(Session& s, const Options& o, const QStringList& files,
                    const NumberFormat& format, const std::vector<std::string>& serials,
                    const TileSet& set, std::vector<SetRun>& runs) {
    const std::set<std::string> distinct(serials.begin(), serials.end());
    if (serials.size() < 2 || distinct.size() != serials.size() || distinct.count({})) {
        failed(o, "--virtual-master names at least two different instruments");
        return false;
    }
    runs.assign(serials.size(), {});
    for (std::size_t k = 0; k < serials.size(); ++k) {
        const QStringList own = files.mid(int(k * set.tiles.size()), int(set.tiles.size()));
        SetRun& run = runs[k];
        run.set = set;
        if (!readTiles(s, o, own, format, run)) return false;
        if (run.sampleSerial != serials[k]) {
            failed(o, own.front().toStdString() + " holds readings of " + run.sampleSerial +
                          ", not of " + serials[k]);
            return false;
        }
    }
    // The fleet's mean reading of each tile stands in for the master's.
    for (std::size_t t = 0; t < set.tiles.size(); ++t)
        for (int a = 0; a < kAngleCount; ++a) {
            AngleSpectrum mean(kSpectrumPoints, 0.0);
            for (const SetRun& run : runs)
                for (int j = 0; j < kSpectrumPoints; ++j)
                    mean[j] += run.tiles[t].sample[a][j] / double(runs.size());
            for (SetRun& run : runs) run.tiles[t].target[a] = mean;
        }
    for (SetRun& run : runs) run.targetSerial = virtualMasterName(int(runs.size()));
    return true;
}

bool numberOption(const QCommandLineParser& parser, const QString& name, const Options& o,
                  std::optional<double>& value) {
    if (!parser.isSet(name)) return true;
    // As certificate-import reads its numbers: the user's decimal separator or a point.
    value = wholeNumber(parser.value(name).toStdString(), userNumberFormat().decimalSeparator);
    if (!value) failed(o, "--" + name.toStdString() + " takes a number");
    return value.has_value();
}

void addCertifiedOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("certified"),
                      QStringLiteral("Judge against each tile's certificate in the logbook "
                                     "instead of the reference instrument's reading; FILES may "
                                     "then be judgement or target files of the instrument.")});
    parser.addOption({QStringLiteral("temperature"),
                      QStringLiteral("With --certified: the room's temperature (°C) the tiles "
                                     "were read at."),
                      QStringLiteral("T")});
}

namespace {

// One tile's reading of the instrument: a judgement file's sample or a target file's reading.
std::optional<std::pair<std::string, ThreeAngles>> instrumentReading(const Options& o,
                                                                     const std::string& path,
                                                                     const std::string& text,
                                                                     const NumberFormat& format,
                                                                     const StringTable& texts) {
    if (const auto judged = readJudgementFile(text, format, texts); judged.ok())
        return std::pair{judged.contents->sampleSerial, judgedTile(*judged.contents).sample};
    const auto target = readTargetFile(text, format, texts);
    if (!target.ok()) {
        failed(o, path + " is neither a judgement nor a target file: " + target.problem);
        return std::nullopt;
    }
    ThreeAngles reading = target.contents->target;
    for (AngleSpectrum& a : reading) a.resize(std::min<std::size_t>(a.size(), kSpectrumPoints));
    return std::pair{target.contents->targetSerial, std::move(reading)};
}

}  // namespace

bool readReadings(Session& s, const Options& o, const QStringList& files,
                  const NumberFormat& format, SetRun& run) {
    for (const QString& file : files) {
        const std::string path = file.toStdString();
        const auto text = chosenFile(s, o, path);
        if (!text) return false;
        const auto reading = instrumentReading(o, path, *text, format, s.strings());
        if (!reading) return false;
        if (run.tiles.empty()) {
            run.sampleSerial = reading->first;
        } else if (reading->first != run.sampleSerial) {
            failed(o, path + " holds readings of " + reading->first + ", the first file of " +
                          run.sampleSerial);
            return false;
        }
        run.tiles.push_back({{}, reading->second});
    }
    run.targetSerial = std::string(kCertifiedValues);
    return true;
}

std::optional<CertifiedSet> takeCertified(Session& s, const Options& o,
                                          const QCommandLineParser& parser, SetRun& run) {
    std::optional<double> temperature;
    if (!numberOption(parser, QStringLiteral("temperature"), o, temperature)) return std::nullopt;
    if (!s.logbook) s.useDataFolder();
    const auto onRecord = s.logbook ? s.logbook->tileCertificates({}) : std::nullopt;
    if (!onRecord) {
        failed(o, "the logbook's tile certificates cannot be read");
        return std::nullopt;
    }
    CertifiedSet set = certifiedSet(run.set.tiles, certificatesOf(*onRecord), temperature,
                                    localTimeOf(s.clock.calendarSeconds()));
    if (!set.ok()) {
        failed(o, set.problem);
        return std::nullopt;
    }
    putCertified(set, run.tiles);
    return set;
}

}  // namespace qv::cli
