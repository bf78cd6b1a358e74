// qvl70s-screenshots: renders every dialog of the desktop program to PNG files, on Qt's
// offscreen platform, against a simulated instrument in a temporary home.
//   qvl70s-screenshots <output folder>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/app/message_box.h"
#include "core/app/shared_state.h"
#include "core/colour/colour_requests.h"
#include "core/log/performance_settings.h"
#include "core/tiles/diagnosis.h"
#include "core/tiles/diagnosis_view.h"
#include "gui/app/brenmoor_dlg.h"
#include "gui/app/splash_wnd.h"
#include "gui/checks/inst_error_confirmation_dlg.h"
#include "gui/checks/validation_dlg.h"
#include "gui/coeff/coeff_read_write_dlg.h"
#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/coeff/delete_coeff_dlg.h"
#include "gui/coeff/entry_list_loader.h"
#include "gui/help/help_wnd.h"
#include "gui/help/operator_guide.h"
#include "gui/kit/choice_dialog.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/gui_prompter.h"
#include "gui/kit/instrument_strip.h"
#include "gui/link/comm_setting_dlg.h"
#include "gui/link/conn_inst_dlg.h"
#include "gui/log/check_intervals_dlg.h"
#include "gui/log/fleet_dlg.h"
#include "gui/log/history_dlg.h"
#include "gui/log/logbook_location_dlg.h"
#include "gui/log/profiles_dlg.h"
#include "gui/measure/average_measurement_dlg.h"
#include "gui/measure/calibration_dlg.h"
#include "gui/measure/extended_repeatability_dlg.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/tiles/check_tile_dlg.h"
#include "gui/tiles/tile_set_dlg.h"
#include "gui/tiles/tile_set_settings_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui/verdict/threshold_diff_dlg.h"
#include "history_reads.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/port_list.h"
#include "platform/link/posix_serial_channel.h"
#include "platform/log/sql_logbook.h"
#include "profiles_fill.h"
#include "report/log/certificate.h"
#include "report/log/performance_sheet.h"
#include "support/sample_certificate.h"
#include "support/scripted_prompter.h"
#include "support/sim_instrument.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace {

QString g_folder;
int g_failures = 0;

void save(QWidget& w, const char* name) {
    w.show();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    const QString path = g_folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "qvl70s-screenshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// The window made as small as it goes, as on a crowded 1366 x 768 laptop screen; then back.
void saveSmallest(QWidget& w, const char* name) {
    const QSize was = w.size();
    w.show();
    w.resize(1, 1);
    save(w, name);
    w.resize(was);
}

// The instrument under correction in three states against one reference: close enough, a
// little off, far off at 75 degrees.
qv::sim::Options comparedInstruments() {
    qv::sim::InstrumentConfig reference;
    reference.name = "REF";
    reference.idText = "L70S-100001";
    reference.specimen = "red";
    qv::sim::Options options;
    options.instruments.push_back(reference);
    const struct {
        const char* name;
        std::array<double, 3> gain;
    } others[] = {
        {"CLOSE", {1.002, 1.002, 1.003}}, {"OFF", {1.02, 1.03, 1.05}}, {"FAR", {1.0, 1.0, 2.1}}};
    for (const auto& o : others) {
        qv::sim::InstrumentConfig c = reference;
        c.name = o.name;
        c.idText = "L70S-200002";
        c.gain = o.gain;
        options.instruments.push_back(c);
    }
    return options;
}

// Clicks `button` of `hub` and, in the dialog it opens, `inner`.
void clickThrough(QWidget& hub, const char* button, const char* inner) {
    QTimer::singleShot(50, [inner] {
        if (QWidget* d = QApplication::activeModalWidget())
            if (auto* b = d->findChild<QPushButton*>(QLatin1String(inner))) b->click();
    });
    if (auto* b = hub.findChild<QPushButton*>(QLatin1String(button))) b->click();
}

// The write dialog once its entry list is read (the loading window passes by first).
void writeDialogScreenshot(qv::GuiContext& context) {
    qv::CCorrCoeffWriteDlg write(context);
    QTimer grabber;
    QObject::connect(&grabber, &QTimer::timeout, [&write] {
        if (QApplication::activeModalWidget() != &write) return;
        save(write, "coefficient_write");
        write.reject();
    });
    grabber.start(50);
    write.exec();
}

// Clicks Measure in each validation dialog that opens while it lives.
class Measurer {
public:
    Measurer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<qv::CValidationDlg*>(QApplication::activeModalWidget());
            if (!d || d == last_) return;
            last_ = d;
            if (auto* b = d->findChild<QPushButton*>(QStringLiteral("measureButton"))) b->click();
        });
        timer_.start(50);
    }

private:
    QTimer timer_;
    QWidget* last_ = nullptr;
};

// A failed pair corrected from the dialog: the entry written, the sample measured again, and
// before and after shown.
void verifiedScreenshot(qv::GuiContext& context, qv::test::SimInstrument& pair) {
    qv::CorrectionDialogs correction;
    correction.writeCoefficients = [&context](QWidget* parent, qv::EvaluateHueControl&) {
        qv::CCorrCoeffWriteDlg write(context, parent);
        QTimer writer;
        QObject::connect(&writer, &QTimer::timeout, [&write, &writer] {
            if (QApplication::activeModalWidget() != &write) return;
            writer.stop();
            write.findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText("SERVICE");
            write.findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
        });
        writer.start(50);
        write.exec();
        return write.writtenCorrection();
    };
    qv::CInstErrorConfirmationDlg dialog(context, correction);
    pair.control("plug REF");
    clickThrough(dialog, "targetButton", "measureButton");
    pair.control("plug OFF");
    clickThrough(dialog, "sampleButton", "measureButton");
    dialog.findChild<QPushButton*>(QStringLiteral("judgeButton"))->click();
    const Measurer measurer;
    dialog.findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    save(dialog, "inter_instrument_verified");
}

