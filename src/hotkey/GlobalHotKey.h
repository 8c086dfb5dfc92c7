#pragma once

#include "hotkey/HotKeyCombo.h"
#include "platform/HotKeyService.h"

#include <QObject>
#include <QPointer>

#include <functional>

// Makes one combination work system-wide and turns each press into a call of `onPress` on the main
// thread, after the native dispatch has returned.
class GlobalHotKey : public QObject {
    Q_OBJECT

public:
    // The instance that registered last; the press callback reaches it through here.
    static inline QPointer<GlobalHotKey> current;

    explicit GlobalHotKey(HotKeyService& service, QObject* parent = nullptr);

    std::function<void()> onPress;
    // Where the one failure line goes; the system log by default.
    std::function<void(const QString&)> log;

    // Makes `combo` the one registered combination, replacing any earlier one. A failure leaves
    // nothing registered and writes "No se pudo registrar el atajo <symbols>: <status>".
    void registerCombo(const HotKeyCombo& combo);
    void unregister();
    bool isRegistered() const { return m_registered; }

private:
    static void handle(quint32 id);

    HotKeyService& m_service;
    bool m_handlerInstalled = false;
    bool m_registered = false;
};
