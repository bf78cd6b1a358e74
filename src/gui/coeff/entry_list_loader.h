#pragma once

#include <QDialog>
#include <QThread>
#include <atomic>
#include <functional>

#include "core/coeff/entry_exchanges.h"

class QLabel;

namespace qv {

struct GuiContext;

// The entry list read on a thread of its own, with the system clock, while the loading window
// waits on the user-interface thread. Rows come back through queued signals; the stop request
// is a flag the worker looks at before each entry.
class EntryListWorker : public QThread {
    Q_OBJECT
public:
    EntryListWorker(SerialChannel& port, QObject* parent = nullptr)
        : QThread(parent), port_(port) {}
    void requestStop() { stop_.store(true); }
    bool stopRequested() const { return stop_.load(); }
    // Read once the thread has finished.
    const LinkError& error() const { return error_; }

signals:
    void rowRead(int entry, QString number, QString comment, QString unreadable, QString timeStamp,
                 QString serial);

protected:
    void run() override;

private:
    SerialChannel& port_;
    std::atomic<bool> stop_{false};
    LinkError error_;
};

// The small window shown while the entries are read. It has no close box; Escape and its
// button only ask the worker to stop, and it ends when the worker is done.
class CLoadCoeff : public QDialog {
    Q_OBJECT
public:
    CLoadCoeff(GuiContext& context, EntryListWorker& worker, QWidget* parent = nullptr);
    void reject() override;

private:
    EntryListWorker& worker_;
    QLabel* status_ = nullptr;
};

}  // namespace qv