// The inter-instrument dialog before a judgement, then after one with each instrument under
// correction. Verdict windows are closed as they open.
void interInstrumentScreenshots(qv::GuiContext& context, qv::SharedState& state,
                                qv::test::VirtualClock& clock) {
    qv::test::SimInstrument pair(comparedInstruments());
    state.commPort->close();
    state.commPort->open(pair.port());
    clock.rawReadSource = state.commPort.get();
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        QWidget* d = QApplication::activeModalWidget();
        if (auto* verdict = qobject_cast<qv::CInstrStabilityDlg*>(d)) verdict->accept();
    });
    closer.start(20);
    const char* const names[] = {"CLOSE", "OFF", "FAR"};
    const char* const shots[] = {"inter_instrument_passed", "inter_instrument_failed",
                                 "inter_instrument_implausible"};
    // The instrument that disagrees has a profile on record: its differences through it too.
    QTemporaryDir logbookFolder;
    qv::SqlLogbook logbook(logbookFolder.filePath("profiled.sqlite").toStdString());
    qv::test::keepProfile(logbook, logbookFolder.path().toStdString(), "L70S-200002",
                          clock.calendarSeconds() - 86400, 90, 0.05,
                          {1 / 1.02, 1 / 1.03, 1 / 1.05});
    for (int i = 0; i < 3; ++i) {
        qv::CInstErrorConfirmationDlg dialog(context, {}, nullptr, i == 1 ? &logbook : nullptr);
        pair.control("plug REF");
        if (i == 0) save(dialog, "inter_instrument_empty");
        clickThrough(dialog, "targetButton", "measureButton");
        pair.control(std::string("plug ") + names[i]);
        clickThrough(dialog, "sampleButton", "measureButton");
        if (i == 0) save(dialog, "inter_instrument_measured");
        if (auto* judge = dialog.findChild<QPushButton*>(QStringLiteral("judgeButton")))
            judge->click();
        if (i == 1)
            qv::test::waitUntil([&dialog] {
                return dialog.findChild<QLabel*>(QStringLiteral("standardisedLabel"))->isVisible();
            });
        save(dialog, shots[i]);
        if (i == 1) saveSmallest(dialog, "inter_instrument_failed_smallest");
        if (i == 1) {
            // One entry that does not answer its query: the list says so instead of "free".
            pair.control("fault UCR reply ER02 occurrence=6");
            writeDialogScreenshot(context);
            pair.control("clear");
        }
    }
    verifiedScreenshot(context, pair);
}

// Reads every tile of the tile-set dialog on both instruments, the simulator's specimen
// switched to the tile's (named as the tile without blanks); with `samplesOnly` the samples
// alone, as after a correction.
void readTiles(QWidget& dialog, qv::test::SimInstrument& pair, const qv::TileSet& set,
               bool samplesOnly) {
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tileTable"));
    for (std::size_t i = 0; i < set.tiles.size(); ++i) {
        std::string specimen = set.tiles[i];
        std::erase(specimen, ' ');
        pair.control("specimen " + specimen + " all");
        table->selectRow(static_cast<int>(i));
        if (!samplesOnly) {
            pair.control("plug REF");
            clickThrough(dialog, "targetButton", "measureButton");
        }
        pair.control("plug DUT");
        // The dialog moves on after each reading; this road reads both on one tile first.
        table->selectRow(static_cast<int>(i));
        clickThrough(dialog, "sampleButton", "measureButton");
    }
    dialog.findChild<QPushButton*>(QStringLiteral("judgeButton"))->click();
}

// The tile-set dialog as it opens with the built-in set; the settings with a short set; the
// short set judged against an instrument with a gain, an offset and a shifted wavelength scale,
// which factors correct only in part: its diagnosis, its tiles, the write dialog naming the
// tiles the pair was fitted over; and the set read again after the fitted correction.
void tileSetScreenshots(qv::GuiContext& context, qv::SharedState& state,
                        qv::test::VirtualClock& clock) {
    qv::sim::InstrumentConfig reference;
    reference.name = "REF";
    reference.idText = "L70S-100001";
    qv::sim::InstrumentConfig corrected = reference;
    corrected.name = "DUT";
    corrected.idText = "L70S-200002";
    corrected.gain = {1.01, 1.015, 1.02};
    corrected.offset = {0.3, 0.3, 0.3};
    corrected.shiftNm = 0.6;
    qv::sim::Options options;
    options.instruments = {reference, corrected};
    qv::test::SimInstrument pair(options);
    state.commPort->close();
    state.commPort->open(pair.port());
    clock.rawReadSource = state.commPort.get();
    const auto engine = qv::makeColourEngine(qv::KEY_VERSION1, qv::DeltaEFormula::Cie76);
    qv::EvaluateHueControl& colour = *engine;
    {
        qv::CTileSetDlg opened(context, colour);
        save(opened, "tile_set_empty");
    }
    const qv::TileSet set{"Lab tiles", {"white", "mid grey", "red", "green"}};
    qv::saveTileSet(context.profile, set);
    qv::PerformanceSettings performance;
    performance.tolerance[2] = 0.5;
    performance.referenceExpanded = {0.06, 0.07, 0.09};
    performance.referenceCertificate = "No. 2026-117";
    performance.specimen = "mid grey tile";
    qv::savePerformanceSettings(context.profile, performance);
    {
        qv::CTileSetSettingsDlg settings(context);
        save(settings, "tile_set_settings");
    }
    // A profile of the instrument on record that takes its gains out, not its offset or shift.
    QTemporaryDir logbookFolder;
    qv::SqlLogbook logbook(logbookFolder.filePath("profiled.sqlite").toStdString());
    qv::test::keepProfile(logbook, logbookFolder.path().toStdString(), "L70S-200002",
                          clock.calendarSeconds() - 86400, 90, 0.05,
                          {1 / 1.01, 1 / 1.015, 1 / 1.02});
    qv::CTileSetDlg dialog(context, colour, nullptr, &logbook);
    readTiles(dialog, pair, set, false);
    qv::test::waitUntil([&dialog] {
        return dialog.findChild<QLabel*>(QStringLiteral("standardisedVerdict"))->isVisible();
    });
    save(dialog, "tile_set_judged");
    saveSmallest(dialog, "tile_set_judged_smallest");
    {
        // The question Correct... asks before factors the diagnosis doubts, in its real words.
        const qv::TileSetWorkflow& w = dialog.workflow();
        qv::Message doubt =
            qv::messageBox(qv::kStrCorrectionDoubtful, qv::Icon::Question, qv::Buttons::YesNo);
        doubt.suffix = qv::correctionDoubt(*w.diagnosis(), *w.fitted(), w.limits(), context.format);
        QMessageBox shown;
        qv::composeMessageBox(shown, doubt, context.strings);
        save(shown, "message_correction_doubtful");
    }
    dialog.tabs()->setCurrentIndex(0);
    save(dialog, "tile_set_judged_tiles");
    // The laboratory's certificates of the four tiles, as the reference read them.
    for (std::size_t i = 0; i < set.tiles.size(); ++i) {
        qv::TileCertificate c = qv::test::sampleCertificate(set.tiles[i]);
        c.number = "NCL-2026-01" + std::to_string(40 + i);
        c.spectra = dialog.workflow().tiles()[i].target;
        for (qv::AngleSpectrum& angle : c.spectra) angle.resize(qv::kSpectrumPoints);
        std::string why;
        logbook.addTileCertificate(c, why);
    }
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, [&writer] {
        auto* write = qobject_cast<qv::CCorrCoeffWriteDlg*>(QApplication::activeModalWidget());
        if (!write) return;
        writer.stop();
        save(*write, "tile_set_write");
        write->findChild<QLineEdit*>(QStringLiteral("commentEdit"))->setText("TILES");
        write->findChild<QPushButton*>(QStringLiteral("writeButton"))->click();
    });
    writer.start(50);
    dialog.findChild<QPushButton*>(QStringLiteral("correctButton"))->click();
    readTiles(dialog, pair, set, true);
    save(dialog, "tile_set_verified");
    // The same set against the certificates, the room 3 °C above theirs.
    qv::CTileSetDlg certified(context, colour, nullptr, &logbook);
    certified.findChild<QCheckBox*>(QStringLiteral("temperatureKnown"))->setChecked(true);
    certified.findChild<QDoubleSpinBox*>(QStringLiteral("temperature"))->setValue(26.0);
    certified.findChild<QCheckBox*>(QStringLiteral("certifiedCheck"))->click();
    readTiles(certified, pair, set, true);
    certified.tabs()->setCurrentIndex(0);
    save(certified, "tile_set_certified");
}

