#pragma once

#include <string>

namespace qv::test {

// Points HOME, XDG_CONFIG_HOME, XDG_DOCUMENTS_DIR and XDG_RUNTIME_DIR at a fresh temporary
// folder for the life of the object, so settings and files never touch the user's own.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return root_; }
    std::string documents() const { return root_ + "/Documents"; }
    std::string config() const { return root_ + "/.config"; }

private:
    std::string root_;
    std::string saved_[4];
    bool had_[4] = {};
};

}  // namespace qv::test
