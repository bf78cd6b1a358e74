// qvl70s-cli: identify, calibrate, measure and check the instrument without a window.
#include <QCoreApplication>
#include <QTextStream>
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
}  // namespace

void registerVerb(const Verb& verb) {
    verbs().push_back(verb);
}

}  // namespace qv::cli

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvl70s-cli"));
    using namespace qv::cli;
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
