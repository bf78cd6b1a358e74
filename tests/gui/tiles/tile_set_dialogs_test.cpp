#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "core/app/string_ids.h"
#include "core/colour/colour_requests.h"
#include "core/tiles/diagnosis_view.h"
#include "core/tiles/tile_set.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/spectra_chart.h"
#include "gui/tiles/diagnosis_panel.h"
#include "gui/tiles/difference_chart.h"
#include "gui/tiles/tile_set_dlg.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "profiles_fill.h"
#include "support/sample_certificate.h"
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
    // dialog's `measure` button, which measures at once.
    void read(QWidget& dialog, int row, const char* instrument, const char* measure) {
        sim.control(std::string("specimen ") + (row == 0 ? "white" : "red") + " all");
        sim.control(std::string("plug ") + instrument);
        child<QTableWidget>(dialog, "tileTable")->selectRow(row);
        button(dialog, measure)->click();
    }

    // Every tile of `set` read on `instrument` as the dialog asks for them, tile after tile,
    // counting the presses; `afterTile` looks at the dialog after each.
    void readEvery(QWidget& dialog, const TileSet& set, const char* instrument, const char* measure,
                   const std::function<void(int)>& afterTile) {
        sim.control(std::string("plug ") + instrument);
        auto* table = child<QTableWidget>(dialog, "tileTable");
        for (int i = 0; i < static_cast<int>(set.tiles.size()); ++i) {
            ASSERT_EQ(table->currentRow(), i) << measure;
            std::string specimen = set.tiles[static_cast<std::size_t>(i)];
            std::erase(specimen, ' ');
            sim.control("specimen " + specimen + " all");
            ++clicks;
            button(dialog, measure)->click();
            afterTile(i);
        }
    }
    // The fitted factors into entry 3 of the instrument under correction.
    static void writeCorrection(QWidget& dialog) {
        test::onModalOf<CCorrCoeffWriteDlg>([](QWidget* d) {
            child<QTableWidget>(*d, "entryList")->selectRow(2);
            child<QLineEdit>(*d, "commentEdit")->setText(QStringLiteral("TILES"));
            button(*d, "writeButton")->click();
        });
        button(dialog, "correctButton")->click();
    }
    static bool filled(QTableWidget* table, int row, int column) {
        return table->item(row, column)->text() != QStringLiteral("---");
    }

    test::SimInstrument sim{test::referenceAndCorrected({1.02, 1.03, 1.05})};
    std::unique_ptr<EvaluateHueControl> colour =
        makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
    int clicks = 0;
};

TEST_F(TileSetDialogs, ASetJudgedCorrectedAndReadAgainAgreesBetter) {
    CTileSetDlg dialog(context, *colour);
    auto* table = child<QTableWidget>(dialog, "tileTable");
    ASSERT_EQ(table->rowCount(), 2);
    // It opens on the first tile, ready for its target.
    EXPECT_TRUE(button(dialog, "targetButton")->isEnabled());
    EXPECT_EQ(child<QLabel>(dialog, "instructionLabel")->text(),
              QStringLiteral("Place tile 1 'white' on the reference instrument and press Measure "
                             "target."));
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

    ASSERT_TRUE(button(dialog, "correctButton")->isEnabled());
    writeCorrection(dialog);
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

// With a profile of the instrument under correction in the logbook (its gains divided out), the
// judged set shows beside what it reads what the profile makes of it: the same set agreeing.
TEST_F(TileSetDialogs, AJudgedSetShowsWhatItReadsThroughTheInstrumentsProfile) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    ASSERT_TRUE(logbook.isOpen());
    test::keepProfile(logbook, home.path(), "L70S-200002", clock.calendarSeconds() - 86400, 90,
                      0.05, {1 / 1.02, 1 / 1.03, 1 / 1.05});
    CTileSetDlg dialog(context, *colour, nullptr, &logbook);
    for (int row : {0, 1}) {
        read(dialog, row, "REF", "targetButton");
        read(dialog, row, "DUT", "sampleButton");
    }
    EXPECT_TRUE(child<QLabel>(dialog, "standardisedVerdict")->isHidden());
    button(dialog, "judgeButton")->click();
    auto* verdict = child<QLabel>(dialog, "standardisedVerdict");
    ASSERT_TRUE(test::waitUntil([&] { return !verdict->isHidden(); }));
    EXPECT_EQ(verdict->text(), QStringLiteral("PASSED"));
    EXPECT_EQ(child<QLabel>(dialog, "nowVerdict")->text(), QStringLiteral("FAILED"));
    for (const char* angle : {"25", "45", "75"}) {
        const std::string standardised = std::string("standardisedMean") + angle;
        const std::string now = std::string("nowMean") + angle;
        EXPECT_LT(number(dialog, standardised.c_str()), number(dialog, now.c_str()) / 5) << angle;
    }
}

