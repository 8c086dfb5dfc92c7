// The portal backend against tests/portal/FakePortal.cpp, on the private bus of dbus-run-session.
#include "hotkey/GlobalHotKey.h"
#include "hotkey/HotKey.h"
#include "platform/portal/PortalHotKeyService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace orv;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
constexpr int kLimit = 15000;

bool portalOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal).value();
}

class PortalHotKeyTest : public ::testing::Test {
protected:
    PortalHotKeyTest() {
        QObject::connect(&hotKey, &GlobalHotKey::pressed, [this] { ++presses; });
        QObject::connect(&hotKey, &GlobalHotKey::failureLogged,
                         [this](const QString& line) { logged << line; });
    }
    ~PortalHotKeyTest() override { stopPortal(); }

    void startPortal(const QStringList& flags = {}) {
        said.clear();
        portal = std::make_unique<QProcess>();
        portal->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(portal.get(), &QProcess::readyReadStandardOutput, [this] {
            while (portal->canReadLine()) {
                said << QString::fromUtf8(portal->readLine()).trimmed();
            }
        });
        portal->start(QStringLiteral(ORV_FAKE_PORTAL), flags);
        ASSERT_TRUE(waitFor("ready")) << said.join('\n').toStdString();
    }

    // Kills the fake and waits until the bus has let its name go.
    void stopPortal() {
        if (portal) {
            portal->kill();
            portal->waitForFinished();
            portal.reset();
            EXPECT_TRUE(QTest::qWaitFor([] { return !portalOnBus(); }, kLimit));
        }
    }

    bool waitFor(const QString& line, qsizetype times = 1) {
        return QTest::qWaitFor([&] { return said.count(line) >= times; }, kLimit);
    }

    // The fake emits Activated and Deactivated for `id`; returns once this process has handled
    // both, for a Ping's answer comes after the signals the fake sent before it.
    void activate(const QString& id = QStringLiteral("toggle")) {
        const qsizetype before = said.count("activated " + id);
        portal->write(("activate " + id + "\n").toUtf8());
        ASSERT_TRUE(waitFor("activated " + id, before + 1));
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            kPortal, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
            QStringLiteral("Ping")));
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::processEvents();
        }
    }

    bool waitForStatus(int status) {
        return QTest::qWaitFor([&] { return hotKey.status() == status; }, kLimit);
    }

    PortalHotKeyService service;
    GlobalHotKey hotKey{service};
    std::unique_ptr<QProcess> portal;
    QStringList said;
    QStringList logged;
    int presses = 0;
};

}  // namespace

TEST(PortalTriggerTest, ModifiersThenTheKeysymName) {
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::AltModifier | Qt::Key_V), "CTRL+ALT+v");
    EXPECT_EQ(portalTrigger(Qt::MetaModifier | Qt::ShiftModifier | Qt::ControlModifier | Qt::Key_B),
              "CTRL+SHIFT+LOGO+b");
    EXPECT_EQ(portalTrigger(Qt::AltModifier | Qt::Key_F5), "ALT+F5");
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::Key_Space), "CTRL+space");
    EXPECT_EQ(portalTrigger(Qt::ShiftModifier | Qt::Key_Return), "SHIFT+Return");
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::Key_1), "CTRL+1");
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_1), "CTRL+KP_1");
    EXPECT_EQ(portalTrigger(Qt::KeypadModifier | Qt::Key_Enter), "KP_Enter");
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::Key_BracketLeft), "CTRL+bracketleft");
    EXPECT_EQ(portalTrigger(Qt::ControlModifier | Qt::Key_MediaPlay), "") << "no keysym to name";
}

TEST_F(PortalHotKeyTest, BindsAfterRegisteringAndEachActivationPressesOnce) {
    startPortal();
    hotKey.registerCombo(HotKey::defaultCombination);
    EXPECT_TRUE(hotKey.isRegistered());
    ASSERT_TRUE(waitFor("bind toggle CTRL+ALT+v")) << said.join('\n').toStdString();
    const qsizetype registered = said.indexOf("register com.quarnelbrisk.orvantide");
    ASSERT_GE(registered, 0);
    EXPECT_LT(registered, said.indexOf("create-session"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return service.triggerDescription() == "CTRL+ALT+v"; }, kLimit));

    activate();
    EXPECT_EQ(presses, 1) << "the Deactivated that follows is no press";
    activate(QStringLiteral("other"));
    EXPECT_EQ(presses, 1) << "another shortcut id";
    activate();
    EXPECT_EQ(presses, 2);
    EXPECT_TRUE(logged.isEmpty());
}

