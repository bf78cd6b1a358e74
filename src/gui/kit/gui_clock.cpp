#include "gui/kit/gui_clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QThread>
#include <algorithm>
#include <stdexcept>

#include "core/app/serial_channel.h"

namespace qv {

namespace {
// How often windows are repainted while waiting.
constexpr std::uint32_t kPumpSliceMs = 15;

// Swallows user input while an exchange waits: deferring it would replay a click on a
// button once the wait is over.
class InputBlocker : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::ContextMenu:
                return true;
            case QEvent::Close:
                return event->spontaneous();  // the window's close box
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Pumping the event loop belongs to the user-interface thread alone; a worker that was handed
// this clock by mistake is stopped here rather than left to run the loop off its thread.
void requireGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() != app->thread())
        throw std::logic_error("GuiClock used off the user-interface thread");
}

int waits = 0;

// Counts a pause or a wait of the clock for as long as it lasts.
struct Waiting {
    Waiting() { ++waits; }
    ~Waiting() { --waits; }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;
};

void pumpEvents() {
    if (!QCoreApplication::instance()) return;
    InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(&blocker);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(&blocker);
}
}  // namespace

bool GuiClock::waiting() {
    return waits > 0;
}

void GuiClock::sleepMs(std::uint32_t ms) {
    requireGuiThread();
    const Waiting counted;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        pumpEvents();
        const auto elapsed = static_cast<std::uint32_t>(timer.elapsed());
        if (elapsed >= ms) return;
        SystemClock::sleepMs(std::min(kPumpSliceMs, ms - elapsed));
    }
}

bool GuiClock::waitForInput(ByteSource& source, std::uint32_t ms) {
    requireGuiThread();
    const Waiting counted;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        pumpEvents();
        const auto elapsed = static_cast<std::uint32_t>(timer.elapsed());
        if (elapsed >= ms) return source.pollInput(0);
        if (source.pollInput(std::min(kPumpSliceMs, ms - elapsed))) return true;
    }
}

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace qv
