// The certificate of one check of the logbook, as a PDF.
#include <QCommandLineParser>
#include <QTextStream>

#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "platform/app/resource_file.h"
#include "report/log/certificate.h"

namespace qv::cli {

int runCertificate(const QStringList& arguments, Io& io) {
    Options o{io};
    o.verb = arguments.value(0);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the certificate of one record of the logbook (the instrument, time, operator, "
        "kind of check, threshold and formula, per-angle values and the verdict; both instruments' "
        "spectra for an inter-instrument check) as a one-page A4 PDF. An existing file is never "
        "overwritten.\nExit status: 0 written, 2 no such "
        "record the file could not be written, or the instrument is held back by the lab's check "
        "intervals without --override (the reason is printed)."));
    parser.addOption(
        {QStringLiteral("record"), QStringLiteral("The record's number."), QStringLiteral("ID")});
    parser.addOption(
        {QStringLiteral("out"), QStringLiteral("The new PDF file."), QStringLiteral("FILE.pdf")});
    addOverrideOption(parser);
    if (const auto code =
            parseVerb(parser, arguments, o,
                      QStringLiteral("Usage: qvl70s-cli certificate --record ID --out FILE.pdf")))
        return *code;
    if (const auto code = readOverride(parser, o)) return *code;
    bool isNumber = false;
    const qlonglong id = parser.value(QStringLiteral("record")).toLongLong(&isNumber);
    const QString out = parser.value(QStringLiteral("out"));
    if (!isNumber || out.isEmpty()) return failed(o, "give --record ID and --out FILE.pdf");
    const auto logbook = openVerbLogbook(o, true);
    if (!logbook) return kExitFailed;
    const auto record = logbook->recordById(id);
    if (!record)
        return failed(o,
                      "the logbook " + logbook->where() + " holds no record " + std::to_string(id));
    const Clearance issued = verbClearance(o, *logbook, record->serial);
    if (!issued.cleared) return failed(o, "no certificate was written");
    const auto texts = loadResourceStrings();
    if (!texts) return failed(o, "the resource file " + resourceFilePath() + " cannot be read");
    AtomicFileStore files;
    const RecordSpectra spectra = recordSpectra(*record, files, userNumberFormat(), *texts);
    if (!spectra.problem.empty())
        o.io.err << "Spectra not shown: " << QString::fromStdString(spectra.problem) << "\n";
    const RecordValidity validity =
        recordValidity(*record, *logbook, files, userNumberFormat(), *texts);
    QString error;
    if (!writeCertificate(*record, spectra, out, &error, validity, issued))
        return failed(o, error.toStdString());
    o.io.out << out << "\n";
    return kExitPassed;
}

}  // namespace qv::cli
