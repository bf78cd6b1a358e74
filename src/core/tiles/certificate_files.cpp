// The files a tile's certificate arrives in: a CGATS table with the certificate's fields as
// keywords, and a table of thermochromic coefficients. Both are untrusted.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <tuple>

#include "core/app/number_format.h"
#include "core/tiles/certificate_files.h"

namespace qv {
namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The fields of one line of a coefficients table.
std::vector<std::string_view> tableFields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    const auto separator = [](char c) { return c == ',' || c == ';' || c == ' ' || c == '\t'; };
    while (i < line.size()) {
        while (i < line.size() && separator(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !separator(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

// One line's values, or why not; `columns` is set by the first line and held to after it.
std::string readTableLine(std::string_view line, std::size_t& columns, ThreeAngles& out) {
    const std::vector<std::string_view> fields = tableFields(line);
    if (fields.size() != 2 && fields.size() != 4)
        return "a wavelength and one or three coefficients expected";
    if (columns != 0 && fields.size() != columns)
        return "another number of columns than the lines before";
    columns = fields.size();
    const auto nm = wholeNumber(fields[0], '.');
    if (!nm || *nm < kStartNm || *nm > kEndNm || std::fmod(*nm - kStartNm, kStepNm) != 0.0)
        return "the wavelength is not 400 to 700 nm by 10 nm";
    const auto at = static_cast<std::size_t>((*nm - kStartNm) / kStepNm);
    if (!std::isnan(out[0][at])) return "the wavelength is given twice";
    for (int a = 0; a < kAngleCount; ++a) {
        const auto v = wholeNumber(fields[columns == 2 ? 1 : 1 + a], '.');
        if (!v || std::fabs(*v) > kMaxCoefficient)
            return "a coefficient is not a number of at most 5 %/°C";
        out[a][at] = *v;
    }
    return {};
}

std::optional<double> keywordNumber(const CgatsTable& table, std::string_view name, bool& bad) {
    const auto text = cgatsKeyword(table, name);
    if (!text) return std::nullopt;
    const auto v = wholeNumber(*text, '.');
    if (!v) bad = true;
    return v;
}

}  // namespace

FileRead<ThreeAngles> tileSpectra(const std::vector<CertifiedSpectrum>& spectra,
                                  const std::string& tile) {
    bool oneSpecimen = !spectra.empty();
    for (const CertifiedSpectrum& s : spectra)
        oneSpecimen = oneSpecimen && s.specimen == spectra.front().specimen;
    ThreeAngles out;
    for (const CertifiedSpectrum& s : spectra) {
        if (!oneSpecimen && lowered(s.specimen) != lowered(tile)) continue;
        if (s.angle < 0 || s.angle >= kAngleCount) continue;
        if (!out[s.angle].empty())
            return {{},
                    "the file holds " + std::to_string(kAngleDegrees[s.angle]) + "° of \"" +
                        s.specimen + "\" twice"};
        if (s.reflectances.size() != std::size_t(kSpectrumPoints))
            return {{}, "the spectrum of \"" + s.specimen + "\" is not 400 to 700 nm by 10 nm"};
        out[s.angle] = s.reflectances;
    }
    for (int a = 0; a < kAngleCount; ++a)
        if (out[a].empty())
            return {{},
                    "the file holds no " + std::to_string(kAngleDegrees[a]) + "° of tile \"" +
                        tile + "\""};
    return {std::move(out), {}};
}

FileRead<TileCertificate> readCgatsCertificate(std::string_view text, const std::string& tile) {
    const FileRead<CgatsTable> table = readCgats(text);
    if (!table.ok()) return {{}, table.problem};
    const auto spectra = cgatsSpectra(*table.contents);
    if (!spectra.ok()) return {{}, spectra.problem};
    std::vector<CertifiedSpectrum> named;
    for (const CgatsSpectrum& s : *spectra.contents) {
        const std::size_t blank = s.name.find_last_of(' ');
        named.push_back({blank == std::string::npos ? std::string() : s.name.substr(0, blank),
                         s.angle, s.reflectances});
    }
    const auto angles = tileSpectra(named, tile);
    if (!angles.ok()) return {{}, angles.problem};
    TileCertificate c;
    c.tile = tile;
    c.spectra = *angles.contents;
    const CgatsTable& t = *table.contents;
    c.number = cgatsKeyword(t, "CERTIFICATE_NUMBER").value_or("");
    c.laboratory = cgatsKeyword(t, "LABORATORY").value_or("");
    c.date = cgatsKeyword(t, "CERTIFICATE_DATE").value_or("");
    c.dueDate = cgatsKeyword(t, "DUE_DATE").value_or("");
    bool bad = false;
    c.uncertainty = keywordNumber(t, "UNCERTAINTY", bad).value_or(0.0);
    if (bad) return {{}, "keyword UNCERTAINTY: not a number"};
    c.temperatureC = keywordNumber(t, "CERTIFICATE_TEMPERATURE", bad);
    if (bad) return {{}, "keyword CERTIFICATE_TEMPERATURE: not a number"};
    if (c.number.empty()) return {{}, "keyword CERTIFICATE_NUMBER: missing"};
    if (c.date.empty()) return {{}, "keyword CERTIFICATE_DATE: missing"};
    return {std::move(c), {}};
}

void applyFields(TileCertificate& c, const CertificateFields& f) {
    for (const auto& [given, field] : {std::pair{&f.number, &c.number},
                                       {&f.laboratory, &c.laboratory},
                                       {&f.date, &c.date},
                                       {&f.dueDate, &c.dueDate}})
        if (!given->empty()) *field = *given;
    if (f.uncertainty) c.uncertainty = *f.uncertainty;
    if (f.temperatureC) c.temperatureC = f.temperatureC;
    if (f.limit) c.limit = f.limit;
}

std::string certificateNumberName(CertificateNumber field) {
    switch (field) {
        case CertificateNumber::Uncertainty:
            return "uncertainty (dE*ab)";
        case CertificateNumber::Temperature:
            return "certificate temperature (°C)";
        case CertificateNumber::Limit:
            return "limit (dE*ab)";
    }
    return {};
}

CertificateFieldsReading readCertificateFields(const TypedCertificateFields& typed, char decimal) {
    CertificateFieldsReading r;
    r.fields.number = typed.number;
    r.fields.laboratory = typed.laboratory;
    r.fields.date = typed.date;
    r.fields.dueDate = typed.dueDate;
    for (const auto& [text, into, field] :
         {std::tuple{&typed.uncertainty, &r.fields.uncertainty, CertificateNumber::Uncertainty},
          std::tuple{&typed.temperatureC, &r.fields.temperatureC, CertificateNumber::Temperature},
          std::tuple{&typed.limit, &r.fields.limit, CertificateNumber::Limit}}) {
        if (text->find_first_not_of(" \t") == std::string::npos) continue;
        *into = wholeNumber(*text, decimal);
        if (!*into) return {{}, field};
    }
    return r;
}

FileRead<ThreeAngles> readCoefficientsTable(std::string_view text) {
    constexpr std::size_t kMaxLines = 1000;
    constexpr std::size_t kMaxLineBytes = 4096;
    ThreeAngles out;
    for (AngleSpectrum& s : out) s.assign(kSpectrumPoints, std::nan(""));
    std::size_t columns = 0;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        if (++lineNumber > kMaxLines) return {{}, atLine(lineNumber, "too many lines")};
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.size() > kMaxLineBytes) return {{}, atLine(lineNumber, "line too long")};
        line = line.substr(0, line.find_first_of("#\r"));
        if (tableFields(line).empty()) continue;
        if (std::string why = readTableLine(line, columns, out); !why.empty())
            return {{}, atLine(lineNumber, why)};
    }
    for (int j = 0; j < kSpectrumPoints; ++j)
        if (std::isnan(out[0][j]))
            return {{}, "no line for " + std::to_string(kStartNm + j * kStepNm) + " nm"};
    return {std::move(out), {}};
}

}  // namespace qv

namespace qv {

std::string formatCgatsCertificate(const TileCertificate& c) {
    CgatsTable table;
    table.identifier = "CGATS.17";
    setCgatsKeyword(table, "ORIGINATOR", "QV-L70s", false);
    setCgatsKeyword(table, "CERTIFICATE_NUMBER", c.number, true);
    setCgatsKeyword(table, "LABORATORY", c.laboratory, true);
    setCgatsKeyword(table, "CERTIFICATE_DATE", c.date, true);
    if (!c.dueDate.empty()) setCgatsKeyword(table, "DUE_DATE", c.dueDate, true);
    setCgatsKeyword(table, "UNCERTAINTY", formatFixed(c.uncertainty, 4), true);
    if (c.temperatureC)
        setCgatsKeyword(table, "CERTIFICATE_TEMPERATURE", formatFixed(*c.temperatureC, 4), true);
    table.fields.push_back("SAMPLE_NAME");
    for (int nm = kStartNm; nm <= kEndNm; nm += kStepNm)
        table.fields.push_back(cgatsSpectralField(nm));
    for (int a = 0; a < kAngleCount; ++a) {
        std::vector<std::string> set{cgatsQuoted(c.tile + " " + std::to_string(kAngleDegrees[a]))};
        for (double v : c.spectra[a]) set.push_back(formatFixed(v, 4));
        set.resize(table.fields.size(), "0");
        table.sets.push_back(std::move(set));
    }
    return formatCgats(table);
}

}  // namespace qv
