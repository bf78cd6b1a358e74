#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "core/colour/colour_requests.h"
#include "core/tiles/tile_set.h"
#include "gui/kit/spectra_chart.h"
#include "gui/tiles/tile_set_dlg.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "gui_fixture.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

// Columns of the tile table: the differences now, and after the correction.
constexpr int kDeltaEColumn = 3;
constexpr int kAfterColumn = 7;

struct TileSetDialogs : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        clock.rawReadSource = state.commPort.get();
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
        state.bConnected = true;
        ASSERT_TRUE(saveTileSet(profile, {"pair", {"white", "red"}}));
    }
    template <typename T>
    static T* child(QWidget& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static QPushButton* button(QWidget& w, const char* name) { return child<QPushButton>(w, name); }
    static double number(QWidget& w, const char* label) {
        return child<QLabel>(w, label)->text().toDouble();
    }
    // The tile in `row` (its specimen under both instruments) read on `instrument` through the
    // dialog's `measure` button and the validation dialog it opens.
    void read(QWidget& dialog, int row, const char* instrument, const char* measure) {
        sim.control(std::string("specimen ") + (row == 0 ? "white" : "red") + " all");
        sim.control(std::string("plug ") + instrument);
        child<QTableWidget>(dialog, "tileTable")->selectRow(row);
        test::onNextModal([](QWidget* d) { button(*d, "measureButton")->click(); });
        button(dialog, measure)->click();
    }

    test::SimInstrument sim{test::referenceAndCorrected({1.02, 1.03, 1.05})};
    std::unique_ptr<EvaluateHueControl> colour =
        makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
};

TEST_F(TileSetDialogs, ASetJudgedCorrectedAndReadAgainAgreesBetter) {
    CTileSetDlg dialog(context, *colour);
    auto* table = child<QTableWidget>(dialog, "tileTable");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_FALSE(button(dialog, "targetButton")->isEnabled());
    for (int row : {0, 1}) {
        read(dialog, row, "REF", "targetButton");
        read(dialog, row, "DUT", "sampleButton");
    }
    EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("\u2713"));
    EXPECT_EQ(dialog.chart()->points(2, SpectraChart::Curve::Sample).size(), 31);
    ASSERT_TRUE(button(dialog, "judgeButton")->isEnabled());
    button(dialog, "judgeButton")->click();
    const TileSetView& v = dialog.workflow().view();
    for (int row : {0, 1}) {
        for (int a = 0; a < kAngleCount; ++a) {
            EXPECT_EQ(table->item(row, kDeltaEColumn + a)->text().toStdString(),
                      v.rows[row].deltaE[a]);
            EXPECT_NE(v.rows[row].deltaE[a], kEmptyField);
        }
    }
    EXPECT_EQ(child<QLabel>(dialog, "nowVerdict")->text(), QStringLiteral("FAILED"));
    EXPECT_TRUE(table->isColumnHidden(kAfterColumn));

    // The fitted factors into entry 3 of the instrument under correction.
    ASSERT_TRUE(button(dialog, "correctButton")->isEnabled());
    test::onNextModal([](QWidget* loading) {
        test::onNextModal(
            [](QWidget* d) {
                child<QTableWidget>(*d, "entryList")->selectRow(2);
                child<QLineEdit>(*d, "commentEdit")->setText(QStringLiteral("TILES"));
                button(*d, "writeButton")->click();
            },
            loading, 10000);
    });
    button(dialog, "correctButton")->click();
    ASSERT_TRUE(v.verifying);
    EXPECT_FALSE(button(dialog, "correctButton")->isEnabled());
    EXPECT_FALSE(table->isColumnHidden(kAfterColumn));
    EXPECT_FALSE(button(dialog, "judgeButton")->isEnabled());

    for (int row : {0, 1}) read(dialog, row, "DUT", "sampleButton");
    button(dialog, "judgeButton")->click();
    for (int row : {0, 1})
        EXPECT_NE(table->item(row, kAfterColumn + 2)->text(), QStringLiteral("---"));
    for (const char* angle : {"25", "45", "75"}) {
        const std::string after = std::string("afterMean") + angle;
        const std::string now = std::string("nowMean") + angle;
        EXPECT_LT(number(dialog, after.c_str()), number(dialog, now.c_str()) / 5) << angle;
    }
    EXPECT_EQ(child<QLabel>(dialog, "afterVerdict")->text(), QStringLiteral("PASSED"));
    // The judgement before the correction stays beside the one after it.
    EXPECT_EQ(child<QLabel>(dialog, "nowVerdict")->text(), QStringLiteral("FAILED"));
}

TEST_F(TileSetDialogs, TheSettingsKeepNoSetWithATileNamedTwiceNorAnUnreadableLimit) {
    CTileSetSettingsDlg settings(context);
    auto* tiles = child<QListWidget>(settings, "tileList");
    ASSERT_EQ(tiles->count(), 2);
    tiles->item(1)->setText(QStringLiteral(" white "));
    settings.accept();
    EXPECT_NE(settings.result(), QDialog::Accepted);
    ASSERT_EQ(prompter.ids(), std::vector<int>{kStrTileSetRefused});
    EXPECT_EQ(prompter.asked[0].suffix, " tile 2 (\"white\") is named twice.");
    EXPECT_EQ(tiles->currentRow(), 1);

    tiles->item(1)->setText(QStringLiteral("mid grey"));
    child<QLineEdit>(settings, "toleranceEdit")->setText(QStringLiteral("1,5"));
    settings.accept();
    EXPECT_NE(settings.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.ids().back(), kStrThresholdRange);
    EXPECT_EQ(tileSetFromProfile(profile).tiles, (std::vector<std::string>{"white", "red"}));

    child<QLineEdit>(settings, "toleranceEdit")->setText(QStringLiteral("1.5"));
    settings.accept();
    EXPECT_EQ(settings.result(), QDialog::Accepted);
    EXPECT_EQ(tileSetFromProfile(profile).tiles, (std::vector<std::string>{"white", "mid grey"}));
    EXPECT_EQ(setLimitsFromProfile(profile).productTolerance, 1.5);
}

}  // namespace
}  // namespace qv
