#include "core/coeff/file_choice.h"

#include "core/app/profile_store.h"
#include "core/colour/evaluated_spectrum.h"

namespace qv {

FileChoice::FileChoice(ProfileStore& profile, std::string_view key) : profile_(profile), key_(key) {
    const std::string saved = profile_.read(key_);
    if (saved != kNotSet) folder_ = saved;
    reset();
}

std::optional<std::string> FileChoice::choose(Prompter& prompter) {
    auto chosen = prompter.askOpenFile(path_, kCsvFileFilter);
    if (!chosen) return std::nullopt;
    path_ = *chosen;
    const std::size_t slash = path_.find_last_of('/');
    folder_ = slash == std::string::npos ? std::string() : path_.substr(0, slash);
    profile_.write(key_, folder_);
    return chosen;
}

void FileChoice::reset() {
    path_ = folder_.empty() ? std::string() : folder_ + "/";
}

CoordinateTexts coordinateTexts(const ThreeAngles& spectra, const NumberFormat& format) {
    CoordinateTexts texts;
    for (int a = 0; a < kAngleCount; ++a) {
        const auto lab = storedCoordinates(spectra[a]);
        for (int c = 0; c < 3; ++c)
            texts[c][a] = lab ? format.display((*lab)[c]) : std::string(kEmptyField);
    }
    return texts;
}

}  // namespace qv
