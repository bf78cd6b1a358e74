// CxF3 documents of result files: written in both layouts and read back to the same spectra,
// their elements in the order the format's schema wants them, other writers' files (prefixes,
// other spacings, unknown elements) read, and damaged or hostile files refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "core/files/repeatability_file.h"
#include "core/files/validation_files.h"
#include "core/log/cxf_spectra.h"
#include "core/log/result_kinds.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/locale_format.h"
#include "platform/log/cxf_file.h"
#include "support/cli_run.h"
#include "support/project_strings.h"

namespace qv {
namespace {

const LocalTime kTime{2026, 12, 7, 15, 4, 5};
const NumberFormat kPoint{'.', ","};

// Spectra with six decimals that a rounding on the way would change, in percent.
ThreeAngles spectra(int seed) {
    ThreeAngles out;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            out[a].push_back(5 + 60 * std::sin(0.1 * j + seed + a) * std::sin(0.1 * j + seed + a) +
                             0.123457 * a + 0.000001 * j);
    return out;
}

std::string judgementFile(const NumberFormat& format) {
    return formatJudgementFile(spectra(1), spectra(2), "L70S-100001", "L70S-200002", kTime,
                               test::projectStrings(), format);
}

std::string repeatabilityFile() {
    RepeatSeries series;
    for (int i = 0; i < 9; ++i) series[std::size_t(i)] = spectra(i)[std::size_t(i % 3)];
    return formatRepeatabilityFile(series, "L70S-0001", kTime, test::projectStrings(), kPoint);
}

// The spectra the table of result kinds finds in a file: what a CxF file must give back.
std::vector<NamedSpectrum> tableSpectra(const std::string& file) {
    const KnownResultFile known = knownResultFile(file, kPoint, test::projectStrings());
    const auto read = known.kind->read(file, known.format, test::projectStrings(), {});
    return known.kind->spectra(*read.contents).samples;
}

// Written to a real file and read back from it.
CxfRead writtenAndRead(const std::string& resultFile, CxfLayout layout) {
    const CxfContents c = cxfContents(resultFile, kPoint, test::projectStrings());
    EXPECT_TRUE(c.ok()) << c.problem;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("out.cxf")).toStdString();
    AtomicFileStore files;
    EXPECT_EQ(files.saveNew(path, formatCxf(c, layout)).kind, NewFileResult::Kind::Saved);
    std::string back;
    EXPECT_TRUE(files.readAll(path, kMaxCxfBytes, back));
    return readCxf(back);
}

void expectSameSpectra(const std::vector<NamedSpectrum>& got,
                       const std::vector<NamedSpectrum>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].serial, want[i].serial) << want[i].name;
        ASSERT_EQ(got[i].reflectances.size(), std::size_t(kSpectrumPoints));
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_NEAR(got[i].reflectances[j], want[i].reflectances[j], 1e-6)
                << want[i].name << " at " << kStartNm + kStepNm * j << " nm";
    }
}

TEST(CxfFile, BothLayoutsReadBackToTheSameSpectra) {
    for (const std::string& file : {judgementFile(kPoint), repeatabilityFile()}) {
        const auto want = tableSpectra(file);
        ASSERT_GE(want.size(), 6u);
        for (CxfLayout layout : {CxfLayout::Grouped, CxfLayout::PerAngle}) {
            const CxfRead read = writtenAndRead(file, layout);
            ASSERT_TRUE(read.ok()) << read.problem;
            expectSameSpectra(read.spectra, want);
        }
    }
    // Written where the decimal separator is a comma: the same document.
    EXPECT_EQ(formatCxf(cxfContents(judgementFile({',', ";"}), kPoint, test::projectStrings()),
                        CxfLayout::Grouped),
              formatCxf(cxfContents(judgementFile(kPoint), kPoint, test::projectStrings()),
                        CxfLayout::Grouped));
}

