// qvl70s-cli: identify, calibrate, measure and check the instrument without a window.
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

#include "cli/verbs.h"
#include "platform/app/system_clock.h"

namespace {

// A verb that paints gets a GUI application, on the offscreen platform unless another is chosen
// (a PDF needs no screen); the others a core application, which needs no window system.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    const qv::cli::Verb* verb =
        argc > 1 ? qv::cli::findVerb(QString::fromLocal8Bit(argv[1])) : nullptr;
    if (!verb || !verb->paints) return std::make_unique<QCoreApplication>(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    const auto app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvl70s-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) return qv::cli::kExitFailed;
    qv::SystemClock clock;
    qv::cli::Io io{out, err, in, clock};
    return qv::cli::run(QCoreApplication::arguments(), io);
}
