#include "model/AppModel.h"

#include "logging/Logging.h"
#include "model/StoreOutcome.h"

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroSignal>
#include <QCursor>
#include <QMetaMethod>

#include <exception>
#include <variant>

namespace orv {

using StoreOutcome::outcome;

namespace {

std::optional<qsizetype> positionOf(const QList<Clip>& clips, std::optional<qint64> id) {
    if (!id) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < clips.size(); ++i) {
        if (clips[i].id == *id) {
            return i;
        }
    }
    return std::nullopt;
}

// Built outside the coroutines: g++ 12 mishandles QStringLiteral inside them.
QString goneMessage() {
    return QStringLiteral("Ese clip ya no está en el historial.");
}

}  // namespace

AppModel::AppModel(ClipHistory& history, PreferencesStore& preferences, Scheduler& scheduler,
                   QObject* parent)
    : QObject(parent),
      pointerLocation([] { return QCursor::pos(); }),
      m_history(history),
      m_preferences(preferences),
      m_scheduler(scheduler) {
    connect(&history, &ClipHistory::changed, this, &AppModel::historyChanged);
}

AppModel::~AppModel() = default;

template <typename T>
void AppModel::store(T& field, const T& value, void (AppModel::*changed)()) {
    if (field == value) {
        return;
    }
    field = value;
    emit(this->*changed)();
}

QCoro::Task<> AppModel::setQuery(QString query) {
    if (query == m_query) {
        co_return;
    }
    assignQuery(query);
    co_await reload(true);
}

void AppModel::assignQuery(const QString& query) {
    store(m_query, query, &AppModel::queryChanged);
}

void AppModel::increaseFocusToken() {
    store(m_focusToken, m_focusToken + 1, &AppModel::focusTokenChanged);
}

void AppModel::setSearchFocus(SearchFocus focus) {
    store(m_searchFocus, focus, &AppModel::searchFocusChanged);
}

void AppModel::setPreviewController(PreviewPresenter* controller) {
    store(m_previewController, QPointer<PreviewPresenter>(controller),
          &AppModel::previewControllerChanged);
}

void AppModel::setPaletteWindow(WindowHandle* window) {
    store(m_paletteWindow, QPointer<WindowHandle>(window), &AppModel::paletteWindowChanged);
}

void AppModel::setClips(const QList<Clip>& clips, const QString& query) {
    if (m_clips == clips && m_listedQuery == query) {
        return;
    }
    m_clips = clips;
    m_listedQuery = query;
    emit clipsChanged();
}

void AppModel::setFilterValue(const ClipListFilter& filter) {
    store(m_filter, filter, &AppModel::filterChanged);
}

void AppModel::setSelectedID(std::optional<qint64> id) {
    store(m_selectedID, id, &AppModel::selectedIDChanged);
}

void AppModel::setErrorMessage(const std::optional<QString>& message) {
    store(m_errorMessage, message, &AppModel::errorMessageChanged);
}

void AppModel::setPersistentError(const std::optional<QString>& message) {
    // The banner that was showing the condition goes with it.
    if (!message && m_persistentError && m_errorMessage == m_persistentError) {
        m_errorTask.reset();
        setErrorMessage(std::nullopt);
    }
    store(m_persistentError, message, &AppModel::persistentErrorChanged);
    if (message) {
        report(*message);
    }
}

bool AppModel::paletteIsVisible() const {
    return m_paletteWindow && m_paletteWindow->isVisible();
}

// ---- Capture and list

QCoro::Task<> AppModel::reload(bool resetSelection) {
    if (resetSelection) {
        hidePreview();
    }
    m_selectionResetDue = m_selectionResetDue || resetSelection;
    const QString query = m_query;
    // Lists still loading answer a text the user has typed over: the store drops them, except the
    // first rows of a search that the new text only adds to. Those found all there is (or stop
    // early by themselves), and the store's next search looks among them once done.
    m_restStop.request_stop();
    m_restStop = std::stop_source();
    const std::stop_token restStop = m_restStop.get_token();
    const QString running = m_loadQuery.trimmed();
    if (running.isEmpty() || !query.contains(running)) {
        for (std::stop_source& load : m_loadStops) {
            load.request_stop();
        }
        m_loadStops.clear();
    }
    m_loadStops.emplace_back();
    m_loadQuery = query;
    const std::stop_token stop = m_loadStops.back().get_token();
    const quint64 generation = ++m_loadGeneration;
    QPointer<AppModel> self(this);
    ++m_loadsInFlight;
    // The rows a palette shows come first, at once whatever the history's size; the rest of a
    // long list follows.
    auto loaded = co_await outcome(m_history.listing(query, firstRows, stop));
    if (self && generation == m_loadGeneration && loaded.value &&
        loaded.value->size() == firstRows) {
        applyList(*loaded.value, query, false);
        loaded = co_await outcome(m_history.listing(query, -1, restStop));
    }
    if (!self) {
        co_return;
    }
    if (--m_loadsInFlight == 0) {
        // After this load has been applied: the signal is queued for a coroutine waiting on it.
        QMetaObject::invokeMethod(this, &AppModel::loadsSettled, Qt::QueuedConnection);
    }
    if (generation != m_loadGeneration) {
        co_return;
    }
    if (!loaded.value) {
        m_selectionResetDue = false;
        report(loaded.error);
        co_return;
    }
    applyList(*loaded.value, query, true);
}

