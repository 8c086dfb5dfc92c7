// The remote desktop injector against tests/portal/FakePortal.cpp, on the private bus of
// dbus-run-session.
#include "platform/portal/RemoteDesktopInjector.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace orv;

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
constexpr int kLimit = 15000;
const QString kRefused = QStringLiteral("El escritorio no permitió enviar teclas.");

enum Keysym : quint32 {
    v = 0x76,
    Return = 0xff0d,
    Shift_L = 0xffe1,
    Control_L = 0xffe3,
    Alt_L = 0xffe9,
    Super_L = 0xffeb,
};

// As the fake prints them.
QString press(Keysym keysym) {
    return QStringLiteral("key %1 1").arg(keysym);
}
QString release(Keysym keysym) {
    return QStringLiteral("key %1 0").arg(keysym);
}

class RemoteDesktopTest : public ::testing::Test {
protected:
    ~RemoteDesktopTest() override { stopPortal(); }

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

    void stopPortal() {
        if (portal) {
            portal->kill();
            portal->waitForFinished();
            portal.reset();
            EXPECT_TRUE(QTest::qWaitFor(
                [] {
                    return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kPortal);
                },
                kLimit));
        }
    }

    bool waitFor(const QString& line, qsizetype times = 1) {
        return QTest::qWaitFor([&] { return said.count(line) >= times; }, kLimit);
    }

    std::unique_ptr<RemoteDesktopInjector> make(const QString& token = {}) {
        auto injector = std::make_unique<RemoteDesktopInjector>(token);
        QObject::connect(injector.get(), &RemoteDesktopInjector::restoreTokenChanged,
                         [this](const QString& given) { tokens << given; });
        return injector;
    }

    // Until the session is ready or the injector gave up.
    static bool settled(const RemoteDesktopInjector& injector) {
        return QTest::qWaitFor([&] { return injector.isReady() || !injector.failure().isEmpty(); },
                               kLimit);
    }

    QStringList keys() const { return said.filter(QStringLiteral("key ")); }

    std::unique_ptr<QProcess> portal;
    QStringList said;
    QStringList tokens;
};

}  // namespace

TEST_F(RemoteDesktopTest, ConsentGivesASessionWhoseTokenTheNextStartPassesOn) {
    startPortal();
    auto first = make();
    EXPECT_TRUE(first->isAvailable());
    EXPECT_FALSE(first->tap(Qt::ControlModifier | Qt::Key_V)) << "no session yet";
    ASSERT_TRUE(settled(*first));
    ASSERT_TRUE(first->isReady()) << first->failure().toStdString();
    EXPECT_TRUE(first->failure().isEmpty());
    ASSERT_EQ(tokens, QStringList{"token-1"});
    EXPECT_EQ(first->restoreToken(), "token-1");
    const qsizetype registered = said.indexOf("register com.quarnelbrisk.orvantide");
    ASSERT_GE(registered, 0);
    EXPECT_LT(registered, said.indexOf("remote-session"));
    EXPECT_LT(said.indexOf("remote-session"), said.indexOf("select")) << "no token to restore";

    auto second = make(tokens.last());
    ASSERT_TRUE(settled(*second));
    EXPECT_TRUE(second->isReady()) << second->failure().toStdString();
    EXPECT_TRUE(said.contains("select token-1")) << said.join('\n').toStdString();
    EXPECT_EQ(tokens, (QStringList{"token-1", "token-2"})) << "a token is good for one start";

    EXPECT_TRUE(said.filter("close ").isEmpty());
    second.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return said.filter("close ").size() == 1; }, kLimit))
        << "the session ends with the injector";
}

TEST_F(RemoteDesktopTest, TapsPostModifiersAroundTheKeyUntilTheSessionCloses) {
    startPortal();
    auto injector = make();
    ASSERT_TRUE(settled(*injector));
    ASSERT_TRUE(injector->isReady());

    EXPECT_FALSE(injector->tap(Qt::ControlModifier | Qt::Key_MediaPlay)) << "no keysym";
    EXPECT_TRUE(injector->tap(Qt::ControlModifier | Qt::Key_V));
    EXPECT_TRUE(
        injector->tap(Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier | Qt::Key_Return));
    const QStringList expected{
        press(Control_L), press(v),         release(v),       release(Control_L),
        press(Alt_L),     press(Shift_L),   press(Super_L),   press(Return),
        release(Return),  release(Super_L), release(Shift_L), release(Alt_L),
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return keys().size() >= expected.size(); }, kLimit));
    EXPECT_EQ(keys(), expected) << "the first tap sent exactly its four, in order";

    portal->write("close-remote\n");
    ASSERT_TRUE(waitFor("closed-remote"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !injector->isReady(); }, kLimit));
    EXPECT_FALSE(injector->failure().isEmpty());
    EXPECT_FALSE(injector->tap(Qt::ControlModifier | Qt::Key_V));
}

TEST_F(RemoteDesktopTest, ARefusalLeavesNoSessionAndSaysWhy) {
    startPortal({"--refuse-remote"});
    auto injector = make();
    ASSERT_TRUE(settled(*injector));
    EXPECT_FALSE(injector->isReady());
    EXPECT_EQ(injector->failure(), kRefused);
    EXPECT_FALSE(injector->tap(Qt::ControlModifier | Qt::Key_V));
    EXPECT_TRUE(injector->isAvailable()) << "the caller asks the user to paste by hand";
    EXPECT_TRUE(tokens.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return said.filter("close ").size() == 1; }, kLimit))
        << "the refused session is closed";
    EXPECT_TRUE(keys().isEmpty());
}

TEST_F(RemoteDesktopTest, AMissingPortalIsNoSessionUntilOneAppears) {
    auto injector = make();
    ASSERT_TRUE(settled(*injector));
    EXPECT_FALSE(injector->isReady());
    EXPECT_FALSE(injector->failure().isEmpty());
    EXPECT_NE(injector->failure(), kRefused);
    EXPECT_FALSE(injector->tap(Qt::ControlModifier | Qt::Key_V));

    startPortal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return injector->isReady(); }, kLimit));
    EXPECT_TRUE(injector->failure().isEmpty());
    EXPECT_TRUE(injector->tap(Qt::ControlModifier | Qt::Key_V));
    EXPECT_TRUE(QTest::qWaitFor([&] { return keys().size() == 4; }, kLimit));
}
