#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/app/seams.h"
#include "core/measure/average_workflow.h"

namespace qv {

inline constexpr const char* kCsvFileFilter = "CSV Files (*.csv)";
// Far more than any file of 1000 lines of 4 kB: a larger one is refused unread.
inline constexpr std::size_t kMaxChosenFileBytes = 4u << 20;

// The path field of a file-choosing dialog and the folder the profile keeps under `key`.
class FileChoice {
public:
    FileChoice(ProfileStore& profile, std::string_view key);

    // Asks for a file, starting in the last folder; nothing when the operator cancels. The
    // chosen file's folder is saved at once.
    std::optional<std::string> choose(Prompter& prompter);
    // Back to the saved folder after a refused file.
    void reset();
    const std::string& path() const { return path_; }

private:
    ProfileStore& profile_;
    std::string key_;
    std::string folder_;
    std::string path_;
};

// The nine coordinate fields of three evaluated spectra; "---" where a spectrum has none.
CoordinateTexts coordinateTexts(const ThreeAngles& spectra, const NumberFormat& format);

}  // namespace qv
