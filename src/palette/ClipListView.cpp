#include "palette/ClipListView.h"

#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionMenuItem>

namespace orv {

ClipListView::ClipListView(AppModel& model, ClipListModel& rows, QWidget* parent)
    : QListView(parent),
      pointerLocation([] { return QCursor::pos(); }),
      m_model(model),
      m_rows(rows) {
    setModel(&rows);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setSpacing(1);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    // Rows share one height, so laying out tens of thousands of them measures none.
    setUniformItemSizes(true);
    setViewportMargins(6, 6, 6, 6);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    // The rows under the pointer change without the pointer moving: what the model holds as
    // hovered must follow, or the delete shortcut acts on a row the user no longer points at.
    connect(&rows, &QAbstractItemModel::modelReset, this, &ClipListView::refreshHover);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ClipListView::refreshHover);
    connect(&rows, &QAbstractItemModel::modelReset, this, &ClipListView::mirrorSelection);
    connect(&model, &AppModel::selectedIDChanged, this, &ClipListView::mirrorSelection);
}

void ClipListView::mirrorSelection() {
    const auto selected = m_model.selectedID();
    const auto position = selected ? m_rows.positionOf(*selected) : std::nullopt;
    const QModelIndex index = position ? m_rows.index(*position) : QModelIndex();
    const QModelIndex before = selectionModel()->currentIndex();
    if (index == before && selectionModel()->isSelected(index) == index.isValid()) {
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessible::State changed;
    changed.selected = true;
    for (const QModelIndex& row : {before, index}) {
        if (row.isValid() && row.row() < m_rows.rowCount()) {
            QAccessibleStateChangeEvent event(this, changed);
            event.setChild(row.row());
            QAccessible::updateAccessibility(&event);
        }
    }
}

void ClipListView::openSelectionMenu() {
    const auto selected = m_model.selectedID();
    const auto position = selected ? m_rows.positionOf(*selected) : std::nullopt;
    if (!position) {
        return;
    }
    const QRect rect = visualRect(m_rows.index(*position));
    QContextMenuEvent event(QContextMenuEvent::Keyboard, rect.center(),
                            viewport()->mapToGlobal(rect.bottomLeft()));
    contextMenuEvent(&event);
}

void ClipListView::refreshHover() {
    if (!isVisible()) {
        hoverAt(QPoint(-1, -1));
        return;
    }
    executeDelayedItemsLayout();
    const QPoint pointer = pointerLocation();
    // Another window over the list (an alert, another application) hides the rows beneath it.
    const QWidget* under = QApplication::widgetAt(pointer);
    const bool onList = under == viewport() || viewport()->isAncestorOf(under);
    hoverAt(onList ? viewport()->mapFromGlobal(pointer) : QPoint(-1, -1));
}

int ClipListView::rowsPerPage() const {
    const int rowHeight =
        m_rows.rowCount() > 0 ? rectForIndex(m_rows.index(0)).height() + 2 * spacing() : 0;
    return rowHeight > 0 ? std::max(1, viewport()->height() / rowHeight) : 1;
}

void ClipListView::scrollToSelection() {
    const auto selected = m_model.selectedID();
    if (!selected) {
        return;
    }
    if (const auto position = m_rows.positionOf(*selected)) {
        scrollTo(m_rows.index(*position), QAbstractItemView::PositionAtCenter);
    }
}

void ClipListView::hoverAt(const QPoint& position) {
    const QModelIndex index =
        viewport()->rect().contains(position) ? indexAt(position) : QModelIndex();
    std::optional<Clip> row;
    std::optional<Clip> leading;
    if (index.isValid()) {
        const ClipRowView::Row arguments = m_rows.row(index.row());
        row = arguments.clip;
        if (ClipRowView::leadingRect(visualRect(index), arguments).contains(position)) {
            leading = arguments.clip;
        }
    }
    const auto sameClip = [](const std::optional<Clip>& a, const std::optional<Clip>& b) {
        return a.has_value() == b.has_value() && (!a || a->id == b->id);
    };
    if (!sameClip(m_hoveredLeading, leading)) {
        if (m_hoveredLeading) {
            m_model.endHover(*m_hoveredLeading);
        }
        m_hoveredLeading = leading;
        if (leading) {
            m_model.schedulePreview(*leading);
        }
    }
    if (!sameClip(m_hoveredRow, row)) {
        if (m_hoveredRow) {
            m_model.setRowHover(*m_hoveredRow, false);
        }
        m_hoveredRow = row;
        if (row) {
            m_model.setRowHover(*row, true);
        }
    }
}

void ClipListView::mouseMoveEvent(QMouseEvent* event) {
    hoverAt(event->position().toPoint());
    QListView::mouseMoveEvent(event);
}

void ClipListView::leaveEvent(QEvent* event) {
    hoverAt(QPoint(-1, -1));
    QListView::leaveEvent(event);
}

void ClipListView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    refreshHover();
}

// Hidden with the palette or behind the empty state: the pointer is over no row of it any more.
void ClipListView::hideEvent(QHideEvent* event) {
    hoverAt(QPoint(-1, -1));
    QListView::hideEvent(event);
}

void ClipListView::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid()) {
        m_model.copy(m_rows.clipAt(index.row()));
    }
    QListView::mouseReleaseEvent(event);
}

void ClipListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid()) {
        return;
    }
    const Clip clip = m_rows.clipAt(index.row());
    QMenu menu(this);
    fillContextMenu(menu, clip);
    menu.exec(event->globalPos());
}

void ClipListView::fillContextMenu(QMenu& menu, const Clip& clip) {
    const QStringList titles = ClipRowView::contextMenuTitles(clip);
    menu.addAction(titles[0], this, [this, clip] { m_model.copy(clip); });
    menu.addAction(titles[1], this, [this, clip] { m_model.togglePin(clip); });
    menu.addSeparator();
    QAction* remove = menu.addAction(titles[2], this, [this, clip] { m_model.deleteClip(clip); });
    remove->setIcon(SymbolIcon::icon(QStringLiteral("trash"), InterfaceStyle::destructive()));
    // The menu holds its style weakly, so one owned by the menu may go first.
    auto* style = new DestructiveItemStyle(remove->text());
    style->setParent(&menu);
    menu.setStyle(style);
}

DestructiveItemStyle::DestructiveItemStyle(const QString& text) : m_text(text) {}

// The destructive item reads red, except while highlighted, where the highlight's own text colour
// keeps it legible.
void DestructiveItemStyle::drawControl(ControlElement element, const QStyleOption* option,
                                       QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || item == nullptr || item->text != m_text ||
        item->state.testFlag(State_Selected)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionMenuItem red(*item);
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
        red.palette.setColor(role, InterfaceStyle::destructive());
    }
    QProxyStyle::drawControl(element, &red, painter, widget);
}

}  // namespace orv
