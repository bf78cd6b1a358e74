// qvl70s-demo-switch: the demo's stand-in for moving the cable. A small window whose buttons
// tell the instrument simulator (through its control pipe) which instrument is on the port.
//   qvl70s-demo-switch <control pipe> <name>=<label> [<name>=<label>...]
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

namespace {

bool sendControl(const QByteArray& pipe, const QByteArray& line) {
    const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const QByteArray text = line + '\n';
    const bool ok = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: qvl70s-demo-switch <control pipe> <name>=<label>...\n");
        return 2;
    }
    const QByteArray pipe = args.at(1).toLocal8Bit();
    QWidget window;
    window.setWindowTitle(QStringLiteral("QV-L70s demo: the cable"));
    auto* layout = new QVBoxLayout(&window);
    auto* heading = new QLabel(QStringLiteral("Which instrument is plugged into the port?"));
    heading->setStyleSheet(QStringLiteral("font-weight: bold;"));
    layout->addWidget(heading);
    auto* group = new QButtonGroup(&window);
    auto* status = new QLabel;
    status->setStyleSheet(QStringLiteral("color: #505050;"));
    const auto choose = [pipe, status](const QString& name, const QString& label) {
        const QByteArray line = name.isEmpty() ? QByteArray("unplug") : "plug " + name.toLatin1();
        status->setText(sendControl(pipe, line) ? QStringLiteral("Now on the port: ") + label
                                                : QStringLiteral("The simulator does not answer."));
    };
    QList<QPair<QString, QString>> choices;
    for (int i = 2; i < args.size(); ++i) {
        const qsizetype eq = args.at(i).indexOf(QLatin1Char('='));
        choices.append({args.at(i).left(eq), args.at(i).mid(eq + 1)});
    }
    choices.append({QString(), QStringLiteral("nothing (cable pulled)")});
    for (const auto& [name, label] : choices) {
        auto* button = new QRadioButton(label);
        group->addButton(button);
        layout->addWidget(button);
        QObject::connect(button, &QRadioButton::clicked, [=] { choose(name, label); });
    }
    group->buttons().first()->setChecked(true);  // the simulator starts with the first one
    status->setText(QStringLiteral("Now on the port: ") + choices.first().second);
    layout->addWidget(status);
    auto* hint = new QLabel(QStringLiteral(
        "After switching, connect the instrument again in the program\n(Settings > Connect "
        "instrument)."));
    layout->addWidget(hint);
    window.show();
    return app.exec();
}