void AppModel::applyList(const QList<Clip>& clips, const QString& query, bool whole) {
    const bool resetSelection = std::exchange(m_selectionResetDue, false);
    setClips(clips, query);
    qCDebug(lcModel) << "list shown:" << m_clips.size() << "rows for a search of" << query.size()
                     << "characters";
    // Only the whole list tells that nothing is left for the filter to show.
    if (whole && m_filter != ClipListFilter::all() &&
        !ClipListFilter::available(m_clips).contains(m_filter)) {
        setFilterValue(ClipListFilter::all());
    }
    const QList<Clip> visible = visibleClips();
    if (resetSelection) {
        setSelectedID(visible.isEmpty() ? std::nullopt : std::optional(visible.first().id));
    } else {
        repairSelection(visible);
    }
}

QCoro::Task<> AppModel::prepareForDisplay() {
    assignQuery(QString());
    setFilterValue(ClipListFilter::all());
    setSearchFocus(SearchFocus::field);
    QPointer<AppModel> self(this);
    co_await reload(true);
    if (self) {
        increaseFocusToken();
    }
}

QList<Clip> AppModel::visibleClips() const {
    if (m_filter == ClipListFilter::all()) {
        return m_clips;
    }
    QList<Clip> visible;
    for (const Clip& clip : m_clips) {
        if (m_filter.matches(clip)) {
            visible.append(clip);
        }
    }
    return visible;
}

void AppModel::repairSelection(const QList<Clip>& visible) {
    if (positionOf(visible, m_selectedID)) {
        return;
    }
    setSelectedID(visible.isEmpty() ? std::nullopt : std::optional(visible.first().id));
}

void AppModel::setFilter(const ClipListFilter& filter) {
    const bool turnOff = filter == m_filter && filter != ClipListFilter::all();
    setFilterValue(turnOff ? ClipListFilter::all() : filter);
    hidePreview();
    repairSelection(visibleClips());
}

void AppModel::moveSelection(int offset) {
    const QList<Clip> visible = visibleClips();
    if (visible.isEmpty()) {
        return;
    }
    const qsizetype current = positionOf(visible, m_selectedID).value_or(0);
    const qsizetype next = std::clamp<qsizetype>(current + offset, 0, visible.size() - 1);
    setSelectedID(visible[next].id);
}

// ---- Actions

QCoro::Task<std::optional<Clip>> AppModel::wholeClip(Clip clip) {
    QPointer<AppModel> self(this);
    // Listed clips carry no html and may hold only the beginning of their text.
    const auto full = co_await outcome(m_history.clip(clip.id));
    if (!self) {
        co_return std::nullopt;
    }
    if (full.value && *full.value) {
        co_return **full.value;
    }
    if (!clip.partial) {
        co_return clip;
    }
    // Using the beginning of a text as if it were all of it would lose the rest unseen.
    report(full.value ? goneMessage() : full.error);
    co_return std::nullopt;
}

QCoro::Task<> AppModel::copy(Clip clip) {
    if (!isSignalConnected(QMetaMethod::fromSignal(&AppModel::copyRequested))) {
        co_return;
    }
    QPointer<AppModel> self(this);
    const std::optional<Clip> whole = co_await wholeClip(clip);
    if (self && whole) {
        emit copyRequested(*whole);
    }
}

QCoro::Task<bool> AppModel::settledList() {
    QPointer<AppModel> self(this);
    while (self && self->m_loadsInFlight > 0) {
        co_await qCoro(self.data(), &AppModel::loadsSettled);
    }
    co_return bool(self);
}

QCoro::Task<> AppModel::copySelected() {
    if (!co_await settledList()) {
        co_return;
    }
    const QList<Clip> visible = visibleClips();
    if (const auto position = positionOf(visible, m_selectedID)) {
        co_await copy(visible[*position]);
    }
}

QCoro::Task<> AppModel::copyAt(int position) {
    if (!co_await settledList()) {
        co_return;
    }
    const QList<Clip> visible = visibleClips();
    if (position < 0 || position >= visible.size()) {
        co_return;
    }
    setSelectedID(visible[position].id);
    co_await copy(visible[position]);
}

QCoro::Task<> AppModel::togglePin(Clip clip) {
    QPointer<AppModel> self(this);
    const auto toggled = co_await outcome(m_history.togglePinned(clip.id));
    if (!self) {
        co_return;
    }
    if (!toggled.value) {
        report(toggled.error);
        co_return;
    }
    co_await settledList();
}

