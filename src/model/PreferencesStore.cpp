#include "model/PreferencesStore.h"

#include "hotkey/StoredHotKey.h"

#include <QJsonArray>

#include <limits>

namespace orv {

namespace {

const QString kMaxItems = QStringLiteral("maxItems");
const QString kAutoPaste = QStringLiteral("autoPaste");
const QString kExcludedApps = QStringLiteral("excludedApps");
const QString kRetentionDays = QStringLiteral("retentionDays");
const QString kPaused = QStringLiteral("paused");
const QString kHotKeyCode = QStringLiteral("hotKeyCode");
const QString kHotKeyModifiers = QStringLiteral("hotKeyModifiers");
const QString kRemoteDesktopKeys = QStringLiteral("remoteDesktopKeys");
const QString kRemoteDesktopToken = QStringLiteral("remoteDesktopToken");

// A stored integer that is one of the accepted values, else the fallback.
int accepted(const std::optional<qint64>& stored, const QList<int>& values, int fallback) {
    if (stored && values.contains(*stored)) {
        return int(*stored);
    }
    return fallback;
}

// Both parts stored as integers that the combination can hold, with some modifier a hot key can
// hold; else the default combination.
QKeyCombination storedHotKey(const UserDefaults& defaults) {
    const auto code = defaults.integer(kHotKeyCode);
    const auto modifiers = defaults.integer(kHotKeyModifiers);
    if (!code || !modifiers || *code < 0 || *code > std::numeric_limits<quint16>::max() ||
        *modifiers < 0 || *modifiers > std::numeric_limits<quint32>::max()) {
        return HotKey::defaultCombination;
    }
    const QKeyCombination stored = StoredHotKey{quint16(*code), quint32(*modifiers)}.combination();
    return stored.keyboardModifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier |
                                                   Qt::ShiftModifier | Qt::MetaModifier)
               ? stored
               : HotKey::defaultCombination;
}

}  // namespace

const QList<int> PreferencesStore::allowedMax{100, 300, 500, 1000, 2000};
const QList<int> PreferencesStore::allowedRetentionDays{0, 7, 30, 90};

PreferencesStore::PreferencesStore(UserDefaults& defaults, LoginItemService& loginItem,
                                   QObject* parent)
    : QObject(parent), m_defaults(defaults), m_loginItem(loginItem) {
    m_maxItems = accepted(defaults.integer(kMaxItems), allowedMax, defaultMaxItems);
    m_autoPaste = defaults.boolean(kAutoPaste).value_or(true);
    m_excludedApps = defaults.stringArray(kExcludedApps).value_or(QStringList());
    m_retentionDays = accepted(defaults.integer(kRetentionDays), allowedRetentionDays, 0);
    m_paused = defaults.boolean(kPaused).value_or(false);
    m_hotKey = storedHotKey(defaults);
    m_remoteDesktopKeys = defaults.boolean(kRemoteDesktopKeys).value_or(false);
    m_remoteDesktopToken = defaults.object(kRemoteDesktopToken).toString();
    m_launchAtLogin = loginItem.status() == LoginItemService::Status::enabled;
    m_isLoading = false;
    m_launchAtLoginStatus = statusText(loginItem.status());
}

template <typename T>
void PreferencesStore::store(T& field, const T& value, void (PreferencesStore::*changed)()) {
    const bool differs = !(field == value);
    field = value;
    if (differs) {
        emit(this->*changed)();
    }
}

void PreferencesStore::setMaxItems(int value) {
    store(m_maxItems, value, &PreferencesStore::maxItemsChanged);
    touch();
}

void PreferencesStore::setAutoPaste(bool value) {
    store(m_autoPaste, value, &PreferencesStore::autoPasteChanged);
    touch();
}

void PreferencesStore::setRemoteDesktopKeys(bool value) {
    store(m_remoteDesktopKeys, value, &PreferencesStore::remoteDesktopKeysChanged);
    m_defaults.set(kRemoteDesktopKeys, value);
}

