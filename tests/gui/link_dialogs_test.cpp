#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui_fixture.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct LinkDialogs : test::GuiFixture {
    // Presses Connect and returns what the dialog ended with.
    int connect() {
        CConnInstDlg dialog(context);
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("connectButton"));
        test::onNextModal([button](QWidget*) { button->click(); });
        return dialog.exec();
    }
};

TEST_F(LinkDialogs, PortSettingsShowTheChoiceAndSaveItOnOk) {
    test::SimInstrument sim;
    ports = {"ttyS10", "ttyS2"};
    CCommSettingDlg dialog(context);
    auto* port = dialog.findChild<QComboBox*>(QStringLiteral("portCombo"));
    ASSERT_TRUE(port);
    EXPECT_TRUE(port->isEditable());
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(0), QStringLiteral("ttyS2"));
    EXPECT_EQ(dialog.lineCombo(LineList::BaudRate)->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(dialog.lineCombo(LineList::DataLength)->currentText(), QStringLiteral("8 bits"));
    EXPECT_EQ(dialog.lineCombo(LineList::Parity)->currentText(), QStringLiteral("0 None"));
    EXPECT_EQ(dialog.lineCombo(LineList::StopBits)->currentText(), QStringLiteral("1 bit"));
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("connectedNote"))->isVisibleTo(&dialog));

    port->setEditText(QString::fromStdString(sim.port()));  // a device path typed by hand
    dialog.lineCombo(LineList::BaudRate)->setCurrentIndex(5);
    dialog.lineCombo(LineList::StopBits)->setCurrentIndex(1);
    test::onNextModal([](QWidget* d) {
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.lastResult(), CommSettingsResult::Saved);
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_EQ(profile.read(key::kComPort), sim.port());
    EXPECT_EQ(profile.read(key::kBaudRate), "38400");
    EXPECT_EQ(profile.read(key::kStopBits), "2 bits");

    // Connected: everything is shown but locked.
    state.bConnected = true;
    CCommSettingDlg locked(context);
    EXPECT_FALSE(locked.findChild<QComboBox*>(QStringLiteral("portCombo"))->isEnabled());
    EXPECT_FALSE(locked.lineCombo(LineList::BaudRate)->isEnabled());
    EXPECT_EQ(locked.lineCombo(LineList::BaudRate)->currentText(), QStringLiteral("38400"));
    EXPECT_TRUE(locked.findChild<QLabel*>(QStringLiteral("connectedNote"))->isVisibleTo(&locked));
}

TEST_F(LinkDialogs, AdaptersAreShownByWhatTheyAreAndSavedByTheirStableName) {
    test::SimInstrument sim;
    // The simulator's line stands in for an adapter's /dev/serial/by-id link.
    PortEntry adapter;
    adapter.name = sim.port();
    adapter.device = "ttyUSB1";
    adapter.label = portLabel("ttyUSB1", "FT232R USB UART", "A50285BI");
    ports = {adapter, "ttyS0"};
    CCommSettingDlg dialog(context);
    auto* port = dialog.findChild<QComboBox*>(QStringLiteral("portCombo"));
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(0), QStringLiteral("ttyS0"));
    EXPECT_EQ(port->itemText(1), QStringLiteral("FT232R USB UART, serial A50285BI (ttyUSB1)"));
    EXPECT_EQ(port->itemData(1, Qt::ToolTipRole).toString().toStdString(), sim.port());
    port->setCurrentIndex(1);
    EXPECT_EQ(dialog.chosenPort(), sim.port());
    test::onNextModal([](QWidget* d) {
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.lastResult(), CommSettingsResult::Saved);
    EXPECT_EQ(profile.read(key::kComPort), sim.port());
    EXPECT_EQ(state.commPort->portName(), sim.port());

    // Opened again, the adapter saved is chosen and shown by what it is.
    CCommSettingDlg again(context);
    auto* shown = again.findChild<QComboBox*>(QStringLiteral("portCombo"));
    EXPECT_EQ(shown->currentText(), QStringLiteral("FT232R USB UART, serial A50285BI (ttyUSB1)"));
    EXPECT_EQ(again.chosenPort(), sim.port());
    // Typed by hand: a listed name stays itself, anything else is taken as typed.
    shown->setEditText(QStringLiteral("ttyS0"));
    EXPECT_EQ(again.chosenPort(), "ttyS0");
    shown->setEditText(QStringLiteral(" /dev/ttyUSB9 "));
    EXPECT_EQ(again.chosenPort(), "/dev/ttyUSB9");
    shown->setEditText(QStringLiteral("COM3"));
    EXPECT_EQ(again.chosenPort(), "COM3");
}

