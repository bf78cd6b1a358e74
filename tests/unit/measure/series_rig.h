#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/measure/repeatability_workflow.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "support/project_strings.h"
#include "support/temp_home.h"
#include "support/measure_rig.h"

namespace qv::test {

// The measurement rig plus real settings and a real data folder in a temporary home.
struct SeriesRig : MeasureRig {
    explicit SeriesRig(const std::string& type = "53", double noise = 0.0)
        : MeasureRig(type, noise) {
        useDataFolder();
    }
    explicit SeriesRig(sim::Options options) : MeasureRig(std::move(options)) { useDataFolder(); }

    void useDataFolder() {
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
        state.bConnected = true;
    }

    std::vector<std::string> dataFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(state.strDataFolder))
            names.push_back(e.path().string());
        return names;
    }
};

}  // namespace qv::test
