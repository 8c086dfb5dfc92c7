#pragma once

#include "platform/PointerMonitor.h"

#include <memory>

class QSocketNotifier;
struct _XDisplay;

namespace orv {

// Raw button presses from the X server (XInput 2), on a connection of its own watched by the event
// loop: they arrive whoever holds a grab, and selecting them takes nothing from other clients.
class X11PointerMonitor : public PointerMonitor {
    Q_OBJECT

public:
    explicit X11PointerMonitor(QObject* parent = nullptr);
    ~X11PointerMonitor() override;

    void start() override;
    void stop() override;

private:
    void select(bool presses);
    void drain();

    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };
    std::unique_ptr<_XDisplay, DisplayCloser> m_display;
    int m_opcode = 0;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace orv