// KDE's 5.27 portal binds nothing for a program it knows no app id of, and answers success.
TEST_F(PortalHotKeyTest, ABindingWithoutAKeyIsNoneUntilTheDesktopGivesOne) {
    startPortal({"--no-trigger"});
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(waitForStatus(HotKeyService::noKeyAssigned));
    EXPECT_FALSE(hotKey.isRegistered());
    hotKey.retry();
    hotKey.retry();
    EXPECT_EQ(hotKey.status(), HotKeyService::noKeyAssigned);
    EXPECT_EQ(logged, QStringList{"No se pudo registrar el atajo Ctrl+Alt+V: el escritorio lo "
                                  "aceptó sin asignarle ninguna tecla (1003)"})
        << "said once, not at every retry";
    EXPECT_EQ(said.count("create-session"), 1) << "the session stays for a key given later";

    portal->write("assign toggle Ctrl+Alt+V\n");
    ASSERT_TRUE(waitFor("assigned toggle"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKey.isRegistered(); }, kLimit));
    EXPECT_EQ(hotKey.status(), 0);
    EXPECT_EQ(service.triggerDescription(), "Ctrl+Alt+V");
    activate();
    EXPECT_EQ(presses, 1);
}

TEST_F(PortalHotKeyTest, TheTriggerIsReadUnderEitherName) {
    startPortal({"--triggers"});
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return service.triggerDescription() == "CTRL+ALT+v"; }, kLimit));
    EXPECT_TRUE(hotKey.isRegistered());
    EXPECT_TRUE(logged.isEmpty());
}

TEST_F(PortalHotKeyTest, ADeclinedBindingLeavesNothingRegistered) {
    startPortal({"--refuse"});
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(waitForStatus(HotKeyService::refusedByDesktop));
    EXPECT_FALSE(hotKey.isRegistered());
    EXPECT_EQ(logged, QStringList{"No se pudo registrar el atajo Ctrl+Alt+V: el escritorio no lo "
                                  "concedió (1002)"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !said.filter("close ").isEmpty(); }, kLimit))
        << "the refused session is closed";
    activate();
    EXPECT_EQ(presses, 0);
}

TEST_F(PortalHotKeyTest, PortalErrorsDecideTheStatus) {
    const struct {
        QStringList flags;
        int status;
    } cases[] = {
        {{"--fail-session"}, HotKeyService::refusedByDesktop},  // "An app id is required"
        {{"--no-shortcuts"}, HotKeyService::unavailable},
        {{"--no-registry"}, 0},  // an older portal binds without it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags.join(' ').toStdString());
        PortalHotKeyService fresh;
        GlobalHotKey key(fresh);
        startPortal(c.flags);
        key.registerCombo(HotKey::defaultCombination);
        if (c.status == 0) {
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return !fresh.triggerDescription().isEmpty(); }, kLimit));
            EXPECT_TRUE(key.isRegistered());
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return key.status() == c.status; }, kLimit));
            EXPECT_FALSE(key.isRegistered());
        }
        stopPortal();
    }
}

TEST_F(PortalHotKeyTest, AMissingPortalIsUnavailableUntilItAppears) {
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(waitForStatus(HotKeyService::unavailable));
    EXPECT_FALSE(hotKey.isRegistered());
    const QKeyCombination combination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_V);
    EXPECT_EQ(service.grab(combination), HotKeyService::unavailable) << "known missing by now";

    startPortal();
    ASSERT_TRUE(waitFor("bind toggle CTRL+ALT+v")) << "GlobalHotKey asks again by itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotKey.isRegistered(); }, kLimit));
    EXPECT_EQ(hotKey.status(), 0);
    activate();
    EXPECT_EQ(presses, 1);

    // The portal quits, then comes back.
    stopPortal();
    ASSERT_TRUE(waitForStatus(HotKeyService::unavailable));
    EXPECT_FALSE(hotKey.isRegistered());
    startPortal();
    ASSERT_TRUE(waitFor("bind toggle CTRL+ALT+v"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.triggerDescription().isEmpty(); }, kLimit));
    activate();
    EXPECT_EQ(presses, 2);
}

TEST_F(PortalHotKeyTest, AnotherCombinationClosesTheSessionAndBindsInANewOne) {
    startPortal();
    hotKey.registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(waitFor("bind toggle CTRL+ALT+v"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.triggerDescription().isEmpty(); }, kLimit));

    hotKey.registerCombo(Qt::META | Qt::Key_B);
    ASSERT_TRUE(waitFor("bind toggle LOGO+b")) << said.join('\n').toStdString();
    const QStringList closed = said.filter("close ");
    ASSERT_EQ(closed.size(), 1);
    EXPECT_LT(said.indexOf(closed.first()), said.lastIndexOf("create-session"));
    EXPECT_EQ(said.count("create-session"), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.triggerDescription() == "LOGO+b"; }, kLimit));
    activate();
    EXPECT_EQ(presses, 1) << "the new session's activation";

    hotKey.unregister();
    ASSERT_TRUE(QTest::qWaitFor([&] { return said.filter("close ").size() == 2; }, kLimit));
    EXPECT_NE(said.filter("close ").last(), closed.first());
    activate();
    EXPECT_EQ(presses, 1) << "a closed session's signal is ignored";
}
