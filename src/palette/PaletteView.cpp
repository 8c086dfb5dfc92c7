#include "palette/PaletteView.h"

#include "logging/Logging.h"
#include "platform/xdg/ShortcutText.h"
#include "preview/FilePreview.h"
#include "ui/Accessibility.h"
#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 460;

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, InterfaceStyle::primary(line->palette(), 0.12));
    line->setPalette(palette);
    return line;
}

// The clear-search button: its focus ring is the accent colour while the model puts the keyboard
// on it.
class ClearButton : public QToolButton {
public:
    ClearButton(AppModel& model, QWidget* parent) : QToolButton(parent), m_model(model) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect inner = rect().adjusted(3, 3, -3, -3);
        painter.drawPixmap(
            inner.adjusted(2, 2, -2, -2),
            SymbolIcon::pixmap(QStringLiteral("xmark.circle.fill"), inner.width() - 4,
                               InterfaceStyle::secondary(palette())));
        if (m_model.searchFocus() == SearchFocus::clear) {
            painter.setPen(QPen(InterfaceStyle::accent(palette(), 1.0), 1.5));
            painter.drawEllipse(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75));
        }
    }

private:
    AppModel& m_model;
};

QWidget* shortcutHint(const QString& keys, const QString& word, QWidget* parent) {
    auto* hint = new QWidget(parent);
    auto* layout = new QHBoxLayout(hint);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(new QLabel(keys, hint));
    layout->addWidget(new QLabel(word, hint));
    hint->setToolTip(keys + u' ' + word);
    hint->setAccessibleName(keys + u' ' + word);
    return hint;
}

}  // namespace

PaletteView::PaletteView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = buildHeader();
    layout->addWidget(m_header);

    m_filterBar = new QScrollArea(this);
    m_filterBar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_filterBar->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_filterBar->setFrameShape(QFrame::NoFrame);
    m_filterBar->setWidgetResizable(true);
    m_filterBar->setFocusPolicy(Qt::NoFocus);
    m_filterBar->setAccessibleName(QStringLiteral("Filtro de tipo"));
    m_filterBar->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    auto* chipRow = new QWidget;
    m_chipLayout = new QHBoxLayout(chipRow);
    m_chipLayout->setContentsMargins(12, 0, 12, 8);
    m_chipLayout->setSpacing(6);
    m_chipLayout->addStretch();
    m_filterBar->setWidget(chipRow);
    m_filterBar->setFixedHeight(30);
    layout->addWidget(m_filterBar);

    m_pausedNotice = new QLabel(QStringLiteral("Captura en pausa"), this);
    m_pausedNotice->setFont(
        InterfaceStyle::font(QApplication::font(), InterfaceStyle::subheadlinePixels));
    m_pausedNotice->setContentsMargins(14, 0, 14, 6);
    QPalette secondary = m_pausedNotice->palette();
    secondary.setColor(QPalette::WindowText, InterfaceStyle::secondary(palette()));
    m_pausedNotice->setPalette(secondary);
    layout->addWidget(m_pausedNotice);

    layout->addWidget(divider(this));

    m_content = new QStackedWidget(this);
    m_emptyState = new QWidget(m_content);
    auto* emptyLayout = new QHBoxLayout(m_emptyState);
    emptyLayout->setContentsMargins(14, 10, 14, 0);
    emptyLayout->setSpacing(10);
    emptyLayout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_emptyIcon = new QLabel(m_emptyState);
    m_emptyIcon->setFixedWidth(28);
    m_emptyIcon->setAlignment(Qt::AlignCenter);
    m_emptyText = new QLabel(m_emptyState);
    m_emptyText->setFont(InterfaceStyle::font(QApplication::font(), InterfaceStyle::bodyPixels));
    m_emptyText->setPalette(secondary);
    emptyLayout->addWidget(m_emptyIcon);
    emptyLayout->addWidget(m_emptyText);
    emptyLayout->addStretch();
    m_content->addWidget(m_emptyState);

    m_rows = new ClipListModel(m_model, this);
    m_list = new ClipListView(m_model, *m_rows, m_content);
    auto* rowView = new ClipRowView(m_thumbnails, m_list);
    rowView->setSearch(m_model.query());
    m_list->setItemDelegate(rowView);
    connect(&m_thumbnails, &ThumbnailCache::thumbnailLoaded, m_list->viewport(),
            qOverload<>(&QWidget::update));
    m_content->addWidget(m_list);
    layout->addWidget(m_content, 1);

    layout->addWidget(divider(this));
    layout->addWidget(buildFooter());

    connect(&m_model, &AppModel::clipsChanged, this, [this] {
        rebuildChips();
        updateContent();
    });
    connect(&m_model, &AppModel::filterChanged, this, &PaletteView::rebuildChips);
    connect(&m_model, &AppModel::queryChanged, this, &PaletteView::queryChanged);
    // The rows shown until the new list lands mark what they match of the new text too.
    connect(&m_model, &AppModel::queryChanged, rowView, [this, rowView] {
        rowView->setSearch(m_model.query());
        m_list->viewport()->update();
    });
    connect(&m_model, &AppModel::selectedIDChanged, m_list, &ClipListView::scrollToSelection);
    connect(&m_model, &AppModel::searchFocusChanged, this, &PaletteView::applySearchFocus);
    connect(&m_model, &AppModel::focusTokenChanged, this, [this] {
        m_model.setSearchFocus(SearchFocus::field);
        focusField();
    });
    connect(&m_model, &AppModel::errorMessageChanged, this, [this] {
        const auto& message = m_model.errorMessage();
        m_errorLabel->setText(message.value_or(QString()));
        m_errorLabel->setToolTip(message.value_or(QString()));
        m_errorLabel->setAccessibleName(message.value_or(QString()));
        m_errorLabel->setVisible(message.has_value());
        if (message) {
            Accessibility::announce(m_errorLabel);
        }
        // A message must be read whole: it takes the hints' room while it shows.
        for (QWidget* hint : std::as_const(m_hints)) {
            hint->setVisible(!message.has_value());
        }
    });
    connect(&m_model.preferences(), &PreferencesStore::pausedChanged, this,
            [this] { m_pausedNotice->setVisible(m_model.preferences().paused()); });
    m_pausedNotice->setVisible(m_model.preferences().paused());
    rebuildChips();
    updateContent();
}

