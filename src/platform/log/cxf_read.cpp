// Reading CxF3 documents from any writer: only what the program can use is taken (reflectance
// spectra of a multi-angle geometry at the instrument's three aspecular angles); every other
// element is passed over.
#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <cmath>
#include <map>
#include <optional>

#include "platform/log/cxf_file.h"

namespace qv {

namespace {

constexpr int kPercent = 100;  // the exchange format keeps factors, the program percent
// Where the measurement conditions give no wavelength range, the exchange format's own defaults.
constexpr double kDefaultStartNm = 400;
constexpr double kDefaultStepNm = 10;
// Far above any reflectance factor of a real specimen, even a gonio-chromatic one near the
// gloss direction; beyond it the values are not reflectance factors at all.
constexpr double kMaxFactor = 100;

// What a ColorSpecification element (the measurement conditions) says that matters here.
struct Conditions {
    std::vector<int> angles;  // the aspecular angles its multi-angle geometry names
    int otherAngles = 0;      // angles it names that the instrument does not read at
    std::optional<double> startNm;
    std::optional<double> stepNm;
    std::string serial;
};

struct RawSpectrum {
    std::string object;
    std::string conditionsId;
    std::optional<double> startNm;
    std::optional<double> stepNm;
    std::vector<double> factors;
    long long line = 0;
};

struct Parse {
    QXmlStreamReader xml;
    std::map<std::string, Conditions> conditions;
    std::vector<RawSpectrum> spectra;
    std::string object;        // the Name of the object being read
    std::string conditionsId;  // the Id of the conditions being read
    bool inGeometry = false;   // inside a MultiAngle of those conditions
    std::string problem;
};

std::string text(const QString& s) {
    return s.toStdString();
}

std::string lineOf(const QXmlStreamReader& xml, const std::string& what) {
    return "line " + std::to_string(xml.lineNumber()) + ": " + what;
}

std::optional<double> attributeNumber(const QXmlStreamReader& xml, const char* name) {
    const QStringView value = xml.attributes().value(QString::fromLatin1(name));
    if (value.isEmpty()) return std::nullopt;
    return wholeNumber(value.toString().toStdString(), '.');
}

// The element's text as numbers; false (and the problem set) for anything else.
bool numbers(Parse& p, std::vector<double>& out) {
    const QString content = p.xml.readElementText(QXmlStreamReader::SkipChildElements);
    if (p.xml.hasError()) return false;
    for (const QString& token : content.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const auto value = wholeNumber(token.trimmed().toStdString(), '.');
        if (!value || std::fabs(*value) > kMaxFactor) {
            p.problem =
                lineOf(p.xml, "\"" + text(token.left(20)) + "\" is not a reflectance factor");
            return false;
        }
        out.push_back(*value);
    }
    return true;
}

void readSpectrum(Parse& p) {
    RawSpectrum s;
    s.object = p.object;
    s.line = p.xml.lineNumber();
    s.conditionsId =
        text(p.xml.attributes().value(QStringLiteral("ColorSpecification")).toString());
    s.startNm = attributeNumber(p.xml, "StartWL");
    s.stepNm = attributeNumber(p.xml, "Increment");
    if (numbers(p, s.factors)) p.spectra.push_back(std::move(s));
}

// A BRDF angle named by its notation, as an attribute or as the element's text.
void readAngle(Parse& p, Conditions& cs) {
    QString notation = p.xml.attributes().value(QStringLiteral("Notation")).toString();
    if (notation.isEmpty()) notation = p.xml.readElementText(QXmlStreamReader::SkipChildElements);
    if (const auto angle = angleOfNotation(text(notation)))
        cs.angles.push_back(*angle);
    else
        ++cs.otherAngles;
}

void startElement(Parse& p) {
    const QStringView name = p.xml.name();
    const auto attribute = [&](const char* a) {
        return text(p.xml.attributes().value(QString::fromLatin1(a)).toString());
    };
    if (name == u"Object") {
        p.object = attribute("Name");
        if (p.object.empty()) p.object = attribute("Id");
    } else if (name == u"ReflectanceSpectrum") {
        readSpectrum(p);
    } else if (name == u"ColorSpecification") {
        p.conditionsId = attribute("Id");
        p.conditions[p.conditionsId] = {};
    } else if (!p.conditionsId.empty()) {
        Conditions& cs = p.conditions[p.conditionsId];
        if (name == u"MultiAngle") p.inGeometry = true;
        if (name == u"BRDFAngle" && p.inGeometry) readAngle(p, cs);
        if (name == u"SerialNumber")
            cs.serial = text(p.xml.readElementText(QXmlStreamReader::SkipChildElements));
        if (name == u"WavelengthRange") {
            cs.startNm = attributeNumber(p.xml, "StartWL");
            cs.stepNm = attributeNumber(p.xml, "Increment");
        }
    }
}

void endElement(Parse& p) {
    const QStringView name = p.xml.name();
    if (name == u"Object") p.object.clear();
    if (name == u"ColorSpecification") p.conditionsId.clear();
    if (name == u"MultiAngle") p.inGeometry = false;
}

// Reads the whole document; false with the problem set when it is not one.
bool parse(Parse& p) {
    bool root = true;
    while (!p.xml.atEnd() && p.problem.empty()) {
        const QXmlStreamReader::TokenType token = p.xml.readNext();
        // No document type: nothing declared, so no entity to expand.
        if (token == QXmlStreamReader::DTD)
            p.problem = lineOf(p.xml, "a document type declaration is not accepted");
        if (token == QXmlStreamReader::StartElement && root) {
            root = false;
            if (p.xml.name() != u"CxF") p.problem = lineOf(p.xml, "not a CxF document");
        }
        if (!p.problem.empty()) break;
        if (token == QXmlStreamReader::StartElement) startElement(p);
        if (token == QXmlStreamReader::EndElement) endElement(p);
    }
    if (p.problem.empty() && p.xml.hasError())
        p.problem = lineOf(p.xml, "not well-formed XML: " + text(p.xml.errorString()));
    return p.problem.empty();
}

// "target 45as25" read from a file of one angle per object is the specimen "target".
std::string specimenName(const std::string& object, int angle) {
    const std::string suffix = " " + aspecularNotation(angle);
    if (object.size() > suffix.size() &&
        angleOfNotation(object.substr(object.size() - suffix.size() + 1)) == angle)
        return object.substr(0, object.size() - suffix.size());
    return object;
}

}  // namespace

CxfRead readCxf(std::string_view document) {
    if (document.size() > kMaxCxfBytes)
        return {{}, "larger than " + std::to_string(kMaxCxfBytes >> 20) + " MiB"};
    Parse p;
    p.xml.addData(QByteArray(document.data(), qsizetype(document.size())));
    p.xml.setNamespaceProcessing(true);
    if (!parse(p)) return {{}, p.problem};
    CxfRead out;
    for (const RawSpectrum& s : p.spectra) {
        const auto cs = p.conditions.find(s.conditionsId);
        if (cs == p.conditions.end() || cs->second.angles.size() != 1 ||
            cs->second.otherAngles != 0)
            continue;  // another geometry, or several angles in one spectrum
        const int angle = cs->second.angles.front();
        const double start = s.startNm.value_or(cs->second.startNm.value_or(kDefaultStartNm));
        const double step = s.stepNm.value_or(cs->second.stepNm.value_or(kDefaultStepNm));
        auto percent = resampledSpectrum(start, step, s.factors);
        if (!percent)
            return {{},
                    "line " + std::to_string(s.line) + ": the spectrum of \"" + s.object +
                        "\" does not cover 400 to 700 nm"};
        for (double& v : *percent) v *= kPercent;
        const std::string specimen = specimenName(s.object, angle);
        out.spectra.push_back({specimen + " " + std::to_string(kAngleDegrees[angle]),
                               std::move(*percent), specimen, angle, cs->second.serial});
    }
    if (out.spectra.empty())
        out.problem = "no reflectance spectrum at 25, 45 or 75 degrees aspecular";
    return out;
}

}  // namespace qv
