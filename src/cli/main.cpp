// qvl70s-cli: identify, calibrate, measure and check the instrument without a window.
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <memory>
#include <vector>

#include "cli/verbs.h"
#include "platform/app/resource_file.h"

namespace qv::cli {

namespace {
std::vector<Verb>& verbs() {
    static std::vector<Verb> all;
    return all;
}

int usage(QTextStream& out, int code) {
    out << "Usage: qvl70s-cli VERB [options]\n\nVerbs:\n";
    // Two blanks at least after the longest verb, so help2man reads the list as two columns.
    for (const Verb& v : verbs())
        out << "  " << QString::fromLatin1(v.name).leftJustified(15) << v.summary << "\n";
    out << "\nqvl70s-cli VERB --help describes a verb; qvl70s-cli --version prints the version.\n";
    return code;
}

// A verb that paints gets a GUI application, on the offscreen platform unless another is chosen
// (a PDF needs no screen); the others a core application, which needs no window system.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    const bool paints =
        argc > 1 && std::any_of(verbs().begin(), verbs().end(), [argv](const Verb& v) {
            return v.paints && QLatin1String(v.name) == QLatin1String(argv[1]);
        });
    if (!paints) return std::make_unique<QCoreApplication>(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

void registerVerb(const Verb& verb) {
    verbs().push_back(verb);
}

}  // namespace qv::cli

int main(int argc, char** argv) {
    using namespace qv::cli;
    const auto app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvl70s-cli"));
    const QStringList args = QCoreApplication::arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() < 2) return usage(err, 2);
    const QString verb = args.at(1);
    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) return usage(out, 0);
    if (verb == QLatin1String("--version")) {
        out << "qvl70s-cli " << QString::fromStdString(qv::programVersion()) << "\n";
        return 0;
    }
    for (const Verb& v : verbs()) {
        if (verb == QLatin1String(v.name)) return v.run(args.mid(1));
    }
    err << "qvl70s-cli: unknown verb '" << verb << "'\n";
    return usage(err, 2);
}
