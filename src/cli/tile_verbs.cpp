// A tile's certificate taken into the logbook, and the daily check tile against it.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

#include "cli/session.h"
#include "cli/tile_files.h"
#include "cli/verbs.h"
#include "core/tiles/check_tile_workflow.h"
#include "platform/app/locale_format.h"
#include "platform/log/certificate_file.h"

namespace qv::cli {

namespace {

const QString kTile = QStringLiteral("tile");
const QString kTemperature = QStringLiteral("temperature");

void addImportOptions(QCommandLineParser& parser) {
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The certificate: CGATS or CxF3."));
    parser.addOption({kTile, QStringLiteral("The tile's name."), QStringLiteral("NAME")});
    parser.addOption(
        {kTemperature, QStringLiteral("The certificate's temperature (°C)."), QStringLiteral("T")});
    const std::pair<const char*, const char*> texts[] = {
        {"coefficients",
         "A table of the tile's change of reflectance per °C: per line the "
         "wavelength (400 to 700 nm by 10) and one coefficient for all angles "
         "or three (25°, 45°, 75°)."},
        {"number", "The certificate's number (a CxF file carries none)."},
        {"laboratory", "The laboratory that certified the tile."},
        {"date", "The certificate's date, YYYY-MM-DD."},
        {"due", "The certificate's due date, YYYY-MM-DD."},
        {"uncertainty", "The certificate's uncertainty, dE*ab."},
        {"limit",
         "The tile's limit, dE*ab (default: the uncertainty and the inter-instrument "
         "threshold)."}};
    for (const auto& [name, help] : texts)
        parser.addOption(
            {QString::fromLatin1(name), QString::fromUtf8(help), QStringLiteral("VALUE")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
}

// The options of certificate-import as the fields given beside the file, read as the desktop's
// import form reads them; nothing (the reason printed) when a number does not read.
std::optional<CertificateFields> givenFields(const QCommandLineParser& parser, const Options& o) {
    const auto value = [&parser](const char* name) {
        return parser.value(QString::fromLatin1(name)).toStdString();
    };
    const TypedCertificateFields typed{value("number"), value("laboratory"),  value("date"),
                                       value("due"),    value("uncertainty"), value("temperature"),
                                       value("limit")};
    const CertificateFieldsReading read =
        readCertificateFields(typed, userNumberFormat().decimalSeparator);
    if (!read.unread) return read.fields;
    const char* option = *read.unread == CertificateNumber::Uncertainty   ? "uncertainty"
                         : *read.unread == CertificateNumber::Temperature ? "temperature"
                                                                          : "limit";
    failed(o, std::string("--") + option + " takes a number");
    return std::nullopt;
}

const char* addedText(CertificateAdded added) {
    return added == CertificateAdded::Added ? "recorded" : "already recorded";
}

}  // namespace

int runCertificateImport(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps a tile's certificate in the logbook: its certified spectra per angle, number, "
        "laboratory, date, due date, uncertainty and temperature (CGATS keywords "
        "CERTIFICATE_NUMBER, LABORATORY, CERTIFICATE_DATE, DUE_DATE, UNCERTAINTY, "
        "CERTIFICATE_TEMPERATURE; options go before them), with the tile's thermochromic "
        "coefficients and limit. Certified values never change: the same certificate again is "
        "recognised, the same number with other values refused.\n"
        "Exit status: 0 recorded or already recorded, 1 refused by the logbook, 2 a file or "
        "option could not be read (the reason is printed, naming the line or keyword)."));
    addImportOptions(parser);
    const QString usage = QStringLiteral("Usage: qvl70s-cli certificate-import [options] FILE");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    if (parser.positionalArguments().size() != 1) return failed(o, "give one FILE");
    if (parser.value(kTile).isEmpty()) return failed(o, "--tile NAME is required");
    const auto fields = givenFields(parser, o);
    if (!fields) return kExitFailed;
    Session s(o);
    const auto read = readCertificateFile(
        s.files, parser.positionalArguments()[0].toStdString(), parser.value(kTile).toStdString(),
        *fields, parser.value(QStringLiteral("coefficients")).toStdString());
    if (!read.ok()) return failed(o, read.problem);
    if (const std::string why = certificateProblem(*read.contents); !why.empty())
        return failed(o, why);
    s.useDataFolder();
    if (!s.logbook) return failed(o, "the logbook cannot be used");
    std::string why;
    const CertificateAdded added = s.logbook->addTileCertificate(*read.contents, why);
    if (added == CertificateAdded::Refused) {
        o.io.err << o.verb << ": " << qs(why) << "\n";
        return kExitCheckFailed;
    }
    const TileCertificate& c = *read.contents;
    if (parser.isSet(QStringLiteral("json")))
        o.io.out << QJsonDocument(QJsonObject{{"tile", qs(c.tile)},
                                              {"number", qs(c.number)},
                                              {"added", added == CertificateAdded::Added},
                                              {"coefficients", hasCoefficients(c)}})
                        .toJson(QJsonDocument::Compact)
                 << "\n";
    else
        o.io.out << "certificate " << qs(c.number) << " of tile " << qs(c.tile) << " "
                 << addedText(added) << (hasCoefficients(c) ? "" : " (no coefficients)") << "\n";
    return kExitPassed;
}

namespace {

QJsonObject checkJson(const CheckTileRun& run) {
    const TileCheck& c = run.check;
    QJsonArray angles, notes;
    for (const TileAngleResult& a : c.angles)
        angles.append(QJsonObject{{"angle", a.angle},
                                  {"deltaE", finiteOrNull(a.deltaE)},
                                  {"limit", finiteOrNull(a.limit)},
                                  {"passed", a.passed}});
    for (const std::string& n : c.notes) notes.append(qs(n));
    return QJsonObject{{"tile", qs(c.tile)},
                       {"certificate", qs(c.number)},
                       {"instrument", qs(run.serial)},
                       {"temperature", c.temperatureC ? QJsonValue(*c.temperatureC) : QJsonValue()},
                       {"corrected", c.corrected},
                       {"passed", c.passed},
                       {"overdue", c.overdue},
                       {"notes", notes},
                       {"record", run.record ? QJsonValue(qint64(run.record->id)) : QJsonValue()},
                       {"angles", angles}};
}

void printCheck(QTextStream& out, const CheckTileRun& run) {
    const TileCheck& c = run.check;
    out << "tile " << qs(c.tile) << ", certificate " << qs(c.number) << ", instrument "
        << qs(run.serial) << "\n";
    for (const std::string& n : c.notes) out << qs(n) << "\n";
    for (const TileAngleResult& a : c.angles)
        out << a.angle << " degrees: dE*ab " << number(a.deltaE, 3) << " limit "
            << number(a.limit, 3) << (a.passed ? " passed" : " FAILED") << "\n";
    out << "verdict " << (c.passed ? "PASSED" : "FAILED") << "\n";
}

}  // namespace

int runCheckTile(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads the check tile once on PORT and judges it against the tile's certificate in the "
        "logbook: per angle the colour difference dE*ab (D65, 10°) against the tile's limit. "
        "With --temperature the reading is first brought to the certificate's temperature with "
        "the tile's coefficients; without it the result says it is not corrected for "
        "temperature. A certificate past its due date is named. The check only measures: it "
        "changes nothing on the instrument.\n"
        "Exit status: 0 passed, 1 failed, 2 could not run (the reason is printed)."));
    parser.addOption(
        {kTile, QStringLiteral("The tile, as its certificate names it."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("Serial port of the instrument."),
                      QStringLiteral("PORT")});
    parser.addOption(
        {kTemperature, QStringLiteral("The room's temperature now (°C)."), QStringLiteral("T")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    const QString usage = QStringLiteral("Usage: qvl70s-cli check-tile [options]");
    if (const auto code = parseVerb(parser, arguments, o, usage)) return *code;
    if (parser.value(kTile).isEmpty()) return failed(o, "--tile NAME is required");
    o.port = parser.value(QStringLiteral("port"));
    if (o.port.isEmpty()) return failed(o, "--port PORT is required");
    std::optional<double> temperature;
    if (!numberOption(parser, kTemperature, o, temperature)) return kExitFailed;
    Session s(o);
    s.useDataFolder();
    const std::string tile = parser.value(kTile).toStdString();
    const auto certificates = s.logbook ? s.logbook->tileCertificates(tile) : std::nullopt;
    if (!certificates) return failed(o, "the logbook's tile certificates cannot be read");
    if (certificates->rows.empty()) return failed(o, "no certificate of tile " + tile);
    if (!openPort(s, o)) return kExitFailed;
    Seams seams = s.seams();
    const CheckTileRun run =
        runCheckTile(seams, certificates->rows.front().certificate, temperature);
    if (!run.ran) return failed(o, run.problem);
    if (parser.isSet(QStringLiteral("json")))
        o.io.out << QJsonDocument(checkJson(run)).toJson(QJsonDocument::Indented);
    else
        printCheck(o.io.out, run);
    return run.check.passed ? kExitPassed : kExitCheckFailed;
}

}  // namespace qv::cli
