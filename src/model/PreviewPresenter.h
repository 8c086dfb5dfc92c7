#pragma once

#include "model/WindowHandle.h"
#include "store/Clip.h"

#include <QObject>
#include <QRect>

namespace orv {

// The floating preview beside the palette, as the model drives it.
class PreviewPresenter : public QObject {
public:
    using QObject::QObject;
    virtual void show(const Clip& clip, WindowHandle* beside) = 0;
    virtual void hide() = 0;
    virtual bool isPanelVisible() const = 0;
    // In screen coordinates.
    virtual QRect panelFrame() const = 0;
};

}  // namespace orv
