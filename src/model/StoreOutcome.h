#pragma once

#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QString>

#include <coroutine>
#include <exception>
#include <optional>
#include <variant>

namespace orv {

// Awaiting the store without exceptions: its result, or the message of its failure. A write's
// outcome comes after the history's announcement of it (ClipHistory::changed) has been heard.
namespace StoreOutcome {

// A store call's result, or the message of its failure.
template <typename T>
struct Outcome {
    std::optional<T> value;
    QString error;
};

// Resumes through the event queue, after what was posted to it before: a write that landed before
// it was awaited would otherwise resume ahead of its announcement, posted just before it finished.
struct Queued {
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) const {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [waiting] { waiting.resume(); }, Qt::QueuedConnection);
    }
    void await_resume() const noexcept {}
};

template <typename T>
inline QCoro::Task<Outcome<T>> outcome(QFuture<T> future) {
    Outcome<T> result;
    try {
        result.value = co_await future;
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
    }
    co_return result;
}

// Writes that announce themselves give no value.
inline QCoro::Task<Outcome<std::monostate>> outcome(QFuture<void> future) {
    const bool landed = future.isFinished();
    Outcome<std::monostate> result;
    try {
        co_await future;
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
        co_return result;
    }
    if (landed) {
        co_await Queued{};
    }
    result.value = std::monostate{};
    co_return result;
}

}  // namespace StoreOutcome

}  // namespace orv
