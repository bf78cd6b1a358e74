// A workstation that does nothing but record checks: the fleet logbook's tests run two of it at
// once against one server.
//   fleet_recorder URI COUNT SERIAL
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "platform/log/fleet_logbook.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fputs("usage: fleet_recorder URI COUNT SERIAL\n", stderr);
        return 2;
    }
    std::string why;
    const auto location = qv::locationFromUri(args[1].toStdString(), &why);
    if (!location) {
        std::fprintf(stderr, "fleet_recorder: %s\n", why.c_str());
        return 2;
    }
    qv::FleetLogbook logbook(
        *location, std::make_unique<qv::SqlLogbook>(qv::logbookPath()),
        [](const std::string& what) { std::fprintf(stderr, "%s\n", what.c_str()); });
    int onServer = 0;
    for (int i = 0, n = args[2].toInt(); i < n; ++i) {
        qv::CheckRecord r =
            qv::emptyRecord(qv::RecordKind::Repeatability, {2026, 12, 8, 10, 0, i % 60});
        r.serial = args[3].toStdString();
        r.comment = std::to_string(i);
        r.angles[0].deltaE = i * 0.01;
        if (logbook.record(r) > 0) ++onServer;
    }
    std::printf("%d\n", onServer);
    return 0;
}
