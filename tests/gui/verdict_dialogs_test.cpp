#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "gui/verdict/instr_stability_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "gui_fixture.h"
#include "platform/log/sql_logbook.h"

namespace qv {
namespace {

struct ChecksDialogs : test::GuiFixture {
    template <typename T>
    T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
};

TEST_F(ChecksDialogs, ThresholdDialogCompletesShortTextsAndSavesAfterOneQuestion) {
    CThresholdDiffDlg dialog(context);
    auto* repeat = child<QLineEdit>(dialog, "repeatEdit");
    auto* inst = child<QLineEdit>(dialog, "instEdit");
    EXPECT_EQ(repeat->maxLength(), 4);
    EXPECT_EQ(repeat->text(), QStringLiteral("0.2"));
    EXPECT_EQ(inst->text(), QStringLiteral("0.5"));
    EXPECT_EQ(child<QLabel>(dialog, "repeatLabel")->text().toStdString(), strings->text(104) + ":");
    EXPECT_EQ(child<QLabel>(dialog, "instUnitLabel")->text(), QStringLiteral("dE*ab"));

    inst->clear();
    QTest::keyClicks(inst, "0.6");
    repeat->clear();
    QTest::keyClicks(repeat, ".25");
    EXPECT_EQ(repeat->text(), QStringLiteral("0.25"));
    EXPECT_EQ(inst->text(), QStringLiteral("0.5"));  // typed but not taken in yet

    auto* formula = child<QComboBox>(dialog, "formulaCombo");
    formula->setCurrentIndex(2);
    emit formula->activated(2);
    EXPECT_EQ(child<QLabel>(dialog, "repeatUnitLabel")->text(), QStringLiteral("dE00"));

    test::onNextModal([](QWidget* d) {
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(prompter.ids(), std::vector<int>{154});
    EXPECT_EQ(profile.read(key::kDefThreshold), "0.25");
    EXPECT_EQ(profile.read(key::kDeltaEFormula), "DE00");
}

TEST_F(ChecksDialogs, ThresholdDialogStaysOpenOnARefusalWithTheEditFocused) {
    CThresholdDiffDlg dialog(context);
    auto* inst = child<QLineEdit>(dialog, "instEdit");
    dialog.show();
    inst->clear();
    QTest::keyClicks(inst, "0.3");
    child<QLineEdit>(dialog, "repeatEdit")->setFocus();  // the operator moved on
    dialog.accept();                                     // OK
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(prompter.ids(), (std::vector<int>{154, 176}));
    EXPECT_EQ(prompter.asked.back().suffix, "0.20");
    EXPECT_EQ(inst->text(), QStringLiteral("0.3"));
    EXPECT_EQ(dialog.focusWidget(), inst);  // the refused threshold is the one to correct
    inst->clear();
    QTest::keyClicks(inst, "0.4");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(profile.read(key::kInstThreshold), "0.40");
    EXPECT_EQ(prompter.asked.size(), 2u);
}

TEST_F(ChecksDialogs, VerdictWindowShowsTextsPictureAndValues) {
    CInstrStabilityDlg pass(context);
    pass.prepare(false, {true, 0.4567, std::nullopt});
    EXPECT_EQ(child<QLineEdit>(pass, "measuredEdit")->text(), QStringLiteral("0.46"));
    EXPECT_EQ(child<QLineEdit>(pass, "thresholdEdit")->text(), QStringLiteral("0.5"));
    EXPECT_EQ(child<QLabel>(pass, "line1Label")->text().toStdString(), strings->text(168));
    EXPECT_EQ(child<QLabel>(pass, "line2Label")->text(), QStringLiteral(" "));
    EXPECT_TRUE(child<QLabel>(pass, "measuredCaption")->text().contains(QStringLiteral("dE*ab")));
    const QPixmap info = child<QLabel>(pass, "iconLabel")->pixmap();
    ASSERT_FALSE(info.isNull());
    EXPECT_EQ(info.size(), QSize(35, 35));

    CInstrStabilityDlg fail(context);
    fail.prepare(true, {false, 0.3, std::nullopt});
    EXPECT_EQ(child<QLabel>(fail, "line1Label")->text().toStdString(), strings->text(106));
    EXPECT_EQ(child<QLabel>(fail, "line2Label")->text().toStdString(), strings->text(107));
    EXPECT_EQ(child<QLineEdit>(fail, "thresholdEdit")->text(), QStringLiteral("0.2"));
    EXPECT_EQ(fail.view().picture, "PIC/excl_icon.bmp");
    // A different picture from the passed verdict's.
    EXPECT_NE(child<QLabel>(fail, "iconLabel")->pixmap().toImage(), info.toImage());

    // The threshold is read when the window opens, not when it was prepared.
    profile.write(key::kDefThreshold, "0.15");
    QString shownThreshold;
    test::onNextModal([&](QWidget* d) {
        shownThreshold = d->findChild<QLineEdit*>(QStringLiteral("thresholdEdit"))->text();
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_EQ(fail.exec(), QDialog::Accepted);
    EXPECT_EQ(shownThreshold, QStringLiteral("0.15"));
    EXPECT_DOUBLE_EQ(state.defThreshold, 0.15);
}

TEST_F(ChecksDialogs, VerdictOffersTheCertificateOnlyOfTheCheckTheLogbookRecorded) {
    const auto button = [](CInstrStabilityDlg& d) {
        return d.findChild<QPushButton*>(QStringLiteral("certificateButton"));
    };
    state.strDataFolder = home.path();
    CInstrStabilityDlg noLogbook(context);
    noLogbook.prepare(false, {true, 0.1, std::nullopt});
    EXPECT_TRUE(button(noLogbook)->isHidden());

    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    context.logbook = &logbook;
    CheckRecord r = emptyRecord(RecordKind::InterInstrument, {2026, 12, 7, 15, 4, 5});
    r.serial = "L70S-200002";
    r.passed = true;
    r.id = logbook.record(r);
    ASSERT_GT(r.id, 0);
    CInstrStabilityDlg inter(context);
    inter.prepare(false, {true, 0.1, r});
    ASSERT_FALSE(button(inter)->isHidden());
    // A check the logbook did not keep offers none, though the logbook holds another's.
    CInstrStabilityDlg failed(context);
    failed.prepare(false, {false, 0.8, std::nullopt});
    EXPECT_TRUE(button(failed)->isHidden());

    const std::string pdf = home.path() + "/verdict.pdf";
    prompter.saveFiles.push_back(pdf);
    button(inter)->click();
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(5), "%PDF-");
    EXPECT_TRUE(prompter.asked.empty());
    // The window says where it went, with a link to the folder.
    auto* saved = inter.findChild<QLabel*>(QStringLiteral("savedLabel"));
    EXPECT_FALSE(saved->isHidden());
    EXPECT_TRUE(saved->text().contains(QString::fromStdString(pdf)));
    EXPECT_TRUE(saved->text().contains(
        QUrl::fromLocalFile(QString::fromStdString(home.path())).toString()));
}

}  // namespace
}  // namespace qv
