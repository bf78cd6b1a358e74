#include "support/temp_home.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace qv::test {

namespace {
const char* const kVars[4] = {"HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR", "XDG_RUNTIME_DIR"};
}

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvhome-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    const std::string values[4] = {root_, config(), documents(), root_ + "/run"};
    for (int i = 0; i < 4; ++i) {
        if (const char* old = std::getenv(kVars[i])) {
            had_[i] = true;
            saved_[i] = old;
        }
        std::filesystem::create_directories(values[i]);
        setenv(kVars[i], values[i].c_str(), 1);
    }
    std::filesystem::permissions(root_ + "/run", std::filesystem::perms::owner_all);
}

TempHome::~TempHome() {
    for (int i = 0; i < 4; ++i) {
        if (had_[i]) setenv(kVars[i], saved_[i].c_str(), 1);
        else unsetenv(kVars[i]);
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

}  // namespace qv::test