// The built-in set of nine tiles read through as an operator reads it: every target on the
// reference, every sample on the instrument under correction, judged, corrected, every sample
// read again and judged. The dialog moves on to each next tile itself, shows a tile's
// differences as soon as both its readings are in, and acknowledges a reading in its status
// line, so the whole road takes one press in the window and one in the measurement per reading
// and asks no message box but the correction's own.
TEST_F(TileSetDialogs, NineTilesAreReadThroughWithoutChoosingATileOrAcknowledgingAReading) {
    const TileSet set = defaultTileSet();
    ASSERT_EQ(set.tiles.size(), 9u);
    ASSERT_TRUE(saveTileSet(profile, set));
    CTileSetDlg dialog(context, *colour);
    auto* table = child<QTableWidget>(dialog, "tileTable");
    auto* instruction = child<QLabel>(dialog, "instructionLabel");
    const auto tile = [&set](int i) {
        return QStringLiteral("tile %1 '%2'")
            .arg(i + 1)
            .arg(QString::fromStdString(set.tiles[static_cast<std::size_t>(i)]));
    };

    readEvery(dialog, set, "REF", "targetButton", [&](int i) {
        EXPECT_FALSE(filled(table, i, kDeltaEColumn)) << i;  // one reading is no difference
        if (i < 8) {
            EXPECT_EQ(instruction->text(), QStringLiteral("Place %1 on the reference instrument "
                                                          "and press Measure target.")
                                               .arg(tile(i + 1)));
        }
    });
    readEvery(dialog, set, "DUT", "sampleButton", [&](int i) {
        for (int a = 0; a < kAngleCount; ++a) EXPECT_TRUE(filled(table, i, kDeltaEColumn + a));
        if (i < 8) {
            EXPECT_FALSE(filled(table, i + 1, kDeltaEColumn)) << i;
        }
        EXPECT_EQ(dialog.statusText(), QStringLiteral("Measurement finished. T%1 read on the "
                                                      "instrument under correction (L70S-200002).")
                                           .arg(tile(i).mid(1)));
    });
    EXPECT_EQ(instruction->text(),
              QStringLiteral("Every tile is read on both instruments: press Judge."));
    const QString shownBefore = table->item(4, kDeltaEColumn + 2)->text();
    ++clicks;
    button(dialog, "judgeButton")->click();
    EXPECT_EQ(table->item(4, kDeltaEColumn + 2)->text(), shownBefore);
    EXPECT_EQ(child<QLabel>(dialog, "nowVerdict")->text(), QStringLiteral("FAILED"));
    EXPECT_TRUE(prompter.asked.empty());

    writeCorrection(dialog);
    ASSERT_TRUE(dialog.workflow().view().verifying);
    const std::size_t correctionBoxes = prompter.asked.size();
    readEvery(dialog, set, "DUT", "sampleButton",
              [&](int i) { EXPECT_TRUE(filled(table, i, kAfterColumn + 1)) << i; });
    ++clicks;
    button(dialog, "judgeButton")->click();
    EXPECT_EQ(child<QLabel>(dialog, "afterVerdict")->text(), QStringLiteral("PASSED"));

    // 27 readings of one press each and two judgements: no window per reading, no
    // "measurement finished" box, no choice of a tile.
    EXPECT_EQ(clicks, 27 + 2);
    EXPECT_EQ(prompter.asked.size(), correctionBoxes);
    for (int id : prompter.ids()) EXPECT_NE(id, kStrMeasurementFinished);
}

