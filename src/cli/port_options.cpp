// Opening the instrument's port for a verb, with the line settings the desktop program uses.
#include "cli/port_options.h"

#include <QTextStream>
#include <memory>

#include "cli/options.h"
#include "core/app/port_open_message.h"
#include "core/app/profile_store.h"
#include "core/app/shared_state.h"
#include "core/app/startup_workflow.h"
#include "platform/link/posix_serial_channel.h"

namespace qv::cli {

namespace {

// The saved settings with the port of the command line in place of the saved port, so the
// desktop program's start-up rules apply unchanged.
class PortOverride : public ProfileStore {
public:
    PortOverride(ProfileStore& saved, std::string port) : saved_(saved), port_(std::move(port)) {}
    using ProfileStore::read;
    using ProfileStore::write;
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback) override {
        if (section == kProfileSection && key == key::kComPort) return port_;
        return saved_.read(section, key, fallback);
    }
    void write(std::string_view section, std::string_view key, std::string_view value) override {
        saved_.write(section, key, value);
    }

private:
    ProfileStore& saved_;
    std::string port_;
};

QString savedText(ProfileStore& profile, std::string_view key) {
    return QString::fromStdString(profile.read(key));
}

}  // namespace

bool openPortWithSavedSettings(const Options& o, const QString& portName, SharedState& state,
                               ProfileStore& profile, Prompter& prompter) {
    const QString& verb = o.verb;
    state.commPort = std::make_unique<PosixSerialChannel>();
    PortOverride settings(profile, portName.toStdString());
    QTextStream& err = o.io.err;
    switch (connectWithSavedSettings(state, settings, prompter)) {
        case StartupPort::Opened:
            return true;
        case StartupPort::NotSaved:
            // Opening alone gives 9600 baud, 8 data bits, no parity.
            if (state.commPort->open(portName.toStdString())) return true;
            break;
        case StartupPort::Failed:
            // The port opened but refused the saved settings.
            if (state.commPort->isOpen()) {
                state.commPort->close();
                err << verb << ": port " << portName
                    << " refuses the saved line settings (BaudRate "
                    << savedText(profile, key::kBaudRate) << ", DataLength "
                    << savedText(profile, key::kDataLength) << ", Parity "
                    << savedText(profile, key::kParity) << ")\n";
                return false;
            }
            break;
    }
    err << verb << ": cannot open port " << portName << ": "
        << QString::fromStdString(describe(state.commPort->lastOpenError())) << "\n";
    return false;
}

}  // namespace qv::cli
