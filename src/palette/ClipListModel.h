#pragma once

#include "model/AppModel.h"
#include "palette/ClipRowView.h"

#include <QAbstractListModel>

namespace orv {

// The palette's rows: the model's visible clips with the arguments each row is drawn with.
class ClipListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit ClipListModel(AppModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The row arguments of position `index`.
    ClipRowView::Row row(int index) const;
    const Clip& clipAt(int index) const { return m_visible.at(index); }
    // The position of a clip; nothing when it is not listed.
    std::optional<int> positionOf(qint64 id) const;

    // "Ctrl+1" … "Ctrl+5" for the first five rows, as the desktop writes shortcuts.
    static std::optional<QString> shortcut(int index);

private:
    void rebuild();
    void selectionChanged();

    AppModel& m_model;
    QList<Clip> m_visible;
    std::optional<qint64> m_selected;
};

}  // namespace orv