// With an average set, one press takes that many readings of the selected tile, asking between
// them for the instrument to be placed again, and keeps their mean; Cancel between readings
// keeps the tile's reading as it was. The number set is kept for the next opening.
TEST_F(TileSetDialogs, APressTakesTheAverageSetAskingToPlaceTheInstrumentBetweenReadings) {
    CTileSetDlg dialog(context, *colour);
    read(dialog, 0, "REF", "targetButton");
    read(dialog, 1, "REF", "targetButton");
    const ThreeAngles white = dialog.workflow().tiles()[0].target;
    const ThreeAngles red = dialog.workflow().tiles()[1].target;
    child<QSpinBox>(dialog, "readingsSpin")->setValue(3);
    EXPECT_EQ(readingsPerTileFromProfile(profile), 3);
    const auto measured = [this] {
        const auto sent = sim.received();
        return std::count_if(sent.begin(), sent.end(),
                             [](const std::string& c) { return c.rfind("MES", 0) == 0; });
    };
    auto before = measured();
    // White under the instrument for the first reading, red for the two after it.
    sim.control("specimen white all");
    prompter.onAsk = [this](const Message&) { sim.control("specimen red all"); };
    child<QTableWidget>(dialog, "tileTable")->selectRow(0);
    button(dialog, "targetButton")->click();
    EXPECT_EQ(prompter.ids(), (std::vector<int>{kStrPlaceOnTileAgain, kStrPlaceOnTileAgain}));
    EXPECT_EQ(prompter.asked.back().suffix, " tile 1 'white', reading 3 of 3.");
    EXPECT_EQ(measured() - before, 3);
    const ThreeAngles averaged = dialog.workflow().tiles()[0].target;
    for (int a = 0; a < kAngleCount; ++a)
        for (int j = 0; j < kSpectrumPoints; ++j)
            EXPECT_NEAR(averaged[a][j], (white[a][j] + 2 * red[a][j]) / 3, 1e-9) << a << " " << j;
    EXPECT_TRUE(dialog.statusText().endsWith("(L70S-100001), the average of 3 readings."))
        << dialog.statusText().toStdString();

    before = measured();
    prompter.answers = {Answer::Ok, Answer::Cancel};
    child<QTableWidget>(dialog, "tileTable")->selectRow(0);
    button(dialog, "targetButton")->click();
    EXPECT_EQ(measured() - before, 2);
    EXPECT_EQ(dialog.workflow().tiles()[0].target, averaged);
    EXPECT_TRUE(dialog.statusText().isEmpty());
    EXPECT_TRUE(button(dialog, "targetButton")->isEnabled());

    CTileSetDlg again(context, *colour);
    EXPECT_EQ(child<QSpinBox>(again, "readingsSpin")->value(), 3);
}

