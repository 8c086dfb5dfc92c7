#pragma once

#include "store/Clip.h"

#include <QList>
#include <QMenu>
#include <QObject>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

namespace orv {

class AppUpdater;
class ClipHistory;
class PreferencesStore;

// The tray icon's menu, built anew each time it opens: the five most recent clips (choosing one
// copies it), "Pausar captura", "Preferencias…", then the version, "Buscar actualizaciones…" and
// "Salir de Orvantide". The clips come from the store's thread; the menu shows the last ones it
// had and is rebuilt when the new ones arrive while it is open.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    static constexpr int recentCount = 5;

    TrayMenu(ClipHistory& history, PreferencesStore& preferences, AppUpdater* updater,
             QObject* parent = nullptr);
    ~TrayMenu() override;

    QMenu* menu() const { return m_menu.get(); }
    // Asks the store for the newest clips again; the history's changes do it by themselves.
    QCoro::Task<> refresh();
    const QList<Clip>& recent() const { return m_recent; }

signals:
    // About to show: the palette closes.
    void opening();
    void clipChosen(const Clip& clip);
    void preferencesRequested();

private:
    void rebuild();
    void showRecent();

    ClipHistory& m_history;
    PreferencesStore& m_preferences;
    AppUpdater* m_updater;
    std::unique_ptr<QMenu> m_menu;
    QList<Clip> m_recent;
    // Kept across rebuilds, so that new clips can show while the menu is open.
    QList<QAction*> m_clipItems;
    QAction* m_clipsEnd = nullptr;
};

}  // namespace orv
