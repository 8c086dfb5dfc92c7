#pragma once

#include "platform/HotKeyService.h"

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

    // How the desktop says the bound shortcut is pressed; empty until it is bound.
    QString triggerDescription() const { return m_triggerDescription; }

private slots:
    void onResponse(const QDBusMessage& message);
    void onActivated(const QDBusMessage& message);

private:
    using Handler = std::function<void(uint response, const QVariantMap& results)>;

    void start();
    void registerApp();
    void createSession();
    void bindShortcuts();
    // Sends `message`; a reply after the work was dropped is not handed on, and an error reply
    // cancels the Response awaited on `request`.
    void call(const QDBusMessage& message, const QString& request,
              std::function<void(const QDBusMessage&)> onReply);
    // Subscribes to the Response of the request that a call with `token` will make.
    QString expectResponse(const QString& token, Handler handler);
    void forgetRequest(const QString& path);
    void fail(const QDBusMessage& error, const QString& request);
    void refuse(int status);
    void close(const QString& session);
    void portalChanged(const QString& oldOwner, const QString& newOwner);
    bool fromPortal(const QDBusMessage& message) const;

    QDBusConnection m_bus;
    std::optional<QKeyCombination> m_combination;
    // Bumped whenever the work under way is dropped; late answers to older work are ignored.
    quint64 m_attempt = 0;
    quint64 m_tokens = 0;
    // The portal's unique name once it answered; its signals alone count.
    QString m_portal;
    bool m_registered = false;
    QString m_session;
    QString m_triggerDescription;
    // The last call found no portal on the bus, and none was started for it.
    bool m_absent = false;
    // A grab was refused for want of the portal: its arrival is worth a new try.
    bool m_awaitingPortal = false;
    QHash<QString, Handler> m_requests;
};

}  // namespace orv
