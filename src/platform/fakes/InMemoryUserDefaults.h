#pragma once

#include "platform/UserDefaults.h"

#include <QJsonObject>
#include <QList>
#include <QPair>

namespace orv {

// Settings kept in memory, with every write recorded in order.
class InMemoryUserDefaults : public UserDefaults {
public:
    InMemoryUserDefaults() = default;
    explicit InMemoryUserDefaults(const QJsonObject& values) : m_values(values) {}

    QJsonValue object(const QString& key) const override { return m_values.value(key); }
    void set(const QString& key, const QJsonValue& value) override {
        m_values.insert(key, value);
        writes.append({key, value});
    }

    const QJsonObject& values() const { return m_values; }
    QStringList writtenKeys() const {
        QStringList keys;
        for (const auto& write : writes) {
            keys.append(write.first);
        }
        return keys;
    }

    QList<QPair<QString, QJsonValue>> writes;

private:
    QJsonObject m_values;
};

}  // namespace orv
