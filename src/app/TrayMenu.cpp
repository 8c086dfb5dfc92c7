#include "app/TrayMenu.h"

#include "logging/Logging.h"

#include <QPointer>

#include "app/AppUpdater.h"
#include "model/PreferencesStore.h"
#include "store/ClipHistory.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeySequence>

#include <QCoro/QCoroFuture>

namespace orv {

namespace {

constexpr int kTitlePixels = 320;

// One line of the clip's title, cut to the menu's width.
QString menuText(const Clip& clip, const QFont& font) {
    QString title = clip.listTitle().simplified();
    if (title.isEmpty()) {
        title = QStringLiteral("(vacío)");
    }
    // "&" would mark a mnemonic.
    title.replace(u'&', QStringLiteral("&&"));
    return QFontMetrics(font).elidedText(title, Qt::ElideRight, kTitlePixels);
}

}  // namespace

TrayMenu::TrayMenu(ClipHistory& history, PreferencesStore& preferences, AppUpdater* updater,
                   QObject* parent)
    : QObject(parent),
      m_history(history),
      m_preferences(preferences),
      m_updater(updater),
      m_menu(std::make_unique<QMenu>()) {
    for (int i = 0; i < recentCount; ++i) {
        auto* item = new QAction(this);
        connect(item, &QAction::triggered, this, [this, i] {
            if (i < m_recent.size()) {
                emit clipChosen(m_recent[i]);
            }
        });
        m_clipItems.append(item);
    }
    m_clipsEnd = new QAction(this);
    m_clipsEnd->setSeparator(true);
    connect(&history, &ClipHistory::changed, this, &TrayMenu::refresh);
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] {
        emit opening();
        rebuild();
        refresh();
    });
}

TrayMenu::~TrayMenu() = default;

QCoro::Task<> TrayMenu::refresh() {
    QPointer<TrayMenu> self(this);
    QList<Clip> clips;
    try {
        clips = co_await m_history.listing(QString(), recentCount, std::stop_token());
    } catch (const std::exception& error) {
        qCWarning(lcTray) << "no recent clips for the menu:" << error.what();
        co_return;
    }
    // The menu may have gone while the history answered.
    if (!self) {
        co_return;
    }
    QList<Clip> recent = clips.mid(0, recentCount);
    const auto same = [](const QList<Clip>& a, const QList<Clip>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Clip& x, const Clip& y) {
            return x.id == y.id && x.pinned == y.pinned && x.value == y.value;
        });
    };
    if (same(recent, m_recent)) {
        co_return;
    }
    m_recent = std::move(recent);
    showRecent();
}

// In place, so that an open menu keeps the item the user is on.
void TrayMenu::showRecent() {
    for (int i = 0; i < recentCount; ++i) {
        QAction* item = m_clipItems[i];
        item->setVisible(i < m_recent.size());
        if (i < m_recent.size()) {
            item->setText(menuText(m_recent[i], m_menu->font()));
            item->setToolTip(m_recent[i].listTitle().left(200));
        }
    }
    m_clipsEnd->setVisible(!m_recent.isEmpty());
}

void TrayMenu::rebuild() {
    m_menu->clear();
    m_menu->addActions(m_clipItems);
    m_menu->addAction(m_clipsEnd);
    showRecent();
    QAction* paused = m_menu->addAction(QStringLiteral("&Pausar captura"));
    paused->setCheckable(true);
    paused->setChecked(m_preferences.paused());
    connect(paused, &QAction::toggled, &m_preferences, &PreferencesStore::setPaused);
    QAction* preferences = m_menu->addAction(QStringLiteral("P&referencias…"));
    connect(preferences, &QAction::triggered, this, &TrayMenu::preferencesRequested);
    m_menu->addSeparator();

    QAction* version = m_menu->addAction(QStringLiteral("v") + AppUpdater::installedVersion());
    version->setEnabled(false);
    m_menu->addSeparator();
    if (m_updater != nullptr) {
        QAction* updates = m_menu->addAction(QStringLiteral("Buscar &actualizaciones…"));
        updates->setEnabled(m_updater->canCheckForUpdates());
        connect(updates, &QAction::triggered, m_updater, &AppUpdater::checkForUpdates);
    }
    QAction* quit = m_menu->addAction(QStringLiteral("&Salir de Orvantide"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
}

}  // namespace orv
