#include "model/PreferencesStore.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/xdg/JsonFileUserDefaults.h"

#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// Written as one change, in the settings object's own key order.
const QStringList kGeneralKeys{"autoPaste", "excludedApps", "maxItems", "paused", "retentionDays"};

struct Fixture {
    explicit Fixture(const QJsonObject& stored = {}) : defaults(stored) {}
    PreferencesStore& make() {
        store = std::make_unique<PreferencesStore>(defaults, loginItem);
        QObject::connect(store.get(), &PreferencesStore::changed, [this] { ++changedCalls; });
        QObject::connect(store.get(), &PreferencesStore::hotKeyRegistrationChanged,
                         [this] { ++hotKeyCalls; });
        return *store;
    }
    InMemoryUserDefaults defaults;
    FakeLoginItemService loginItem;
    std::unique_ptr<PreferencesStore> store;
    int changedCalls = 0;
    int hotKeyCalls = 0;
};

}  // namespace

TEST(PreferencesStore, StartsWithTheDefaultsAndWritesNothing) {
    Fixture f;
    const PreferencesStore& p = f.make();
    EXPECT_EQ(p.maxItems(), 300);
    EXPECT_TRUE(p.autoPaste());
    EXPECT_TRUE(p.excludedApps().isEmpty());
    EXPECT_EQ(p.retentionDays(), 0);
    EXPECT_FALSE(p.paused());
    EXPECT_EQ(p.hotKey(), Qt::CTRL | Qt::ALT | Qt::Key_V);
    EXPECT_FALSE(p.hotKeySuspended());
    EXPECT_FALSE(p.launchAtLogin());
    EXPECT_EQ(p.launchAtLoginStatus(), "Desactivado.");
    EXPECT_TRUE(f.defaults.writes.isEmpty());
    EXPECT_EQ(f.changedCalls + f.hotKeyCalls, 0);
}

TEST(PreferencesStore, LoadingAcceptsOnlyListedValuesOfTheRightType) {
    Fixture good({{"maxItems", 2000},
                  {"autoPaste", false},
                  {"excludedApps", QJsonArray{"KeePassXC", " Terminal "}},
                  {"retentionDays", 90},
                  {"paused", true},
                  {"hotKeyCode", 0},
                  {"hotKeyModifiers", 256}});
    const PreferencesStore& p = good.make();
    EXPECT_EQ(p.maxItems(), 2000);
    EXPECT_FALSE(p.autoPaste());
    EXPECT_EQ(p.excludedApps(), (QStringList{"KeePassXC", " Terminal "}));
    EXPECT_EQ(p.retentionDays(), 90);
    EXPECT_TRUE(p.paused());
    EXPECT_EQ(p.hotKey(), Qt::META | Qt::Key_A);

    Fixture bad({{"maxItems", 250},
                 {"autoPaste", "no"},
                 {"excludedApps", "KeePassXC"},
                 {"retentionDays", 14},
                 {"paused", 1},
                 {"hotKeyCode", 0},
                 {"hotKeyModifiers", 0}});
    const PreferencesStore& q = bad.make();
    EXPECT_EQ(q.maxItems(), 300);
    EXPECT_TRUE(q.autoPaste());
    EXPECT_TRUE(q.excludedApps().isEmpty());
    EXPECT_EQ(q.retentionDays(), 0);
    EXPECT_FALSE(q.paused());
    EXPECT_EQ(q.hotKey(), HotKey::defaultCombination);
    EXPECT_TRUE(bad.defaults.writes.isEmpty());

    const auto hotKeyFrom = [](const QJsonObject& stored) {
        Fixture f(stored);
        return f.make().hotKey();
    };
    EXPECT_EQ(hotKeyFrom({{"hotKeyModifiers", 256}}), HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", 5}}), HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", "5"}, {"hotKeyModifiers", 256}}),
              HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", 65536}, {"hotKeyModifiers", 256}}),
              HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", -1}, {"hotKeyModifiers", 256}}),
              HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", 5}, {"hotKeyModifiers", 4294967296.0}}),
              HotKey::defaultCombination);
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", 9}, {"hotKeyModifiers", 0x10000}}),
              HotKey::defaultCombination)
        << "no modifier a hot key can hold";
    EXPECT_EQ(hotKeyFrom({{"hotKeyCode", 65535}, {"hotKeyModifiers", 4294967295.0}}),
              QKeyCombination(
                  Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier,
                  Qt::Key_unknown));
}

