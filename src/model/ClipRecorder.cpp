#include "model/ClipRecorder.h"

#include "logging/Logging.h"
#include "model/StoreOutcome.h"

#include <QCoro/QCoroSignal>

namespace orv {

using StoreOutcome::outcome;

namespace {

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

void ClipRecorder::setPersistentError(const std::optional<QString>& message) {
    if (m_persistentError != message) {
        m_persistentError = message;
        emit persistentErrorChanged();
    }
}

QFuture<qint64> ClipRecorder::storeCapture(const CapturedClip& clip, const QDateTime& now) {
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

bool ClipRecorder::takes(const CapturedClip& clip) const {
    return !m_preferences.paused() && !m_preferences.excludes(clip.source);
}

QCoro::Task<> ClipRecorder::record(CapturedClip clip) {
    if (!takes(clip)) {
        co_return;
    }
    const qsizetype bytes = bytesOf(clip);
    keepWaiting({std::move(clip), clock(), bytes, ++m_lastSerial});
    // Captures that wait are tried now too: the history may take them again.
    co_await storeWaiting();
}

QCoro::Task<std::optional<qint64>> ClipRecorder::recordAndConfirm(CapturedClip clip) {
    const quint64 serial = m_lastSerial + 1;
    QPointer<ClipRecorder> self(this);
    m_confirmed.insert(serial, 0);
    co_await record(std::move(clip));
    // A pass already under way stores it after those before it.
    while (self && m_storing && isWaiting(serial)) {
        co_await qCoro(this, &ClipRecorder::storingEnded);
    }
    if (!self) {
        co_return std::nullopt;
    }
    const qint64 id = m_confirmed.take(serial);
    if (serial > m_lastSerial || isWaiting(serial) || m_lost.contains(serial)) {
        co_return std::nullopt;
    }
    co_return id;
}

ClipRecorder::~ClipRecorder() {
    for (const WaitingCapture& capture : m_waiting) {
        qCWarning(lcModel).noquote()
            << "a capture copied at" << capture.copiedAt.toString(Qt::ISODate)
            << "could not be stored before quitting and is lost (" << capture.bytes << "bytes)";
    }
}

bool ClipRecorder::isWaiting(quint64 serial) const {
    return std::any_of(m_waiting.begin(), m_waiting.end(), [serial](const WaitingCapture& capture) {
        return capture.serial == serial;
    });
}

void ClipRecorder::keepWaiting(WaitingCapture capture) {
    m_waitingBytes += capture.bytes;
    m_waiting.push_back(std::move(capture));
    while (m_waiting.size() > 1 && (m_waiting.size() > size_t(maximumWaitingCaptures) ||
                                    m_waitingBytes > maximumWaitingBytes)) {
        qCWarning(lcModel) << "a capture the history could not take is dropped: too many wait";
        drop(m_waiting.begin());
    }
}

void ClipRecorder::drop(std::deque<WaitingCapture>::iterator capture) {
    m_waitingBytes -= capture->bytes;
    m_lost.insert(capture->serial);
    m_waiting.erase(capture);
}

// One pass at a time. Each waiting capture is tried once a pass, the oldest first; one that fails
// goes behind the others, so that a capture the history cannot take (too big for the disk, say)
// keeps no later one out. The list is ordered by the time of each copy, not of its storing.
QCoro::Task<> ClipRecorder::storeWaiting() {
    if (m_storing) {
        co_return;
    }
    m_storing = true;
    m_retryTask.reset();
    QPointer<ClipRecorder> self(this);
    const quint64 pass = ++m_passes;
    bool storedAny = false;
    std::optional<QString> failure;
    for (;;) {
        // Those copied meanwhile too.
        const auto untried = std::find_if(
            m_waiting.begin(), m_waiting.end(),
            [pass](const WaitingCapture& capture) { return capture.triedInPass != pass; });
        if (untried == m_waiting.end()) {
            break;
        }
        WaitingCapture next = std::move(*untried);
        m_waiting.erase(untried);
        m_waitingBytes -= next.bytes;
        const auto stored = co_await outcome(storeCapture(next.clip, next.copiedAt));
        if (!self) {
            co_return;
        }
        if (stored.value) {
            storedAny = true;
            if (m_confirmed.contains(next.serial)) {
                m_confirmed.insert(next.serial, *stored.value);
            }
            continue;
        }
        failure = stored.error;
        next.triedInPass = pass;
        keepWaiting(std::move(next));
    }
    m_storing = false;
    if (failure) {
        dropRefused(storedAny, *failure);
    }
    if (m_waiting.empty()) {
        m_retryDelay = firstRetryDelay;
        setPersistentError(std::nullopt);
    } else {
        // Said in the user's words: the store's own message alone may be SQLite's English.
        setPersistentError(QStringLiteral("Lo copiado no se pudo guardar; se reintentará (%1)")
                               .arg(failure.value_or(QString())));
        m_retryTask = m_scheduler.after(m_retryDelay, [self] {
            if (self) {
                self->storeWaiting();
            }
        });
        m_retryDelay = std::min(m_retryDelay * 2, longestRetryDelay);
    }
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
    }
}

// A capture that keeps failing while the history takes the others is the trouble itself. Said once
// the list of those waiting is in order again.
void ClipRecorder::dropRefused(bool othersStored, const QString& error) {
    QStringList messages;
    for (auto capture = m_waiting.begin(); capture != m_waiting.end();) {
        if (othersStored && capture->triedInPass == m_passes &&
            ++capture->refusals >= maximumRefusals) {
            qCWarning(lcModel) << "a capture the history keeps refusing is dropped:" << error;
            const auto* image = std::get_if<CapturedClip::Image>(&capture->clip.payload);
            messages.append(
                QStringLiteral("No se pudo guardar %1 (%2 MB) y se ha descartado: %3")
                    .arg(image ? QStringLiteral("una imagen") : QStringLiteral("un clip"))
                    .arg(double(capture->bytes) / (1024 * 1024), 0, 'f', 1)
                    .arg(error));
            const auto at = capture - m_waiting.begin();
            drop(capture);
            capture = m_waiting.begin() + at;
        } else {
            ++capture;
        }
    }
    for (const QString& message : std::as_const(messages)) {
        emit failed(message);
    }
}

}  // namespace orv
