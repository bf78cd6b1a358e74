#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "core/app/profile_store.h"
#include "core/checks/inter_instrument_workflow.h"
#include "core/checks/validation_workflow.h"
#include "core/files/record_file.h"
#include "core/files/validation_files.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/coeff/entry_list_loader.h"
#include "gui/kit/choice_dialog.h"
#include "gui_fixture.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

struct CoeffDialogs : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        clock.rawReadSource = state.commPort.get();
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
        state.bConnected = true;
        judgedPair(check);
        prompter.asked.clear();
    }
    // Target on the reference, sample on the instrument under correction, judged.
    void judgedPair(InterInstrumentWorkflow& pair) {
        for (ValidationRole role : {ValidationRole::Target, ValidationRole::Sample}) {
            sim.control(role == ValidationRole::Sample ? "plug DUT" : "plug REF");
            ValidationWorkflow v(context, pair.colour(), role);
            const std::optional<Measurement> m = v.measure();
            ASSERT_TRUE(m);
            pair.take(role, *m);
        }
        ASSERT_TRUE(pair.judge());
    }
    InterInstrumentWorkflow check{context};
    test::SimInstrument sim{test::referenceAndCorrected({1.02, 1.03, 1.05})};
};

TEST_F(CoeffDialogs, TheListIsReadOnAWorkerAndTheChosenEntryIsWritten) {
    CCorrCoeffWriteDlg dialog(context);
    int rows = 0;
    const auto writeInto = [&](QWidget* d) {
        auto* list = d->findChild<QTableWidget*>(QStringLiteral("entryList"));
        ASSERT_TRUE(list);
        rows = list->rowCount();
        list->selectRow(4);
        d->findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText(QStringLiteral("lab 1"));
        d->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    };
    // First the loading window, then the dialog itself once the list is read.
    test::onNextModal([&](QWidget* loading) {
        EXPECT_TRUE(dynamic_cast<CLoadCoeff*>(loading));
        test::onNextModal(writeInto, loading, 10000);
    });
    dialog.exec();
    EXPECT_EQ(rows, 30);
    EXPECT_TRUE(dialog.written());
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrEntryWritten});  // a free entry: no question
    EXPECT_TRUE(dialog.workflow().recordFile().ok());
    const auto received = sim.received();
    EXPECT_NE(std::find_if(received.begin(), received.end(),
                           [](const std::string& c) { return c.rfind("UCS,4,005,", 0) == 0; }),
              received.end());
}

// The lab's intervals say the instrument's repeatability check is overdue: the write is held
// back before anything goes to the instrument, and goes ahead once a supervisor gives a reason,
// which the write's record keeps.
TEST_F(CoeffDialogs, AnOverdueInstrumentIsWrittenOnlyOnASupervisorsReason) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    std::string why;
    ASSERT_TRUE(logbook.setCheckInterval(CheckKind::Repeatability, {1, 0}, why)) << why;
    context.logbook = &logbook;
    CCorrCoeffWriteDlg dialog(context);
    bool heldBack = false;
    const auto writeTwice = [&](QWidget* d) {
        d->findChild<QTableWidget*>(QStringLiteral("entryList"))->selectRow(4);
        d->findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText(QStringLiteral("lab 1"));
        auto* write = d->findChild<QPushButton*>(QStringLiteral("writeButton"));
        write->click();
        heldBack = !dialog.written();
        prompter.reasons.push_back("reference audit, check follows");
        write->click();
    };
    test::onModalOf<CCorrCoeffWriteDlg>(writeTwice);
    dialog.exec();
    EXPECT_TRUE(heldBack);
    EXPECT_TRUE(dialog.written());
    ASSERT_EQ(prompter.ids(), (std::vector<int>{kStrHeldBack, kStrHeldBack, kStrEntryWritten}));
    EXPECT_NE(prompter.asked[0].suffix.find(": its repeatability check was never made"),
              std::string::npos)
        << prompter.asked[0].suffix;
    const auto received = sim.received();
    EXPECT_EQ(std::count_if(received.begin(), received.end(),
                            [](const std::string& c) { return c.rfind("UCS,4,", 0) == 0; }),
              1);
    const std::vector<CheckRecord> records = logbook.records(state.sampleSerial);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.front().kind, RecordKind::EntryWrite);
    EXPECT_EQ(records.front().overrideReason, "reference audit, check follows");
    EXPECT_EQ(records.front().overdue, "its repeatability check was never made");
}

