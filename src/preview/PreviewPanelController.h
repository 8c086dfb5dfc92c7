#pragma once

#include "model/PreviewPresenter.h"
#include "model/WindowHandle.h"
#include "store/Clip.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPropertyAnimation;

namespace orv {

class PreviewView;

// What the preview panel shows. Reports a change only when the clip really changed.
class PreviewState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    const std::optional<Clip>& clip() const { return m_clip; }
    void setClip(const std::optional<Clip>& clip);

signals:
    void clipChanged();

private:
    std::optional<Clip> m_clip;
};

// The floating window beside the palette. It never takes focus, so the palette keeps the keyboard
// while the pointer rests on the preview.
class PreviewPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize fixedSize{360, 320};
    static constexpr int cornerRadius = 12;

    explicit PreviewPanel(PreviewState& state);

    PreviewView* view() const { return m_view; }

signals:
    void pointerLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showState();

    PreviewState& m_state;
    PreviewView* m_view;
    // Without a compositor the window is drawn opaque and shaped by a mask instead.
    bool m_translucent;
};

// Shows a clip in the panel next to the palette window and fades the panel in and out. When to
// show and hide is the model's decision.
class PreviewPanelController : public PreviewPresenter {
    Q_OBJECT

public:
    static constexpr int gap = 8;
    static constexpr int fadeInMs = 120;
    static constexpr int fadeOutMs = 100;

    explicit PreviewPanelController(QObject* parent = nullptr);
    ~PreviewPanelController() override;

    void show(const Clip& clip, WindowHandle* beside) override;
    void hide() override;
    bool isPanelVisible() const override;
    QRect panelFrame() const override;

    QWidget* panel() const;
    const PreviewState& state() const { return m_state; }
    std::optional<Clip> shownClip() const { return m_state.clip(); }
    // Grows with every show and every hide that starts a fade-out; a fade-out completes only if
    // nothing came after it.
    int generation() const { return m_generation; }

    // The panel's top-left corner in screen coordinates: left of the palette, or right of it when
    // the left side lacks room, tops aligned, kept inside the visible frame.
    static QPoint origin(const QRect& paletteFrame, const QRect& visibleFrame);

signals:
    // The pointer left the panel.
    void mouseExited();

private:
    void fadeOutFinished();

    PreviewState m_state;
    std::unique_ptr<PreviewPanel> m_panel;
    // Children of the panel.
    QPropertyAnimation* m_fadeIn;
    QPropertyAnimation* m_fadeOut;
    int m_generation = 0;
    int m_fadeOutGeneration = 0;
};

}  // namespace orv
