#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <thread>

#include "gui/kit/gui_clock.h"
#include "gui_fixture.h"
#include "platform/app/resource_file.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(GuiClock, WaitsKeepEventsFlowingButDropUserInput) {
    GuiClock clock;
    QPushButton button(QStringLiteral("Measure"));
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    bool timerRan = false;
    QTimer::singleShot(10, [&] { timerRan = true; });
    const QPointF centre(button.rect().center());
    const auto postClick = [&] {
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                &button, new QMouseEvent(type, centre, button.mapToGlobal(centre), Qt::LeftButton,
                                         Qt::LeftButton, Qt::NoModifier));
    };
    postClick();
    const std::uint32_t start = clock.tickMs();
    clock.sleepMs(80);
    EXPECT_GE(clock.tickMs() - start, 80u);
    EXPECT_TRUE(timerRan);
    QCoreApplication::processEvents();  // nothing was kept back to be replayed now
    EXPECT_EQ(clicks, 0);
    // The same click outside a wait does reach the button: the wait is what dropped it.
    postClick();
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);
}

// A worker thread waits with the system clock; the GUI clock refuses to pump the event loop
// there instead of running it off its thread.
TEST(GuiClock, RefusesToRunOffTheUserInterfaceThread) {
    GuiClock clock;
    test::SimInstrument sim("53");
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(sim.port()));
    bool sleepRefused = false;
    bool waitRefused = false;
    std::thread worker([&] {
        try {
            clock.sleepMs(1);
        } catch (const std::logic_error&) {
            sleepRefused = true;
        }
        try {
            clock.waitForInput(port, 1);
        } catch (const std::logic_error&) {
            waitRefused = true;
        }
    });
    worker.join();
    EXPECT_TRUE(sleepRefused);
    EXPECT_TRUE(waitRefused);
    EXPECT_NO_THROW(clock.sleepMs(1));
}

TEST(GuiClock, WaitForInputReturnsAsSoonAsTheInstrumentAnswers) {
    test::SimInstrument sim;
    GuiClock clock;
    PosixSerialChannel port;
    ASSERT_TRUE(port.open(sim.port()));
    EXPECT_FALSE(clock.waitForInput(port, 50));
    ASSERT_TRUE(port.send("IDR\r\n"));
    const std::uint32_t start = clock.tickMs();
    EXPECT_TRUE(clock.waitForInput(port, 2000));
    EXPECT_LT(clock.tickMs() - start, 1000u);
    EXPECT_EQ(port.receiveLine(clock, 1).substr(0, 7), "OK00,53");
}

// The desktop program itself, as a process on the offscreen platform in a temporary home.
struct Program : ::testing::Test {
    test::TempHome home;
    std::vector<std::unique_ptr<QProcess>> running;

    QProcess& start(const QString& program) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->start(program, {});
        EXPECT_TRUE(p->waitForStarted(3000));
        running.push_back(std::move(p));
        return *running.back();
    }
    static QString stderrLines(QProcess& p) {
        return QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    }
    ~Program() override {
        for (auto& p : running) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
};

TEST_F(Program, WithoutItsResourceFileItEndsAndSaysWhichFileItMissed) {
    const std::string copy = home.path() + "/program/qvl70s";
    fs::create_directories(home.path() + "/program");
    fs::copy_file(QV_BIN_DIR "/qvl70s", copy);
    QProcess& p = start(QString::fromStdString(copy));
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = stderrLines(p);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromStdString(home.path() + "/program/VNBRMRes.rcc")));
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
}

// help2man and a terminal without a display ask these: they are answered before the window
// system, the resource file or the data folder is touched.
TEST_F(Program, AnswersHelpAndVersionWithoutADisplayOrItsResourceFile) {
    const std::string copy = home.path() + "/program/qvl70s";
    fs::create_directories(home.path() + "/program");
    fs::copy_file(QV_BIN_DIR "/qvl70s", copy);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    std::map<std::string, std::string> said;
    for (const char* option : {"--version", "--help", "-h"}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(copy), {QString::fromLatin1(option)});
        ASSERT_TRUE(p.waitForFinished(5000)) << option;
        EXPECT_EQ(p.exitCode(), 0) << option;
        EXPECT_EQ(stderrLines(p), QString()) << option;
        said[option] = p.readAllStandardOutput().toStdString();
    }
    EXPECT_EQ(said["--version"], "qvl70s " + programVersion() + "\n");
    EXPECT_EQ(said["--help"].rfind("Usage: qvl70s [OPTION]...\n", 0), 0u) << said["--help"];
    EXPECT_EQ(said["-h"], said["--help"]);
    EXPECT_FALSE(fs::exists(home.documents() + "/VARNHOLT"));
}

TEST_F(Program, ASecondStartEndsSilentlyAndACrashedOnesLockIsTakenOver) {
    const QString program = QStringLiteral(QV_BIN_DIR "/qvl70s");
    const std::string lock = home.path() + "/run/BRM-Application.lock";
    QProcess& first = start(program);  // waits in the port settings dialog: nothing is saved
    for (int i = 0; i < 300 && !fs::exists(lock); ++i) QThread::msleep(10);
    ASSERT_TRUE(fs::exists(lock));

    QProcess& second = start(program);
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    const QString err = stderrLines(second);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 0) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("already running")));
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();  // a crash leaves the lock file behind
    ASSERT_TRUE(first.waitForFinished(3000));
    ASSERT_TRUE(fs::exists(lock));
    QProcess& third = start(program);
    EXPECT_FALSE(third.waitForFinished(1500));  // it runs
}

}  // namespace
}  // namespace qv
