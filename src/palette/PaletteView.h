#pragma once

#include "model/AppModel.h"
#include "palette/ClipListModel.h"
#include "palette/ClipListView.h"
#include "palette/ClipRowView.h"
#include "palette/ThumbnailCache.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QHBoxLayout;

namespace orv {

class ElidedLabel;

// The palette's content, 420 × 460: header with the search field, filter chips, the paused notice,
// the list or an empty state, and the footer with hints, the last error and two buttons. It follows
// the model and acts only through it or the two host callbacks.
class PaletteView : public QWidget {
    Q_OBJECT

public:
    PaletteView(AppModel& model, QWidget* parent = nullptr);
    ~PaletteView() override;

    static QString chipTitle(const ClipListFilter& filter);

    // Which header control holds the keyboard, as the view last placed it.
    std::optional<SearchFocus> focus() const;

    // The parts, for the palette controller and tests.
    QLineEdit* searchField() const { return m_searchField; }
    QToolButton* clearButton() const { return m_clearButton; }
    QScrollArea* filterBar() const { return m_filterBar; }
    QList<QPushButton*> chips() const { return m_chips; }
    QLabel* pausedNotice() const { return m_pausedNotice; }
    QWidget* emptyState() const { return m_emptyState; }
    QLabel* emptyText() const { return m_emptyText; }
    QString emptySymbol() const { return m_emptySymbol; }
    ClipListView* list() const { return m_list; }
    ClipListModel* rows() const { return m_rows; }
    ElidedLabel* errorLabel() const { return m_errorLabel; }
    QToolButton* trashButton() const { return m_trashButton; }
    // What Tab visits, in order: the field, the clear button while it shows, the kind filters,
    // the footer's buttons.
    QList<QWidget*> keyboardStops() const;
    QToolButton* settingsButton() const { return m_settingsButton; }
    QWidget* header() const { return m_header; }
    ThumbnailCache& thumbnails() { return m_thumbnails; }

    void clearSearch();

signals:
    // The footer's buttons: open the settings window, clear the unpinned history.
    void settingsRequested();
    void clearRequested();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildFooter();
    void rebuildChips();
    void updateContent();
    void updateHeaderPadding();
    void queryChanged();
    void focusField();
    void applySearchFocus();

    AppModel& m_model;
    ThumbnailCache m_thumbnails;
    ClipListModel* m_rows = nullptr;
    QWidget* m_header = nullptr;
    QLineEdit* m_searchField = nullptr;
    QToolButton* m_clearButton = nullptr;
    QScrollArea* m_filterBar = nullptr;
    QHBoxLayout* m_chipLayout = nullptr;
    QList<QPushButton*> m_chips;
    QList<ClipListFilter> m_chipFilters;
    QLabel* m_pausedNotice = nullptr;
    QStackedWidget* m_content = nullptr;
    QWidget* m_emptyState = nullptr;
    QLabel* m_emptyIcon = nullptr;
    QLabel* m_emptyText = nullptr;
    QString m_emptySymbol;
    ClipListView* m_list = nullptr;
    ElidedLabel* m_errorLabel = nullptr;
    // The keyboard hints at the start of the footer.
    QList<QWidget*> m_hints;
    QToolButton* m_trashButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
};

}  // namespace orv
