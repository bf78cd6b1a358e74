#include "platform/log/certificate_file.h"

#include "platform/log/cxf_file.h"

namespace qv {
namespace {

constexpr std::size_t kMaxTableBytes = 1u << 20;

FileRead<TileCertificate> fromCxf(std::string_view document, const std::string& tile) {
    const CxfRead read = readCxf(document);
    if (!read.ok()) return {{}, read.problem};
    std::vector<CertifiedSpectrum> spectra;
    for (const NamedSpectrum& s : read.spectra)
        spectra.push_back({s.specimen, s.angle, s.reflectances});
    const auto angles = tileSpectra(spectra, tile);
    if (!angles.ok()) return {{}, angles.problem};
    TileCertificate c;
    c.tile = tile;
    c.spectra = *angles.contents;
    return {std::move(c), {}};
}

}  // namespace

FileRead<TileCertificate> readCertificateFile(FileStore& files, const std::string& path,
                                              const std::string& tile,
                                              const CertificateFields& fields,
                                              const std::string& coefficientsPath) {
    std::string text;
    if (!files.readAll(path, kMaxCxfBytes, text)) return {{}, "cannot read " + path};
    const std::size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    FileRead<TileCertificate> read = first != std::string::npos && text[first] == '<'
                                         ? fromCxf(text, tile)
                                         : readCgatsCertificate(text, tile);
    if (!read.ok()) return {{}, path + ": " + read.problem};
    applyFields(*read.contents, fields);
    if (coefficientsPath.empty()) return read;
    if (!files.readAll(coefficientsPath, kMaxTableBytes, text))
        return {{}, "cannot read " + coefficientsPath};
    const auto coefficients = readCoefficientsTable(text);
    if (!coefficients.ok()) return {{}, coefficientsPath + ": " + coefficients.problem};
    read.contents->coefficients = *coefficients.contents;
    return read;
}

}  // namespace qv