// Two corrections in a row through the dialog on an instrument that drifts between them: the
// list shows when and for which instrument each entry was written, the second asks what the
// readings passed through, names the first entry, and brings the instrument back.
TEST_F(CoeffDialogs, ASecondCorrectionThroughTheDialogStandsOnTheFirst) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    context.logbook = &logbook;
    const auto writeInto = [&](int row, const char* comment) {
        CCorrCoeffWriteDlg dialog(context);
        QStringList listed;
        QString basis;
        test::onModalOf<CCorrCoeffWriteDlg>([&](QWidget* d) {
            auto* list = d->findChild<QTableWidget*>(QStringLiteral("entryList"));
            for (int c = 0; c < list->columnCount(); ++c)
                listed << (list->item(4, c) ? list->item(4, c)->text() : QString());
            list->selectRow(row);
            d->findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText(comment);
            d->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
            basis = d->findChild<QLabel*>(QStringLiteral("basisLabel"))->text();
        });
        dialog.exec();
        EXPECT_TRUE(dialog.written()) << comment;
        check.correctionWritten(dialog.writtenCorrection());
        sim.control("plug DUT");
        ValidationWorkflow again(context, check.colour(), ValidationRole::Sample);
        const auto m = again.measure();
        EXPECT_TRUE(m && check.verifyCorrection(*m));
        return listed;
    };
    writeInto(4, "LAB 1");
    EXPECT_TRUE(check.judgement()->passed);
    sim.control("set DUT:gain=1.03/1.045/1.062");
    judgedPair(check);
    ASSERT_FALSE(check.judgement()->passed);
    prompter.asked.clear();
    prompter.choices = {1};
    const QStringList listed = writeInto(5, "LAB 2");
    ASSERT_EQ(listed.size(), 4);
    EXPECT_EQ(listed[1], QStringLiteral("LAB 1"));
    EXPECT_FALSE(listed[2].isEmpty());  // its time stamp
    EXPECT_EQ(listed[3], QStringLiteral("L70S-200002"));
    ASSERT_EQ(prompter.offeredChoices.size(), 1u);
    EXPECT_NE(prompter.offeredChoices[0][1].find("005 \"LAB 1\""), std::string::npos);
    EXPECT_EQ(prompter.ids().front(), kStrWhichEntryApplies);
    EXPECT_NE(prompter.asked[1].suffix.find("on top of entry 005's"), std::string::npos);
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_LT(check.judgement()->deltaE[a], state.instThreshold) << a;
}

TEST_F(CoeffDialogs, AQuestionOfFactHasNoAnswerChosenBeforehand) {
    Message q = messageBox(kStrWhichEntryApplies, Icon::Question, Buttons::OkCancel);
    ChoiceDialog dialog(q, {"none", "entry 001", "I do not know"}, *strings);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("choiceList"));
    EXPECT_FALSE(ok->isEnabled());
    test::onNextModal([](QWidget* d) {
        static_cast<QDialog*>(d)->accept();  // Enter: nothing chosen, nothing happens
        EXPECT_TRUE(d->isVisible());
        static_cast<QDialog*>(d)->reject();
    });
    dialog.exec();
    EXPECT_FALSE(dialog.chosen());
    list->setCurrentRow(1);
    EXPECT_TRUE(ok->isEnabled());
    test::onNextModal([&](QWidget*) { ok->click(); });
    dialog.exec();
    EXPECT_EQ(dialog.chosen(), std::optional<std::size_t>(1));
}

