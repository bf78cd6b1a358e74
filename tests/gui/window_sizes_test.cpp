// Every window of the desktop program on the smallest screen it is made for (1366 × 768 with a
// taskbar): it opens within the screen, its smallest size does too, and at that size no caption
// is cut.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/colour/colour_requests.h"
#include "gui/app/brenmoor_dlg.h"
#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/checks/validation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/coeff/delete_coeff_dlg.h"
#include "gui/coeff/entry_list_loader.h"
#include "gui/help/help_wnd.h"
#include "gui/help/operator_guide.h"
#include "gui/kit/dialog_size.h"
#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui/log/history_dlg.h"
#include "gui/log/logbook_location_dlg.h"
#include "gui/measure/average_measurement_dlg.h"
#include "gui/measure/calibration_dlg.h"
#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/tiles/tile_set_dlg.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "gui_fixture.h"
#include "history_reads.h"
#include "platform/log/sql_logbook.h"
#include "support/sim_instrument.h"

namespace qv {
namespace {

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

QString where(const QWidget& w) {
    return w.metaObject()->className() + QStringLiteral(" '") + w.objectName() +
           QStringLiteral("'");
}

// What is cut in `window` as it stands: captions narrower or lower than their text needs,
// table headings narrower than theirs.
QStringList cutCaptions(QWidget& window) {
    QStringList cut;
    const auto visible = [&window](const QWidget* w) { return w->isVisibleTo(&window); };
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!visible(label) || label->text().isEmpty()) continue;
        const QSize need = label->sizeHint();
        const bool wrapped = label->wordWrap();
        const int needHeight = wrapped ? label->heightForWidth(label->width()) : need.height();
        if ((!wrapped && label->width() < need.width()) || label->height() < needHeight)
            cut << where(*label) + QStringLiteral(": ") + label->text().left(40) +
                       QStringLiteral(" %1x%2 need %3x%4 min %5")
                           .arg(label->width())
                           .arg(label->height())
                           .arg(need.width())
                           .arg(needHeight)
                           .arg(label->minimumSizeHint().width());
    }
    for (const QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (!visible(b) || b->text().isEmpty()) continue;
        if (b->width() < b->sizeHint().width())
            cut << where(*b) + QStringLiteral(": ") + plain(b->text());
    }
    for (const QGroupBox* box : window.findChildren<QGroupBox*>()) {
        if (!visible(box) || box->title().isEmpty()) continue;
        if (box->width() < box->fontMetrics().horizontalAdvance(plain(box->title())) + 16)
            cut << where(*box) + QStringLiteral(": ") + box->title();
    }
    // A table scrolls, but a column narrower than its heading cuts the heading.
    for (const QHeaderView* header : window.findChildren<QHeaderView*>()) {
        if (!visible(header) || header->orientation() != Qt::Horizontal) continue;
        const QAbstractItemModel* model = header->model();
        for (int c = 0; model && c < model->columnCount(); ++c) {
            if (header->isSectionHidden(c)) continue;
            const QString text = model->headerData(c, Qt::Horizontal).toString();
            if (header->sectionSize(c) < header->fontMetrics().horizontalAdvance(text) + 8)
                cut << where(*header) + QStringLiteral(": ") + text;
        }
    }
    return cut;
}

struct WindowSizes : test::GuiFixture {
    void SetUp() override {
        ASSERT_TRUE(state.commPort->open(sim.port()));
        clock.rawReadSource = state.commPort.get();
        state.strDataFolder = home.path() + "/Data";
        std::filesystem::create_directories(state.strDataFolder);
        state.bConnected = true;
        state.setInstrumentId("L70S-000001");
    }

    // `window` opens within the small screen; at its smallest it still fits and cuts nothing.
    void check(QWidget& window, const char* name) {
        const QSize budget = smallScreenClientArea();
        window.show();
        QApplication::processEvents();
        EXPECT_LE(window.width(), budget.width()) << name << " opens too wide";
        EXPECT_LE(window.height(), budget.height()) << name << " opens too high";
        window.resize(1, 1);  // as small as its layout lets it be
        QApplication::processEvents();
        EXPECT_LE(window.width(), budget.width()) << name << " cannot be made narrow enough";
        EXPECT_LE(window.height(), budget.height()) << name << " cannot be made low enough";
        const QStringList cut = cutCaptions(window);
        EXPECT_TRUE(cut.isEmpty())
            << name << " at " << window.width() << " x " << window.height() << " cuts:\n  "
            << cut.join(QStringLiteral("\n  ")).toStdString();
        window.hide();
    }

