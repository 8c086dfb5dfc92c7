#pragma once

#include "platform/UserDefaults.h"

#include <QJsonObject>

namespace orv {

// The settings in one JSON object file, read once and rewritten whole (atomically) on every change.
//
// A file that cannot be read as settings (not JSON, not an object, or holding a value of another
// type than its reader expects) gives the defaults and is left as it is until the first change,
// which first moves it aside to "<file>.corrupt" so that nothing the user had is lost.
class JsonFileUserDefaults : public UserDefaults {
public:
    explicit JsonFileUserDefaults(const QString& path);

    // $XDG_CONFIG_HOME/com.quarnelbrisk.orvantide/defaults.json
    static QString standardPath();

    QJsonValue object(const QString& key) const override;
    void set(const QString& key, const QJsonValue& value) override;
    void setValues(const QJsonObject& values) override;

    const QString& path() const { return m_path; }
    // How many times the file was written since this object was made.
    int replacements() const { return m_replacements; }

protected:
    void noteUnreadableValue() const override { m_keepOldFile = true; }

private:
    void save();

    QString m_path;
    QJsonObject m_values;
    mutable bool m_keepOldFile = false;
    int m_replacements = 0;
};

}  // namespace orv
