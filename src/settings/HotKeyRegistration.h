#pragma once

#include <QObject>

namespace orv {

class GlobalHotKey;
class PreferencesStore;

// Keeps the global hot key as the preferences want it (registered, or released while a new one is
// being recorded) and tells the preferences, for the settings window, when it could not be
// registered.
class HotKeyRegistration : public QObject {
    Q_OBJECT

public:
    HotKeyRegistration(GlobalHotKey& hotKey, PreferencesStore& preferences,
                       QObject* parent = nullptr);

    // Releases the hot key while the preferences suspend it, else registers their combination.
    void refresh();
    // The program that held the combination may have quit: tries a refused registration again.
    // A working or suspended hot key is left alone.
    void retry();

private:
    void showStatus();

    GlobalHotKey& m_hotKey;
    PreferencesStore& m_preferences;
};

}  // namespace orv
