#pragma once

#include "model/AppModel.h"
#include "model/WindowHandle.h"

#include <QPixmap>
#include <QWidget>

namespace orv {

class PaletteView;

// The palette's window: frameless, rounded, kept above other windows.
class PaletteWindow : public QWidget {
    Q_OBJECT

public:
    explicit PaletteWindow(AppModel& model);
    PaletteView* view() const { return m_view; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    PaletteView* m_view;
    bool m_translucent;
    // The rounded background, drawn once per size and palette: every child that repaints has the
    // window paint beneath it, and a rounded path over the whole window costs far more than a
    // copy of the part shown.
    QPixmap m_background;
};

// The model's handle on the palette window; it goes with the window.
class PaletteWindowHandle : public WindowHandle {
public:
    explicit PaletteWindowHandle(QWidget* window) : WindowHandle(window), m_window(window) {}
    bool isVisible() const override { return m_window->isVisible(); }
    QRect frame() const override { return m_window->frameGeometry(); }

private:
    QWidget* m_window;
};

}  // namespace orv
