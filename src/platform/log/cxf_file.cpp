#include "platform/log/cxf_file.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <map>
#include <optional>

#include "core/coeff/file_choice.h"

namespace qv {

namespace {

const QString kNs = QString::fromUtf8(kCxfNamespace.data(), qsizetype(kCxfNamespace.size()));
constexpr int kPercent = 100;  // the files keep percent, the exchange format factors

QString q(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

void element(QXmlStreamWriter& w, const char* name, std::string_view text) {
    w.writeTextElement(kNs, QString::fromLatin1(name), q(text));
}

// One set of measurement conditions per instrument (as read or through a profile) and angle: the
// angle is part of the geometry, so the spectra of one reading cannot share one.
QString conditionsId(std::size_t instrument, int angle) {
    return QStringLiteral("cs%1-%2").arg(instrument + 1).arg(q(aspecularNotation(angle)));
}

// The instruments and what their values are referenced to, in the order the specimens name
// them (the specimen standing for each); each specimen's index into them.
std::vector<const CxfSpecimen*> instrumentsOf(const CxfContents& c,
                                              std::vector<std::size_t>& index) {
    std::vector<const CxfSpecimen*> instruments;
    for (const CxfSpecimen& s : c.specimens) {
        std::size_t i = 0;
        while (i < instruments.size() && (instruments[i]->serial != s.serial ||
                                          instruments[i]->referencedTo != s.referencedTo))
            ++i;
        if (i == instruments.size()) instruments.push_back(&s);
        index.push_back(i);
    }
    return instruments;
}

QString factors(const AngleSpectrum& percent) {
    std::string text;
    for (double v : percent) {
        if (!text.empty()) text += ' ';
        text += formatGeneral(v / kPercent);
    }
    return q(text);
}

void writeSpectrum(QXmlStreamWriter& w, const AngleSpectrum& values, std::size_t instrument,
                   int angle) {
    w.writeStartElement(kNs, QStringLiteral("ReflectanceSpectrum"));
    w.writeAttribute(QStringLiteral("ColorSpecification"), conditionsId(instrument, angle));
    w.writeAttribute(QStringLiteral("Name"), q(aspecularNotation(angle)));
    w.writeCharacters(factors(values));
    w.writeEndElement();
}

void writeObject(QXmlStreamWriter& w, const QString& name, const QString& id, const CxfSpecimen& s,
                 std::size_t instrument, std::optional<int> onlyAngle) {
    w.writeStartElement(kNs, QStringLiteral("Object"));
    w.writeAttribute(QStringLiteral("ObjectType"), QStringLiteral("Measurement"));
    w.writeAttribute(QStringLiteral("Name"), name);
    w.writeAttribute(QStringLiteral("Id"), id);
    w.writeStartElement(kNs, QStringLiteral("ColorValues"));
    for (int a = 0; a < kAngleCount; ++a)
        if ((!onlyAngle || *onlyAngle == a) && !s.angles[std::size_t(a)].empty())
            writeSpectrum(w, s.angles[std::size_t(a)], instrument, a);
    w.writeEndElement();
    w.writeEndElement();
}

void writeObjects(QXmlStreamWriter& w, const CxfContents& c,
                  const std::vector<std::size_t>& instrument, CxfLayout layout) {
    w.writeStartElement(kNs, QStringLiteral("ObjectCollection"));
    for (std::size_t i = 0; i < c.specimens.size(); ++i) {
        const CxfSpecimen& s = c.specimens[i];
        const QString id = QStringLiteral("o%1").arg(i + 1);
        if (layout == CxfLayout::Grouped) {
            writeObject(w, q(s.name), id, s, instrument[i], std::nullopt);
            continue;
        }
        for (int a = 0; a < kAngleCount; ++a) {
            if (s.angles[std::size_t(a)].empty()) continue;
            const QString notation = q(aspecularNotation(a));
            writeObject(w, q(s.name) + QLatin1Char(' ') + notation,
                        id + QLatin1Char('-') + notation, s, instrument[i], a);
        }
    }
    w.writeEndElement();
}

void writeConditions(QXmlStreamWriter& w, const CxfSpecimen& readBy, std::size_t instrument,
                     int angle) {
    w.writeStartElement(kNs, QStringLiteral("ColorSpecification"));
    w.writeAttribute(QStringLiteral("Id"), conditionsId(instrument, angle));
    w.writeStartElement(kNs, QStringLiteral("TristimulusSpec"));
    element(w, "Illuminant", "D65");
    element(w, "Observer", "10_Degree");
    element(w, "Method", "E308");
    w.writeEndElement();
    w.writeStartElement(kNs, QStringLiteral("MeasurementSpec"));
    element(w, "MeasurementType", "Spectrum_Reflectance");
    w.writeStartElement(kNs, QStringLiteral("GeometryChoice"));
    w.writeStartElement(kNs, QStringLiteral("MultiAngle"));
    w.writeEmptyElement(kNs, QStringLiteral("BRDFAngle"));
    w.writeAttribute(QStringLiteral("Notation"), q(aspecularNotation(angle)));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEmptyElement(kNs, QStringLiteral("WavelengthRange"));
    w.writeAttribute(QStringLiteral("StartWL"), QString::number(kStartNm));
    w.writeAttribute(QStringLiteral("Increment"), QString::number(kStepNm));
    element(w, "CalibrationStandard", readBy.referencedTo);
    w.writeStartElement(kNs, QStringLiteral("Device"));
    element(w, "Model", kInstrumentModel);
    if (!readBy.serial.empty()) element(w, "SerialNumber", readBy.serial);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
}

void writeFileInformation(QXmlStreamWriter& w, const CxfContents& c) {
    w.writeStartElement(kNs, QStringLiteral("FileInformation"));
    element(w, "Creator", "QV-L70s");
    element(w, "CreationDate", c.created);
    element(w, "Description",
            c.descriptor + ": reflectance factors at 25, 45 and 75 degrees aspecular");
    w.writeEndElement();
}

}  // namespace

std::string formatCxf(const CxfContents& c, CxfLayout layout) {
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeNamespace(kNs, QStringLiteral("cc"));
    w.writeStartElement(kNs, QStringLiteral("CxF"));
    writeFileInformation(w, c);
    w.writeStartElement(kNs, QStringLiteral("Resources"));
    std::vector<std::size_t> instrument;
    const std::vector<const CxfSpecimen*> instruments = instrumentsOf(c, instrument);
    writeObjects(w, c, instrument, layout);
    w.writeStartElement(kNs, QStringLiteral("ColorSpecificationCollection"));
    for (std::size_t i = 0; i < instruments.size(); ++i)
        for (int a = 0; a < kAngleCount; ++a) writeConditions(w, *instruments[i], i, a);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return bytes.toStdString();
}

std::string exportCxfFile(FileStore& files, const std::string& resultFile, const std::string& out,
                          CxfLayout layout, const NumberFormat& format, const StringTable& texts) {
    std::string text;
    if (!files.readAll(resultFile, kMaxChosenFileBytes, text)) return "cannot read " + resultFile;
    const CxfContents contents = cxfContents(text, format, texts);
    if (!contents.ok())
        return resultFile + " is not a result file the export reads: " + contents.problem;
    return newFileProblem(out, files.saveNew(out, formatCxf(contents, layout)));
}

}  // namespace qv
