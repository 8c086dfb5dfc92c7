#include "palette/ClipListView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

ClipListView::ClipListView(AppModel& model, ClipListModel& rows, QWidget* parent)
    : QListView(parent), m_model(model), m_rows(rows) {
    setModel(&rows);
    setMouseTracking(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setSpacing(1);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setLayoutMode(QListView::Batched);
    setBatchSize(200);
    setViewportMargins(6, 6, 6, 6);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    // A reset forgets what was under the pointer.
    connect(&rows, &QAbstractItemModel::modelReset, this, [this] {
        m_hoveredRow.reset();
        m_hoveredLeading.reset();
    });
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
    const QModelIndex index = indexAt(position);
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
    const QStringList titles = ClipRowView::contextMenuTitles(clip);
    QMenu menu(this);
    menu.addAction(titles[0], this, [this, clip] { m_model.copy(clip); });
    menu.addAction(titles[1], this, [this, clip] { m_model.togglePin(clip); });
    menu.addSeparator();
    menu.addAction(titles[2], this, [this, clip] { m_model.deleteClip(clip); });
    menu.exec(event->globalPos());
}