    test::SimInstrument sim;
    std::unique_ptr<EvaluateHueControl> colour =
        makeColourEngine(KEY_VERSION1, DeltaEFormula::Cie76);
};

TEST_F(WindowSizes, TheMainWindowAndTheSettingsFit) {
    TaskDialogs tasks;
    tasks.repeatability = [](QWidget*) {};
    CBrenmoorDlg main(context, tasks);
    check(main, "main window");
    CCommSettingDlg port(context);
    check(port, "port settings");
    CConnInstDlg connect(context);
    check(connect, "connect");
    CThresholdDiffDlg thresholds(context);
    check(thresholds, "thresholds");
    CInstrStabilityDlg verdict(context);
    verdict.prepare(false, {});
    check(verdict, "verdict");
}

TEST_F(WindowSizes, TheMeasuringWindowsFit) {
    CReproducibleMeasurementDlg repeatability(context);
    check(repeatability, "repeatability");
    CExtendedRepeatabilityDlg extended(context);
    check(extended, "repeatability over many readings");
    CCalibrationDlg calibration(context);
    check(calibration, "calibration");
    AverageSetup setup;
    setup.fromRepeatability = true;
    CAverageMeasurementDlg average(context, *colour, setup);
    check(average, "average");
    CValidationDlg target(context, *colour, ValidationRole::Target);
    check(target, "validation");
}

TEST_F(WindowSizes, TheCheckingAndCorrectingWindowsFit) {
    CInstErrorConfirmationDlg inter(context);
    check(inter, "inter-instrument");
    CTileSetDlg tiles(context, *colour);
    check(tiles, "tile set");
    CTileSetSettingsDlg tileSettings(context);
    check(tileSettings, "tile set settings");
    CCorrCoeffWriteDlg write(context);
    check(write, "coefficient write");
    EntryListWorker worker(*state.commPort);
    CLoadCoeff loading(context, worker);
    check(loading, "entry list loading");
    CDeleteCoeffDlg remove(context, 12, "LAB 1");
    check(remove, "deletion");
    CCoeffReadWriteDlg file(context);
    check(file, "coefficient file");
    CDataRegUsingFileDlg registration(context, *colour);
    check(registration, "registration");
}

TEST_F(WindowSizes, TheGuideFits) {
    CHelpWnd guide(guideFolder(QV_BIN_DIR));
    guide.showContents();
    check(guide, "operator's guide");
}

TEST_F(WindowSizes, TheHistoryFits) {
    SqlLogbook logbook(home.path() + "/logbook.sqlite");
    CheckRecord r = emptyRecord(RecordKind::InterInstrument, {2026, 12, 2, 9, 0, 0});
    r.serial = "L70S-200002";
    r.referenceSerial = "L70S-100001";
    r.threshold = 0.5;
    r.passed = true;
    for (int a = 0; a < kAngleCount; ++a) r.angles[a] = {{50.0, 10.0, 5.0}, 0.2, NAN};
    logbook.record(r);
    CHistoryDlg history(context, logbook);
    ASSERT_TRUE(test::readThrough(history));
    check(history, "history");
}

// With everything it may say: QV_LOGBOOK's note on top and a failed try's words.
TEST_F(WindowSizes, TheLogbookLocationFits) {
    const QByteArray was = qgetenv("QV_LOGBOOK");
    qputenv("QV_LOGBOOK", "postgresql://qv@logbook.lab.example:5432/lab?sslmode=require");
    CLogbookLocationDlg location(context);
    location.findChild<QRadioButton*>(QStringLiteral("serverRadio"))->setChecked(true);
    location.findChild<QLineEdit*>(QStringLiteral("hostEdit"))
        ->setText(QStringLiteral("127.0.0.1"));
    location.findChild<QSpinBox*>(QStringLiteral("portSpin"))->setValue(1);  // refused at once
    location.tryLocation();
    check(location, "logbook location");
    if (was.isEmpty())
        qunsetenv("QV_LOGBOOK");
    else
        qputenv("QV_LOGBOOK", was);
}

}  // namespace
}  // namespace qv
