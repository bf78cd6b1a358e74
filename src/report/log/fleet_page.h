#pragma once

// The lab's fleet as one web page any browser opens, with nothing fetched from elsewhere and no
// script: the overview table worst first (status colours that still read in grey print, the
// status always in words), each instrument's trend per angle as inline SVG, and when and from
// which logbook the page was made. Meant to be rewritten every few minutes onto a shared folder
// or a web server's directory.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log/fleet_status.h"

namespace qv {

struct FleetPageSource {
    LocalTime made;                       // when the page was made, the workstation's clock
    std::optional<int> utcOffsetMinutes;  // of that time; none when not known
    std::string logbook;                  // the file or the server, never with a password
    bool serverAway = false;              // read from this workstation's file in its stead
    CheckIntervals intervals{};
    int longTermDays = 0;  // the drift's period (0: every record)
    std::string program;   // "qvl70s-cli 0.1.0"
};

// The whole page, UTF-8. Every text taken from the logbook is escaped: a serial "<script>"
// shows as those characters.
std::string fleetPageHtml(const std::vector<InstrumentStatus>& fleet,
                          const FleetPageSource& source);

// Text for HTML content and quoted attributes: & < > " ' escaped, control characters and
// invalid UTF-8 replaced by U+FFFD.
std::string htmlText(std::string_view text);

// Writes `html` to `path` through a temporary file in the same folder renamed into place, so
// that a web server serving the folder never hands out half a page; an existing page is
// replaced. Empty when written, else why not.
std::string writeFleetPage(const std::string& path, const std::string& html);

}  // namespace qv