TEST_F(LinkDialogs, Type53IsIdentifiedResetAndConnected) {
    test::SimInstrument sim("53", "L70S-004711");
    ASSERT_TRUE(state.commPort->open(sim.port()));
    EXPECT_EQ(connect(), QDialog::Accepted);
    EXPECT_TRUE(state.bConnected);
    EXPECT_EQ(state.instrumentId(), "L70S-004711");
    EXPECT_TRUE(prompter.asked.empty());
    const auto sent = sim.received();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], "IDR\\r\\n");
    EXPECT_EQ(sent[1], "CPR\\r\\n");
    EXPECT_EQ(sent[2].substr(0, 3), "CPS");
    EXPECT_EQ(sent[3], "USR\\r\\n");
    EXPECT_EQ(sent[4], "USS,0\\r\\n");
}

TEST_F(LinkDialogs, Type40AndTheThreeFieldFormSendOnlyTheIdentification) {
    {
        test::SimInstrument sim("40", "L70-000040");
        ASSERT_TRUE(state.commPort->open(sim.port()));
        connect();
        EXPECT_TRUE(state.bConnected);
        EXPECT_EQ(state.instrumentId(), "L70-000040");
        EXPECT_EQ(sim.received(), std::vector<std::string>{"IDR\\r\\n"});
    }
    test::SimInstrument sim("three-field");
    ASSERT_TRUE(state.commPort->open(sim.port()));
    CConnInstDlg dialog(context);
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("connectButton"));
    test::onNextModal([button](QWidget*) { button->click(); });
    dialog.exec();
    EXPECT_TRUE(state.bConnected);
    EXPECT_EQ(state.instrumentId(), "-----");
    EXPECT_EQ(dialog.modelCode(), "40");
    EXPECT_EQ(sim.received(), std::vector<std::string>{"IDR\\r\\n"});
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(LinkDialogs, FailedIdentificationShows121AndLeavesItUnconnected) {
    test::SimInstrument sim("53");
    ASSERT_TRUE(state.commPort->open(sim.port()));
    ASSERT_EQ(connect(), QDialog::Accepted);
    ASSERT_TRUE(state.bConnected);

    const char* faults[] = {"fault IDR silence", "fault IDR reply OK00,\\s0,\\s0,\\s\\s1",
                            "fault IDR reply OK00,41,L70,X"};
    for (const char* fault : faults) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(sim.control("clear"), "ok");
        ASSERT_EQ(sim.control(fault), "ok");
        prompter.asked.clear();
        EXPECT_EQ(connect(), QDialog::Accepted);  // the dialog ends itself either way
        EXPECT_FALSE(state.bConnected);           // even after an earlier success
        ASSERT_EQ(prompter.ids(), std::vector<int>{121});
        EXPECT_EQ(prompter.asked[0].icon, Icon::Exclamation);
    }
    state.commPort->close();  // no port at all
    prompter.asked.clear();
    connect();
    EXPECT_FALSE(state.bConnected);
    EXPECT_EQ(prompter.ids(), std::vector<int>{121});
}

TEST_F(LinkDialogs, AFailedSettingsResetIsReportedButTheInstrumentCountsAsConnected) {
    const struct {
        const char* fault;
        std::size_t sent;  // commands that reached the instrument
    } cases[] = {
        {"fault USR silence", 4},  // nothing after the silent USR
        // A CPR reply too long for the CPS command buffer: no CPS is built from it.
        {"fault CPR reply OK00,01,0500,\\s3,1,0123456789012345678901234567890123456789", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        test::SimInstrument sim("53", "L70S-000777");
        ASSERT_EQ(sim.control(c.fault), "ok");
        ASSERT_TRUE(state.commPort->open(sim.port()));
        prompter.asked.clear();
        connect();
        EXPECT_TRUE(state.bConnected);
        EXPECT_EQ(state.instrumentId(), "L70S-000777");
        EXPECT_EQ(prompter.ids(), std::vector<int>{121});
        EXPECT_EQ(sim.received().size(), c.sent);
    }
}

// Notes the cursor each message box would appear over.
struct CursorWatchingPrompter : test::ScriptedPrompter {
    Answer ask(const Message& message) override {
        const QCursor* c = QApplication::overrideCursor();
        shapes.push_back(c ? c->shape() : Qt::ArrowCursor);
        return ScriptedPrompter::ask(message);
    }
    std::vector<Qt::CursorShape> shapes;
};

TEST_F(LinkDialogs, TheWaitCursorStaysForTheWholeAttemptAndGoesAfterwards) {
    test::SimInstrument sim("53");
    ASSERT_EQ(sim.control("fault USS silence"), "ok");
    ASSERT_TRUE(state.commPort->open(sim.port()));
    CursorWatchingPrompter watching;
    GuiContext c{{state, clock, watching, profile, files, *strings, {}}, {}, QV_BIN_DIR};
    CConnInstDlg dialog(c);
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("connectButton"));
    test::onNextModal([button](QWidget*) { button->click(); });
    dialog.exec();
    EXPECT_EQ(watching.shapes, std::vector<Qt::CursorShape>{Qt::WaitCursor});
    EXPECT_FALSE(QApplication::overrideCursor());
}

}  // namespace
}  // namespace qv
