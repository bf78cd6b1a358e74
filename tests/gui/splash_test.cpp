#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "core/app/dib.h"
#include "gui/app/splash_wnd.h"
#include "gui/kit/pictures.h"
#include "gui_fixture.h"

namespace qv {
namespace {

// A clock that notes what the splash looked like while start-up slept.
struct WatchingClock : test::VirtualClock {
    void sleepMs(std::uint32_t ms) override {
        CSplashWnd* s = CSplashWnd::current();
        visible = s && s->isVisible();
        if (s) {
            geometry = s->size();
            onTop = s->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            closeShown = s->findChild<QPushButton*>(QStringLiteral("closeButton"))->isVisible();
            version = s->findChild<QLabel*>(QStringLiteral("versionLabel"))->text();
            product = s->findChild<QLabel*>(QStringLiteral("productLabel"))->text();
            picture = s->findChild<DibView*>(QStringLiteral("pictureView"))->dib().drawWidth();
        }
        VirtualClock::sleepMs(ms);
    }
    bool visible = false, onTop = false, closeShown = true;
    QSize geometry;
    QString version, product;
    int picture = 0;
};

struct Splash : test::GuiFixture {};

TEST_F(Splash, StartUpSplashStaysOneSecondAboveOtherWindowsWithoutItsCloseButton) {
    WatchingClock watching;
    GuiContext c = context;
    GuiContext withClock{{c.state, watching, c.prompter, c.profile, c.files, c.strings, c.format},
                         c.listPorts,
                         c.programFolder};
    state.version = "1.2.3";
    state.bAboutMode = true;  // whatever it was: the start-up splash is no about window
    showStartupSplash(withClock);
    EXPECT_EQ(watching.sleeps(), std::vector<std::uint32_t>{1000});
    EXPECT_TRUE(watching.visible);
    EXPECT_TRUE(watching.onTop);
    EXPECT_FALSE(watching.closeShown);
    EXPECT_EQ(watching.geometry, QSize(480, CSplashWnd::layoutHeight() - 25));
    EXPECT_EQ(watching.version, QStringLiteral("Ver.1.2.3"));
    EXPECT_EQ(watching.product.toStdString(), strings->text(184));
    EXPECT_EQ(watching.picture, 480);     // the 476-pixel picture drawn four pixels wider
    EXPECT_FALSE(CSplashWnd::current());  // closed and gone
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(Splash, AboutWindowHasItsCloseButtonAndFullHeight) {
    state.bAboutMode = true;
    CSplashWnd* about = CSplashWnd::ShowSplashWnd(nullptr, context);
    ASSERT_TRUE(about);
    EXPECT_EQ(CSplashWnd::ShowSplashWnd(nullptr, context), about);
    auto* close = about->findChild<QPushButton*>(QStringLiteral("closeButton"));
    EXPECT_TRUE(close->isVisible());
    EXPECT_EQ(about->height(), CSplashWnd::layoutHeight());
    EXPECT_FALSE(about->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QPointer<CSplashWnd> alive(about);
    close->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_FALSE(CSplashWnd::current());
}

TEST_F(Splash, AMissingOrBrokenPictureIsReportedAndTheTextsStillShow) {
    const std::string folder = home.path() + "/program";
    std::filesystem::create_directories(folder);
    GuiContext c{{state, clock, prompter, profile, files, *strings, {}}, {}, folder};
    state.bAboutMode = true;
    CSplashWnd* about = CSplashWnd::ShowSplashWnd(nullptr, c);
    EXPECT_FALSE(about->findChild<QLabel*>(QStringLiteral("copyrightLabel"))->text().isEmpty());
    delete about;
    std::filesystem::copy_file(QV_BIN_DIR "/PIC/inf_icon.bmp", folder + "/Splash");
    std::filesystem::resize_file(folder + "/Splash", 100);  // rows cut short
    delete CSplashWnd::ShowSplashWnd(nullptr, c);
    ASSERT_EQ(prompter.ids(), (std::vector<int>{kStrBitmapUnreadable, kStrBitmapUnreadable}));
    EXPECT_EQ(prompter.asked[0].captionId, kCaptionApplicationName);
}

// Notes whether the splash was on the screen when a message was asked.
struct SplashWatchingPrompter : test::ScriptedPrompter {
    Answer ask(const Message& message) override {
        const CSplashWnd* s = CSplashWnd::current();
        splashShown.push_back(s && s->isVisible());
        return ScriptedPrompter::ask(message);
    }
    std::vector<bool> splashShown;
};

TEST_F(Splash, ARefusedPictureIsReportedBeforeTheTopmostSplashCoversTheMessage) {
    const std::string folder = home.path() + "/program";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Splash") << "not a bitmap at all";
    SplashWatchingPrompter watching;
    GuiContext c{{state, clock, watching, profile, files, *strings, {}}, {}, folder};
    showStartupSplash(c);
    EXPECT_EQ(watching.ids(), std::vector<int>{kStrNotABitmap});
    EXPECT_EQ(watching.splashShown, std::vector<bool>{false});
    EXPECT_EQ(clock.sleeps(), std::vector<std::uint32_t>{1000});  // start-up goes on
}

TEST(Pictures, EveryPictureBesideTheProgramReadsAsABitmap) {
    for (const char* name : {"Splash", "PIC/inf_icon.bmp", "PIC/excl_icon.bmp", "PIC/RS417Zero.bmp",
                             "PIC/RS417White.bmp", "PIC/Measurement.bmp"}) {
        SCOPED_TRACE(name);
        test::ScriptedPrompter prompter;
        CDib dib;
        EXPECT_TRUE(readDibFile(std::string(QV_BIN_DIR "/") + name, dib, prompter));
        EXPECT_FALSE(loadPicture(QV_BIN_DIR, name, QSize(35, 35)).isNull());
    }
}

}  // namespace
}  // namespace qv
