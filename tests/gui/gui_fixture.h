#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/app/shared_state.h"
#include "core/app/string_table_text.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"
#include "platform/app/atomic_file_store.h"
#include "platform/app/qt_profile_store.h"
#include "platform/app/resource_file.h"
#include "platform/link/posix_serial_channel.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/virtual_clock.h"

namespace qv::test {

// The desktop program's seams for one test: a temporary home with real settings, the real
// serial channel, the program's own string table and pictures, a virtual clock and scripted
// message boxes.
struct GuiFixture : ::testing::Test {
    TempHome home;
    VirtualClock clock;
    ScriptedPrompter prompter;
    QtProfileStore profile;
    SharedState state{std::make_unique<PosixSerialChannel>()};
    std::unique_ptr<ResourceStringTable> strings = loadResourceStrings(QV_BIN_DIR "/VNBRMRes.rcc");
    std::vector<PortEntry> ports;
    AtomicFileStore files;
    GuiActivity activity;
    GuiContext context{{state, clock, prompter, profile, files, *strings, {}, nullptr, &activity},
                       [this] { return ports; },
                       QV_BIN_DIR};
};

// Runs `action` on the first modal dialog that is `wanted`, from inside its modal loop. Gives
// up (and fails the test) after `timeoutMs`.
class ModalWatcher : public QObject {
public:
    ModalWatcher(std::function<bool(QWidget*)> wanted, std::function<void(QWidget*)> action,
                 int timeoutMs)
        : wanted_(std::move(wanted)), action_(std::move(action)), timeoutMs_(timeoutMs) {
        elapsed_.start();
        connect(&timer_, &QTimer::timeout, this, &ModalWatcher::poll);
        timer_.start(5);
    }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && wanted_(modal)) {
            timer_.stop();
            deleteLater();
            action_(modal);
        } else if (elapsed_.elapsed() > timeoutMs_) {
            timer_.stop();
            deleteLater();
            ADD_FAILURE() << "no modal dialog opened";
        }
    }

    std::function<bool(QWidget*)> wanted_;
    std::function<void(QWidget*)> action_;
    int timeoutMs_;
    QElapsedTimer elapsed_;
    QTimer timer_;
};

// Runs `action` on the next modal dialog other than `parent` that opens.
inline void onNextModal(std::function<void(QWidget*)> action, QWidget* parent = nullptr,
                        int timeoutMs = 3000) {
    new ModalWatcher([parent](QWidget* modal) { return modal != parent; }, std::move(action),
                     timeoutMs);
}

// Runs `action` on the next modal dialog of type T once it is the modal one: a window it opens
// first (the entry list's loading window, which may come and go quicker than a poll) is passed
// over rather than taken for it.
template <class T>
void onModalOf(std::function<void(QWidget*)> action, int timeoutMs = 10000) {
    new ModalWatcher([](QWidget* modal) { return dynamic_cast<T*>(modal) != nullptr; },
                     std::move(action), timeoutMs);
}

// Whether every pixel of the box (in millimetres) of a painted page is white.
inline bool blank(const QImage& page, double x, double y, double w, double h, int dpi) {
    const auto px = [dpi](double mm) { return static_cast<int>(mm * dpi / 25.4); };
    for (int j = px(y); j < px(y + h); ++j)
        for (int i = px(x); i < px(x + w); ++i)
            if (page.pixel(i, j) != qRgb(255, 255, 255)) return false;
    return true;
}

}  // namespace qv::test