QCoro::Task<> AppModel::deleteClip(Clip clip) {
    const qsizetype position = positionOf(visibleClips(), clip.id).value_or(0);
    QPointer<AppModel> self(this);
    const auto deleted = co_await outcome(m_history.deleteClip(clip.id));
    if (!self) {
        co_return;
    }
    if (!deleted.value) {
        report(deleted.error);
        co_return;
    }
    if (!co_await settledList()) {
        co_return;
    }
    // The clip that followed the deleted one takes its place in the selection.
    const QList<Clip> visible = visibleClips();
    if (position < visible.size()) {
        setSelectedID(visible[position].id);
    } else {
        setSelectedID(visible.isEmpty() ? std::nullopt : std::optional(visible.last().id));
    }
}

QCoro::Task<> AppModel::deleteSelected() {
    if (!co_await settledList()) {
        co_return;
    }
    const QList<Clip> visible = visibleClips();
    // The row under the pointer wins over the keyboard selection.
    if (const auto hovered = positionOf(visible, m_hoveredRowID)) {
        co_await deleteClip(visible[*hovered]);
    } else if (const auto selected = positionOf(visible, m_selectedID)) {
        co_await deleteClip(visible[*selected]);
    }
}

QCoro::Task<> AppModel::clearUnpinned() {
    QPointer<AppModel> self(this);
    const auto cleared = co_await outcome(m_history.clearUnpinned());
    if (!self) {
        co_return;
    }
    if (!cleared.value) {
        report(cleared.error);
        co_return;
    }
    co_await settledList();
}

void AppModel::historyChanged(HistoryChange change) {
    if (change == HistoryChange::updated && !paletteIsVisible()) {
        return;
    }
    if (change == HistoryChange::removed) {
        hidePreview();
    }
    reload(change == HistoryChange::cleared);
}

void AppModel::follow(ClipRecorder& recorder) {
    connect(&recorder, &ClipRecorder::failed, this, &AppModel::report);
    connect(&recorder, &ClipRecorder::persistentErrorChanged, this,
            [this, &recorder] { setPersistentError(recorder.persistentError()); });
}

QCoro::Task<> AppModel::applyPreferenceLimits() {
    QPointer<AppModel> self(this);
    const auto pruned =
        co_await outcome(m_history.prune(m_preferences.maxItems(), m_preferences.retentionDays()));
    if (!self) {
        co_return;
    }
    if (!pruned.value) {
        report(pruned.error);
        co_return;
    }
    co_await settledList();
}

// ---- Error banner

void AppModel::report(const QString& message) {
    setErrorMessage(message);
    QPointer<AppModel> self(this);
    m_errorTask = m_scheduler.after(errorDuration, [self] {
        if (self) {
            self->setErrorMessage(self->m_persistentError);
        }
    });
}

// ---- Hover preview

void AppModel::schedulePreview(const Clip& clip) {
    m_dismissTask.reset();
    m_hoveredID = clip.id;
    QPointer<AppModel> self(this);
    m_previewTask = m_scheduler.after(previewDelay, [self, clip] {
        if (self) {
            self->showPreview(clip);
        }
    });
}

QCoro::Task<> AppModel::showPreview(Clip clip) {
    if (clip.partial) {
        // The preview shows the whole text.
        QPointer<AppModel> self(this);
        std::optional<Clip> whole = co_await wholeClip(clip);
        if (!self || !whole) {
            co_return;
        }
        clip = std::move(*whole);
    }
    if (m_hoveredID != clip.id || !m_paletteWindow || !m_previewController) {
        co_return;
    }
    m_previewController->show(clip, m_paletteWindow);
}

void AppModel::endHover(const Clip& clip) {
    if (m_hoveredID != clip.id) {
        return;
    }
    m_previewTask.reset();
    schedulePreviewDismiss();
}

void AppModel::schedulePreviewDismiss() {
    QPointer<AppModel> self(this);
    m_dismissTask = m_scheduler.after(dismissDelay, [self] {
        if (!self) {
            return;
        }
        PreviewPresenter* preview = self->m_previewController;
        // The pointer moved from the row onto the preview itself.
        if (preview && preview->isPanelVisible() &&
            preview->panelFrame().contains(self->pointerLocation())) {
            return;
        }
        self->m_hoveredID.reset();
        if (preview) {
            preview->hide();
        }
    });
}

void AppModel::hidePreview() {
    m_hoveredID.reset();
    m_previewTask.reset();
    m_dismissTask.reset();
    if (m_previewController) {
        m_previewController->hide();
    }
}

void AppModel::setRowHover(const Clip& clip, bool hovering) {
    if (hovering) {
        m_hoveredRowID = clip.id;
    } else if (m_hoveredRowID == clip.id) {
        // A late report of leaving one row does not clear the row entered meanwhile.
        m_hoveredRowID.reset();
    }
}

}  // namespace orv
