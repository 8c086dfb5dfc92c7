#pragma once

#include <QObject>

namespace orv {

// Mouse presses anywhere on the desktop, in other applications' windows too, without taking the
// pointer from anyone. Reports only while started.
class PointerMonitor : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void start() = 0;
    virtual void stop() = 0;

signals:
    // A mouse button went down somewhere; where is the pointer's position now.
    void pressed();
};

}  // namespace orv
