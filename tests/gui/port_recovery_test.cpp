// The adapter pulled out and put back: the port closes itself, the main window says so, and
// Connect opens the saved port again and identifies the instrument, without a detour through
// the port settings.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <chrono>
#include <thread>

#include "core/app/profile_store.h"
#include "gui/app/brenmoor_dlg.h"
#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui_fixture.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

// How long the simulator may take to put up its new line after a hang-up.
constexpr int kNewLineWaitMs = 3000;

struct PortRecovery : test::GuiFixture {
    // The simulator behind a link that it moves to its new line after a hang-up, as udev moves a
    // /dev/serial/by-id link to the adapter plugged in again; the link is the saved port.
    std::string link = home.path() + "/instrument-port";
    test::SimInstrument sim{[this] {
        sim::Options o = test::oneInstrument("53", "L70S-004711");
        o.linkPath = link;
        return o;
    }()};

    PortRecovery() {
        for (auto [k, v] : {std::pair{key::kComPort, link},
                            {key::kBaudRate, std::string("9600")},
                            {key::kDataLength, std::string("8 bits")},
                            {key::kParity, std::string("0 None")},
                            {key::kStopBits, std::string("1 bit")}})
            profile.write(k, v);
    }

    static QString label(QWidget& w, const char* name) {
        return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    // Connect in the main window, and Connect in the dialog it opens.
    void connectFrom(CBrenmoorDlg& w) {
        test::onNextModal([](QWidget* d) {
            d->findChild<QPushButton*>(QStringLiteral("connectButton"))->click();
        });
        w.connectAction()->trigger();
    }
    // The port settings opened and cancelled: one more dialog that closes over the main window.
    void openAndCancelSettings(CBrenmoorDlg& w, bool& editable) {
        test::onNextModal([&editable](QWidget* d) {
            editable = d->findChild<QComboBox*>(QStringLiteral("portCombo"))->isEnabled();
            static_cast<QDialog*>(d)->reject();
        });
        w.settingsAction()->trigger();
    }
    // Hangs up the line now, and waits until the simulator's new line is up and the old one gone.
    void pullTheAdapter() {
        const std::string old = sim.port();
        ASSERT_EQ(sim.control("hangup"), "ok");
        for (int i = 0; i < kNewLineWaitMs && sim.port() == old; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_NE(sim.port(), old);
        // The old side closes right after the new one is published.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

TEST_F(PortRecovery, AHangUpInAnExchangeClosesThePortAndConnectOpensItAgain) {
    CBrenmoorDlg w(context, TaskDialogs{});
    w.OnInitDialog();  // opens the saved port, as at start
    EXPECT_EQ(label(w, "portStatusLabel"), QString::fromStdString(link) + "\n(open)");
    connectFrom(w);
    ASSERT_TRUE(state.bConnected);
    EXPECT_EQ(label(w, "instrumentStatusLabel"), QStringLiteral("L70S-004711  (connected)"));

    // The adapter is pulled while the instrument is being asked who it is.
    ASSERT_EQ(sim.control("fault IDR hangup occurrence=1"), "ok");
    connectFrom(w);
    EXPECT_FALSE(state.bConnected);
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrNotIdentified});
    EXPECT_EQ(prompter.asked[0].detail, "the line hung up at IDR");
    EXPECT_FALSE(state.commPort->isOpen());
    EXPECT_EQ(state.commPort->portState(), PortState::ClosedAfterHangUp);
    EXPECT_EQ(label(w, "portStatusLabel"),
              QString::fromStdString(link) + "\nclosed after a hang-up - Connect opens it again");
    EXPECT_EQ(label(w, "instrumentStatusLabel"), QStringLiteral("not connected"));

    // The connection dialog names the port it is about to open.
    {
        CConnInstDlg connection(context, &w);
        EXPECT_EQ(
            label(connection, "portLabel"),
            QString::fromStdString(link) + "\nclosed after a hang-up; Connect opens it again");
    }

    // Put back (the link now leads to the new line): Connect alone is enough.
    prompter.asked.clear();
    const std::size_t before = sim.received().size();
    connectFrom(w);
    EXPECT_TRUE(state.bConnected);
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_EQ(state.commPort->portName(), link);
    ASSERT_GT(sim.received().size(), before);
    EXPECT_EQ(sim.received()[before], "IDR\\r\\n");
    EXPECT_EQ(label(w, "portStatusLabel"), QString::fromStdString(link) + "\n(open)");
    EXPECT_EQ(label(w, "instrumentStatusLabel"), QStringLiteral("L70S-004711  (connected)"));
}

TEST_F(PortRecovery, AnAdapterPulledWhileNobodyTalksShowsOnceADialogCloses) {
    CBrenmoorDlg w(context, TaskDialogs{});
    w.OnInitDialog();
    connectFrom(w);
    ASSERT_TRUE(state.bConnected);
    bool editable = false;
    openAndCancelSettings(w, editable);
    EXPECT_FALSE(editable);  // locked while the instrument is connected

    pullTheAdapter();
    // Nothing has talked to the instrument since; the next dialog that closes shows the truth,
    // and the settings are no longer locked by an instrument that is gone.
    openAndCancelSettings(w, editable);
    EXPECT_TRUE(editable);
    EXPECT_EQ(label(w, "portStatusLabel"),
              QString::fromStdString(link) + "\nclosed after a hang-up - Connect opens it again");
    EXPECT_EQ(label(w, "instrumentStatusLabel"), QStringLiteral("not connected"));
    EXPECT_TRUE(prompter.asked.empty());

    connectFrom(w);
    EXPECT_TRUE(state.bConnected);
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_EQ(label(w, "portStatusLabel"), QString::fromStdString(link) + "\n(open)");
}

TEST_F(PortRecovery, ConnectOpensASavedPortThatWasMissingAtStart) {
    // At start the adapter was not plugged in: the link led nowhere.
    profile.write(key::kComPort, home.path() + "/not-yet");
    CBrenmoorDlg w(context, TaskDialogs{});
    w.OnInitDialog();
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrPortMissing});
    EXPECT_EQ(label(w, "portStatusLabel"),
              QStringLiteral("not open - choose it under Settings > Port settings"));

