#pragma once

#include "model/AppModel.h"
#include "palette/ClipListModel.h"

#include <QListView>
#include <QProxyStyle>

#include <functional>

class QMenu;

namespace orv {

// Draws one menu item, the one that destroys something, in red.
class DestructiveItemStyle : public QProxyStyle {
public:
    explicit DestructiveItemStyle(const QString& text);
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;

private:
    QString m_text;
};

// The palette's list: rows report clicks, their context menu, and two kinds of hover (over the
// whole row, and over the leading picture that opens the preview) to the model.
class ClipListView : public QListView {
    Q_OBJECT

public:
    ClipListView(AppModel& model, ClipListModel& rows, QWidget* parent = nullptr);

    // Scrolls the selected clip to the vertical centre.
    void scrollToSelection();
    // The selection lives in the model; the view's own follows it, for assistive technology,
    // which reads a row's selected and focused states there and hears of each move.
    void mirrorSelection();
    // The selected row's menu, below the row (Shift+F10, the Menu key).
    void openSelectionMenu();
    // Rows a page holds, for PageUp and PageDown.
    int rowsPerPage() const;

    // Re-reads what is under the pointer now: after a reset, a scroll, a show.
    void refreshHover();
    // The pointer in screen coordinates; the real one unless a test sets it.
    std::function<QPoint()> pointerLocation;

    // A row's menu: "Copiar y pegar", "Fijar" or "Desfijar", then "Eliminar".
    void fillContextMenu(QMenu& menu, const Clip& clip);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // `position` in viewport coordinates; outside the viewport means over no row.
    void hoverAt(const QPoint& position);

    AppModel& m_model;
    ClipListModel& m_rows;
    std::optional<Clip> m_hoveredRow;
    std::optional<Clip> m_hoveredLeading;
};

}  // namespace orv
