#pragma once

// The history window reads its logbook off its own thread: a test lets the answers arrive
// before it looks (at most ten seconds, the longest a server's reads may take).
#include <QCoreApplication>
#include <QElapsedTimer>

#include "gui/log/history_dlg.h"

namespace qv::test {

inline bool readThrough(const CHistoryDlg& dialog) {
    QElapsedTimer waited;
    waited.start();
    while (dialog.reading() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return !dialog.reading();
}

}  // namespace qv::test
