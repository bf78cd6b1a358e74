#pragma once

// The history and profiles windows read their logbook off their own thread: a test lets the
// answers arrive before it looks (at most ten seconds, the longest a server's reads may take).
#include <QCoreApplication>
#include <QElapsedTimer>

#include "gui/log/history_dlg.h"

namespace qv::test {

template <class Dialog>
inline bool readThrough(const Dialog& dialog) {
    QElapsedTimer waited;
    waited.start();
    while (dialog.reading() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return !dialog.reading();
}

// Until `done` holds, at most ten seconds: an answer a window asked its logbook for.
template <class Done>
inline bool waitUntil(const Done& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

}  // namespace qv::test