// The document as a tree, for looking at its structure.
struct Node {
    std::string name;
    std::string ns;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<std::unique_ptr<Node>> children;
    std::vector<std::string> childNames() const {
        std::vector<std::string> out;
        for (const auto& c : children) out.push_back(c->name);
        return out;
    }
    const Node& child(const std::string& n) const {
        for (const auto& c : children)
            if (c->name == n) return *c;
        ADD_FAILURE() << name << " has no " << n;
        static const Node none;
        return none;
    }
};

std::unique_ptr<Node> tree(const std::string& document) {
    QXmlStreamReader xml(QByteArray::fromStdString(document));
    auto root = std::make_unique<Node>();
    std::vector<Node*> open{root.get()};
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            auto n = std::make_unique<Node>();
            n->name = xml.name().toString().toStdString();
            n->ns = xml.namespaceUri().toString().toStdString();
            for (const auto& a : xml.attributes())
                n->attributes[a.name().toString().toStdString()] =
                    a.value().toString().toStdString();
            open.back()->children.push_back(std::move(n));
            open.push_back(open.back()->children.back().get());
        } else if (token == QXmlStreamReader::EndElement) {
            open.pop_back();
        } else if (token == QXmlStreamReader::Characters && !xml.isWhitespace()) {
            open.back()->text += xml.text().toString().toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return root;
}

using Names = std::vector<std::string>;

void expectConditions(const Node& cs, const std::string& serial) {
    EXPECT_EQ(cs.childNames(), (Names{"TristimulusSpec", "MeasurementSpec"}));
    const Node& tri = cs.child("TristimulusSpec");
    EXPECT_EQ(tri.childNames(), (Names{"Illuminant", "Observer", "Method"}));
    EXPECT_EQ(tri.child("Illuminant").text, "D65");
    EXPECT_EQ(tri.child("Observer").text, "10_Degree");
    const Node& m = cs.child("MeasurementSpec");
    EXPECT_EQ(m.childNames(), (Names{"MeasurementType", "GeometryChoice", "WavelengthRange",
                                     "CalibrationStandard", "Device"}));
    EXPECT_EQ(m.child("MeasurementType").text, "Spectrum_Reflectance");
    const Node& geometry = m.child("GeometryChoice");
    EXPECT_EQ(geometry.childNames(), Names{"MultiAngle"});
    EXPECT_EQ(geometry.child("MultiAngle").childNames(), Names{"BRDFAngle"});
    EXPECT_EQ(m.child("WavelengthRange").attributes,
              (std::map<std::string, std::string>{{"StartWL", "400"}, {"Increment", "10"}}));
    EXPECT_EQ(m.child("CalibrationStandard").text, "as read");
    EXPECT_EQ(m.child("Device").childNames(), (Names{"Model", "SerialNumber"}));
    EXPECT_EQ(m.child("Device").child("Model").text, kInstrumentModel);
    EXPECT_EQ(m.child("Device").child("SerialNumber").text, serial);
}

