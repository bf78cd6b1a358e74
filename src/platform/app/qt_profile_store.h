#pragma once

#include <memory>

#include "core/app/profile_store.h"

class QSettings;

namespace qv {

// Settings under organisation "VARNHOLT", application "QV-L70s" (an INI file in the user's
// configuration folder on Linux, the registry on Windows).
class QtProfileStore : public ProfileStore {
public:
    QtProfileStore();
    ~QtProfileStore() override;
    using ProfileStore::read;
    using ProfileStore::write;
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback) override;
    void write(std::string_view section, std::string_view key, std::string_view value) override;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace qv
