#pragma once

#include "platform/HotKeyService.h"

#include <QKeyCombination>
#include <QObject>

#include <optional>
#include <utility>

namespace orv {

// Makes one combination work system-wide and turns each press into `pressed`, on the main thread,
// after the native dispatch has returned.
class GlobalHotKey : public QObject {
    Q_OBJECT

public:
    explicit GlobalHotKey(HotKeyService& service, QObject* parent = nullptr);

    // Makes `combo` the one registered combination, replacing any earlier one. A failure leaves
    // nothing registered and says "No se pudo registrar el atajo <symbols>: <reason> (<status>)"
    // through `failureLogged`, for the system log, once until the hot key works again.
    void registerCombo(QKeyCombination combo);
    void unregister();
    // Registers again a combination that was refused (its holder may have quit since, or the
    // desktop's service appeared: the service says so and this runs by itself). A working hot
    // key, and one released by unregister(), is left alone.
    void retry();

    bool isRegistered() const { return m_registered; }
    // The combination asked for last; none after unregister().
    const std::optional<QKeyCombination>& combo() const { return m_combo; }
    // 0, or the status the last registration failed with.
    int status() const { return m_status; }

signals:
    // Once per press of the registered combination.
    void pressed();
    // After isRegistered(), combo() or status() changed.
    void registrationChanged();
    // The one line a failed registration leaves in the system log.
    void failureLogged(const QString& line);

private:
    void handle(quint32 id);
    void fail(QKeyCombination combo, int status);
    void settle(bool registered, std::optional<QKeyCombination> combo, int status);

    HotKeyService& m_service;
    bool m_registered = false;
    std::optional<QKeyCombination> m_combo;
    int m_status = 0;
    std::optional<std::pair<QKeyCombination, int>> m_loggedFailure;
};

}  // namespace orv
