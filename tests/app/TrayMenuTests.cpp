#include "app/AppUpdater.h"
#include "app/StatusIcon.h"
#include "app/TrayMenu.h"
#include "model/PreferencesStore.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "support/ControllableHistory.h"
#include "support/ModelFixture.h"

#include <QCoro/QCoroFuture>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// The items the user sees.
QStringList texts(const QMenu& menu) {
    QStringList lines;
    for (const QAction* action : menu.actions()) {
        if (action->isVisible()) {
            // iconText(): the text without its mnemonic mark
            lines.append(action->isSeparator() ? QStringLiteral("—") : action->iconText());
        }
    }
    return lines;
}

}  // namespace

TEST(TrayMenu, TheNewestClipsThenPauseAndPreferencesAboveTheUsualItems) {
    ControllableHistory history;
    const QDateTime start = QDateTime::currentDateTime();
    int second = 0;
    for (const char* value : {"uno", "dos", "tres", "cuatro", "cinco", "seis & siete"}) {
        history.real()
            .upsert(ClipKind::text, value, std::nullopt, std::nullopt, std::nullopt,
                    start.addSecs(++second))
            .waitForFinished();
    }
    InMemoryUserDefaults defaults;
    FakeLoginItemService login;
    PreferencesStore preferences(defaults, login);
    TrayMenu tray(history, preferences, nullptr);

    // Before the store answered: no clips yet, the fixed items in their order.
    history.holdLists = true;
    emit tray.menu()->aboutToShow();
    EXPECT_EQ(texts(*tray.menu()),
              (QStringList{"Pausar captura", "Preferencias…", "—",
                           "v" + AppUpdater::installedVersion(), "—", "Salir de Orvantide"}));
    // The clips arrive while the menu is open: the items already there stay the same objects.
    QAction* pauseItem = tray.menu()->actions().at(TrayMenu::recentCount + 1);
    ASSERT_EQ(history.heldCount(), 1);
    history.release(0);
    history.holdLists = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return texts(*tray.menu()).size() > 6; }, 10000));
    EXPECT_EQ(tray.menu()->actions().at(TrayMenu::recentCount + 1), pauseItem);
    const QStringList shown = texts(*tray.menu());
    ASSERT_GE(shown.size(), 6);
    EXPECT_EQ(shown.mid(0, 6), (QStringList{"seis & siete", "cinco", "cuatro", "tres", "dos", "—"}))
        << "the five newest, an ampersand shown as itself";

    QSignalSpy chosen(&tray, &TrayMenu::clipChosen);
    tray.menu()->actions().at(1)->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first().first().value<Clip>().value, "cinco");

    pauseItem->trigger();
    EXPECT_TRUE(preferences.paused());
    emit tray.menu()->aboutToShow();
    EXPECT_TRUE(tray.menu()->actions().at(TrayMenu::recentCount + 1)->isChecked());
}

TEST(TrayMenu, ThePausedIconIsAnotherPicture) {
    const QIcon icon = StatusIcon::choose(QColor(Qt::white), QIcon(), Qt::black);
    const QIcon paused = StatusIcon::paused(icon, Qt::white);
    EXPECT_NE(icon.pixmap(22).toImage(), paused.pixmap(22).toImage());
    EXPECT_FALSE(paused.pixmap(22).isNull());
}

// The palette's list and the tray follow the history by themselves: a capture with the palette open
// is stored, pruned and read once by each.
TEST_F(ModelTest, OneCaptureWithThePaletteOpenCostsFourStoreJobs) {
    TrayMenu tray(history, preferences, nullptr);
    open({"uno", "dos"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.recent().size() == 2; }, 10000));
    history.calls.clear();
    copyText("tres");
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.recent().size() == 3; }, 10000));
    EXPECT_EQ(tray.recent().first().value, "tres");
    EXPECT_EQ(visible(), (QStringList{"tres", "dos", "uno"}));
    QTest::qWait(100);
    EXPECT_EQ(history.calls, (QHash<QString, int>{{"upsert", 1}, {"prune", 1}, {"listing", 2}}));
}
