#include "platform/UserDefaults.h"

#include <QJsonArray>

#include <cmath>

namespace orv {

std::optional<qint64> UserDefaults::integer(const QString& key) const {
    const QJsonValue value = object(key);
    if (value.isUndefined()) {
        return std::nullopt;
    }
    // JSON numbers are doubles; only whole ones that an int64 holds exactly count as integers.
    const double number = value.toDouble();
    if (!value.isDouble() || std::trunc(number) != number || std::abs(number) > 9.0e15) {
        noteUnreadableValue();
        return std::nullopt;
    }
    return value.toInteger();
}

std::optional<bool> UserDefaults::boolean(const QString& key) const {
    const QJsonValue value = object(key);
    if (value.isUndefined()) {
        return std::nullopt;
    }
    if (!value.isBool()) {
        noteUnreadableValue();
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<QStringList> UserDefaults::stringArray(const QString& key) const {
    const QJsonValue value = object(key);
    if (value.isUndefined()) {
        return std::nullopt;
    }
    QStringList strings;
    bool readable = value.isArray();
    for (const QJsonValue& item : value.toArray()) {
        readable = readable && item.isString();
        strings.append(item.toString());
    }
    if (!readable) {
        noteUnreadableValue();
        return std::nullopt;
    }
    return strings;
}

void UserDefaults::setStringArray(const QString& key, const QStringList& value) {
    set(key, QJsonArray::fromStringList(value));
}

void UserDefaults::setValues(const QJsonObject& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        set(it.key(), it.value());
    }
}

}  // namespace orv
