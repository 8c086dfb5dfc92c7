#pragma once

#include "model/PreviewPresenter.h"
#include "model/WindowHandle.h"

#include <QList>

namespace orv {

// A palette window the test shows and hides.
class FakeWindow : public WindowHandle {
public:
    bool isVisible() const override { return visible; }
    QRect frame() const override { return rect; }
    bool visible = true;
    QRect rect{500, 100, 420, 460};
};

// Records what the model asks of the preview panel.
class FakePreview : public PreviewPresenter {
public:
    void show(const Clip& clip, WindowHandle* beside) override {
        shown.append(clip.id);
        clips.append(clip);
        besides.append(beside);
        visible = true;
    }
    void hide() override {
        ++hides;
        visible = false;
    }
    bool isPanelVisible() const override { return visible; }
    QRect panelFrame() const override { return rect; }

    QList<qint64> shown;
    QList<Clip> clips;
    QList<WindowHandle*> besides;
    int hides = 0;
    bool visible = false;
    QRect rect{130, 100, 360, 320};
};

}  // namespace orv
