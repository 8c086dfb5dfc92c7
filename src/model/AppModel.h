#pragma once

#include "model/ClipRecorder.h"
#include "model/PreferencesStore.h"
#include "model/PreviewPresenter.h"
#include "model/SearchFocus.h"
#include "model/WindowHandle.h"
#include "platform/Scheduler.h"
#include "store/ClipHistory.h"
#include "store/ClipListFilter.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace orv {

// The state the palette shows and the actions on clips. Main thread only: store calls are awaited
// from coroutines that resume here, and every coroutine checks that the model still exists after
// each wait.
//
// Operations returning a task start at once; callers may await the task or drop it.
class AppModel : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds previewDelay{600};
    static constexpr std::chrono::milliseconds dismissDelay{160};
    static constexpr std::chrono::milliseconds errorDuration{4000};
    // How many rows of a list load before the rest: more than a palette shows.
    static constexpr int firstRows = 200;

    AppModel(ClipHistory& history, PreferencesStore& preferences, Scheduler& scheduler,
             QObject* parent = nullptr);
    ~AppModel() override;

    // The list last loaded: pinned first, then newest first, each text cut to what a row draws.
    const QList<Clip>& clips() const { return m_clips; }
    // The search the list held answers; nothing before the first list has loaded. While it
    // differs from query(), the list for the current text is still on its way.
    const std::optional<QString>& listedQuery() const { return m_listedQuery; }
    const QString& query() const { return m_query; }
    // A new search text loads its list (the task ends when it has landed).
    QCoro::Task<> setQuery(QString query);
    const ClipListFilter& filter() const { return m_filter; }
    std::optional<qint64> selectedID() const { return m_selectedID; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    // Why captures are waiting to be stored, while any are (from the recorder); the banner shows
    // it all that time.
    const std::optional<QString>& persistentError() const { return m_persistentError; }
    void setPersistentError(const std::optional<QString>& message);
    // Raised when the palette has appeared and after it is prepared; the view then focuses the
    // search field.
    int focusToken() const { return m_focusToken; }
    void increaseFocusToken();
    SearchFocus searchFocus() const { return m_searchFocus; }
    void setSearchFocus(SearchFocus focus);
    PreferencesStore& preferences() const { return m_preferences; }
    ClipHistory& history() const { return m_history; }
    PreviewPresenter* previewController() const { return m_previewController; }
    void setPreviewController(PreviewPresenter* controller);
    WindowHandle* paletteWindow() const { return m_paletteWindow; }
    void setPaletteWindow(WindowHandle* window);

    // What happens when the user picks a clip (write it, close the palette, paste).
    // The pointer in screen coordinates.
    std::function<QPoint()> pointerLocation;

    // The list. Only the newest load lands: one still under way when another starts is dropped,
    // and its reset of the selection is left to the newest.
    QCoro::Task<> reload(bool resetSelection);
    QCoro::Task<> prepareForDisplay();
    // `clips` narrowed by `filter`; computed on every call.
    QList<Clip> visibleClips() const;
    void setFilter(const ClipListFilter& filter);
    void moveSelection(int offset);

    // Actions on clips.
    // The clip read whole (html included); a listed clip whose value is whole stands in when the
    // read fails. Nothing, with the failure reported, when only the beginning of its text is known.
    QCoro::Task<std::optional<Clip>> wholeClip(Clip clip);
    QCoro::Task<> copy(Clip clip);
    QCoro::Task<> copySelected();
    QCoro::Task<> copyAt(int position);
    QCoro::Task<> togglePin(Clip clip);
    QCoro::Task<> deleteClip(Clip clip);
    QCoro::Task<> deleteSelected();
    QCoro::Task<> clearUnpinned();
    QCoro::Task<> applyPreferenceLimits();
    // Resumes once the list loads under way have landed, so that a key pressed right after typing
    // acts on the list for what was typed. False when the model went away meanwhile.
    QCoro::Task<bool> settledList();
    // Shows what the recorder reports: failures, captures waiting.
    void follow(ClipRecorder& recorder);

    // Shows the message for four seconds (then the persistent error, if any); a newer one
    // replaces it and starts the time again.
    void report(const QString& message);

    // The hover preview: shown 0.6 s after the pointer enters a row, dismissed 0.16 s after it
    // leaves unless it moved onto the preview.
    void schedulePreview(const Clip& clip);
    void endHover(const Clip& clip);
    void setRowHover(const Clip& clip, bool hovering);
    void schedulePreviewDismiss();
    void hidePreview();

signals:
    void clipsChanged();
    void queryChanged();
    void filterChanged();
    void selectedIDChanged();
    void errorMessageChanged();
    void persistentErrorChanged();
    void focusTokenChanged();
    void searchFocusChanged();
    void previewControllerChanged();
    void paletteWindowChanged();
    // The user picked this clip, read whole from the store (write it, close the palette, paste).
    void copyRequested(const Clip& clip);
    // No list load is under way any more.
    void loadsSettled();

private:
    template <typename T>
    void store(T& field, const T& value, void (AppModel::*changed)());
    void setClips(const QList<Clip>& clips, const QString& query);
    void applyList(const QList<Clip>& clips, const QString& query, bool whole);
    QCoro::Task<> showPreview(Clip clip);
    void assignQuery(const QString& query);
    void setFilterValue(const ClipListFilter& filter);
    void setSelectedID(std::optional<qint64> id);
    void setErrorMessage(const std::optional<QString>& message);
    // Keeps the selection when it is visible, else selects the first visible clip.
    void repairSelection(const QList<Clip>& visible);
    bool paletteIsVisible() const;
    // The list of an open palette follows the history; what left it is never shown again.
    void historyChanged(HistoryChange change);

    ClipHistory& m_history;
    PreferencesStore& m_preferences;
    Scheduler& m_scheduler;

    QList<Clip> m_clips;
    std::optional<QString> m_listedQuery;
    QString m_query;
    ClipListFilter m_filter;
    std::optional<qint64> m_selectedID;
    std::optional<QString> m_errorMessage;
    int m_focusToken = 0;
    SearchFocus m_searchFocus = SearchFocus::field;
    QPointer<PreviewPresenter> m_previewController;
    QPointer<WindowHandle> m_paletteWindow;

    std::optional<qint64> m_hoveredID;
    std::optional<qint64> m_hoveredRowID;
    std::unique_ptr<Scheduler::Job> m_previewTask;
    std::unique_ptr<Scheduler::Job> m_dismissTask;
    std::unique_ptr<Scheduler::Job> m_errorTask;
    std::optional<QString> m_persistentError;
    int m_loadsInFlight = 0;
    quint64 m_loadGeneration = 0;
    bool m_selectionResetDue = false;
    // The first rows of the loads that may still be running, the text of the newest, and the rest
    // of its list.
    std::vector<std::stop_source> m_loadStops;
    std::stop_source m_restStop;
    QString m_loadQuery;
};

}  // namespace orv
