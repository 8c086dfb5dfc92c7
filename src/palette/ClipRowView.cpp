#include "palette/ClipRowView.h"

#include "preview/FileTypeIcon.h"
#include "store/ClipIdentity.h"
#include "store/TextFolding.h"
#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <limits>

namespace orv {

namespace {

constexpr int kHorizontalPadding = 8;
constexpr int kVerticalPadding = 5;
constexpr int kSpacing = 8;

bool prominentSwatch(const ClipRowView::Row& row) {
    return row.prominentColor && row.clip.effectiveKind() == ClipKind::color;
}

int leadingSide(const ClipRowView::Row& row) {
    return prominentSwatch(row) ? 36 : 28;
}

QFont shortcutFont(const QFont& base) {
    QFont font = base;
    font.setPixelSize(InterfaceStyle::captionPixels);
    return font;
}

int shortcutWidth(const QFont& base, const ClipRowView::Row& row) {
    return row.shortcut ? QFontMetrics(shortcutFont(base)).horizontalAdvance(*row.shortcut) : 0;
}

// One drawn line of a title and, for each of its characters, the title character it shows (-1
// for the ellipsis).
struct TitleLine {
    QString text;
    QList<qsizetype> origins;
};

TitleLine titlePiece(const QString& title, qsizetype start, qsizetype length) {
    TitleLine line{title.mid(start, length), {}};
    line.origins.reserve(line.text.size());
    for (qsizetype i = 0; i < line.text.size(); ++i) {
        line.origins.append(start + i);
    }
    return line;
}

// The title from `start` on as QString::simplified() gives it, keeping track of the characters.
TitleLine simplifiedFrom(const QString& title, qsizetype start) {
    TitleLine line;
    qsizetype blankAt = -1;
    for (qsizetype i = start; i < title.size(); ++i) {
        if (title[i].isSpace()) {
            if (!line.text.isEmpty() && blankAt < 0) {
                blankAt = i;
            }
            continue;
        }
        if (blankAt >= 0) {
            line.text += u' ';
            line.origins.append(blankAt);
            blankAt = -1;
        }
        line.text += title[i];
        line.origins.append(i);
    }
    return line;
}

// `line` cut to `width` with an ellipsis; the ellipsis shows no title character.
TitleLine elided(const TitleLine& line, const QFontMetrics& metrics, int width) {
    const QString text = metrics.elidedText(line.text, Qt::ElideRight, width);
    if (text == line.text) {
        return line;
    }
    const qsizetype limit = std::clamp<qsizetype>(text.size() - 1, 0, line.text.size());
    qsizetype shown = 0;
    while (shown < limit && text[shown] == line.text[shown]) {
        ++shown;
    }
    TitleLine cut{text, line.origins.first(shown)};
    cut.origins.resize(text.size(), -1);
    return cut;
}

// The title laid out in `width`, at most two lines, the second elided when there is more.
QList<TitleLine> titleLines(const QString& title, const QFont& font, int width) {
    QList<TitleLine> lines;
    if (width <= 0) {
        return lines;
    }
    const QFontMetrics metrics(font);
    QTextLayout layout(title, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int i = 0; i < 2; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        TitleLine piece = titlePiece(title, line.textStart(), line.textLength());
        if (i == 1 && line.textStart() + line.textLength() < title.size()) {
            piece = elided(simplifiedFrom(title, line.textStart()), metrics, width);
        }
        // Line breaks inside a title end the line where they stand.
        piece.text.replace(u'\n', u' ');
        lines.append(piece.text.trimmed().isEmpty() && i == 1 ? TitleLine{} : piece);
    }
    layout.endLayout();
    while (lines.size() > 1 && lines.last().text.isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

// Rows paint again at every key and every move of the selection, each laying out its title: the
// lines of the titles painted lately are kept (a few hundred; then they start again).
const QList<TitleLine>& laidOutTitle(const QString& title, const QFont& font, int width) {
    static QHash<QString, QList<TitleLine>> kept;
    const QString key = font.key() + u'\x1f' + QString::number(width) + u'\x1f' + title;
    if (const auto found = kept.constFind(key); found != kept.cend()) {
        return *found;
    }
    if (kept.size() >= 512) {
        kept.clear();
    }
    return *kept.insert(key, titleLines(title, font, width));
}

// The runs of `line` that show matched title characters; `spans` in order, as matchedSpans gives.
QList<QTextLayout::FormatRange> matchedRuns(const TitleLine& line,
                                            const QList<TextFolding::Span>& spans,
                                            const QTextCharFormat& format) {
    QList<QTextLayout::FormatRange> runs;
    qsizetype next = 0;
    for (qsizetype k = 0; k < line.origins.size(); ++k) {
        const qsizetype at = line.origins[k];
        if (at < 0) {
            continue;
        }
        // Origins only grow along a line.
        while (next < spans.size() && spans[next].start + spans[next].length <= at) {
            ++next;
        }
        if (next == spans.size()) {
            break;
        }
        if (at < spans[next].start) {
            continue;
        }
        if (!runs.isEmpty() && runs.last().start + runs.last().length == k) {
            ++runs.last().length;
        } else {
            runs.append({int(k), 1, format});
        }
    }
    return runs;
}

// Titles made from the value; an image's title is not searched.
bool showsMatches(const ClipRowView::Row& row) {
    return !row.search.trimmed().isEmpty() && row.clip.effectiveKind() != ClipKind::image;
}

// One line with some runs in their own format, its baseline at `baseline`.
void drawRuns(QPainter* painter, const QPointF& baseline, const QString& text, const QFont& font,
              const QList<QTextLayout::FormatRange>& runs) {
    QTextLayout layout(text, font, painter->device());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setFormats(runs);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(std::numeric_limits<int>::max() / 2);
    layout.endLayout();
    layout.draw(painter, baseline - QPointF(0, line.ascent()));
}

int titleWidth(const QRect& rect, const QFont& base, const ClipRowView::Row& row) {
    int width = rect.width() - 2 * kHorizontalPadding - leadingSide(row) - kSpacing;
    if (row.shortcut) {
        width -= 4 + kSpacing + shortcutWidth(base, row);
    }
    return width;
}

void paintLeading(QPainter* painter, const QRect& square, const ClipRowView::Row& row,
                  const QPalette& palette, ThumbnailCache& thumbnails) {
    const QColor secondary = InterfaceStyle::secondary(palette);
    const auto centered = [&square](int side) {
        return QRect(square.center().x() - side / 2 + 1, square.center().y() - side / 2 + 1, side,
                     side);
    };
    switch (row.clip.effectiveKind()) {
        case ClipKind::text:
            painter->drawPixmap(
                centered(22), SymbolIcon::pixmap(QStringLiteral("text.alignleft"), 22, secondary));
            break;
        case ClipKind::color: {
            const bool prominent = row.prominentColor;
            const int side = prominent ? 32 : 22;
            const qreal radius = prominent ? 6 : 4;
            const QRectF swatch = centered(side);
            painter->setPen(Qt::NoPen);
            painter->setBrush(ClipRowView::swatchColor(row.clip));
            painter->drawRoundedRect(swatch, radius, radius);
            QColor border = palette.color(QPalette::WindowText);
            border.setAlphaF(0.18);
            painter->setPen(QPen(border, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(swatch.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
            break;
        }
        case ClipKind::image: {
            const QPixmap thumbnail = thumbnails.thumbnail(row.clip);
            const QRect frame = centered(22);
            if (thumbnail.isNull()) {
                painter->drawPixmap(frame,
                                    SymbolIcon::pixmap(QStringLiteral("photo"), 22, secondary));
                break;
            }
            // Scaled to fill the square and clipped to its rounded corners.
            const QSize filled =
                thumbnail.size().scaled(frame.size(), Qt::KeepAspectRatioByExpanding);
            const QRect source(QPoint((filled.width() - frame.width()) / 2,
                                      (filled.height() - frame.height()) / 2),
                               frame.size());
            QPainterPath clip;
            clip.addRoundedRect(frame, 4, 4);
            painter->save();
            painter->setClipPath(clip);
            painter->drawPixmap(
                frame, thumbnail.scaled(filled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                source);
            painter->restore();
            break;
        }
        case ClipKind::files: {
            // Only the first path is drawn: a clip may hold tens of thousands.
            const QStringList first = row.clip.filePaths(1);
            const QRect frame = centered(22);
            if (first.isEmpty()) {
                painter->drawPixmap(frame,
                                    SymbolIcon::pixmap(QStringLiteral("doc"), 22, secondary));
            } else {
                FileTypeIcon::image(first.first()).paint(painter, frame);
            }
            break;
        }
    }
}

}  // namespace

ClipRowView::ClipRowView(ThumbnailCache& thumbnails, QObject* parent)
    : QStyledItemDelegate(parent), m_thumbnails(thumbnails) {}

QString ClipRowView::accessibilityTitle(const Clip& clip) {
    if (clip.source && !clip.source->isEmpty()) {
        return clip.listTitle() + QStringLiteral(", ") + *clip.source;
    }
    return clip.listTitle();
}

QString ClipRowView::accessibilityHint(const Clip& clip) {
    return clip.pinned ? QStringLiteral("Clip fijado") : QStringLiteral("Clip del historial");
}

QString ClipRowView::accessibleName(const Clip& clip) {
    if (clip.effectiveKind() != ClipKind::files || clip.fileCount() < 2) {
        return accessibilityTitle(clip);
    }
    // "2 archivos · informe.pdf" is read out more plainly than the row's "informe.pdf (+1)".
    const QString first = QFileInfo(clip.filePaths(1).value(0)).fileName();
    QString name = QStringLiteral("%1 archivos · %2").arg(clip.fileCount()).arg(first);
    if (clip.source && !clip.source->isEmpty()) {
        name += QStringLiteral(", ") + *clip.source;
    }
    return name;
}

QString ClipRowView::accessibleDescription(const Clip& clip,
                                           const std::optional<QString>& shortcut) {
    QString kind;
    switch (clip.effectiveKind()) {
        case ClipKind::text:
            kind = QStringLiteral("Texto");
            break;
        case ClipKind::image:
            kind = QStringLiteral("Imagen");
            break;
        case ClipKind::color:
            kind = QStringLiteral("Color");
            break;
        case ClipKind::files:
            kind = QStringLiteral("Archivos");
            break;
    }
    QString description = kind + QStringLiteral(" · ") + accessibilityHint(clip);
    if (shortcut) {
        description += QStringLiteral(" · ") + *shortcut;
    }
    return description;
}

QStringList ClipRowView::contextMenuTitles(const Clip& clip) {
    return {QStringLiteral("Copiar y pegar"),
            clip.pinned ? QStringLiteral("Desfijar") : QStringLiteral("Fijar"),
            QStringLiteral("Eliminar")};
}

QRect ClipRowView::leadingRect(const QRect& rowRect, const Row& row) {
    const int side = leadingSide(row);
    return QRect(rowRect.left() + kHorizontalPadding, rowRect.center().y() - side / 2 + 1, side,
                 side);
}

QFont ClipRowView::titleFont(const QFont& base, const Row& row) {
    QFont font = base;
    font.setPixelSize(InterfaceStyle::bodyPixels);
    font.setWeight(row.showsPinMark && row.clip.pinned ? QFont::DemiBold : QFont::Normal);
    if (prominentSwatch(row)) {
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::Monospace);
    }
    return font;
}

QColor ClipRowView::swatchColor(const Clip& clip) {
    if (const auto rgba = ClipIdentity::parseHex(clip.value)) {
        return QColor::fromRgbF(float(rgba->red), float(rgba->green), float(rgba->blue),
                                float(rgba->alpha));
    }
    return QColor(Qt::gray);
}

void ClipRowView::paintRow(QPainter* painter, const QRect& rect, const Row& row,
                           const QPalette& palette, ThumbnailCache& thumbnails) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF background = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (row.isSelected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(InterfaceStyle::accent(palette, 0.28));
        painter->drawRoundedRect(background, 6, 6);
    } else if (row.isHovered) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(InterfaceStyle::primary(palette, 0.08));
        painter->drawRoundedRect(background, 6, 6);
    }
    if (row.showsPinMark && row.clip.pinned) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(InterfaceStyle::accent(palette, 1.0));
        painter->drawRoundedRect(QRectF(rect.left() + 3, rect.top() + 6, 2, rect.height() - 12), 1,
                                 1);
    }

    paintLeading(painter, leadingRect(rect, row), row, palette, thumbnails);

    const QFont base = QApplication::font();
    const QFont font = titleFont(base, row);
    const int left = rect.left() + kHorizontalPadding + leadingSide(row) + kSpacing;
    const QString title = row.clip.listTitle();
    const QList<TitleLine> lines = laidOutTitle(title, font, titleWidth(rect, base, row));
    // The title is cut short already: matching it costs little whatever the clip's size.
    const QList<TextFolding::Span> spans = showsMatches(row)
                                               ? TextFolding::matchedSpans(title, row.search)
                                               : QList<TextFolding::Span>();
    QTextCharFormat matched;
    matched.setForeground(InterfaceStyle::accent(palette, 1.0));
    const QFontMetrics metrics(font);
    const int textHeight = int(lines.size()) * metrics.lineSpacing();
    int y = rect.center().y() - textHeight / 2 + metrics.ascent() + 1;
    painter->setFont(font);
    painter->setPen(palette.color(QPalette::WindowText));
    for (const TitleLine& line : lines) {
        const auto runs =
            spans.isEmpty() ? QList<QTextLayout::FormatRange>() : matchedRuns(line, spans, matched);
        if (runs.isEmpty()) {
            painter->drawText(QPoint(left, y), line.text);
        } else {
            drawRuns(painter, QPointF(left, y), line.text, font, runs);
        }
        y += metrics.lineSpacing();
    }

    if (row.shortcut) {
        const QFont small = shortcutFont(base);
        painter->setFont(small);
        painter->setPen(InterfaceStyle::secondary(palette));
        const int width = shortcutWidth(base, row);
        painter->drawText(
            QRect(rect.right() - kHorizontalPadding - width, rect.top(), width, rect.height()),
            Qt::AlignVCenter | Qt::AlignRight, *row.shortcut);
    }
    painter->restore();
}

void ClipRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    Row row = index.data(rowRole).value<Row>();
    row.isHovered = option.state.testFlag(QStyle::State_MouseOver);
    row.search = m_search;
    paintRow(painter, option.rect, row, option.palette, m_thumbnails);
}

// Rows are all as tall as a two-line title (or their picture): laying out the list never measures
// a title, however many rows it holds.
QSize ClipRowView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const Row row = index.data(rowRole).value<Row>();
    const QFont font = titleFont(QApplication::font(), row);
    const int width = option.rect.width() > 0 ? option.rect.width() : 400;
    return QSize(width, std::max(leadingSide(row), 2 * QFontMetrics(font).lineSpacing()) +
                            2 * kVerticalPadding);
}

}  // namespace orv