void PreferencesStore::setRemoteDesktopToken(const QString& value) {
    if (value != m_remoteDesktopToken) {
        m_remoteDesktopToken = value;
        m_defaults.set(kRemoteDesktopToken, value);
    }
}

void PreferencesStore::setExcludedApps(const QStringList& value) {
    store(m_excludedApps, value, &PreferencesStore::excludedAppsChanged);
    touch();
}

void PreferencesStore::setRetentionDays(int value) {
    store(m_retentionDays, value, &PreferencesStore::retentionDaysChanged);
    touch();
}

void PreferencesStore::setPaused(bool value) {
    store(m_paused, value, &PreferencesStore::pausedChanged);
    touch();
}

void PreferencesStore::setHotKey(QKeyCombination value) {
    store(m_hotKey, value, &PreferencesStore::hotKeyChanged);
    persistHotKey();
}

void PreferencesStore::setHotKeySuspended(bool value) {
    store(m_hotKeySuspended, value, &PreferencesStore::hotKeySuspendedChanged);
    emit hotKeyRegistrationChanged();
}

void PreferencesStore::setLaunchAtLogin(bool value) {
    const bool previous = m_launchAtLogin;
    store(m_launchAtLogin, value, &PreferencesStore::launchAtLoginChanged);
    applyLaunchAtLogin(previous);
}

void PreferencesStore::setLaunchAtLoginStatus(const QString& value) {
    store(m_launchAtLoginStatus, value, &PreferencesStore::launchAtLoginStatusChanged);
}

void PreferencesStore::setHotKeyStatus(const QString& value) {
    store(m_hotKeyStatus, value, &PreferencesStore::hotKeyStatusChanged);
}

bool PreferencesStore::excludes(const std::optional<QString>& source) const {
    if (!source) {
        return false;
    }
    for (const QString& entry : m_excludedApps) {
        if (entry.compare(*source, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// All five general settings go out together, whichever was assigned.
void PreferencesStore::touch() {
    if (m_isLoading) {
        return;
    }
    m_defaults.setValues({{kMaxItems, m_maxItems},
                          {kAutoPaste, m_autoPaste},
                          {kExcludedApps, QJsonArray::fromStringList(m_excludedApps)},
                          {kRetentionDays, m_retentionDays},
                          {kPaused, m_paused}});
    emit changed();
}

void PreferencesStore::persistHotKey() {
    if (m_isLoading) {
        return;
    }
    // A key the file has no code for came from the file: it stays as stored there.
    if (const auto stored = StoredHotKey::of(m_hotKey)) {
        m_defaults.setValues({{kHotKeyCode, qint64(stored->keyCode)},
                              {kHotKeyModifiers, qint64(stored->carbonModifiers)}});
    }
    emit hotKeyRegistrationChanged();
}

void PreferencesStore::applyLaunchAtLogin(bool previous) {
    if (m_isLoading || m_isApplyingLaunch) {
        return;
    }
    const auto failure =
        m_launchAtLogin ? m_loginItem.registerItem() : m_loginItem.unregisterItem();
    if (!failure) {
        setLaunchAtLoginStatus(statusText(m_loginItem.status()));
        return;
    }
    m_isApplyingLaunch = true;
    setLaunchAtLogin(previous);
    m_isApplyingLaunch = false;
    setLaunchAtLoginStatus(QStringLiteral("No se pudo cambiar el inicio de sesión."));
}

QString PreferencesStore::statusText(LoginItemService::Status status) {
    switch (status) {
        case LoginItemService::Status::notRegistered:
        case LoginItemService::Status::notFound:
            return QStringLiteral("Desactivado.");
        case LoginItemService::Status::enabled:
            return QStringLiteral("Se abrirá al iniciar sesión.");
        case LoginItemService::Status::requiresApproval:
            return QStringLiteral("Pendiente de aprobación en Ajustes del Sistema.");
    }
    return QString();
}

}  // namespace orv
