#pragma once

#include "palette/ThumbnailCache.h"
#include "store/Clip.h"

#include <QFont>
#include <QStyledItemDelegate>

#include <functional>
#include <optional>

namespace orv {

// One row of the palette list: a picture for the kind of clip, its title on at most two lines, the
// pin bar and the shortcut label. A list delegate: rows are painted, never built as widgets.
class ClipRowView : public QStyledItemDelegate {
    Q_OBJECT

public:
    // What the palette passes for each row.
    struct Row {
        Clip clip;
        bool isSelected = false;
        // The list shows colours only: bigger swatches, monospaced titles.
        bool prominentColor = false;
        // False while the list shows pinned clips only.
        bool showsPinMark = true;
        std::optional<QString> shortcut;
        bool isHovered = false;
        // What the list is searched for: its matches in the title are drawn in the accent colour.
        QString search = {};
    };

    // The row of an index, filled by the list model.
    static constexpr int rowRole = Qt::UserRole + 1;

    explicit ClipRowView(ThumbnailCache& thumbnails, QObject* parent = nullptr);

    // The search text every row is painted with.
    void setSearch(const QString& search) { m_search = search; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QString accessibilityTitle(const Clip& clip);
    static QString accessibilityHint(const Clip& clip);
    // What a screen reader says of a row: the title, a files clip's first name too; then its
    // kind, whether it is pinned, and the shortcut that copies it.
    static QString accessibleName(const Clip& clip);
    static QString accessibleDescription(const Clip& clip, const std::optional<QString>& shortcut);
    // "Copiar y pegar", "Fijar" or "Desfijar", then "Eliminar".
    static QStringList contextMenuTitles(const Clip& clip);
    // The square that reports hover for the preview, within a row's rectangle.
    static QRect leadingRect(const QRect& rowRect, const Row& row);
    static QFont titleFont(const QFont& base, const Row& row);
    // The colour of a swatch: the clip's hex colour, or gray.
    static QColor swatchColor(const Clip& clip);

    static void paintRow(QPainter* painter, const QRect& rect, const Row& row,
                         const QPalette& palette, ThumbnailCache& thumbnails);

private:
    ThumbnailCache& m_thumbnails;
    QString m_search;
};

}  // namespace orv

Q_DECLARE_METATYPE(orv::ClipRowView::Row)
