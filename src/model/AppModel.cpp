#include "model/AppModel.h"

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroSignal>
#include <QCursor>
#include <QLoggingCategory>
#include <QMetaMethod>

#include <exception>
#include <variant>

Q_LOGGING_CATEGORY(lcModel, "orvantide.model", QtInfoMsg)

namespace {

// A store call's result, or the message of its failure.
template <typename T>
struct Outcome {
    std::optional<T> value;
    QString error;
};

template <typename T>
QCoro::Task<Outcome<T>> outcome(QFuture<T> future) {
    Outcome<T> result;
    try {
        result.value = co_await future;
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
    }
    co_return result;
}

QCoro::Task<Outcome<std::monostate>> outcome(QFuture<void> future) {
    Outcome<std::monostate> result;
    try {
        co_await future;
        result.value = std::monostate{};
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
    }
    co_return result;
}

qsizetype bytesOf(const CapturedClip& clip) {
    const auto characters = [](const QString& text) { return text.size() * qsizetype(2); };
    if (const auto* text = std::get_if<CapturedClip::Text>(&clip.payload)) {
        return characters(text->text) + (text->html ? characters(*text->html) : 0);
    }
    if (const auto* image = std::get_if<CapturedClip::Image>(&clip.payload)) {
        return image->png.size();
    }
    if (const auto* color = std::get_if<CapturedClip::Color>(&clip.payload)) {
        return characters(color->hex);
    }
    qsizetype bytes = 0;
    for (const QString& path : std::get<CapturedClip::Files>(clip.payload).paths) {
        bytes += characters(path);
    }
    return bytes;
}

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

}  // namespace

AppModel::AppModel(ClipHistory& history, PreferencesStore& preferences, Scheduler& scheduler,
                   QObject* parent)
    : QObject(parent),
      pointerLocation([] { return QCursor::pos(); }),
      clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_history(history),
      m_preferences(preferences),
      m_scheduler(scheduler) {}

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

void AppModel::setClips(const QList<Clip>& clips) {
    store(m_clips, clips, &AppModel::clipsChanged);
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
    store(m_persistentError, message, &AppModel::persistentErrorChanged);
}

bool AppModel::paletteIsVisible() const {
    return m_paletteWindow && m_paletteWindow->isVisible();
}

// ---- Capture and list

QFuture<void> AppModel::storeCapture(const CapturedClip& clip, const QDateTime& now) {
    const auto& source = clip.source;
    if (const auto* text = std::get_if<CapturedClip::Text>(&clip.payload)) {
        return m_history.upsert(ClipKind::text, text->text, text->html, std::nullopt, source, now);
    }
    if (const auto* image = std::get_if<CapturedClip::Image>(&clip.payload)) {
        return m_history.recordImage(image->png, source, now);
    }
    if (const auto* color = std::get_if<CapturedClip::Color>(&clip.payload)) {
        return m_history.upsert(ClipKind::color, color->hex, std::nullopt, std::nullopt, source,
                                now);
    }
    const auto& files = std::get<CapturedClip::Files>(clip.payload);
    return m_history.upsert(ClipKind::files, files.paths.join(u'\n'), std::nullopt, std::nullopt,
                            source, now);
}

QCoro::Task<> AppModel::record(CapturedClip clip) {
    if (m_preferences.paused() || m_preferences.excludes(clip.source)) {
        co_return;
    }
    const qsizetype bytes = bytesOf(clip);
    keepWaiting({std::move(clip), clock(), bytes}, false);
    // Captures that wait are tried now too: the history may take them again.
    co_await storeWaiting();
}

void AppModel::keepWaiting(WaitingCapture capture, bool first) {
    m_waitingBytes += capture.bytes;
    if (first) {
        m_waiting.push_front(std::move(capture));
    } else {
        m_waiting.push_back(std::move(capture));
    }
    while (m_waiting.size() > 1 && (m_waiting.size() > size_t(maximumWaitingCaptures) ||
                                    m_waitingBytes > maximumWaitingBytes)) {
        qCWarning(lcModel) << "a capture the history could not take is dropped: too many wait";
        m_waitingBytes -= m_waiting.front().bytes;
        m_waiting.pop_front();
    }
}

// One pass at a time, so that captures reach the history in the order they were copied.
QCoro::Task<> AppModel::storeWaiting() {
    if (m_storing) {
        co_return;
    }
    m_storing = true;
    m_retryTask.reset();
    QPointer<AppModel> self(this);
    bool storedAny = false;
    while (!m_waiting.empty()) {
        WaitingCapture next = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_waitingBytes -= next.bytes;
        const auto stored = co_await outcome(storeCapture(next.clip, next.copiedAt));
        if (!self) {
            co_return;
        }
        if (!stored.value) {
            keepWaiting(std::move(next), true);
            m_storing = false;
            // Said in the user's words: the store's own message alone may be SQLite's English.
            const QString waiting =
                QStringLiteral("Lo copiado no se pudo guardar; se reintentará (%1)")
                    .arg(stored.error);
            setPersistentError(waiting);
            report(waiting);
            m_retryTask = m_scheduler.after(m_retryDelay, [self] {
                if (self) {
                    self->storeWaiting();
                }
            });
            m_retryDelay = std::min(m_retryDelay * 2, longestRetryDelay);
            co_return;
        }
        storedAny = true;
    }
    m_storing = false;
    m_retryDelay = firstRetryDelay;
    if (m_persistentError) {
        if (m_errorMessage == m_persistentError) {
            m_errorTask.reset();
            setErrorMessage(std::nullopt);
        }
        setPersistentError(std::nullopt);
    }
    if (storedAny) {
        // Then the same as a change of limits: prune, and refresh an open palette.
        co_await applyPreferenceLimits();
    }
}

QCoro::Task<> AppModel::reload(bool resetSelection) {
    if (resetSelection) {
        hidePreview();
    }
    QPointer<AppModel> self(this);
    ++m_loadsInFlight;
    const auto loaded = co_await outcome(m_history.clips(m_query));
    if (!self) {
        co_return;
    }
    if (--m_loadsInFlight == 0) {
        // After this load has been applied: the signal is queued for a coroutine waiting on it.
        QMetaObject::invokeMethod(this, &AppModel::loadsSettled, Qt::QueuedConnection);
    }
    if (!loaded.value) {
        report(loaded.error);
        co_return;
    }
    setClips(*loaded.value);
    if (m_filter != ClipListFilter::all() &&
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

QCoro::Task<> AppModel::copy(Clip clip) {
    if (!isSignalConnected(QMetaMethod::fromSignal(&AppModel::copyRequested))) {
        co_return;
    }
    QPointer<AppModel> self(this);
    // Listed clips carry no html: read the whole clip before it is used.
    const auto full = co_await outcome(m_history.clip(clip.id));
    if (!self) {
        co_return;
    }
    emit copyRequested(full.value && *full.value ? **full.value : clip);
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
    co_await reload(false);
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
    hidePreview();
    co_await reload(false);
    if (!self) {
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
    hidePreview();
    co_await reload(true);
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
    if (paletteIsVisible()) {
        co_await reload(false);
    }
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
        if (!self || self->m_hoveredID != clip.id || !self->m_paletteWindow) {
            return;
        }
        if (self->m_previewController) {
            self->m_previewController->show(clip, self->m_paletteWindow);
        }
    });
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
