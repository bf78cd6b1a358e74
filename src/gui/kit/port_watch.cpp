#include "gui/kit/port_watch.h"

#include <QApplication>

#include "core/link/connection_workflow.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/instrument_strip.h"

namespace qv {

namespace {
// A hang-up is reported within a second: a look every quarter of one leaves room for a busy
// event loop.
constexpr int kLookIntervalMs = 250;
int holds = 0;
}  // namespace

PortWatch::Hold::Hold() {
    ++holds;
}

PortWatch::Hold::~Hold() {
    --holds;
}

PortWatch::PortWatch(GuiContext& context, QObject* parent)
    : QObject(parent),
      context_(context),
      state_(context.state.commPort ? context.state.commPort->portState() : PortState::NotOpen),
      connected_(context.state.bConnected) {
    connect(&timer_, &QTimer::timeout, this, &PortWatch::look);
    timer_.start(kLookIntervalMs);
}

void PortWatch::look() {
    if (holds > 0 || GuiClock::waiting()) return;
    const PortState now = checkPort(context_.state).state;
    if (now == state_ && context_.state.bConnected == connected_) return;
    state_ = now;
    connected_ = context_.state.bConnected;
    emit portChanged();
    if (auto* activity = dynamic_cast<GuiActivity*>(context_.activity))
        emit activity->portChanged();
}

}  // namespace qv
