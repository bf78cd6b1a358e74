#include "cli/tile_files.h"

#include "core/coeff/file_choice.h"
#include "core/tiles/set_files.h"

namespace qv::cli {

void addTileOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("tiles"), QStringLiteral("The tiles' names, comma-separated."),
                      QStringLiteral("NAMES")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    parser.addPositionalArgument(QStringLiteral("FILES"), QStringLiteral("The judgement files."));
}

std::optional<int> takeTiles(const QCommandLineParser& parser, const Options& o, SetRun& run,
                             QStringList& files) {
    files = parser.positionalArguments();
    if (!parser.isSet(QStringLiteral("tiles")) || files.isEmpty())
        return failed(o, "give --tiles NAMES and one judgement file per tile");
    for (const QString& name : parser.value(QStringLiteral("tiles")).split(QLatin1Char(',')))
        run.set.tiles.push_back(name.toStdString());
    run.set = trimmedTileSet(run.set);
    if (const TileSetProblem p = checkTileSet(run.set); !p.ok())
        return failed(o, describe(p, run.set));
    if (static_cast<std::size_t>(files.size()) != run.set.tiles.size())
        return failed(o, "--tiles names " + std::to_string(run.set.tiles.size()) + " tiles for " +
                             std::to_string(files.size()) + " files");
    return std::nullopt;
}

bool readTiles(Session& s, const Options& o, const QStringList& files, const NumberFormat& format,
               SetRun& run) {
    for (const QString& file : files) {
        const std::string path = file.toStdString();
        std::string text;
        if (!s.files.readAll(path, kMaxChosenFileBytes, text)) {
            failed(o, "cannot read " + path);
            return false;
        }
        const FileRead<JudgementFile> read = readJudgementFile(text, format, s.strings());
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

}  // namespace qv::cli
