#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QWindow>

#include "gui/app/brenmoor_dlg.h"
#include "gui/help/help_topics.h"
#include "gui/help/help_wnd.h"
#include "gui/help/operator_guide.h"
#include "gui/measure/reproducible_measurement_dlg.h"
#include "gui/verdict/instr_stability_dlg.h"
#include "gui_fixture.h"

namespace qv {
namespace {

// The guide as it is checked in, and as the programs in the build folder find it.
const char* const kGuideFolders[] = {QV_SOURCE_DIR "/resources/guide", QV_BIN_DIR "/guide"};

QString readPage(const QDir& guide, const QString& page) {
    QFile file(guide.filePath(page));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList captures(const QString& html, const char* pattern) {
    QStringList found;
    for (auto m = QRegularExpression(QLatin1String(pattern)).globalMatch(html); m.hasNext();)
        found << m.next().captured(1);
    return found;
}

bool hasAnchor(const QDir& guide, const QString& page, const QString& anchor) {
    return captures(readPage(guide, page), "(?:id|name)=\"([^\"]+)\"").contains(anchor);
}

// Every link and picture of every page leads to a file of the guide (and an anchor in it); no
// picture lies there unshown.
TEST(Guide, EveryLinkAndPictureResolves) {
    for (const char* folder : kGuideFolders) {
        const QDir guide{QString::fromLatin1(folder)};
        QStringList shown;
        for (const char* page : kGuidePages) {
            const QString name = QLatin1String(page);
            const QString html = readPage(guide, name);
            ASSERT_FALSE(html.isEmpty()) << folder << "/" << page;
            for (const QString& link : captures(html, "href=\"([^\"]*)\"")) {
                const QString file = link.section(QLatin1Char('#'), 0, 0);
                const QString anchor = link.section(QLatin1Char('#'), 1);
                const QString target = file.isEmpty() ? name : file;
                EXPECT_TRUE(guide.exists(target)) << page << " links to " << qPrintable(link);
                if (!anchor.isEmpty()) {
                    EXPECT_TRUE(hasAnchor(guide, target, anchor))
                        << page << " links to " << qPrintable(link);
                }
            }
            for (const QString& picture : captures(html, "src=\"([^\"]*)\"")) {
                EXPECT_TRUE(guide.exists(picture)) << page << " shows " << qPrintable(picture);
                shown << picture;
            }
        }
        for (const QString& picture : QDir(guide.filePath("images")).entryList(QDir::Files))
            EXPECT_TRUE(shown.contains("images/" + picture))
                << "no page shows " << qPrintable(picture);
    }
}

TEST(Guide, EveryWindowsTopicIsAPlaceInTheGuide) {
    const QDir guide{QString::fromLatin1(kGuideFolders[0])};
    for (const HelpTopic& t : helpTopics()) {
        ASSERT_TRUE(guide.exists(t.page)) << t.window << " -> " << t.page;
        if (*t.anchor) {
            EXPECT_TRUE(hasAnchor(guide, t.page, t.anchor)) << t.window << " -> " << t.anchor;
        }
    }
}

struct GuideWindows : test::GuiFixture {
    GuideWindows() { guide.installF1(); }

    // The page the help window shows, with its anchor.
    QString shown() const {
        if (!guide.window() || !guide.window()->isVisible()) return {};
        const QUrl url = guide.window()->source();
        return QFileInfo(url.toLocalFile()).fileName() +
               (url.hasFragment() ? "#" + url.fragment() : QString());
    }
    int scrolled() const { return guide.window()->browser()->verticalScrollBar()->value(); }

    OperatorGuide guide{guideFolder(QV_BIN_DIR)};
};

TEST_F(GuideWindows, F1OpensThePageOfTheWindowItIsPressedIn) {
    CReproducibleMeasurementDlg repeatability(context);
    repeatability.show();
    QTest::keyClick(&repeatability, Qt::Key_F1);
    EXPECT_EQ(shown(), "repeatability.html");

    // The verdict window serves two roads: the one it was opened from decides, at its anchor.
    CInstrStabilityDlg verdict(context, &repeatability);
    verdict.prepare(true, {});
    verdict.show();
    QTest::keyClick(&verdict, Qt::Key_F1);
    EXPECT_EQ(shown(), "repeatability.html#verdict");
    EXPECT_GT(scrolled(), 0);

    QDialog unknown;
    unknown.show();
    QTest::keyClick(&unknown, Qt::Key_F1);
    EXPECT_EQ(shown(), "index.html");
}

TEST_F(GuideWindows, MainWindowF1AndMenuOpenTheIndexAndAboutKeepsItsPlace) {
    TaskDialogs tasks;
    tasks.guide = [this](QWidget* from) { guide.showContents(from); };
    CBrenmoorDlg main(context, tasks);
    main.show();
    QTest::keyClick(&main, Qt::Key_F1);
    EXPECT_EQ(shown(), "index.html");
    EXPECT_TRUE(main.aboutAction()->shortcut().isEmpty());  // F1 is the guide's

    guide.window()->showPage("tile-set.html");
    main.guideAction()->trigger();
    EXPECT_EQ(shown(), "index.html");
    EXPECT_FALSE(CBrenmoorDlg(context, TaskDialogs{}).guideAction()->isEnabled());
}

// Opened from inside a modal dialog, the help window still takes input, and goes on taking it
// once that dialog is gone and the main window is in front again.
TEST_F(GuideWindows, TheHelpWindowIsNotBlockedByTheDialogInFront) {
    struct Keys : QObject {
        int pressed = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) ++pressed;
            return false;
        }
    } keys;
    QDialog main;
    test::onNextModal([&](QWidget*) {
        {
            QDialog inner(&main);
            test::onNextModal(
                [&](QWidget* modal) {
                    QTest::keyClick(modal, Qt::Key_F1);
                    guide.window()->browser()->installEventFilter(&keys);
                    guide.window()->browser()->setFocus();
                    QTest::keyClick(guide.window()->windowHandle(), Qt::Key_Down);
                    EXPECT_EQ(keys.pressed, 1);
                    inner.reject();
                },
                &main);
            inner.exec();
        }
        QCoreApplication::processEvents();
        QTest::keyClick(guide.window()->windowHandle(), Qt::Key_Down);
        EXPECT_EQ(keys.pressed, 2);
        main.reject();
    });
    main.exec();
}

TEST(GuideMissing, SaysWhereItLooked) {
    OperatorGuide guide("/nonexistent/qvl70s/guide");
    guide.showContents(nullptr);
    ASSERT_TRUE(guide.window());
    EXPECT_TRUE(guide.window()->source().isEmpty());
    EXPECT_TRUE(
        guide.window()->browser()->toPlainText().contains("/nonexistent/qvl70s/guide/index.html"));
    guide.showPageOf(nullptr);  // F1 as well: the same text, nothing worse
    EXPECT_TRUE(guide.window()->browser()->toPlainText().contains("not installed"));
}

}  // namespace
}  // namespace qv
