#include "palette/ClipListModel.h"

#include "platform/xdg/ShortcutText.h"

#include <algorithm>

namespace orv {

ClipListModel::ClipListModel(AppModel& model, QObject* parent)
    : QAbstractListModel(parent), m_model(model) {
    connect(&model, &AppModel::clipsChanged, this, &ClipListModel::rebuild);
    connect(&model, &AppModel::filterChanged, this, &ClipListModel::rebuild);
    connect(&model, &AppModel::selectedIDChanged, this, &ClipListModel::selectionChanged);
    rebuild();
}

std::optional<QString> ClipListModel::shortcut(int index) {
    if (index < 0 || index > 4) {
        return std::nullopt;
    }
    return ShortcutText::of(Qt::CTRL | Qt::Key(Qt::Key_1 + index));
}

int ClipListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_visible.size());
}

ClipRowView::Row ClipListModel::row(int index) const {
    const Clip& clip = m_visible.at(index);
    const ClipListFilter& filter = m_model.filter();
    return ClipRowView::Row{clip,
                            m_model.selectedID() == clip.id,
                            filter == ClipListFilter::ofKind(ClipKind::color),
                            filter != ClipListFilter::pinned(),
                            shortcut(index),
                            false};
}

QVariant ClipListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_visible.size()) {
        return {};
    }
    switch (role) {
        case ClipRowView::rowRole:
            return QVariant::fromValue(row(index.row()));
        case Qt::DisplayRole:
            return ClipRowView::accessibilityTitle(m_visible.at(index.row()));
        case Qt::AccessibleTextRole:
            return ClipRowView::accessibleName(m_visible.at(index.row()));
        case Qt::AccessibleDescriptionRole:
            return ClipRowView::accessibleDescription(m_visible.at(index.row()),
                                                      shortcut(index.row()));
        default:
            return {};
    }
}

std::optional<int> ClipListModel::positionOf(qint64 id) const {
    for (int i = 0; i < m_visible.size(); ++i) {
        if (m_visible[i].id == id) {
            return i;
        }
    }
    return std::nullopt;
}

void ClipListModel::rebuild() {
    QList<Clip> visible = m_model.visibleClips();
    // The rest of a long list arriving after its first rows: the rows on screen stay as they are.
    if (!m_visible.isEmpty() && visible.size() > m_visible.size() &&
        std::equal(m_visible.cbegin(), m_visible.cend(), visible.cbegin())) {
        beginInsertRows({}, int(m_visible.size()), int(visible.size()) - 1);
        m_visible = std::move(visible);
        endInsertRows();
        return;
    }
    beginResetModel();
    m_visible = std::move(visible);
    m_selected = m_model.selectedID();
    endResetModel();
}

void ClipListModel::selectionChanged() {
    const std::optional<qint64> before = m_selected;
    m_selected = m_model.selectedID();
    for (const auto& id : {before, m_selected}) {
        if (const auto position = id ? positionOf(*id) : std::nullopt) {
            emit dataChanged(index(*position), index(*position));
        }
    }
}

}  // namespace orv
