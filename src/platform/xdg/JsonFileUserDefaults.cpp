#include "platform/xdg/JsonFileUserDefaults.h"

#include "logging/Logging.h"
#include "platform/ApplicationId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace orv {

JsonFileUserDefaults::JsonFileUserDefaults(const QString& path) : m_path(path) {
    QFile file(path);
    if (!file.exists()) {
        return;
    }
    QJsonParseError error{};
    const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                       ? QJsonDocument::fromJson(file.readAll(), &error)
                                       : QJsonDocument();
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        m_keepOldFile = true;
        return;
    }
    m_values = document.object();
}

QString JsonFileUserDefaults::standardPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           applicationId + QStringLiteral("/defaults.json");
}

QJsonValue JsonFileUserDefaults::object(const QString& key) const {
    return m_values.value(key);
}

void JsonFileUserDefaults::set(const QString& key, const QJsonValue& value) {
    setValues(QJsonObject{{key, value}});
}

void JsonFileUserDefaults::setValues(const QJsonObject& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        m_values.insert(it.key(), it.value());
    }
    save();
}

// Settings writes have no failure path for their callers: the values stay in memory and the next
// change tries again.
void JsonFileUserDefaults::save() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (m_keepOldFile && QFile::exists(m_path)) {
        const QString aside = m_path + QStringLiteral(".corrupt");
        QFile::remove(aside);
        if (!QFile::rename(m_path, aside)) {
            qCWarning(lcSettings) << "could not move the unreadable settings aside:" << m_path;
            return;
        }
    }
    m_keepOldFile = false;
    QSaveFile file(m_path);
    // The settings may hold the desktop's token for sending keys: the user's eyes only.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(QJsonDocument(m_values).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        qCWarning(lcSettings) << "could not save the settings to" << m_path << file.errorString();
        return;
    }
    ++m_replacements;
}

}  // namespace orv