// A red specimen as the reference instrument reads it, and as an instrument reads it whose
// scale is `gain` times too high at each angle.
qv::TileSpectra redPair(std::array<double, qv::kAngleCount> gain) {
    qv::TileSpectra pair;
    for (int a = 0; a < qv::kAngleCount; ++a)
        for (int i = 0; i < qv::kSpectrumPoints; ++i) {
            const double x = i / 30.0;
            const double target = (5 + 70 / (1 + std::exp(-(x - 0.6) * 25))) * (1.0 - 0.3 * a);
            pair.target[a].push_back(target);
            pair.sample[a].push_back(target * gain[a]);
        }
    return pair;
}

// A tile set's diagnosis as the logbook keeps it: an offset at every angle and a wavelength
// shift that grows with `shift`, the rest not seen.
qv::DiagnosisRecord diagnosisRecord(double offset, double shift) {
    qv::DiagnosisRecord d;
    for (int a = 0; a < qv::kAngleCount; ++a) {
        qv::AngleDiagnosisRecord& angle = d[static_cast<std::size_t>(a)];
        angle.decision = "service";
        angle.reason = "Zero calibration: " + std::to_string(offset).substr(0, 4) +
                       " % added to every reading at " + std::to_string(qv::kAngleDegrees[a]) +
                       " degrees; it explains 40 % of the mean colour difference.";
        angle.meanAfterFactors = 0.7 + 0.05 * a;
        angle.meanAfterModel = 0.01;
        for (std::size_t k = 0; k < qv::kTermCount; ++k) {
            const auto term = static_cast<qv::Term>(k);
            qv::TermRecord t{std::string(qv::termInfo(term).key), 0.0, 0.005, false};
            if (term == qv::Term::Offset) t = {t.key, offset + 0.002 * a, 0.006, true};
            if (term == qv::Term::Gain) t = {t.key, 0.5 * (a + 1), 0.008, true};
            if (term == qv::Term::Shift) t = {t.key, shift - 0.01 * a, 0.011, true};
            angle.terms.push_back(t);
        }
    }
    return d;
}
// One certificate of each kind, as the logbook would hand them out.
void certificateScreenshots() {
    constexpr int kPreviewDpi = 100;
    const qv::LocalTime time{2026, 12, 7, 15, 4, 5};
    const char* const data = "/home/operator/Documents/VARNHOLT/QV-L70s/Data/";
    const auto record = [&](qv::RecordKind kind, std::array<double, 3> deltaE) {
        qv::CheckRecord r = qv::emptyRecord(kind, time);
        r.id = 17;
        r.serial = "L70S-200002";
        r.instrumentType = "53";
        r.operatorName = "operator";
        for (int a = 0; a < qv::kAngleCount; ++a)
            r.angles[a] = {{52.31 - 8 * a, 38.47 - 5 * a, 21.05 - 3 * a}, deltaE[a], NAN};
        return r;
    };
    qv::CheckRecord repeat = record(qv::RecordKind::Repeatability, {0.08, 0.12, 0.05});
    repeat.serial = "L70S-000001";
    repeat.threshold = 0.3;
    repeat.formula = "dE*ab";
    repeat.passed = true;
    repeat.files = {std::string(data) + "Repeatability_20261207_150405.csv"};
    qv::CheckRecord inter = record(qv::RecordKind::InterInstrument, {0.42, 0.71, 0.95});
    inter.referenceSerial = "L70S-100001";
    inter.threshold = 0.6;
    inter.formula = "dE00";
    inter.passed = false;
    inter.files = {std::string(data) + "Judgement_20261207_150405.csv"};
    qv::CheckRecord verified = inter;
    verified.kind = qv::RecordKind::Verification;
    verified.passed = true;
    for (int a = 0; a < qv::kAngleCount; ++a) {
        verified.angles[a].beforeDeltaE = inter.angles[a].deltaE;
        verified.angles[a].deltaE = 0.12 + 0.05 * a;
    }
    qv::CheckRecord write = qv::emptyRecord(qv::RecordKind::EntryWrite, time);
    write.id = 18;
    write.serial = "L70S-200002";
    write.instrumentType = "53";
    write.operatorName = "operator";
    write.entry = 12;
    write.comment = "LAB 1";
    write.files = {std::string(data) + "Coefficients_20261207_150405.csv"};
    qv::CheckRecord deletion = write;
    deletion.kind = qv::RecordKind::EntryDeletion;
    deletion.files.clear();
    qv::CheckRecord set = inter;
    set.kind = qv::RecordKind::TileSet;
    set.comment = "Lab set";
    set.files = {std::string(data) + "TileSet_20261207_150405.csv"};
    for (int a = 0; a < qv::kAngleCount; ++a) {
        set.angles[a].lab = {NAN, NAN, NAN};
        set.angles[a].beforeDeltaE = 1.04 + 0.3 * a;
        set.angles[a].deltaE = 0.42 + 0.06 * a;
    }
    set.passed = true;
    set.diagnosis = diagnosisRecord(0.30, -0.61);
    qv::CheckRecord spread = repeat;
    spread.kind = qv::RecordKind::ExtendedRepeatability;
    spread.threshold = NAN;
    spread.passed.reset();
    spread.readings = 20;
    spread.handling = true;
    spread.specimen = "Red tile R-07";
    spread.files = {std::string(data) + "ExtendedRepeatability_20261207_150405.csv"};
    for (int a = 0; a < qv::kAngleCount; ++a) {
        spread.angles[a].deltaE = 0.061 + 0.004 * a;
        spread.angles[a].sd = {0.014, 0.035 + 0.002 * a, 0.062};
        spread.angles[a].largest = 0.15 - 0.01 * a;
    }
    const qv::RecordSpectra none;
    const qv::RecordSpectra before{redPair({1.02, 1.035, 1.05}), {}};
    const qv::RecordSpectra after{redPair({1.002, 1.004, 1.006}), {}};
    const struct {
        const qv::CheckRecord* record;
        const qv::RecordSpectra* spectra;
        const char* name;
    } shots[] = {{&repeat, &none, "certificate_repeatability"},
                 {&inter, &before, "certificate_inter_instrument"},
                 {&verified, &after, "certificate_verification"},
                 {&write, &none, "certificate_entry_write"},
                 {&deletion, &none, "certificate_entry_deletion"},
                 {&set, &none, "certificate_tile_set"},
                 {&spread, &none, "certificate_extended_repeatability"}};
    for (const auto& [r, spectra, name] : shots) {
        const QString path =
            g_folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
        if (!qv::renderCertificate(*r, *spectra, kPreviewDpi).save(path)) {
            std::fprintf(stderr, "qvl70s-screenshots: cannot write %s\n", qPrintable(path));
            ++g_failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
}

// A logbook of a few weeks: one instrument checked against the reference twice a day, some
// checks failing and corrected, its repeatability now and then; a second instrument's few.
void fillHistory(qv::SqlLogbook& logbook) {
    const qint64 start = QDateTime(QDate(2026, 11, 9), QTime(8, 30)).toSecsSinceEpoch();
    for (int i = 0; i < 40; ++i) {
        const bool repeat = i % 6 == 5;
        const bool verification = i % 9 == 4;
        qv::CheckRecord r =
            qv::emptyRecord(repeat         ? qv::RecordKind::Repeatability
                            : verification ? qv::RecordKind::Verification
                                           : qv::RecordKind::InterInstrument,
                            qv::localTimeOf(start + i * 13 * 3600 + (i % 3) * 1700));
        r.serial = "L70S-200002";
        r.instrumentType = "53";
        r.referenceSerial = repeat ? "" : "L70S-100001";
        r.operatorName = "operator";
        // Two workstations of the lab share the logbook.
        r.workstation = i % 4 == 3 ? "LAB-2" : "LAB-1";
        r.threshold = repeat ? 0.2 : (i < 24 ? 0.5 : 0.6);
        r.formula = "dE00";
        const double drift =
            repeat ? 0.02 * (i % 4) : 0.18 + 0.03 * (i % 7) + (i % 9 == 3 ? 0.35 : 0);
        for (int a = 0; a < qv::kAngleCount; ++a)
            r.angles[a] = {{52.31 - 8 * a, 38.47 - 5 * a, 21.05 - 3 * a},
                           drift * (1.0 + 0.25 * a),
                           verification ? 0.7 + 0.1 * a : NAN};
        r.passed = r.angles[2].deltaE < r.threshold;
        r.files = {"/home/operator/Documents/VARNHOLT/QV-L70s/Data/" +
                   std::string(repeat ? "Repeatability_" : "Judgement_") +
                   qv::resultTimestamp(r.time) + ".csv"};
        logbook.record(r);
    }
    // A tile set every few days, its wavelength scale drifting.
    for (int i = 0; i < 6; ++i) {
        qv::CheckRecord r =
            qv::emptyRecord(qv::RecordKind::TileSet, qv::localTimeOf(start + i * 86400 * 4 + 7200));
        r.serial = "L70S-200002";
        r.instrumentType = "53";
        r.referenceSerial = "L70S-100001";
        r.operatorName = "operator";
        r.threshold = 0.6;
        r.formula = "dE00";
        r.comment = "Lab tiles";
        r.workstation = "LAB-1";
        for (int a = 0; a < qv::kAngleCount; ++a) r.angles[a].deltaE = 0.5 + 0.08 * i + 0.1 * a;
        r.passed = r.angles[2].deltaE < r.threshold;
        r.diagnosis = diagnosisRecord(0.30, -0.15 * (i + 1));
        logbook.record(r);
    }
    for (int i = 0; i < 3; ++i) {
        qv::CheckRecord r =
            qv::emptyRecord(qv::RecordKind::Repeatability, qv::localTimeOf(start + i * 86400 * 5));
        r.serial = "L70S-000001";
        r.instrumentType = "40";
        r.workstation = "LAB-2";
        r.threshold = 0.2;
        r.passed = true;
        for (auto& a : r.angles) a.deltaE = 0.04 + 0.02 * i;
        logbook.record(r);
    }
}

// An instrument's performance statement as a laboratory would have it after some weeks: an
// extended check, the repeatability checks of its specimen, a tile set corrected by factors;
// the 75 degree tolerance tight enough to show the red band.
void performanceScreenshot(qv::SqlLogbook& logbook) {
    // Before the other instruments' checks: the history still opens on theirs.
    const qint64 start = QDateTime(QDate(2026, 10, 12), QTime(8, 30)).toSecsSinceEpoch();
    for (int i = 0; i < 8; ++i) {
        qv::CheckRecord r = qv::emptyRecord(
            i == 7 ? qv::RecordKind::ExtendedRepeatability : qv::RecordKind::Repeatability,
            qv::localTimeOf(start + i * 86400 * 3));
        r.serial = "L70S-300003";
        r.instrumentType = "53";
        r.formula = "dE*ab";
        r.readings = i == 7 ? 20 : 3;
        r.specimen = "mid grey tile";
        for (int a = 0; a < qv::kAngleCount; ++a) {
            qv::AngleRecord& g = r.angles[a];
            g.lab = {50.0 - 6 * a + 0.04 * (1 + a) * std::sin(i), 0.3 + 0.03 * std::cos(i + a),
                     -1.2 + 0.02 * a * std::sin(2 * i)};
            g.deltaE = 0.015 + 0.006 * a;
            if (i == 7) g.sd = {0.01, 0.006, 0.006};
        }
        logbook.record(r);
    }
    qv::CheckRecord calibrated =
        qv::emptyRecord(qv::RecordKind::Calibration, qv::localTimeOf(start + 86400 * 10 - 1500));
    calibrated.serial = "L70S-300003";
    logbook.record(calibrated);
    qv::CheckRecord set =
        qv::emptyRecord(qv::RecordKind::TileSet, qv::localTimeOf(start + 86400 * 10));
    set.serial = "L70S-300003";
    set.referenceSerial = "L70S-100001";
    set.formula = "dE*ab";
    set.comment = "Lab tiles";
    set.readings = 9;  // the tiles behind the means
    // A set of greys and a few colours that could not tell the bandwidth, its factors written.
    qv::DiagnosisRecord diagnosis;
    for (int a = 0; a < qv::kAngleCount; ++a) {
        set.angles[a].deltaE = 0.32 + 0.04 * a;
        qv::AngleDiagnosisRecord& d = diagnosis[a];
        d = {"write-factors", "a gain the factors remove", 0.10 + 0.02 * a, 0.08, {}};
        d.terms = {{"gain", 0.8, 0.05, true},
                   {"shift", 0.02, 0.03, false},
                   {"bandwidth", 0.0, 4.0, a == 0}};
        d.heldOutRmsAfterFactors = 0.14 + 0.03 * a;
        d.lightnessLow = 24.0 - 2 * a;
        d.lightnessHigh = 96.0 - 3 * a;
        d.chromaLow = 0.4;
        d.chromaHigh = 62.0 - 4 * a;
        d.hueFrom = 25.0;
        d.hueTo = 265.0;
    }
    set.diagnosis = diagnosis;
    logbook.record(set);
    qv::CheckRecord write =
        qv::emptyRecord(qv::RecordKind::EntryWrite, qv::localTimeOf(start + 86400 * 10 + 1800));
    write.serial = "L70S-300003";
    write.entry = 2;
    write.comment = "Lab tiles 2026-10";
    logbook.record(write);
    qv::PerformanceSettings settings;
    settings.tolerance = {0.8, 0.8, 0.5};
    settings.referenceExpanded = {0.06, 0.07, 0.09};
    settings.referenceCertificate = "No. 2026-117";
    settings.longTermDays = 0;
    const qv::PerformanceStatement statement =
        qv::performanceStatement(logbook.records("L70S-300003"), settings, qv::DeltaEFormula::Cie76,
                                 qv::localTimeOf(start + 86400 * 28));
    const QString path = g_folder + QStringLiteral("/performance_statement.png");
    if (!qv::renderPerformanceSheet(statement, 100).save(path)) {
        std::fprintf(stderr, "qvl70s-screenshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
    // The PDF as it is issued, to be looked at page by page beside the picture.
    const QString pdf = g_folder + QStringLiteral("/performance_statement.pdf");
    QFile::remove(pdf);
    QString error;
    if (!qv::writePerformanceSheet(statement, pdf, &error)) {
        std::fprintf(stderr, "qvl70s-screenshots: %s\n", qPrintable(error));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(pdf));
}

void historyScreenshots(qv::GuiContext& context, const std::string& folder) {
    qv::SqlLogbook logbook(folder + "/history.sqlite");
    fillHistory(logbook);
    performanceScreenshot(logbook);
    {
        qv::CHistoryDlg history(context, logbook);
        qv::test::readThrough(history);
        history.findChild<QTableView*>(QStringLiteral("recordTable"))->selectRow(8);
        save(history, "history_window");
        saveSmallest(history, "history_window_smallest");
        // The wavelength shift over the diagnosed tile sets, the latest set chosen.
        auto* trend = history.findChild<QComboBox*>(QStringLiteral("trendKindCombo"));
        trend->setCurrentIndex(trend->findText(QStringLiteral("Diagnosis: Wavelength shift")));
        emit trend->activated(trend->currentIndex());
        auto* table = history.findChild<QTableView*>(QStringLiteral("recordTable"));
        for (int row = 0; row < table->model()->rowCount(); ++row)
            if (table->model()->index(row, 1).data().toString() == QStringLiteral("Tile set")) {
                table->selectRow(row);
                break;
            }
        save(history, "history_window_diagnosis");
        // One workstation's checks only.
        auto* workstation = history.findChild<QComboBox*>(QStringLiteral("workstationCombo"));
        workstation->setCurrentIndex(workstation->findText(QStringLiteral("LAB-2")));
        emit workstation->activated(workstation->currentIndex());
        trend->setCurrentIndex(0);
        emit trend->activated(0);
        table->selectRow(0);
        save(history, "history_window_workstation");
        // The long-term repeatability of the instrument with an extended check.
        workstation->setCurrentIndex(0);
        auto* instruments = history.findChild<QTreeWidget*>(QStringLiteral("instrumentList"));
        const auto found = instruments->findItems(QStringLiteral("L70S-300003"), Qt::MatchExactly);
        if (!found.isEmpty()) instruments->setCurrentItem(found.front());
        qv::test::readThrough(history);
        trend->setCurrentIndex(trend->findText(QStringLiteral("Long-term repeatability")));
        emit trend->activated(trend->currentIndex());
        save(history, "history_window_long_term");
    }
    // The check the verdict closes was recorded just before it opened.
    qv::CheckRecord r = logbook.records("L70S-200002", {}, 1).front();
    r.passed = true;
    r.id = logbook.record(r);
    context.logbook = &logbook;
    {
        qv::CInstrStabilityDlg verdict(context);
        verdict.prepare(false, {true, 0.4567, r});
        save(verdict, "verdict_with_certificate");
    }
    context.logbook = nullptr;
}

// A lab of six instruments with two intervals set: one failed, one overdue, one due soon, the
// others current, one with a drifting agreement; and the intervals as the lab set them.
void fleetScreenshots(qv::GuiContext& context, const std::string& folder) {
    qv::SqlLogbook logbook(folder + "/fleet.sqlite");
    const std::int64_t now = context.clock.calendarSeconds();
    const auto check = [&](qv::RecordKind kind, const std::string& serial, int daysAgo,
                           double deltaE) {
        qv::CheckRecord r = qv::emptyRecord(kind, qv::localTimeOf(now - daysAgo * 86400));
        r.serial = serial;
        r.instrumentType = "53";
        r.workstation = daysAgo % 2 ? "lab-1" : "plant-2";
        r.referenceSerial = kind == qv::RecordKind::InterInstrument ? "L70S-100001" : "";
        r.threshold = kind == qv::RecordKind::Repeatability ? 0.1 : 0.5;
        r.passed = deltaE <= r.threshold;
        for (int a = 0; a < qv::kAngleCount; ++a) r.angles[a].deltaE = deltaE * (1 + 0.2 * a);
        logbook.record(r);
    };
    const char* serials[] = {"L70S-200001", "L70S-200002", "L70S-200003",
                             "L70S-200004", "L70S-200005", "L70S-200006"};
    for (int i = 0; i < 6; ++i) {
        check(qv::RecordKind::Repeatability, serials[i], i == 1 ? 4 : 0, i == 2 ? 0.16 : 0.03);
        for (int k = 0; k < 4; ++k)
            check(qv::RecordKind::InterInstrument, serials[i], 80 - 25 * k + i + (i == 3 ? 20 : 0),
                  0.2 + (i == 4 ? 0.08 * k : 0.01 * (k % 2)));
    }
    std::string why;
    logbook.setCheckInterval(qv::CheckKind::Repeatability, {1, 0}, why);
    logbook.setCheckInterval(qv::CheckKind::InterInstrument, {30, 7}, why);
    {
        qv::CFleetDlg fleet(context, logbook);
        qv::test::waitUntil([&fleet] { return !fleet.reading(); });
        save(fleet, "fleet_window");
    }
    qv::CCheckIntervalsDlg intervals(context, logbook);
    qv::test::waitUntil([&intervals] { return !intervals.busy(); });
    save(intervals, "check_intervals");
    // What an overdue instrument's write, certificate or statement asks before it goes ahead.
    QInputDialog reason;
    qv::Message held;
    held.stringId = qv::kStrHeldBack;
    held.icon = qv::Icon::Stop;
    held.buttons = qv::Buttons::OkCancel;
    held.suffix = " L70S-200002: its repeatability check is 3 days overdue";
    qv::composeReasonDialog(reason, held, context.strings);
    reason.setTextValue(QStringLiteral("reference audit, check follows"));
    save(reason, "held_back_reason");
}

// The tiles' certificates on record (a green tile's, then its own limit), and the check tile
// ready to read the green tile at a known room temperature.
void checkTileScreenshots(qv::GuiContext& context, const std::string& folder) {
    qv::SqlLogbook logbook(folder + "/certificates.sqlite");
    qv::TileCertificate c = qv::test::sampleCertificate();
    std::string why;
    logbook.addTileCertificate(c, why);
    c.limit = 0.3;
    logbook.addTileCertificate(c, why);
    logbook.addTileCertificate(qv::test::sampleCertificate("red"), why);
    {
        // A laboratory's CxF3 document being imported: it holds spectra only, so the
        // certificate's number, laboratory, dates and uncertainty are typed beside it.
        qv::CTileCertificatesDlg certificates(context, &logbook);
        const std::pair<const char*, const char*> typed[] = {
            {"tileEdit", "blue"},
            {"certificateEdit", "/home/lab/certificates/NCL-2026-0212 blue.cxf"},
            {"numberEdit", "NCL-2026-0212"},
            {"laboratoryEdit", "National colour laboratory"},
            {"dateEdit", "2026-11-20"},
            {"dueEdit", "2027-11-20"},
            {"uncertaintyEdit", "0.18"},
            {"temperatureEdit", "23.0"}};
        for (const auto& [name, text] : typed)
            certificates.findChild<QLineEdit*>(QLatin1String(name))
                ->setText(QString::fromUtf8(text));
        save(certificates, "tile_certificates");
        saveSmallest(certificates, "tile_certificates_smallest");
    }
    qv::CCheckTileDlg check(context, &logbook);
    check.findChild<QCheckBox*>(QStringLiteral("temperatureKnown"))->setChecked(true);
    check.findChild<QDoubleSpinBox*>(QStringLiteral("temperature"))->setValue(26.5);
    save(check, "check_tile");
}

// The profiles on record: one current, one past its date, one whose file was edited since.
void profilesScreenshot(qv::GuiContext& context, const std::string& folder) {
    qv::SqlLogbook logbook(folder + "/profiles.sqlite");
    qv::test::keepProfiles(logbook, folder, context.clock.calendarSeconds());
    qv::test::keepFleet(logbook, folder, context.clock.calendarSeconds());
    qv::CProfilesDlg profiles(context, logbook);
    qv::test::readThrough(profiles);
    save(profiles, "profiles_window");
}

// The logbook on a server, as entered, after a try that found nothing listening on the port
// (port 1 of this machine, so the words are the same on every machine).
void logbookLocationScreenshot(qv::GuiContext& context) {
    qv::CLogbookLocationDlg location(context);
    location.findChild<QRadioButton*>(QStringLiteral("serverRadio"))->setChecked(true);
    const std::pair<const char*, const char*> fields[] = {
        {"hostEdit", "127.0.0.1"}, {"databaseEdit", "lab"}, {"userEdit", "qv"}};
    for (const auto& [name, text] : fields)
        location.findChild<QLineEdit*>(QLatin1String(name))->setText(QLatin1String(text));
    location.findChild<QSpinBox*>(QStringLiteral("portSpin"))->setValue(1);
    location.tryLocation();
    save(location, "logbook_location");
}

// The operator's guide as the Help menu and F1 show it: the contents, and one road's page.
void guideScreenshots() {
    qv::CHelpWnd help(qv::guideFolder(QV_BIN_DIR));
    help.showContents();
    save(help, "help_index");
    help.showPage(QStringLiteral("repeatability.html"));
    save(help, "help_repeatability");
}

// The ports of a machine with two serial ports built in and two USB adapters, listed as the
// port list lists them: each adapter under its /dev/serial/by-id link (made here, in a folder
// of the temporary home laid out as udev lays it out), shown by its description and serial
// number.
std::vector<qv::PortEntry> adapterPorts(const std::string& root) {
    namespace fs = std::filesystem;
    const fs::path dev = fs::path(root) / "dev";
    const fs::path byId = dev / "serial" / "by-id";
    fs::create_directories(byId);
    const struct {
        const char* device;
        const char* link;  // empty: built in, no link
        const char* description;
        const char* serial;
    } reported[] = {
        {"ttyS0", "", "", ""},
        {"ttyS1", "", "", ""},
        {"ttyUSB0", "usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0",
         "USB-Serial Controller D", ""},
        {"ttyUSB1", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FT232R USB UART", "A50285BI"},
    };
    std::vector<qv::PortEntry> ports;
    for (const auto& r : reported) {
        std::ofstream(dev / r.device) << "";
        std::error_code ec;
        if (*r.link) fs::create_symlink(fs::path("../..") / r.device, byId / r.link, ec);
        ports.push_back(qv::reportedPortEntry(r.device, (dev / r.device).string(), r.description,
                                              r.serial, byId.string()));
    }
    return ports;
}

// The dialog with the port list dropped down over it, as the operator sees it when choosing.
void savePortList(qv::CCommSettingDlg& dialog, const char* name) {
    dialog.show();
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("portCombo"));
    combo->showPopup();
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    QPixmap picture = dialog.grab();
    QWidget* popup = combo->view()->window();
    {
        QPainter painter(&picture);
        painter.drawPixmap(dialog.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    }
    combo->hidePopup();
    const QString path = g_folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!picture.save(path)) {
        std::fprintf(stderr, "qvl70s-screenshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// The port settings with the adapters of `adapterPorts`, the FTDI adapter saved.
void portSettingsScreenshots(qv::GuiContext& context, qv::ProfileStore& profile,
                             const std::string& root) {
    const std::vector<qv::PortEntry> ports = adapterPorts(root);
    const auto listPorts = context.listPorts;
    context.listPorts = [ports] { return ports; };
    const std::string saved = profile.read(qv::key::kComPort);
    profile.write(qv::key::kComPort, ports.back().name);
    {
        qv::CCommSettingDlg settings(context);
        save(settings, "port_settings");
        savePortList(settings, "port_settings_list");
    }
    profile.write(qv::key::kComPort, saved);
    context.listPorts = listPorts;
}

// The adapter pulled out while the instrument was connected: the main window and the connection
// dialog after the hang-up. The instrument sits behind a link named as its by-id link (the
// temporary home's path as long as /dev/serial/by-id) that the simulator moves to its new line,
// as udev does when the adapter is plugged in again; the settings are saved, so Connect would
// open it again.
void hangUpScreenshots(qv::GuiContext& context, qv::SharedState& state, qv::ProfileStore& profile,
                       const std::string& root) {
    qv::sim::Options options = qv::test::oneInstrument("53", "L70S-000001");
    options.linkPath = root + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    qv::test::SimInstrument pulled(options);
    const std::string saved = profile.read(qv::key::kComPort);
    profile.write(qv::key::kComPort, options.linkPath);
    for (auto [key, value] : {std::pair{qv::key::kBaudRate, "9600"},
                              {qv::key::kDataLength, "8 bits"},
                              {qv::key::kParity, "0 None"},
                              {qv::key::kStopBits, "1 bit"}})
        profile.write(key, value);
    state.commPort->open(options.linkPath);
    state.bConnected = true;
    const std::string line = pulled.port();
    pulled.control("hangup");
    for (int i = 0; i < 3000 && pulled.port() == line; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        qv::CBrenmoorDlg main(context, qv::TaskDialogs{[](QWidget*) {}, {}, {}});
        save(main, "main_window_hung_up");
        qv::CConnInstDlg connect(context);
        save(connect, "connect_instrument_hung_up");
    }
    profile.write(qv::key::kComPort, saved);
    state.commPort->open(saved);
    state.bConnected = true;
}

}  // namespace

int main(int argc, char** argv) {
    // A screen of 1366 x 768, the smallest the program is made for: windows open as there.
    const QString screen = QDir::temp().filePath(
        QStringLiteral("qvl70s-screen-%1.json").arg(QCoreApplication::applicationPid()));
    QFile config(screen);
    if (config.open(QIODevice::WriteOnly))
        config.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366,
                         "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(g_folder);

    qv::test::TempHome home;
    qv::test::VirtualClock clock;
    qv::test::ScriptedPrompter prompter;
    qv::test::SimInstrument sim("53", "L70S-000001");
    qv::QtProfileStore profile;
    qv::SharedState state(std::make_unique<qv::PosixSerialChannel>());
    const auto strings = qv::loadResourceStrings(QV_BIN_DIR "/VNBRMRes.rcc");
    if (!strings) return 1;
    state.version = qv::programVersion();
    profile.write(qv::key::kComPort, sim.port());
    state.commPort->open(sim.port());
    qv::AtomicFileStore files;
    qv::GuiActivity activity;
    qv::GuiContext context{
        {state, clock, prompter, profile, files, *strings, {}, nullptr, &activity},
        [] {
            return std::vector<qv::PortEntry>{"ttyS0", "ttyS1", "ttyUSB0"};
        },
        QV_BIN_DIR};

    {
        state.bAboutMode = false;
        qv::CSplashWnd* splash = qv::CSplashWnd::ShowSplashWnd(nullptr, context);
        save(*splash, "splash");
        delete splash;
        state.bAboutMode = true;
        qv::CSplashWnd* about = qv::CSplashWnd::ShowSplashWnd(nullptr, context);
        save(*about, "about");
        delete about;
    }
    {
        qv::CBrenmoorDlg main(context, qv::TaskDialogs{[](QWidget*) {}, {}, {}});
        save(main, "main_window_unconnected");
    }
    portSettingsScreenshots(context, profile, home.path());
    {
        qv::CConnInstDlg connect(context);
        save(connect, "connect_instrument");
    }
    state.bConnected = true;
    state.setInstrumentId("L70S-000001");
    {
        qv::CBrenmoorDlg main(context, qv::TaskDialogs{[](QWidget*) {}, {}, {}});
        save(main, "main_window_connected");
        qv::CCommSettingDlg locked(context);
        save(locked, "port_settings_connected");
    }
    hangUpScreenshots(context, state, profile, home.path());
    {
        qv::CThresholdDiffDlg thresholds(context);
        save(thresholds, "thresholds");
    }
    {
        // Twenty readings of a red tile, with a little noise, written into the temporary home.
        sim.control("set A:noise=0.04,specimen=red");
        const std::string folder = state.strDataFolder;
        state.strDataFolder = home.path() + "/Data";
        QDir().mkpath(QString::fromStdString(state.strDataFolder));
        qv::CExtendedRepeatabilityDlg extended(context);
        extended.findChild<QLineEdit*>(QStringLiteral("specimenEdit"))->setText("Red tile R-07");
        extended.show();
        extended.findChild<QPushButton*>(QStringLiteral("startButton"))->click();
        save(extended, "extended_repeatability");
        sim.control("set A:noise=0,specimen=white");
        state.strDataFolder = folder;
    }
    {
        qv::CReproducibleMeasurementDlg repeatability(context);
        save(repeatability, "repeatability");
        qv::CCalibrationDlg calibration(context);
        save(calibration, "calibration");
        qv::EvaluateHueControl colour(qv::KEY_VERSION1);
        qv::AverageSetup setup;
        setup.fromRepeatability = true;
        qv::CAverageMeasurementDlg average(context, colour, setup);
        save(average, "average_measurement");
    }
    {
        qv::EvaluateHueControl colour(qv::KEY_VERSION1);
        qv::CValidationDlg target(context, colour, qv::ValidationRole::Target);
        save(target, "validation_target");
        qv::CValidationDlg sample(context, colour, qv::ValidationRole::Sample);
        save(sample, "validation_sample");
    }
    interInstrumentScreenshots(context, state, clock);
    tileSetScreenshots(context, state, clock);
    {
        qv::EntryListWorker worker(*state.commPort);
        qv::CLoadCoeff loading(context, worker);
        save(loading, "coefficient_loading");
        qv::CDeleteCoeffDlg remove(context, 12, "LAB 1");
        save(remove, "coefficient_delete");
        qv::CCoeffReadWriteDlg file(context);
        save(file, "coefficient_file");
        qv::EvaluateHueControl colour(qv::KEY_VERSION1);
        qv::CDataRegUsingFileDlg registration(context, colour);
        save(registration, "registration_file");
    }
    const struct {
        bool repeat;
        bool passed;
        double value;
        const char* name;
    } verdicts[] = {{true, true, 0.1234, "verdict_repeatability_passed"},
                    {true, false, 0.2611, "verdict_repeatability_failed"},
                    {false, true, 0.4567, "verdict_inter_instrument_passed"},
                    {false, false, 0.8123, "verdict_inter_instrument_failed"}};
    for (const auto& v : verdicts) {
        state.repeatPassed = v.passed;
        state.repeatMaxDeltaE = v.value;
        qv::CInstrStabilityDlg verdict(context);
        verdict.prepare(v.repeat, {v.passed, v.value, std::nullopt});
        save(verdict, v.name);
    }
    {
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(strings->text(111)),
                        QString::fromStdString(strings->text(176) + "0.25"), QMessageBox::Ok);
        save(box, "message_threshold_refused");
        QMessageBox question(QMessageBox::Question, QString::fromStdString(strings->text(111)),
                             QString::fromStdString(strings->text(121)), QMessageBox::Ok);
        question.setIcon(QMessageBox::Warning);
        save(question, "message_not_identified");
        QMessageBox noPermission(QMessageBox::Critical, QString::fromStdString(strings->text(111)),
                                 QString::fromStdString(strings->text(223)), QMessageBox::Ok);
        save(noPermission, "message_port_no_permission");
        QMessageBox busy(
            QMessageBox::Critical, QString::fromStdString(strings->text(111)),
            QString::fromStdString(strings->text(224) + "\nIn use by: minicom (process 4242)"),
            QMessageBox::Ok);
        save(busy, "message_port_busy");
        // The entries: the question before an entry is overwritten, a write that stopped part
        // way, a deletion the instrument did not confirm.
        qv::Message overwrite =
            qv::messageBox(qv::kStrOverwriteEntry, qv::Icon::Information, qv::Buttons::YesNo);
        overwrite.detail =
            "entry 004 holds \"LAB 1\" (written 06.12.2026 05:28:35 for L70S-200002). The new "
            "entry is about to be written on instrument L70S-200002 (type 53).";
        qv::Message unread = overwrite;
        unread.detail =
            "the state of entry 4 could not be read: no reply to UCR,1. The new entry is about "
            "to be written on instrument L70S-200002 (type 53).";
        qv::Message incomplete = qv::messageBox(qv::kStrEntryIncomplete, qv::Icon::Stop);
        incomplete.suffix = " 45\xC2\xB0 on. Write the entry again, or delete it.";
        incomplete.detail = "no reply to UCS,3";
        qv::Message unconfirmed = qv::messageBox(qv::kStrDeletionUnconfirmed, qv::Icon::Warning);
        unconfirmed.detail = "unrecognised reply to USD \"ER02\"";
        // What a new entry's factors stand on, as the write asks it before it goes out, and the
        // refusal when the factors of that entry are not known.
        const std::string held =
            "The instrument holds:\n  entry 003 \"SILVER\" (06.12.2026 05:28:35, L70S-200002, "
            "written by this program)\n  entry 011 \"LAB 2\" (02.11.2026 09:14:02, L70S-200002, "
            "not written by this program)";
        qv::Message which =
            qv::messageBox(qv::kStrWhichEntryApplies, qv::Icon::Question, qv::Buttons::OkCancel);
        which.suffix = " L70S-200002.";
        which.detail = "The verification of 06.12.2026 05:31 found that entry 003 applies.";
        qv::ChoiceDialog choice(
            which,
            {"none: the readings passed through no entry",
             "entry 003 \"SILVER\" (06.12.2026 05:28:35, L70S-200002, written by this program)",
             "entry 011 \"LAB 2\" (02.11.2026 09:14:02, L70S-200002, not written by this program)",
             "I do not know"},
            *strings);
        save(choice, "choice_entry_basis");
        qv::Message unknown = qv::messageBox(qv::kStrBasisNotKnown, qv::Icon::Stop);
        unknown.suffix =
            " entry 011 was not written by this program (or its write is not in this logbook): "
            "its factors are not known. Have the instrument apply no entry (choose none on the "
            "instrument, or delete its entries), measure the specimen again, and say that the "
            "readings passed through no entry.";
        unknown.detail = held;
        qv::Message ignored =
            qv::messageBox(qv::kStrEntriesIgnored, qv::Icon::Question, qv::Buttons::YesNo);
        ignored.detail =
            "The verification of 06.12.2026 05:31 found that entry 003 does not "
            "apply (the readings did not change).\n" +
            held;
        const std::pair<const qv::Message*, const char*> boxes[] = {
            {&unknown, "message_entry_basis_unknown"},
            {&ignored, "message_entries_ignored"},
            {&overwrite, "message_overwrite_entry"},
            {&unread, "message_overwrite_unread_entry"},
            {&incomplete, "message_entry_incomplete"},
            {&unconfirmed, "message_deletion_unconfirmed"}};
        for (const auto& [message, name] : boxes) {
            QMessageBox shown;
            qv::composeMessageBox(shown, *message, *strings);
            save(shown, name);
        }
    }
    certificateScreenshots();
    historyScreenshots(context, home.path());
    profilesScreenshot(context, home.path());
    fleetScreenshots(context, home.path());
    checkTileScreenshots(context, home.path());
    logbookLocationScreenshot(context);
    guideScreenshots();
    QFile::remove(screen);
    return g_failures == 0 ? 0 : 1;
}
