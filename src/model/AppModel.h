#pragma once

#include "model/PreferencesStore.h"
#include "model/PreviewPresenter.h"
#include "model/SearchFocus.h"
#include "model/WindowHandle.h"
#include "platform/Scheduler.h"
#include "store/CapturedClip.h"
#include "store/ClipHistory.h"
#include "store/ClipListFilter.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

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
    // Captures the history could not take wait in memory, the newest kept when there are too
    // many (pictures can be 20 MiB each), and are tried again after a delay that doubles up to
    // the longest.
    static constexpr int maximumWaitingCaptures = 100;
    static constexpr qsizetype maximumWaitingBytes = 64 * 1024 * 1024;
    static constexpr std::chrono::milliseconds firstRetryDelay{1000};
    static constexpr std::chrono::milliseconds longestRetryDelay{30000};

    AppModel(ClipHistory& history, PreferencesStore& preferences, Scheduler& scheduler,
             QObject* parent = nullptr);
    ~AppModel() override;

    // The list last loaded for the current query: pinned first, then newest first.
    const QList<Clip>& clips() const { return m_clips; }
    const QString& query() const { return m_query; }
    // A new search text loads its list (the task ends when it has landed).
    QCoro::Task<> setQuery(QString query);
    const ClipListFilter& filter() const { return m_filter; }
    std::optional<qint64> selectedID() const { return m_selectedID; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    // Why captures are waiting to be stored, while any are; the banner shows it all that time.
    const std::optional<QString>& persistentError() const { return m_persistentError; }
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
    // The time a capture is stamped with.
    std::function<QDateTime()> clock;

    // Capture and list. A capture the history fails to take waits and is tried again, before
    // any later one, until it is stored.
    QCoro::Task<> record(CapturedClip clip);
    QCoro::Task<> reload(bool resetSelection);
    QCoro::Task<> prepareForDisplay();
    // `clips` narrowed by `filter`; computed on every call.
    QList<Clip> visibleClips() const;
    void setFilter(const ClipListFilter& filter);
    void moveSelection(int offset);

    // Actions on clips.
    QCoro::Task<> copy(Clip clip);
    QCoro::Task<> copySelected();
    QCoro::Task<> copyAt(int position);
    QCoro::Task<> togglePin(Clip clip);
    QCoro::Task<> deleteClip(Clip clip);
    QCoro::Task<> deleteSelected();
    QCoro::Task<> clearUnpinned();
    QCoro::Task<> applyPreferenceLimits();

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
    void setClips(const QList<Clip>& clips);
    void assignQuery(const QString& query);
    void setFilterValue(const ClipListFilter& filter);
    void setSelectedID(std::optional<qint64> id);
    void setErrorMessage(const std::optional<QString>& message);
    // Keeps the selection when it is visible, else selects the first visible clip.
    void repairSelection(const QList<Clip>& visible);
    bool paletteIsVisible() const;
    // Resumes once the list loads under way have landed, so that a key pressed right after typing
    // acts on the list for what was typed. False when the model went away meanwhile.
    QCoro::Task<bool> settledList();
    struct WaitingCapture {
        CapturedClip clip;
        // Stored with the time it was copied, however late.
        QDateTime copiedAt;
        qsizetype bytes;
    };
    QFuture<void> storeCapture(const CapturedClip& clip, const QDateTime& now);
    // Queues the capture after those waiting (or first, for one tried again), then drops the
    // oldest while there are too many.
    void keepWaiting(WaitingCapture capture, bool first);
    // Stores the waiting captures in order; stops at the first failure and tries again later.
    QCoro::Task<> storeWaiting();
    void setPersistentError(const std::optional<QString>& message);

    ClipHistory& m_history;
    PreferencesStore& m_preferences;
    Scheduler& m_scheduler;

    QList<Clip> m_clips;
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
    std::deque<WaitingCapture> m_waiting;
    qsizetype m_waitingBytes = 0;
    bool m_storing = false;
    std::unique_ptr<Scheduler::Job> m_retryTask;
    std::chrono::milliseconds m_retryDelay = firstRetryDelay;
    int m_loadsInFlight = 0;
};
