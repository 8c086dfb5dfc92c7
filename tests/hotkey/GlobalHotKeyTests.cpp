#include "hotkey/GlobalHotKey.h"
#include "hotkey/HotKey.h"
#include "platform/fakes/FakeKeyboard.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class GlobalHotKeyTest : public ::testing::Test {
protected:
    GlobalHotKeyTest() {
        QObject::connect(hotKey.get(), &GlobalHotKey::pressed, [this] { ++presses; });
        QObject::connect(hotKey.get(), &GlobalHotKey::failureLogged,
                         [this](const QString& line) { logged.append(line); });
    }
    FakeHotKeyService service;
    std::unique_ptr<GlobalHotKey> hotKey = std::make_unique<GlobalHotKey>(service);
    int presses = 0;
    QStringList logged;
};

}  // namespace

TEST_F(GlobalHotKeyTest, PressesArriveOnTheMainLoopAfterTheNativeCallback) {
    hotKey->registerCombo(HotKey::defaultCombination);
    ASSERT_EQ(service.grabbed, QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_V));
    EXPECT_TRUE(hotKey->isRegistered());

    service.press();
    EXPECT_EQ(presses, 0) << "never inside the native dispatch";
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 1);

    service.press(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 1) << "another id is swallowed";

    service.press();
    hotKey.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 1) << "a press after the instance is gone does nothing";
}

TEST_F(GlobalHotKeyTest, RegisteringReplacesTheEarlierCombination) {
    hotKey->registerCombo(HotKey::defaultCombination);
    hotKey->registerCombo(HotKey::defaultCombination);
    EXPECT_EQ(service.ungrabCalls, 1) << "the first registration goes before the second";
    hotKey->registerCombo(Qt::META | Qt::Key_B);
    EXPECT_EQ(service.grabbed, QKeyCombination(Qt::MetaModifier, Qt::Key_B));
    EXPECT_EQ(service.ungrabCalls, 2);

    hotKey->unregister();
    EXPECT_FALSE(service.grabbed);
    EXPECT_FALSE(hotKey->isRegistered());
    hotKey->unregister();
    EXPECT_EQ(service.ungrabCalls, 3) << "nothing to release the second time";
    hotKey->registerCombo(HotKey::defaultCombination);
    EXPECT_TRUE(hotKey->isRegistered());
    EXPECT_TRUE(logged.isEmpty());
}

TEST_F(GlobalHotKeyTest, AFailedRegistrationLogsOneLineAndALaterOneRecovers) {
    service.refuseWith = HotKeyService::badAccess;
    hotKey->registerCombo(HotKey::defaultCombination);
    EXPECT_EQ(
        logged,
        QStringList{"No se pudo registrar el atajo Ctrl+Alt+V: otra aplicación ya lo usa (10)"});
    EXPECT_FALSE(hotKey->isRegistered());

    // A key that cannot be grabbed at all.
    service.refuseWith = 0;
    hotKey->registerCombo(QKeyCombination(Qt::ControlModifier, Qt::Key_unknown));
    EXPECT_EQ(logged.last(),
              "No se pudo registrar el atajo Ctrl+?: el teclado no tiene esa tecla (2)");

    hotKey->registerCombo(Qt::CTRL | Qt::SHIFT | Qt::Key_Space);
    EXPECT_TRUE(hotKey->isRegistered());
    EXPECT_EQ(logged.size(), 2);
    service.press();
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, 1);
}

TEST_F(GlobalHotKeyTest, ARetryTriesOnlyARefusedCombinationAgain) {
    QSignalSpy changes(hotKey.get(), &GlobalHotKey::registrationChanged);
    hotKey->retry();
    EXPECT_EQ(service.grabCalls, 0) << "nothing was asked for";

    service.refuseWith = HotKeyService::badAccess;
    hotKey->registerCombo(HotKey::defaultCombination);
    EXPECT_EQ(hotKey->status(), HotKeyService::badAccess);
    EXPECT_EQ(hotKey->combo(), HotKey::defaultCombination);
    hotKey->retry();
    EXPECT_EQ(service.grabCalls, 2);
    EXPECT_EQ(changes.count(), 1) << "failing the same way again changes nothing";
    EXPECT_EQ(logged.size(), 1) << "nor is it logged again";

    service.refuseWith = 0;
    hotKey->retry();
    EXPECT_TRUE(hotKey->isRegistered());
    EXPECT_EQ(hotKey->status(), 0);
    EXPECT_EQ(changes.count(), 2);
    hotKey->retry();
    EXPECT_EQ(service.grabCalls, 3) << "a working hot key is left alone";

    hotKey->unregister();
    EXPECT_EQ(changes.count(), 3);
    hotKey->retry();
    EXPECT_FALSE(hotKey->isRegistered()) << "a released hot key stays released";
    EXPECT_EQ(service.grabCalls, 3);
}

TEST_F(GlobalHotKeyTest, ADesktopThatRefusesLaterIsSaidAndAServiceThatAppearsIsAskedAgain) {
    hotKey->registerCombo(HotKey::defaultCombination);
    ASSERT_TRUE(hotKey->isRegistered());
    emit service.refused(HotKeyService::refusedByDesktop);
    EXPECT_FALSE(hotKey->isRegistered());
    EXPECT_EQ(hotKey->status(), HotKeyService::refusedByDesktop);
    EXPECT_EQ(logged.size(), 1);

    // A refusal for a hot key no longer asked for changes nothing.
    hotKey->unregister();
    emit service.refused(HotKeyService::refusedByDesktop);
    EXPECT_EQ(hotKey->status(), 0);

    service.refuseWith = HotKeyService::unavailable;
    hotKey->registerCombo(HotKey::defaultCombination);
    EXPECT_EQ(hotKey->status(), HotKeyService::unavailable);
    service.refuseWith = 0;
    const int grabs = service.grabCalls;
    emit service.availabilityChanged();
    EXPECT_EQ(service.grabCalls, grabs + 1);
    EXPECT_TRUE(hotKey->isRegistered());
    EXPECT_EQ(hotKey->status(), 0);
}
