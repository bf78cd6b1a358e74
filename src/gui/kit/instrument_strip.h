#pragma once

#include <QFrame>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "core/app/activity.h"
#include "gui/kit/gui_clock.h"

class QAbstractButton;
class QBoxLayout;
class QLabel;

namespace qv {

struct GuiContext;

// The desktop's Activity: remembers which instrument identified itself last and the step of
// the running exchange, and signals both to whichever dialog shows them.
class GuiActivity : public QObject, public Activity {
    Q_OBJECT
public:
    void identified(const std::string& serial, const std::string& typeCode) override;
    void step(const std::string& what) override;

    // "L70S-000042, type 53"; empty before any instrument identified itself.
    const QString& instrument() const { return instrument_; }
    const QString& currentStep() const { return step_; }

signals:
    void instrumentChanged(const QString& instrument);
    void stepChanged(const QString& step);
    // The port hung up or the connection ended while the line was idle (PortWatch).
    void portChanged();

private:
    QString instrument_;
    QString step_;
};

// The line at the foot of a dialog that measures or writes: the instrument it is talking to,
// from the identification it just made, and what the exchange is doing now.
class InstrumentStrip : public QFrame {
    Q_OBJECT
public:
    InstrumentStrip(GuiContext& context, QWidget* parent);
    QString instrumentText() const;
    QString stepText() const;

private:
    void showInstrument(const QString& instrument);
    QLabel* instrument_;
    QLabel* step_;
};

// Puts an instrument strip into `layout` at `index` (-1: at its end).
InstrumentStrip* addInstrumentStrip(GuiContext& context, QBoxLayout* layout, int index = -1);

// For as long as an exchange runs: the busy cursor, and every enabled button of the dialog
// disabled. The clock throws input away during an exchange, so a button that looked alive
// (Cancel above all) would lie; the buttons come back as they were.
class ExchangeGuard {
public:
    explicit ExchangeGuard(QWidget& dialog);
    ~ExchangeGuard();
    ExchangeGuard(const ExchangeGuard&) = delete;
    ExchangeGuard& operator=(const ExchangeGuard&) = delete;

private:
    BusyCursor busy_;
    std::vector<QPointer<QAbstractButton>> disabled_;
};

}  // namespace qv
