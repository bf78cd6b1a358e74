#pragma once

#include <QObject>
#include <QTimer>

#include "core/app/serial_channel.h"

namespace qv {

struct GuiContext;

// Looks at the idle line a few times a second, so that an adapter pulled while nobody talks is
// reported at once rather than at the next exchange or click, and a cable pulled from an
// adapter that stays once the lines the instrument raised drop. The look only polls the line
// and asks for its modem lines, never sends: it is skipped while an exchange runs on this
// thread or a worker holds the port, since the exchange itself notices a hang-up there.
class PortWatch : public QObject {
    Q_OBJECT
public:
    explicit PortWatch(GuiContext& context, QObject* parent = nullptr);

    // For as long as a worker thread talks on the port: no look from this thread meanwhile.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
    };

signals:
    // The port's state or the connection changed since the last look.
    void portChanged();

private:
    void look();

    GuiContext& context_;
    QTimer timer_;
    PortState state_;
    bool connected_;
};

}  // namespace qv