TEST(CxfFile, TheElementsStandWhereTheSchemaWantsThem) {
    const auto root = tree(formatCxf(
        cxfContents(judgementFile(kPoint), kPoint, test::projectStrings()), CxfLayout::Grouped));
    ASSERT_EQ(root->childNames(), Names{"CxF"});
    const Node& cxf = root->child("CxF");
    EXPECT_EQ(cxf.ns, kCxfNamespace);
    EXPECT_EQ(cxf.childNames(), (Names{"FileInformation", "Resources"}));
    const Node& info = cxf.child("FileInformation");
    EXPECT_EQ(info.childNames(), (Names{"Creator", "CreationDate", "Description"}));
    EXPECT_EQ(info.child("Creator").text, "QV-L70s");
    EXPECT_EQ(info.child("CreationDate").text, "2026-12-07T15:04:05");
    const Node& resources = cxf.child("Resources");
    EXPECT_EQ(resources.childNames(), (Names{"ObjectCollection", "ColorSpecificationCollection"}));
    // One set of measurement conditions per instrument and angle, each angle's notation its own.
    std::map<std::string, const Node*> colourSpecs;
    const Node& specCollection = resources.child("ColorSpecificationCollection");
    ASSERT_EQ(specCollection.children.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        const Node& cs = *specCollection.children[i];
        expectConditions(cs, i < 3 ? "L70S-100001" : "L70S-200002");
        colourSpecs[cs.attributes.at("Id")] = &cs;
    }
    const Node& objects = resources.child("ObjectCollection");
    ASSERT_EQ(objects.children.size(), 2u);
    EXPECT_EQ(objects.children[0]->attributes.at("Name"), "target");
    EXPECT_EQ(objects.children[1]->attributes.at("Name"), "sample");
    for (const auto& object : objects.children) {
        EXPECT_EQ(object->childNames(), Names{"ColorValues"});
        const Node& values = object->child("ColorValues");
        ASSERT_EQ(values.children.size(), 3u);
        for (int a = 0; a < kAngleCount; ++a) {
            const Node& s = *values.children[std::size_t(a)];
            EXPECT_EQ(s.name, "ReflectanceSpectrum");
            const Node& cs = *colourSpecs.at(s.attributes.at("ColorSpecification"));
            const Node& angle = cs.child("MeasurementSpec")
                                    .child("GeometryChoice")
                                    .child("MultiAngle")
                                    .child("BRDFAngle");
            EXPECT_EQ(angle.attributes.at("Notation"), aspecularNotation(a));
            EXPECT_EQ(s.attributes.at("Name"), aspecularNotation(a));
            std::istringstream in(s.text);
            const std::vector<double> factors{std::istream_iterator<double>(in), {}};
            ASSERT_EQ(factors.size(), std::size_t(kSpectrumPoints));
            // Factors, not percent (the result file keeps six decimals of percent).
            const int seed = object->attributes.at("Name") == "target" ? 1 : 2;
            EXPECT_NEAR(factors[0], spectra(seed)[std::size_t(a)][0] / 100, 1e-8);
        }
    }
}

TEST(CxfFile, OneObjectPerAngleIsNamedAfterItsAngle) {
    const auto root = tree(formatCxf(
        cxfContents(repeatabilityFile(), kPoint, test::projectStrings()), CxfLayout::PerAngle));
    const Node& objects = root->child("CxF").child("Resources").child("ObjectCollection");
    ASSERT_EQ(objects.children.size(), 9u);
    EXPECT_EQ(objects.children[0]->attributes.at("Name"), "measurement 1 45as25");
    EXPECT_EQ(objects.children[4]->attributes.at("Name"), "measurement 2 45as45");
    EXPECT_EQ(objects.children[8]->attributes.at("Name"), "measurement 3 45as75");
    for (const auto& o : objects.children) EXPECT_EQ(o->child("ColorValues").children.size(), 1u);
    std::set<std::string> ids;
    for (const auto& o : objects.children) ids.insert(o->attributes.at("Id"));
    EXPECT_EQ(ids.size(), 9u);
}

TEST(CxfFile, AProfileNamedByAStandardisedCopyIsWhatTheValuesAreReferencedTo) {
    const std::string copy = formatJudgementFile(
        spectra(1), spectra(2), "L70S-100001", "L70S-200002", kTime, test::projectStrings(), kPoint,
        std::nullopt, "Profile_L70S-200002_20261201");
    const CxfContents c = cxfContents(copy, kPoint, test::projectStrings());
    ASSERT_TRUE(c.ok()) << c.problem;
    const auto root = tree(formatCxf(c, CxfLayout::PerAngle));
    const Node& colourSpecs =
        root->child("CxF").child("Resources").child("ColorSpecificationCollection");
    // The target is the master's as read; the sample's readings went through the profile.
    ASSERT_EQ(colourSpecs.children.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(
            colourSpecs.children[i]->child("MeasurementSpec").child("CalibrationStandard").text,
            i < 3 ? "as read" : "profile Profile_L70S-200002_20261201");
}

}  // namespace
}  // namespace qv