// An offset and a shifted wavelength scale beside the gains: once judged the diagnosis shows
// each term in its unit, the decision and its reason, and draws the chosen tile's difference
// with the terms that make it up; Correct... asks first, and the write dialog names the tiles.
// Five tiles, three with steep edges: a term two tiles alone show is confirmed by neither.
TEST_F(TileSetDialogs, TheDiagnosisShowsTheTermsTheDecisionAndATilesDifference) {
    sim.control("set DUT:offset=0.3,shift=0.6");
    const TileSet set{"five", {"white", "red", "mid grey", "yellow", "green"}};
    ASSERT_TRUE(saveTileSet(profile, set));
    CTileSetDlg dialog(context, *colour);
    DiagnosisPanel* panel = dialog.diagnosisPanel();
    EXPECT_TRUE(child<QLabel>(*panel, "diagnosisPlaceholder")->isVisibleTo(panel));
    readEvery(dialog, set, "REF", "targetButton", [](int) {});
    readEvery(dialog, set, "DUT", "sampleButton", [](int) {});
    button(dialog, "judgeButton")->click();
    ASSERT_TRUE(dialog.workflow().diagnosis());
    const Diagnosis& d = *dialog.workflow().diagnosis();
    EXPECT_EQ(dialog.tabs()->currentWidget(), panel);
    EXPECT_FALSE(child<QLabel>(*panel, "diagnosisPlaceholder")->isVisibleTo(panel));
    QTableWidget* table = panel->table();
    ASSERT_EQ(table->rowCount(), static_cast<int>(kTermCount) + 5);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Offset"));
    ASSERT_TRUE(d.angles[0].fit.terms[0].identified);
    EXPECT_TRUE(table->item(0, 1)->text().endsWith(QStringLiteral(" %")));
    EXPECT_TRUE(table->item(0, 1)->text().contains(QStringLiteral(" \u00b1 ")));
    EXPECT_TRUE(table->item(0, 2)->text().endsWith(QStringLiteral(" %")));  // its share
    const int decision = table->rowCount() - 1;
    for (int a = 0; a < kAngleCount; ++a)
        EXPECT_EQ(table->item(decision, 1 + 2 * a)->text().toStdString(),
                  recommendationText(d.angles[a].recommendation));
    ASSERT_NE(d.overall, Recommendation::WriteFactors);
    EXPECT_TRUE(child<QLabel>(*panel, "diagnosisReasons")
                    ->text()
                    .contains(QString::fromStdString(d.angles[2].reason.substr(1))));

    // The chosen tile at 75°: the measured difference and the identified terms adding up to it.
    panel->setAngle(2);
    child<QComboBox>(*panel, "diagnosisTile")->activated(1);
    EXPECT_EQ(dialog.workflow().view().selected, 1);
    const DifferenceChart* chart = panel->chart();
    const QStringList curves = chart->curveNames();
    EXPECT_TRUE(curves.contains(QStringLiteral("Offset"))) << curves.join(',').toStdString();
    EXPECT_TRUE(curves.contains(QStringLiteral("Wavelength shift")));
    const QList<QPointF> measured = chart->points(DifferenceChart::measuredName());
    const QList<QPointF> sum = chart->points(DifferenceChart::sumName());
    ASSERT_EQ(measured.size(), kSpectrumPoints);
    ASSERT_EQ(sum.size(), kSpectrumPoints);
    const TileSpectra& red = dialog.workflow().tiles()[1];
    EXPECT_DOUBLE_EQ(measured[20].y(), red.sample[2][20] - red.target[2][20]);
    for (int i = 0; i < kSpectrumPoints; ++i) EXPECT_NEAR(sum[i].y(), measured[i].y(), 0.05) << i;

    prompter.answers = {Answer::No};
    button(dialog, "correctButton")->click();  // no write dialog follows
    EXPECT_EQ(prompter.ids(), std::vector<int>{kStrCorrectionDoubtful});
    EXPECT_FALSE(dialog.workflow().view().verifying);
    QString pair;
    test::onModalOf<CCorrCoeffWriteDlg>([&pair](QWidget* write) {
        pair = child<QLabel>(*write, "pairLabel")->text();
        button(*write, "closeButton")->click();
    });
    button(dialog, "correctButton")->click();
    EXPECT_EQ(pair, QStringLiteral("Fitted over 5 tiles: white, red, mid grey, yellow, green"));
}