PaletteView::~PaletteView() = default;

QString PaletteView::chipTitle(const ClipListFilter& filter) {
    switch (filter.scope) {
        case ClipListFilter::Scope::all:
            return QStringLiteral("Todo");
        case ClipListFilter::Scope::pinned:
            return QStringLiteral("Fijados");
        case ClipListFilter::Scope::kind:
            break;
    }
    switch (filter.kind) {
        case ClipKind::text:
            return QStringLiteral("Texto");
        case ClipKind::image:
            return QStringLiteral("Imagen");
        case ClipKind::color:
            return QStringLiteral("Color");
        case ClipKind::files:
            return QStringLiteral("Archivo");
    }
    return {};
}

QWidget* PaletteView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setSpacing(10);

    auto* mark = new QWidget(header);
    auto* markLayout = new QHBoxLayout(mark);
    markLayout->setContentsMargins(0, 0, 0, 0);
    markLayout->setSpacing(5);
    auto* markIcon = new QLabel(mark);
    markIcon->setPixmap(SymbolIcon::fallback(QStringLiteral("MenuIcon"), 12,
                                             palette().color(QPalette::WindowText)));
    auto* name = new QLabel(QStringLiteral("Orvantide"), mark);
    name->setFont(
        InterfaceStyle::font(QApplication::font(), InterfaceStyle::bodyPixels, QFont::DemiBold));
    markLayout->addWidget(markIcon);
    markLayout->addWidget(name);
    mark->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    mark->setAccessibleName(QStringLiteral("Orvantide"));
    row->addWidget(mark);

    auto* search = new QFrame(header);
    search->setObjectName(QStringLiteral("search"));
    search->setStyleSheet(QStringLiteral("QFrame#search { background: %1; border-radius: 8px; }")
                              .arg(InterfaceStyle::css(InterfaceStyle::primary(palette(), 0.06))));
    auto* searchRow = new QHBoxLayout(search);
    searchRow->setContentsMargins(10, 7, 10, 7);
    searchRow->setSpacing(8);
    auto* glass = new QLabel(search);
    glass->setPixmap(SymbolIcon::pixmap(QStringLiteral("magnifyingglass"), 14,
                                        InterfaceStyle::secondary(palette())));
    searchRow->addWidget(glass);
    m_searchField = new QLineEdit(search);
    m_searchField->setFrame(false);
    m_searchField->setPlaceholderText(QStringLiteral("Buscar…"));
    m_searchField->setAccessibleName(QStringLiteral("Buscar"));
    m_searchField->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    m_searchField->setFont(InterfaceStyle::font(QApplication::font(), InterfaceStyle::bodyPixels));
    searchRow->addWidget(m_searchField, 1);
    m_clearButton = new ClearButton(m_model, search);
    m_clearButton->setFixedSize(22, 22);
    m_clearButton->setFocusPolicy(Qt::StrongFocus);
    m_clearButton->setToolTip(QStringLiteral("Borrar búsqueda"));
    m_clearButton->setAccessibleName(QStringLiteral("Borrar búsqueda"));
    m_clearButton->setVisible(false);
    m_clearButton->installEventFilter(this);
    searchRow->addWidget(m_clearButton);
    row->addWidget(search, 1);

    connect(m_searchField, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Qt paints after every other pending event, the list that lands for the text included:
        // the letter goes on screen first.
        m_searchField->repaint();
        m_model.setQuery(text);
    });
    connect(m_clearButton, &QToolButton::clicked, this, &PaletteView::clearSearch);
    updateHeaderPadding();
    return header;
}