    // Still missing: Connect says so once, in the port's own words, and asks nothing.
    prompter.asked.clear();
    connectFrom(w);
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrPortMissing});
    EXPECT_FALSE(state.bConnected);

    // Plugged in now.
    profile.write(key::kComPort, link);
    prompter.asked.clear();
    connectFrom(w);
    EXPECT_TRUE(state.bConnected);
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_EQ(label(w, "portStatusLabel"), QString::fromStdString(link) + "\n(open)");
}

TEST_F(PortRecovery, WithoutSavedSettingsAHungUpPortIsChosenAgainInThePortSettings) {
    // A profile that names the port but holds no line settings: Connect has nothing to open.
    test::TempHome fresh;
    QtProfileStore unsaved;
    unsaved.write(key::kComPort, link);
    GuiContext c{{state, clock, prompter, unsaved, files, *strings, {}}, {}, QV_BIN_DIR};
    ASSERT_TRUE(state.commPort->open(link));
    pullTheAdapter();
    CBrenmoorDlg w(c, TaskDialogs{});
    EXPECT_EQ(label(w, "portStatusLabel"),
              QString::fromStdString(link) +
                  "\nclosed after a hang-up - choose it under Settings > Port settings");
    {
        CConnInstDlg connection(c, &w);
        EXPECT_EQ(label(connection, "portLabel"),
                  QString::fromStdString(link) +
                      "\nclosed after a hang-up; choose it under Settings > Port settings");
    }
    connectFrom(w);
    EXPECT_FALSE(state.bConnected);
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrNotIdentified});
    EXPECT_EQ(prompter.asked[0].detail, "no port is open");
    EXPECT_EQ(label(w, "portStatusLabel"),
              QStringLiteral("not open - choose it under Settings > Port settings"));
}

// The main window looks at the idle line on a timer of real time: an adapter pulled while nobody
// talks is reported within a second, without a click or an exchange.
using PortRecoveryRealTime = PortRecovery;

TEST_F(PortRecoveryRealTime, AHangUpWhileIdleIsReportedWithinASecond) {
    CBrenmoorDlg w(context, TaskDialogs{});
    w.OnInitDialog();
    connectFrom(w);
    ASSERT_TRUE(state.bConnected);
    ASSERT_EQ(sim.control("hangup"), "ok");
    QElapsedTimer waited;
    waited.start();
    while (!label(w, "portStatusLabel").contains("closed after a hang-up") &&
           waited.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_LT(waited.elapsed(), 1000);
    EXPECT_EQ(label(w, "instrumentStatusLabel"), QStringLiteral("not connected"));
    EXPECT_FALSE(state.bConnected);
}

}  // namespace
}  // namespace qv
