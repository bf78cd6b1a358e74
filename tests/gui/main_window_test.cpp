#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gui/app/brenmoor_dlg.h"
#include "gui/app/splash_wnd.h"
#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/cxf_file.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct MainWindow : test::GuiFixture {
    QPushButton* button(CBrenmoorDlg& w, const char* name) {
        return w.findChild<QPushButton*>(QString::fromLatin1(name));
    }
};

TEST_F(MainWindow, ButtonsWithoutTheirDialogStayDisabled) {
    CBrenmoorDlg w(context, TaskDialogs{});
    for (const char* name : {"repeatabilityButton", "interInstrumentButton", "coeffFileButton"}) {
        ASSERT_TRUE(button(w, name)) << name;
        EXPECT_FALSE(button(w, name)->isEnabled()) << name;
        EXPECT_FALSE(button(w, name)->toolTip().isEmpty()) << name;
    }
    EXPECT_TRUE(button(w, "connectButton")->isEnabled());
}

TEST_F(MainWindow, NextCheckOpensOnlyAfterAPassedSeries) {
    int runs[3] = {};
    TaskDialogs tasks{[&](QWidget*) { ++runs[0]; }, [&](QWidget*) { ++runs[1]; },
                      [&](QWidget*) { ++runs[2]; }};
    CBrenmoorDlg w(context, tasks);
    QPushButton* repeat = button(w, "repeatabilityButton");
    QPushButton* inter = button(w, "interInstrumentButton");
    QPushButton* coeff = button(w, "coeffFileButton");
    EXPECT_TRUE(repeat->isEnabled());
    EXPECT_FALSE(inter->isEnabled());
    EXPECT_FALSE(coeff->isEnabled());

    state.repeatPassed = true;
    repeat->click();
    EXPECT_TRUE(inter->isEnabled());
    state.repeatPassed = false;  // the next series failed
    repeat->click();
    EXPECT_FALSE(inter->isEnabled());
    state.repeatPassed = true;
    repeat->click();
    inter->click();
    EXPECT_TRUE(coeff->isEnabled());
    coeff->click();
    EXPECT_EQ(runs[0], 3);
    EXPECT_EQ(runs[1], 1);
    EXPECT_EQ(runs[2], 1);
}

TEST_F(MainWindow, MenuCommandsHaveShortcutsAndExitEndsTheWindow) {
    CBrenmoorDlg w(context, TaskDialogs{});
    EXPECT_EQ(w.settingsAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(w.exitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(w.aboutAction()->text().toStdString(), strings->text(101));

    // About opens the splash window in its about role, once however often it is asked for.
    w.aboutAction()->trigger();
    CSplashWnd* about = CSplashWnd::current();
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->aboutMode());
    w.aboutAction()->trigger();
    EXPECT_EQ(CSplashWnd::current(), about);
    delete about;

    test::onNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }, nullptr);
    w.settingsAction()->trigger();  // runs the port settings dialog modally
    test::onNextModal([&](QWidget*) { w.exitAction()->trigger(); });
    EXPECT_EQ(w.exec(), QDialog::Accepted);
}

TEST_F(MainWindow, FirstStartAsksForThePortBeforeTheWindowShows) {
    state.strDataFolder = home.documents() + "/VARNHOLT/QV-L70s/Data";
    std::filesystem::create_directories(home.documents() + "/VARNHOLT/QV-L70s");
    CBrenmoorDlg w(context, TaskDialogs{});
    bool settingsFirst = false;
    test::onNextModal([&](QWidget* modal) {
        settingsFirst = qobject_cast<CCommSettingDlg*>(modal) && !w.isVisible();
        static_cast<QDialog*>(modal)->reject();
        test::onNextModal([](QWidget* main) { static_cast<QDialog*>(main)->accept(); });
    });
    w.runModal();
    EXPECT_TRUE(settingsFirst);
    EXPECT_TRUE(std::filesystem::is_directory(state.strDataFolder));  // "Data" made on opening
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(MainWindow, SavedSettingsOpenThePortWithoutAskingAndShowIt) {
    test::SimInstrument sim;
    for (auto [k, v] : {std::pair{key::kComPort, sim.port()},
                        {key::kBaudRate, std::string("9600")},
                        {key::kDataLength, std::string("8 bits")},
                        {key::kParity, std::string("0 None")},
                        {key::kStopBits, std::string("1 bit")}})
        profile.write(k, v);
    CBrenmoorDlg w(context, TaskDialogs{});
    QString shown;
    test::onNextModal([&](QWidget* modal) {
        shown = modal->findChild<QLabel*>(QStringLiteral("portStatusLabel"))->text();
        static_cast<QDialog*>(modal)->accept();
    });
    w.runModal();
    EXPECT_TRUE(state.commPort->isOpen());
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(sim.port())));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(MainWindow, StatusAndConnectionDialogNameThePortActuallyOpen) {
    test::SimInstrument sim;
    profile.write(key::kComPort, "ttyS9");  // saved, but another port is the one held
    ASSERT_TRUE(state.commPort->open(sim.port()));
    CBrenmoorDlg w(context, TaskDialogs{});
    const QString shown = w.findChild<QLabel*>(QStringLiteral("portStatusLabel"))->text();
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(sim.port()))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("ttyS9")));
    CConnInstDlg connect(context);
    EXPECT_EQ(connect.findChild<QLabel*>(QStringLiteral("portLabel"))->text().toStdString(),
              sim.port());
    state.commPort->close();
    CConnInstDlg closed(context);
    EXPECT_FALSE(closed.findChild<QLabel*>(QStringLiteral("portLabel"))
                     ->text()
                     .contains(QStringLiteral("ttyS9")));
}