TEST_F(TileSetDialogs,
       TheSettingsKeepNoSetWithATileNamedTwiceNorLimitsThatCannotHoldAndNameTheField) {
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
    auto* tolerance = child<QLineEdit>(settings, "toleranceEdit");
    tolerance->setText(QStringLiteral("1,5"));
    settings.accept();
    EXPECT_NE(settings.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.ids().back(), kStrTileSetRefused);
    EXPECT_EQ(prompter.asked.back().suffix,
              " \"Product tolerance\" takes a value from 0.01 to 5.00.");
    EXPECT_FALSE(tolerance->styleSheet().isEmpty());  // the field at fault is marked
    EXPECT_EQ(tileSetFromProfile(profile).tiles, (std::vector<std::string>{"white", "red"}));

    // A mean limit above the largest: refused, naming the field, and nothing kept.
    tolerance->setText(QString());
    auto* mean = child<QLineEdit>(settings, "meanEdit");
    mean->setText(QStringLiteral("0.70"));
    child<QLineEdit>(settings, "largestEdit")->setText(QStringLiteral("0.60"));
    settings.accept();
    EXPECT_NE(settings.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.asked.back().suffix.rfind(" \"Mean below\" lies above \"Largest below\"", 0),
              0u)
        << prompter.asked.back().suffix;
    EXPECT_FALSE(mean->styleSheet().isEmpty());
    EXPECT_EQ(setLimitsFromProfile(profile).meanThreshold, 0.3);
    mean->setText(QStringLiteral("0.5"));

    tolerance->setText(QStringLiteral("1.5"));
    settings.accept();
    EXPECT_EQ(settings.result(), QDialog::Accepted);
    EXPECT_EQ(tileSetFromProfile(profile).tiles, (std::vector<std::string>{"white", "mid grey"}));
    EXPECT_EQ(setLimitsFromProfile(profile).productTolerance, 1.5);
    EXPECT_EQ(setLimitsFromProfile(profile).meanThreshold, 0.5);
}

// Against certified values the tiles' certificates stand for the reference instrument: only the
// instrument under correction reads, its readings are kept across the change, and a set with a
// tile the logbook holds no certificate of stays with the reference instrument. Certificates of
// the reference's own readings judge the set as the reference did.
TEST_F(TileSetDialogs, AgainstCertifiedValuesOnlyTheInstrumentUnderCorrectionReads) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    CTileSetDlg dialog(context, *colour, nullptr, &logbook);
    for (int row : {0, 1}) {
        read(dialog, row, "REF", "targetButton");
        read(dialog, row, "DUT", "sampleButton");
    }
    button(dialog, "judgeButton")->click();
    const TileSetView& v = dialog.workflow().view();
    const SetSummary reference = v.now;
    auto* check = child<QCheckBox>(dialog, "certifiedCheck");
    auto* notes = child<QLabel>(dialog, "certifiedNotes");
    check->click();
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(notes->text(),
              QStringLiteral("Not against certified values: no certificate on record for white, "
                             "red."));
    EXPECT_TRUE(v.rows[0].target && v.now.passed.has_value());

    for (std::size_t i = 0; i < 2; ++i) {
        TileCertificate c = test::sampleCertificate(dialog.workflow().set().tiles[i]);
        c.number = "C-" + c.tile;
        c.spectra = dialog.workflow().tiles()[i].target;
        for (AngleSpectrum& angle : c.spectra) angle.resize(kSpectrumPoints);  // reflectances only
        std::string why;
        ASSERT_EQ(logbook.addTileCertificate(c, why), CertificateAdded::Added) << why;
    }
    check->click();
    ASSERT_TRUE(check->isChecked());
    EXPECT_TRUE(notes->text().startsWith(
        QStringLiteral("Against certified values (certificates C-white, C-red). Not corrected "
                       "for temperature: no temperature given.")))
        << notes->text().toStdString();
    EXPECT_FALSE(button(dialog, "targetButton")->isEnabled());
    EXPECT_FALSE(v.now.passed.has_value());
    ASSERT_TRUE(button(dialog, "judgeButton")->isEnabled());  // the samples were kept
    button(dialog, "judgeButton")->click();
    EXPECT_EQ(v.now.mean, reference.mean);
    EXPECT_EQ(v.now.passed, reference.passed);

    writeCorrection(dialog);
    ASSERT_TRUE(v.verifying);
    for (int row : {0, 1}) read(dialog, row, "DUT", "sampleButton");
    button(dialog, "judgeButton")->click();
    EXPECT_EQ(child<QLabel>(dialog, "afterVerdict")->text(), QStringLiteral("PASSED"));
    // What the correction was verified against stays while it is.
    check->click();
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(dialog.workflow().certified()->certificates[1].number, "C-red");
}

}  // namespace
}  // namespace qv