QWidget* PaletteView::buildFooter() {
    auto* footer = new QWidget(this);
    footer->setFont(InterfaceStyle::font(QApplication::font(), InterfaceStyle::subheadlinePixels));
    QPalette secondary = footer->palette();
    secondary.setColor(QPalette::WindowText, InterfaceStyle::secondary(palette()));
    footer->setPalette(secondary);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(12, 7, 12, 7);
    row->setSpacing(10);
    m_hints = {shortcutHint(QStringLiteral("↑↓"), QStringLiteral("elegir"), footer),
               shortcutHint(QStringLiteral("↩"), QStringLiteral("pegar"), footer),
               shortcutHint(ShortcutText::of(Qt::CTRL | Qt::Key_Backspace),
                            QStringLiteral("borrar"), footer)};
    for (QWidget* hint : std::as_const(m_hints)) {
        row->addWidget(hint);
    }
    row->addSpacing(8);
    row->addStretch(1);

    // Two lines: messages such as "La imagen original ya no está disponible." must be read whole.
    auto* error = new ElidedLabel(QString(), 2, footer);
    QPalette red = error->palette();
    red.setColor(QPalette::WindowText, InterfaceStyle::destructive());
    error->setPalette(red);
    error->setVisible(false);
    QSizePolicy errorPolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    errorPolicy.setHeightForWidth(true);
    error->setSizePolicy(errorPolicy);
    m_errorLabel = error;
    Accessibility::setRole(error, QAccessible::AlertMessage);
    row->addWidget(error, 100);

    const auto button = [footer, this](const QString& symbol, const QString& help) {
        auto* tool = new QToolButton(footer);
        tool->setAutoRaise(true);
        tool->setFixedSize(22, 18);
        tool->setIconSize(QSize(14, 14));
        tool->setIcon(SymbolIcon::icon(symbol, InterfaceStyle::secondary(palette())));
        tool->setToolTip(help);
        tool->setAccessibleName(help);
        tool->setFocusPolicy(Qt::TabFocus);
        return tool;
    };
    m_trashButton = button(QStringLiteral("trash"), QStringLiteral("Limpiar historial no fijado"));
    m_settingsButton = button(QStringLiteral("gearshape"), QStringLiteral("Preferencias"));
    connect(m_trashButton, &QToolButton::clicked, this, &PaletteView::clearRequested);
    connect(m_settingsButton, &QToolButton::clicked, this, &PaletteView::settingsRequested);
    row->addWidget(m_trashButton);
    row->addWidget(m_settingsButton);
    return footer;
}

void PaletteView::rebuildChips() {
    const QList<ClipListFilter> offered = ClipListFilter::available(m_model.clips());
    if (offered != m_chipFilters) {
        for (QPushButton* chip : m_chips) {
            delete chip;
        }
        m_chips.clear();
        m_chipFilters = offered;
        for (const ClipListFilter& filter : offered) {
            auto* chip = new QPushButton(chipTitle(filter), m_filterBar->widget());
            chip->setFlat(true);
            chip->setCheckable(true);
            chip->setFocusPolicy(Qt::TabFocus);
            chip->setToolTip(chipTitle(filter));
            chip->setAccessibleName(chipTitle(filter));
            chip->setCursor(Qt::PointingHandCursor);
            connect(chip, &QPushButton::clicked, this, [this, filter] {
                m_model.setFilter(filter);
                rebuildChips();  // a click on the active chip must leave it checked
            });
            m_chipLayout->insertWidget(int(m_chips.size()), chip);
            m_chips.append(chip);
        }
    }
    for (qsizetype i = 0; i < m_chips.size(); ++i) {
        const bool active = m_model.filter() == m_chipFilters[i];
        QPushButton* chip = m_chips[i];
        chip->setProperty("active", active);
        chip->setChecked(active);
        // Each list that lands comes here: a style sheet set again, even unchanged, polishes
        // the chip and lays the bar out anew.
        const QFont font =
            InterfaceStyle::font(QApplication::font(), InterfaceStyle::subheadlinePixels,
                                 active ? QFont::DemiBold : QFont::Normal);
        if (chip->font() != font) {
            chip->setFont(font);
        }
        const QString style =
            QStringLiteral(
                "QPushButton { background: %1; border: none; border-radius: 10px;"
                " padding: 4px 8px; color: %2; }"
                " QPushButton:focus { border: 1px solid %3; padding: 3px 7px; }")
                .arg(InterfaceStyle::css(active ? InterfaceStyle::accent(palette(), 0.28)
                                                : InterfaceStyle::primary(palette(), 0.06)),
                     InterfaceStyle::css(palette().color(QPalette::WindowText)),
                     InterfaceStyle::css(InterfaceStyle::accent(palette(), 1.0)));
        if (chip->styleSheet() != style) {
            chip->setStyleSheet(style);
        }
    }
    m_filterBar->setVisible(!m_chips.isEmpty());
    updateHeaderPadding();
}

