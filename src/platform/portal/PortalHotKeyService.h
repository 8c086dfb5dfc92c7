#pragma once

#include "platform/HotKeyService.h"

#include "platform/portal/Portal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace orv {

// The combination as the portal's preferred trigger: CTRL, ALT, SHIFT and LOGO, then the xkb keysym
// name, joined by '+' ("CTRL+ALT+v"); empty for a key without a keysym.
QString portalTrigger(QKeyCombination combination);

// A global shortcut through the desktop portal (org.freedesktop.portal.GlobalShortcuts): one
// session holding one shortcut, made anew for each combination. The desktop may ask the user first,
// so grab() answers at once and a refusal comes later through `refused`. Every call is
// asynchronous.
class PortalHotKeyService : public HotKeyService {
    Q_OBJECT

public:
    explicit PortalHotKeyService(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QObject* parent = nullptr);
    ~PortalHotKeyService() override;

    // 0 while the portal is not known to be missing: the binding goes on in the background.
    int grab(QKeyCombination combination) override;
    void ungrab() override;
    bool answersLater() const override { return true; }

    // How the desktop says the bound shortcut is pressed; empty until it is bound, and while the
    // desktop gave it no key (the grab's status is then noKeyAssigned).
    QString triggerDescription() const { return m_triggerDescription; }

private slots:
    void onActivated(const QDBusMessage& message);
    void onShortcutsChanged(const QDBusMessage& message);

private:
    void start();
    void registerApp();
    void createSession();
    void bindShortcuts();
    // Sends `message`; a reply after the work was dropped is not handed on, and an error reply
    // cancels the Response awaited on `request`.
    // Subscribes to the Response of the request that a call with `token` will make.
    void fail(const QDBusMessage& error, const QString& request);
    void refuse(int status);
    void close(const QString& session);
    void portalChanged(const QString& oldOwner, const QString& newOwner);

    QDBusConnection m_bus;
    PortalRequests m_requests{m_bus};
    std::optional<QKeyCombination> m_combination;
    bool m_registered = false;
    QString m_session;
    QString m_triggerDescription;
    // The last call found no portal on the bus, and none was started for it.
    bool m_absent = false;
    // A grab was refused for want of the portal: its arrival is worth a new try.
    bool m_awaitingPortal = false;
};

}  // namespace orv