TEST(PreferencesStore, EveryAssignmentWritesAllFiveAndCallsBackOnce) {
    Fixture f({{"paused", false}});
    PreferencesStore& p = f.make();
    QSignalSpy pausedSpy(&p, &PreferencesStore::pausedChanged);

    p.setPaused(false);
    EXPECT_EQ(f.defaults.writtenKeys(), kGeneralKeys);
    EXPECT_EQ(f.changedCalls, 1);
    EXPECT_EQ(pausedSpy.count(), 0) << "no change, no signal";

    f.defaults.writes.clear();
    p.setExcludedApps({"Contraseñas"});
    EXPECT_EQ(f.defaults.writtenKeys(), kGeneralKeys);
    EXPECT_EQ(f.defaults.values().value("excludedApps"), QJsonArray{"Contraseñas"});
    EXPECT_EQ(f.defaults.values().value("maxItems"), 300) << "a missing key is written too";
    EXPECT_EQ(f.changedCalls, 2);

    p.setPaused(true);
    p.setMaxItems(100);
    p.setRetentionDays(7);
    p.setAutoPaste(false);
    EXPECT_EQ(pausedSpy.count(), 1);
    EXPECT_EQ(f.changedCalls, 6);
    EXPECT_EQ(f.defaults.values(), (QJsonObject{{"maxItems", 100},
                                                {"autoPaste", false},
                                                {"excludedApps", QJsonArray{"Contraseñas"}},
                                                {"retentionDays", 7},
                                                {"paused", true}}));
    EXPECT_EQ(f.hotKeyCalls, 0);
}

TEST(PreferencesStore, HotKeyAssignmentsPersistAndAskForRegistration) {
    Fixture f;
    PreferencesStore& p = f.make();
    QSignalSpy hotKeySpy(&p, &PreferencesStore::hotKeyChanged);

    p.setHotKey(Qt::META | Qt::Key_Space);
    EXPECT_EQ(f.defaults.writtenKeys(), (QStringList{"hotKeyCode", "hotKeyModifiers"}));
    EXPECT_EQ(f.defaults.values().value("hotKeyCode"), 49);
    EXPECT_EQ(f.defaults.values().value("hotKeyModifiers"), 256);
    EXPECT_EQ(f.hotKeyCalls, 1);
    p.setHotKey(Qt::META | Qt::Key_Space);
    EXPECT_EQ(f.hotKeyCalls, 2);
    EXPECT_EQ(hotKeySpy.count(), 1);

    f.defaults.writes.clear();
    p.setHotKeySuspended(true);
    p.setHotKeySuspended(false);
    EXPECT_EQ(f.hotKeyCalls, 4);
    EXPECT_TRUE(f.defaults.writes.isEmpty());
    EXPECT_EQ(f.changedCalls, 0);
}

TEST(PreferencesStore, TheRemoteDesktopChoiceAndItsTokenAreKept) {
    Fixture f;
    PreferencesStore& p = f.make();
    EXPECT_FALSE(p.remoteDesktopKeys());
    QSignalSpy spy(&p, &PreferencesStore::remoteDesktopKeysChanged);
    p.setRemoteDesktopKeys(true);
    p.setRemoteDesktopToken("token-1");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(f.defaults.values().value("remoteDesktopKeys"), true);
    EXPECT_EQ(f.defaults.values().value("remoteDesktopToken"), "token-1");
    PreferencesStore reopened(f.defaults, f.loginItem);
    EXPECT_TRUE(reopened.remoteDesktopKeys());
    EXPECT_EQ(reopened.remoteDesktopToken(), "token-1");
}