// The operator's comment survives a deletion, typing stops at 16 characters whatever a file
// proposed, and the list shows what is about to be overwritten when the question comes.
TEST_F(CoeffDialogs, TheTypedCommentSurvivesADeletionAndTheListShowsWhatIsOverwritten) {
    {
        // The program holds its port exclusively, which only root may open again: the test's own
        // line takes the port while it occupies two entries, then hands it back.
        state.commPort->close();
        test::SimLine line(sim.port());
        ASSERT_TRUE(line.isOpen());
        for (const char* entry : {"003", "004"})
            ASSERT_EQ(line.ask(std::string("UCS,1,") + entry +
                               ",OLD,06.12.2026 05:28:35,L70S-200002\r\n"),
                      "OK00\r\n");
    }
    ASSERT_TRUE(state.commPort->open(sim.port()));
    state.coeffFileComment = "A PROPOSED COMMENT LONGER THAN SIXTEEN";
    CCorrCoeffWriteDlg dialog(context);
    QString commentAfterDelete;
    int maxLength = 0;
    QString listedAtQuestion, commentAfterNo;
    bool stayedOpen = false;
    prompter.onAsk = [&](const Message& m) {
        if (m.stringId != kStrOverwriteEntry) return;
        auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("entryList"));
        listedAtQuestion = list->item(3, 1)->text();
    };
    const auto work = [&](QWidget* d) {
        auto* list = d->findChild<QTableWidget*>(QStringLiteral("entryList"));
        auto* edit = d->findChild<QLineEdit*>(QStringLiteral("commentEdit"));
        maxLength = edit->maxLength();
        edit->setText(QStringLiteral("MY TYPED"));
        list->selectRow(2);
        test::onNextModal([](QWidget* confirm) {
            confirm->findChild<QPushButton*>(QStringLiteral("deleteButton"))->click();
        });
        d->findChild<QPushButton*>(QStringLiteral("deleteButton"))->click();
        commentAfterDelete = edit->text();
        // Entry 4 now: listed as the list was read, then asked about.
        list->item(3, 1)->setText(QString());
        list->selectRow(3);
        prompter.answers = {Answer::No};
        d->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
        // No keeps the dialog for another entry, with what was typed.
        stayedOpen = d->isVisible();
        commentAfterNo = edit->text();
        static_cast<QDialog*>(d)->reject();
    };
    test::onModalOf<CCorrCoeffWriteDlg>(work);
    dialog.exec();
    EXPECT_EQ(maxLength, 16);
    EXPECT_EQ(commentAfterDelete, QStringLiteral("MY TYPED"));
    EXPECT_EQ(listedAtQuestion, QStringLiteral("OLD"));
    EXPECT_EQ(prompter.ids(), (std::vector<int>{kStrEntryDeleted, kStrOverwriteEntry}));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(commentAfterNo, QStringLiteral("MY TYPED"));
    EXPECT_FALSE(dialog.written());
}

// The entry offered first is free, or when none is, the one after the entry in use: a write
// over the correction in use is never one Enter away.
TEST_F(CoeffDialogs, TheEntryInUseIsNeverOfferedFirst) {
    const auto occupy = [&](int from, int to) {
        state.commPort->close();
        test::SimLine line(sim.port());
        ASSERT_TRUE(line.isOpen());
        for (int e = from; e <= to; ++e) {
            char number[4];
            std::snprintf(number, sizeof number, "%03d", e);
            ASSERT_EQ(line.ask(std::string("UCS,1,") + number +
                               ",OLD,06.12.2026 05:28:35,L70S-200002\r\n"),
                      "OK00\r\n");
        }
    };
    const auto offered = [&] {
        ([&] { ASSERT_TRUE(state.commPort->open(sim.port())); })();
        CCorrCoeffWriteDlg dialog(context);
        int row = -2;
        test::onModalOf<CCorrCoeffWriteDlg>([&](QWidget* d) {
            row = d->findChild<QTableWidget*>(QStringLiteral("entryList"))->currentRow();
            static_cast<QDialog*>(d)->reject();
        });
        dialog.exec();
        return row;
    };
    state.entryBasis = WriteBasis{WriteBasis::Kind::Entry, 1};
    state.entryBasisSerial = state.sampleSerial;
    occupy(1, 2);
    EXPECT_EQ(offered(), 2);
    occupy(3, 30);
    EXPECT_EQ(offered(), 1);
}

