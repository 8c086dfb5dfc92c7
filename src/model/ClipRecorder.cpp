#include "model/ClipRecorder.h"

#include "model/StoreOutcome.h"

#include <QCoro/QCoroSignal>
#include <QLoggingCategory>

namespace orv {

using StoreOutcome::outcome;

namespace {

Q_LOGGING_CATEGORY(lcRecorder, "orv.model", QtInfoMsg)

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

}  // namespace

ClipRecorder::ClipRecorder(ClipHistory& history, PreferencesStore& preferences,
                           Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      clock([] { return QDateTime::currentDateTimeUtc(); }),
      m_history(history),
      m_preferences(preferences),
      m_scheduler(scheduler) {}

ClipRecorder::~ClipRecorder() = default;

void ClipRecorder::setPersistentError(const std::optional<QString>& message) {
    if (m_persistentError != message) {
        m_persistentError = message;
        emit persistentErrorChanged();
    }
}

QFuture<void> ClipRecorder::storeCapture(const CapturedClip& clip, const QDateTime& now) {
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

QCoro::Task<> ClipRecorder::record(CapturedClip clip) {
    if (m_preferences.paused() || m_preferences.excludes(clip.source)) {
        co_return;
    }
    const qsizetype bytes = bytesOf(clip);
    keepWaiting({std::move(clip), clock(), bytes, ++m_lastSerial}, false);
    // Captures that wait are tried now too: the history may take them again.
    co_await storeWaiting();
}

QCoro::Task<bool> ClipRecorder::recordAndConfirm(CapturedClip clip) {
    const quint64 serial = m_lastSerial + 1;
    QPointer<ClipRecorder> self(this);
    co_await record(std::move(clip));
    // A pass already under way stores it after those before it.
    while (self && m_storing && m_storedSerial < serial && m_lastSerial >= serial) {
        co_await qCoro(this, &ClipRecorder::storingEnded);
    }
    co_return self&& m_storedSerial >= serial;
}

void ClipRecorder::keepWaiting(WaitingCapture capture, bool first) {
    m_waitingBytes += capture.bytes;
    if (first) {
        m_waiting.push_front(std::move(capture));
    } else {
        m_waiting.push_back(std::move(capture));
    }
    while (m_waiting.size() > 1 && (m_waiting.size() > size_t(maximumWaitingCaptures) ||
                                    m_waitingBytes > maximumWaitingBytes)) {
        qCWarning(lcRecorder) << "a capture the history could not take is dropped: too many wait";
        m_waitingBytes -= m_waiting.front().bytes;
        m_waiting.pop_front();
    }
}

// One pass at a time, so that captures reach the history in the order they were copied.
QCoro::Task<> ClipRecorder::storeWaiting() {
    if (m_storing) {
        co_return;
    }
    m_storing = true;
    m_retryTask.reset();
    QPointer<ClipRecorder> self(this);
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
            m_retryTask = m_scheduler.after(m_retryDelay, [self] {
                if (self) {
                    self->storeWaiting();
                }
            });
            m_retryDelay = std::min(m_retryDelay * 2, longestRetryDelay);
            emit storingEnded();
            co_return;
        }
        storedAny = true;
        m_storedSerial = next.serial;
    }
    m_storing = false;
    m_retryDelay = firstRetryDelay;
    setPersistentError(std::nullopt);
    emit storingEnded();
    if (!storedAny) {
        co_return;
    }
    const auto pruned =
        co_await outcome(m_history.prune(m_preferences.maxItems(), m_preferences.retentionDays()));
    if (!self) {
        co_return;
    }
    if (!pruned.value) {
        emit failed(pruned.error);
        co_return;
    }
    emit recorded();
}

}  // namespace orv