void PaletteView::updateHeaderPadding() {
    if (m_header != nullptr) {
        const bool chips = m_filterBar != nullptr && !m_chips.isEmpty();
        m_header->layout()->setContentsMargins(12, 10, 12, chips ? 8 : 10);
    }
}

void PaletteView::updateContent() {
    if (m_model.clips().isEmpty() && m_model.listedQuery() != m_model.query()) {
        // The list for what is asked is still loading: saying that nothing is there could be
        // untrue.
        m_emptySymbol.clear();
        m_emptyIcon->clear();
        m_emptyText->clear();
        m_emptyState->setAccessibleName(QString());
        m_content->setCurrentWidget(m_emptyState);
    } else if (m_model.clips().isEmpty()) {
        const bool searching = !m_model.query().isEmpty();
        m_emptySymbol =
            searching ? QStringLiteral("magnifyingglass") : QStringLiteral("doc.on.clipboard");
        m_emptyIcon->setPixmap(
            SymbolIcon::pixmap(m_emptySymbol, 16, InterfaceStyle::tertiary(palette())));
        m_emptyText->setText(searching ? QStringLiteral("Ningún clip coincide")
                                       : QStringLiteral("Copia algo para verlo aquí"));
        m_emptyState->setAccessibleName(m_emptyText->text());
        m_content->setCurrentWidget(m_emptyState);
    } else {
        m_content->setCurrentWidget(m_list);
    }
}

std::optional<SearchFocus> PaletteView::focus() const {
    if (m_clearButton->hasFocus()) {
        return SearchFocus::clear;
    }
    if (m_searchField->hasFocus()) {
        return SearchFocus::field;
    }
    return std::nullopt;
}

void PaletteView::focusField() {
    m_searchField->setFocus(Qt::OtherFocusReason);
}

QList<QWidget*> PaletteView::keyboardStops() const {
    QList<QWidget*> stops{m_searchField};
    if (!m_clearButton->isHidden()) {
        stops.append(m_clearButton);
    }
    for (QPushButton* chip : m_chips) {
        stops.append(chip);
    }
    stops.append({m_trashButton, m_settingsButton});
    return stops;
}

void PaletteView::applySearchFocus() {
    if (m_model.searchFocus() == SearchFocus::clear && !m_clearButton->isHidden()) {
        m_clearButton->setFocus(Qt::OtherFocusReason);
    } else {
        focusField();
    }
    m_clearButton->update();
}

void PaletteView::clearSearch() {
    m_model.setQuery(QString());
    m_model.setSearchFocus(SearchFocus::field);
    focusField();
}

void PaletteView::queryChanged() {
    const QString& query = m_model.query();
    qCDebug(lcPalette) << "query" << query;
    if (m_searchField->text() != query) {
        m_searchField->setText(query);
    }
    m_clearButton->setVisible(!query.isEmpty());
    // An empty history searched says that nothing matches, not that nothing was copied.
    updateContent();
    // The clear button had the keyboard and has just gone.
    if (query.isEmpty() && m_model.searchFocus() == SearchFocus::clear) {
        m_model.setSearchFocus(SearchFocus::field);
        focusField();
    }
}

void PaletteView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    focusField();
}

// Focus on the clear button that the model did not put there goes back to the field.
bool PaletteView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_clearButton && event->type() == QEvent::FocusIn &&
        m_model.searchFocus() != SearchFocus::clear) {
        focusField();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace orv