TEST(PreferencesStore, ExclusionIsAWholeNameIgnoringCase) {
    Fixture f({{"excludedApps", QJsonArray{"KeePassXC", "Bitwarden"}}});
    const PreferencesStore& p = f.make();
    EXPECT_TRUE(p.excludes(QStringLiteral("keepassxc")));
    EXPECT_TRUE(p.excludes(QStringLiteral("BITWARDEN")));
    EXPECT_FALSE(p.excludes(QStringLiteral("KeePass")));
    EXPECT_FALSE(p.excludes(QStringLiteral("KeePassXC Browser")));
    EXPECT_FALSE(p.excludes(QStringLiteral(" KeePassXC")));
    EXPECT_FALSE(p.excludes(std::nullopt));
    EXPECT_FALSE(p.excludes(QString()));
}

TEST(PreferencesStore, LoginItemSwitchFollowsTheServiceAndRevertsOnFailure) {
    Fixture f;
    f.loginItem.currentStatus = LoginItemService::Status::enabled;
    PreferencesStore& p = f.make();
    EXPECT_TRUE(p.launchAtLogin());
    EXPECT_EQ(p.launchAtLoginStatus(), "Se abrirá al iniciar sesión.");
    EXPECT_EQ(f.loginItem.registerCalls + f.loginItem.unregisterCalls, 0);

    p.setLaunchAtLogin(false);
    EXPECT_EQ(f.loginItem.unregisterCalls, 1);
    EXPECT_EQ(p.launchAtLoginStatus(), "Desactivado.");

    f.loginItem.statusAfterRegister = LoginItemService::Status::requiresApproval;
    p.setLaunchAtLogin(true);
    EXPECT_TRUE(p.launchAtLogin());
    EXPECT_EQ(p.launchAtLoginStatus(), "Pendiente de aprobación en Ajustes del Sistema.");

    p.setLaunchAtLogin(false);
    f.loginItem.failure = QStringLiteral("denied");
    QSignalSpy switchSpy(&p, &PreferencesStore::launchAtLoginChanged);
    p.setLaunchAtLogin(true);
    EXPECT_FALSE(p.launchAtLogin());
    EXPECT_EQ(switchSpy.count(), 2) << "on, then back off";
    EXPECT_EQ(p.launchAtLoginStatus(), "No se pudo cambiar el inicio de sesión.");
    EXPECT_EQ(f.loginItem.registerCalls, 2) << "the revert does not reach the service";
    EXPECT_TRUE(f.defaults.writes.isEmpty());
}

TEST(PreferencesStore, ACorruptSettingsFileGivesDefaultsAndIsKeptAside) {
    QTemporaryDir temp;
    const QString path = temp.filePath("defaults.json");
    const QByteArray broken = "{\"maxItems\": 1000, \"autoPaste\": \"sí\"}";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(broken);
    }
    JsonFileUserDefaults defaults(path);
    FakeLoginItemService loginItem;
    PreferencesStore p(defaults, loginItem);
    EXPECT_EQ(p.maxItems(), 1000);
    EXPECT_TRUE(p.autoPaste());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), broken) << "loading rewrites nothing";
    file.close();

    p.setPaused(true);
    EXPECT_EQ(defaults.replacements(), 1) << "one change replaces the file once";
    p.setHotKey(Qt::CTRL | Qt::ALT | Qt::Key_B);
    EXPECT_EQ(defaults.replacements(), 2);
    QFile kept(path + ".corrupt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), broken);
    JsonFileUserDefaults reread(path);
    EXPECT_EQ(reread.integer("maxItems"), 1000);
    EXPECT_EQ(reread.boolean("autoPaste"), true);
    EXPECT_EQ(reread.boolean("paused"), true);
}

TEST(PreferencesStore, AStoredCodeThatNamesNoKeyStaysAsStored) {
    Fixture f({{"hotKeyCode", 52}, {"hotKeyModifiers", 0x1000}});
    PreferencesStore& p = f.make();
    EXPECT_EQ(p.hotKey(), QKeyCombination(Qt::ControlModifier, Qt::Key_unknown));
    p.setHotKey(p.hotKey());
    EXPECT_TRUE(f.defaults.writes.isEmpty());
    EXPECT_EQ(f.hotKeyCalls, 1) << "registered again all the same";
}
