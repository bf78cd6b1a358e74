#include "gui/help/help_topics.h"

#include <QWidget>
#include <cstring>

namespace qv {

namespace {

// First match wins, so a topic bound to the window it was opened from stands before the
// same window's general one.
constexpr HelpTopic kTopics[] = {
    {"CBrenmoorDlg", nullptr, "index.html", ""},
    {"CHistoryDlg", nullptr, "index.html", "results"},
    {"CLogbookLocationDlg", nullptr, "index.html", "logbook-location"},
    {"CFleetDlg", nullptr, "index.html", "fleet"},
    {"CCheckIntervalsDlg", nullptr, "index.html", "check-intervals"},
    {"CCommSettingDlg", nullptr, "connecting.html", "port-settings"},
    {"CConnInstDlg", nullptr, "connecting.html", "connect"},
    {"CCalibrationDlg", nullptr, "connecting.html", "calibrate"},
    {"CThresholdDiffDlg", nullptr, "connecting.html", "thresholds"},
    {"CReproducibleMeasurementDlg", nullptr, "repeatability.html", ""},
    {"CAverageMeasurementDlg", nullptr, "repeatability.html", "average"},
    {"CExtendedRepeatabilityDlg", nullptr, "repeatability.html", "many-readings"},
    {"CInstrStabilityDlg", "CReproducibleMeasurementDlg", "repeatability.html", "verdict"},
    {"CInstrStabilityDlg", nullptr, "inter-instrument.html", "verdict"},
    {"CValidationDlg", "CTileSetDlg", "tile-set.html", "measure"},
    {"CValidationDlg", nullptr, "inter-instrument.html", "measure"},
    {"CInstErrorConfirmationDlg", nullptr, "inter-instrument.html", ""},
    {"CDataRegUsingFileDlg", nullptr, "inter-instrument.html", "register"},
    {"CLoadCoeff", nullptr, "inter-instrument.html", "write"},
    {"CCorrCoeffWriteDlg", "CTileSetDlg", "tile-set.html", "correct"},
    {"CCorrCoeffWriteDlg", nullptr, "inter-instrument.html", "write"},
    {"CDeleteCoeffDlg", nullptr, "inter-instrument.html", "delete"},
    {"CCoeffReadWriteDlg", nullptr, "inter-instrument.html", "coefficient-file"},
    {"CTileSetSettingsDlg", nullptr, "tile-set.html", "settings"},
    {"CTileSetDlg", nullptr, "tile-set.html", ""},
    {"CProfilesDlg", nullptr, "tile-set.html", "profiles"},
    {"CCheckTileDlg", nullptr, "tile-set.html", "check-tile"},
    {"CTileCertificatesDlg", nullptr, "tile-set.html", "tile-certificates"},
};

// The class name without its namespace, as the table names it.
bool isClass(const QWidget* w, const char* name) {
    const char* full = w->metaObject()->className();
    const char* colon = std::strrchr(full, ':');
    return std::strcmp(colon ? colon + 1 : full, name) == 0;
}

// The window `w` was opened from: its parent's window.
const QWidget* opener(const QWidget* w) {
    return w->parentWidget() ? w->parentWidget()->window() : nullptr;
}

bool openedFrom(const QWidget* w, const char* name) {
    for (const QWidget* o = opener(w); o; o = opener(o))
        if (isClass(o, name)) return true;
    return false;
}

}  // namespace

std::span<const HelpTopic> helpTopics() {
    return kTopics;
}

const HelpTopic* helpTopicFor(const QWidget* window) {
    for (const QWidget* w = window; w; w = opener(w))
        for (const HelpTopic& t : kTopics)
            if (isClass(w, t.window) && (!t.within || openedFrom(w, t.within))) return &t;
    return nullptr;
}

}  // namespace qv
