#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The user's settings as typed values under string keys: integers, Booleans and arrays of strings
// keep their types.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // Undefined when the key is missing.
    virtual QJsonValue object(const QString& key) const = 0;
    virtual void set(const QString& key, const QJsonValue& value) = 0;
    // Several keys as one change: stored settings are replaced once, not once per key.
    virtual void setValues(const QJsonObject& values);

    // Nothing when the key is missing or holds another type; a value of another type is noted
    // (see valueOfWrongType).
    std::optional<qint64> integer(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<QStringList> stringArray(const QString& key) const;

    void setInteger(const QString& key, qint64 value) { set(key, QJsonValue(value)); }
    void setBool(const QString& key, bool value) { set(key, QJsonValue(value)); }
    void setStringArray(const QString& key, const QStringList& value);

protected:
    // Called when a typed read finds a value it cannot use.
    virtual void noteUnreadableValue() const {}
};

}  // namespace orv
