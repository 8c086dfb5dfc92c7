#pragma once

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QString>

#include <exception>
#include <optional>
#include <variant>

namespace orv {

// Awaiting the store without exceptions: its result, or the message of its failure.
namespace StoreOutcome {

// A store call's result, or the message of its failure.
template <typename T>
struct Outcome {
    std::optional<T> value;
    QString error;
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

inline QCoro::Task<Outcome<std::monostate>> outcome(QFuture<void> future) {
    Outcome<std::monostate> result;
    try {
        co_await future;
        result.value = std::monostate{};
    } catch (const std::exception& error) {
        result.error = QString::fromUtf8(error.what());
    }
    co_return result;
}

}  // namespace StoreOutcome

}  // namespace orv