// The connected instrument's checks as the lab's intervals make them due, read off the window's
// thread: past due in the colour of what holds it back.
TEST_F(MainWindow, StatusNamesTheConnectedInstrumentsChecksDue) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    CheckRecord r =
        emptyRecord(RecordKind::Repeatability, localTimeOf(clock.calendarSeconds() - 3 * 86400));
    r.serial = "L70S-000002";
    r.threshold = 0.1;
    r.passed = true;
    logbook.record(r);
    std::string why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::Repeatability, {1, 0}, why)) << why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::InterInstrument, {30, 7}, why)) << why;
    test::SimInstrument sim;
    ASSERT_TRUE(state.commPort->open(sim.port()));
    state.bConnected = true;
    state.setInstrumentId("L70S-000002");
    TaskDialogs tasks;
    tasks.logbook = &logbook;
    CBrenmoorDlg w(context, tasks);
    auto* checks = w.findChild<QLabel*>(QStringLiteral("checksStatusLabel"));
    ASSERT_TRUE(test::waitUntil([&] { return checks->text().contains("overdue"); }))
        << checks->text().toStdString();
    EXPECT_EQ(checks->text(),
              QStringLiteral("repeatability 2 days overdue, inter-instrument never checked"));
    EXPECT_TRUE(checks->styleSheet().contains("color"));
}

TEST_F(MainWindow, LogbookMenuImportsTheDataFolderAndExportsSpectraBesideAFile) {
    CBrenmoorDlg without(context, TaskDialogs{});
    EXPECT_FALSE(without.historyAction()->isEnabled());
    EXPECT_FALSE(without.importAction()->isEnabled());
    EXPECT_TRUE(without.exportAction()->isEnabled());

    state.strDataFolder = home.path() + "/Data";
    std::filesystem::create_directories(state.strDataFolder);
    const std::string result = state.strDataFolder + "/Judgement_20261207_150405.csv";
    std::filesystem::copy_file(QV_SOURCE_DIR "/tests/data/validation_files/judgement_point.csv",
                               result);
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    TaskDialogs tasks;
    tasks.logbook = &logbook;
    CBrenmoorDlg w(context, tasks);
    w.importAction()->trigger();
    w.importAction()->trigger();  // the same file is recorded once
    ASSERT_EQ(prompter.ids(), (std::vector<int>{kStrFilesImported, kStrFilesImported}));
    EXPECT_EQ(prompter.asked[0].suffix, "\n1 imported, 0 already recorded, 0 skipped");
    EXPECT_EQ(prompter.asked[1].suffix, "\n0 imported, 1 already recorded, 0 skipped");
    EXPECT_EQ(logbook.instruments().size(), 1u);

    prompter.files = {result, result};
    w.exportAction()->trigger();
    const std::string cgats = state.strDataFolder + "/Judgement_20261207_150405.cgats.txt";
    EXPECT_TRUE(std::filesystem::exists(cgats));
    EXPECT_EQ(prompter.ids().back(), kStrSpectraExported);
    EXPECT_EQ(prompter.asked.back().suffix, "\n" + cgats);
    w.exportAction()->trigger();  // never over the first export
    EXPECT_EQ(prompter.ids().back(), kStrSpectraNotExported);
}

// The CxF3 export: Cancel at the layout question writes nothing, one object per angle keeps
// the sample's three angles each on its own, and a second export never writes over the first.
TEST_F(MainWindow, LogbookMenuExportsCxfInTheLayoutChosen) {
    state.strDataFolder = home.path();
    const std::string result = home.path() + "/Judgement_20261207_150405.csv";
    const std::string cxf = home.path() + "/Judgement_20261207_150405.cxf";
    std::filesystem::copy_file(QV_SOURCE_DIR "/tests/data/validation_files/judgement_point.csv",
                               result);
    CBrenmoorDlg w(context, TaskDialogs{});
    prompter.files = {result, result, result};
    prompter.choices = {std::nullopt, 1, 0};
    w.exportCxfAction()->trigger();
    EXPECT_FALSE(std::filesystem::exists(cxf));
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrCxfLayout});
    w.exportCxfAction()->trigger();
    EXPECT_EQ(prompter.asked.back().suffix, "\n" + cxf);
    std::ifstream in(cxf, std::ios::binary);
    const std::string document{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(document.find("Name=\"sample 45as75\""), std::string::npos);
    std::vector<std::string> sample;
    for (const NamedSpectrum& s : readCxf(document).spectra)
        if (s.specimen == "sample" && s.reflectances.size() == kSpectrumPoints)
            sample.push_back(s.name);
    EXPECT_EQ(sample, (std::vector<std::string>{"sample 25", "sample 45", "sample 75"}));
    w.exportCxfAction()->trigger();  // never over the first export
    EXPECT_EQ(prompter.ids().back(), kStrSpectraNotExported);
}

}  // namespace
}  // namespace qv
