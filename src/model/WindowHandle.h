#pragma once

#include <QObject>
#include <QRect>

namespace orv {

// What the model needs to know of the palette's window. A QObject so that the model holds it
// weakly: once the window is gone the model sees none.
class WindowHandle : public QObject {
public:
    using QObject::QObject;
    virtual bool isVisible() const = 0;
    // In screen coordinates.
    virtual QRect frame() const = 0;
};

}  // namespace orv