TEST_F(CoeffDialogs, EscapeInTheLoadingWindowStopsTheListAndTheDialogEnds) {
    sim.control("fault UCR delay=100");  // slow enough to stop part-way
    CCorrCoeffWriteDlg dialog(context);
    test::onNextModal([](QWidget* d) {
        EXPECT_TRUE(dynamic_cast<CLoadCoeff*>(d));
        static_cast<QDialog*>(d)->reject();  // what Escape does
        EXPECT_TRUE(d->isVisible());         // it waits for the worker
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_LT(dialog.workflow().view().rowCount, 30);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(CoeffDialogs, ATargetResultFileRegistersThroughItsDialog) {
    ThreeAngles target;
    for (auto& s : target) {
        s.assign(31, 40.0);
        for (double v : {65.0, 1.5, -2.25}) s.push_back(v);
    }
    const std::string path = home.path() + "/Target_reference.csv";
    std::ofstream(path, std::ios::binary)
        << formatTargetFile(target, "L70S-900009", {2026, 12, 7, 9, 0, 0}, *strings, {});
    EvaluateHueControl colour(KEY_VERSION1);
    CDataRegUsingFileDlg dialog(context, colour);
    prompter.files = {path};
    dialog.findChild<QPushButton*>(QStringLiteral("browseButton"))->click();
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("targetL75Field"))->text(),
              QStringLiteral("65.00"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("pathEdit"))->text().toStdString(), path);
    dialog.findChild<QPushButton*>(QStringLiteral("registerButton"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrTargetRegistered});
    EXPECT_EQ(state.targetSerial, "L70S-900009");
    EXPECT_EQ(state.targetSpectrum[2], target[2]);
    EXPECT_EQ(profile.read(key::kFileRegPath), home.path());
}

// The road without a measured pair: the record file of an earlier write is loaded as a
// coefficient file, and its factors go into another entry.
TEST_F(CoeffDialogs, ACoefficientFileLeadsToTheWriteDialog) {
    CoefficientRecord record{{2026, 12, 7, 9, 0, 0}, "L70S-200002",       "EARLIER", {}, {},
                             state.targetSpectrum,   state.sampleSpectrum};
    const std::string path = home.path() + "/Coefficients_earlier.csv";
    std::ofstream(path, std::ios::binary) << formatRecordFile(record, *strings, {});
    state.targetSpectrum = state.sampleSpectrum = {};
    CCoeffReadWriteDlg dialog(context);
    prompter.files = {path};
    dialog.findChild<QPushButton*>(QStringLiteral("browseButton"))->click();
    EXPECT_NE(dialog.findChild<QLineEdit*>(QStringLiteral("sampleL75Field"))->text(),
              QStringLiteral("---"));
    ASSERT_GE(state.sampleSpectrum[1].size(), 31u);
    EXPECT_EQ(state.sampleSpectrum[1][30], record.sample[1][30]);  // reflectances to 0.01
    test::onModalOf<CCorrCoeffWriteDlg>([](QWidget* d) {
        d->findChild<QTableWidget*>(QStringLiteral("entryList"))->selectRow(11);
        d->findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText("FROM FILE");
        d->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    });
    dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.ids().back(), kStrEntryWritten);
    const auto received = sim.received();
    EXPECT_NE(
        std::find_if(received.begin(), received.end(),
                     [](const std::string& c) { return c.rfind("UCS,1,012,FROM FILE,", 0) == 0; }),
        received.end());
}

}  // namespace
}  // namespace qv
