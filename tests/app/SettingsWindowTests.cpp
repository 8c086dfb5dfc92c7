#include "hotkey/GlobalHotKey.h"
#include "hotkey/HotKey.h"
#include "model/PreferencesStore.h"
#include "platform/fakes/FakeKeyboard.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "settings/DesktopShortcut.h"
#include "settings/HotKeyRecorder.h"
#include "settings/HotKeyRegistration.h"
#include "settings/SettingsCard.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace orv;

namespace {

using Status = LoginItemService::Status;

struct Settings {
    explicit Settings(const QJsonObject& stored = {}, Status status = Status::notRegistered)
        : defaults(stored) {
        loginItem.currentStatus = status;
        preferences = std::make_unique<PreferencesStore>(defaults, loginItem);
        QObject::connect(preferences.get(), &PreferencesStore::changed, [this] { ++changes; });
        controller = std::make_unique<SettingsWindowController>(*preferences);
    }
    SettingsView& open() {
        controller->show();
        return *controller->window();
    }
    QStringList items(QComboBox* picker) const {
        QStringList texts;
        for (int i = 0; i < picker->count(); ++i) {
            texts.append(picker->itemText(i));
        }
        return texts;
    }

    int changes = 0;
    InMemoryUserDefaults defaults;
    FakeLoginItemService loginItem;
    std::unique_ptr<PreferencesStore> preferences;
    std::unique_ptr<SettingsWindowController> controller;
};

int settingsWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<SettingsView*>(widget) ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(SettingsWindow, OneWindowCentredFirstThenWhereTheUserLeftIt) {
    Settings s;
    EXPECT_EQ(s.controller->window(), nullptr);
    SettingsView& view = s.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.windowTitle(), "Preferencias");
    EXPECT_EQ(view.size(), QSize(500, 560));
    EXPECT_EQ(view.minimumSize(), view.maximumSize()) << "not resizable";
    const QPoint offCentre = view.geometry().center() - view.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);

    s.controller->show();
    EXPECT_EQ(s.controller->window(), &view);
    EXPECT_EQ(settingsWindows(), 1);

    view.move(40, 50);
    const QPoint left = view.pos();
    EXPECT_TRUE(view.close());
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(s.controller->window(), &view) << "closing only hides";
    s.controller->show();
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.pos(), left);
    EXPECT_EQ(settingsWindows(), 1);

    QStringList cards;
    for (SettingsCard* card : {view.generalCard(), view.shortcutCard(), view.historyCard()}) {
        cards.append(card->title() + " " + card->systemImage());
    }
    EXPECT_EQ(cards, (QStringList{"General slider.horizontal.3", "Atajo keyboard",
                                  "Historial list.bullet"}));
}

TEST(SettingsWindow, ControlsWriteIntoThePreferencesAndFollowThem) {
    Settings s({{"maxItems", 500}, {"retentionDays", 30}, {"autoPaste", false}});
    SettingsView& view = s.open();
    EXPECT_EQ(s.items(view.maxItemsPicker()), (QStringList{"100", "300", "500", "1000", "2000"}));
    EXPECT_EQ(s.items(view.retentionPicker()),
              (QStringList{"Siempre", "7 días", "30 días", "90 días"}));
    EXPECT_EQ(view.maxItemsPicker()->currentText(), "500");
    EXPECT_EQ(view.retentionPicker()->currentText(), "30 días");
    EXPECT_FALSE(view.autoPasteSwitch()->isChecked());
    EXPECT_EQ(s.changes, 0) << "showing the values writes nothing";

    // A new limit is announced, so the model prunes at once.
    view.maxItemsPicker()->setCurrentIndex(view.maxItemsPicker()->findText("1000"));
    EXPECT_EQ(s.preferences->maxItems(), 1000);
    EXPECT_EQ(s.defaults.values().value("maxItems").toInt(), 1000);
    EXPECT_EQ(s.changes, 1);
    view.retentionPicker()->setCurrentIndex(0);
    EXPECT_EQ(s.preferences->retentionDays(), 0);
    view.autoPasteSwitch()->click();
    EXPECT_TRUE(s.preferences->autoPaste());
    view.pausedSwitch()->click();
    EXPECT_TRUE(s.preferences->paused());
    EXPECT_EQ(s.changes, 4);

    // Changes made elsewhere show up without being written back a second time.
    s.preferences->setRetentionDays(90);
    s.preferences->setMaxItems(100);
    s.preferences->setPaused(false);
    s.preferences->setHotKey(Qt::CTRL | Qt::META | Qt::Key_B);
    EXPECT_EQ(view.retentionPicker()->currentText(), "90 días");
    EXPECT_EQ(view.maxItemsPicker()->currentText(), "100");
    EXPECT_FALSE(view.pausedSwitch()->isChecked());
    EXPECT_EQ(view.recorder()->comboLabel()->text(), "Ctrl+Super+B");
    EXPECT_EQ(s.changes, 7);
}

TEST(SettingsWindow, ExcludedAppsAreStoredTrimmedWhileTheEditorKeepsTheTypedText) {
    Settings s;
    SettingsView& view = s.open();
    QPlainTextEdit* editor = view.excludedEditor();
    EXPECT_EQ(editor->toPlainText(), "");
    EXPECT_EQ(s.changes, 0) << "an empty list is not rewritten";

    const QString typed = "  Safari \n\n\tTerminal\n   \nKeePassXC  ";
    editor->setPlainText(typed);
    EXPECT_EQ(s.preferences->excludedApps(), (QStringList{"Safari", "Terminal", "KeePassXC"}));
    EXPECT_EQ(editor->toPlainText(), typed);

    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, " Mail");
    EXPECT_EQ(s.preferences->excludedApps(),
              (QStringList{"Safari", "Terminal", "KeePassXC", "Mail"}));
    EXPECT_EQ(editor->toPlainText(), typed + "\n Mail");
    EXPECT_EQ(s.defaults.values().value("excludedApps").toArray(),
              (QJsonArray{"Safari", "Terminal", "KeePassXC", "Mail"}));

    // The next opening starts from the stored list.
    view.close();
    s.open();
    EXPECT_EQ(editor->toPlainText(), "Safari\nTerminal\nKeePassXC\nMail");
    EXPECT_EQ(s.preferences->excludedApps(),
              (QStringList{"Safari", "Terminal", "KeePassXC", "Mail"}));
}

TEST(SettingsWindow, OpeningWithAStoredListRewritesItOnce) {
    Settings s({{"excludedApps", QJsonArray{"1Password", "KeePassXC"}}});
    SettingsView& view = s.open();
    EXPECT_EQ(view.excludedEditor()->toPlainText(), "1Password\nKeePassXC");
    EXPECT_EQ(s.changes, 1);
    EXPECT_TRUE(s.defaults.writtenKeys().contains("excludedApps"));
    EXPECT_EQ(s.preferences->excludedApps(), (QStringList{"1Password", "KeePassXC"}));

    s.controller->show();
    view.close();
    s.controller->show();
    EXPECT_EQ(s.changes, 1) << "the editor already holds the stored list";
}

TEST(SettingsWindow, LoginStatusLineOnlyWithAStatusAndAFailedChangeFlipsBack) {
    Settings silent({}, Status(7));
    ASSERT_EQ(silent.preferences->launchAtLoginStatus(), "");
    EXPECT_TRUE(silent.open().launchAtLoginStatus()->isHidden());

    Settings s;
    SettingsView& view = s.open();
    QLabel* status = view.launchAtLoginStatus();
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), "Desactivado.");

    view.launchAtLoginSwitch()->click();
    EXPECT_EQ(s.loginItem.registerCalls, 1);
    EXPECT_TRUE(view.launchAtLoginSwitch()->isChecked());
    EXPECT_EQ(status->text(), "Se abrirá al iniciar sesión.");

    s.loginItem.failure = "denied";
    view.launchAtLoginSwitch()->click();
    EXPECT_EQ(s.loginItem.unregisterCalls, 1);
    EXPECT_TRUE(s.preferences->launchAtLogin());
    EXPECT_TRUE(view.launchAtLoginSwitch()->isChecked()) << "the switch flips back";
    EXPECT_EQ(status->text(), "No se pudo cambiar el inicio de sesión.");
}

TEST(SettingsWindow, RecordingSuspendsTheHotKeyUntilItEnds) {
    Settings s;
    SettingsView& view = s.open();
    HotKeyRecorder* recorder = view.recorder();
    EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Alt+V");

    QTest::mouseClick(recorder->button(), Qt::LeftButton);
    EXPECT_TRUE(s.preferences->hotKeySuspended());
    view.close();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(s.preferences->hotKeySuspended()) << "closing brings the old hot key back";
    EXPECT_EQ(s.preferences->hotKey(), HotKey::defaultCombination);

    s.open();
    QTest::mouseClick(recorder->button(), Qt::LeftButton);
    ASSERT_TRUE(s.preferences->hotKeySuspended());
    QTest::keyClick(view.excludedEditor(), Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder->isRecording(); }, 1000));
    EXPECT_EQ(s.preferences->hotKey(), Qt::CTRL | Qt::ALT | Qt::Key_B);
    EXPECT_EQ(s.defaults.values().value("hotKeyCode").toInt(), 11);
    EXPECT_FALSE(s.preferences->hotKeySuspended());
    EXPECT_EQ(recorder->comboLabel()->text(), "Ctrl+Alt+B");
    EXPECT_EQ(view.excludedEditor()->toPlainText(), "");
}

// Through the window, as the keyboard delivers it, shortcuts included.
TEST(SettingsWindow, EscapeClosesTheWindowUnlessItCancelsARecording) {
    Settings s;
    SettingsView& view = s.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::keyClick(view.windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());

    s.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.excludedEditor()->setFocus();
    QTest::keyClick(view.windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible()) << "from the exclusions editor too";

    s.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::mouseClick(view.recorder()->button(), Qt::LeftButton);
    ASSERT_TRUE(view.recorder()->isRecording());
    QTest::keyClick(view.windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.recorder()->isRecording(); }, 10000));
    EXPECT_TRUE(view.isVisible()) << "Escape only ended the recording";
    EXPECT_EQ(s.preferences->hotKey(), HotKey::defaultCombination);
    QTest::keyClick(view.windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());
}

TEST(SettingsWindow, AHotKeyThatCannotBeRegisteredSaysSoUntilARetryWorks) {
    Settings s;
    FakeHotKeyService service;
    GlobalHotKey hotKey(service);
    HotKeyRegistration registration(hotKey, *s.preferences);
    QObject::connect(s.preferences.get(), &PreferencesStore::hotKeyRegistrationChanged,
                     &registration, &HotKeyRegistration::refresh);
    service.refuseWith = HotKeyService::badAccess;
    registration.refresh();
    SettingsView& view = s.open();
    QLabel* status = view.hotKeyStatus();
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), "No se pudo activar Ctrl+Alt+V: otra aplicación ya usa ese atajo.");

    // A key the keyboard does not have fails another way.
    s.preferences->setHotKey(QKeyCombination(Qt::ControlModifier, Qt::Key_unknown));
    EXPECT_EQ(status->text(), "No se pudo activar Ctrl+?. Prueba con otra combinación.");
    s.preferences->setHotKey(HotKey::defaultCombination);

    // No retry while a new combination is being recorded.
    QTest::mouseClick(view.recorder()->button(), Qt::LeftButton);
    service.refuseWith = 0;
    const int grabs = service.grabCalls;
    registration.retry();
    EXPECT_EQ(service.grabCalls, grabs);
    QTest::mouseClick(view.recorder()->button(), Qt::LeftButton);
    EXPECT_TRUE(hotKey.isRegistered());
    EXPECT_TRUE(status->isHidden());

    // The holder came back and went again: the retry brings the hot key back.
    service.refuseWith = HotKeyService::badAccess;
    s.preferences->setHotKey(HotKey::defaultCombination);
    EXPECT_TRUE(status->isVisible());
    service.refuseWith = 0;
    registration.retry();
    EXPECT_TRUE(hotKey.isRegistered());
    EXPECT_TRUE(status->isHidden());
    registration.retry();
    EXPECT_EQ(service.grabCalls, grabs + 3) << "a working hot key is left alone";
}

TEST(SettingsWindow, WithoutGlobalShortcutsTheDesktopsOwnIsOfferedAndTheExclusionsSayWhatTheySee) {
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    Settings s;
    FakeHotKeyService service;
    GlobalHotKey hotKey(service);
    HotKeyRegistration registration(hotKey, *s.preferences);
    DesktopShortcut shortcut;
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    s.controller->setDesktopShortcut(&shortcut);
    s.controller->setExclusionsNote("Solo se reconocen las aplicaciones XWayland.");
    SettingsView& view = s.open();
    EXPECT_EQ(view.exclusionsNote()->text(), "Solo se reconocen las aplicaciones XWayland.");
    EXPECT_TRUE(view.exclusionsNote()->isVisible());
    EXPECT_TRUE(view.desktopShortcutButton()->isHidden()) << "the hot key works: nothing to offer";
    EXPECT_FALSE(view.remoteDesktopSwitch()->isVisible()) << "not offered on this desktop";
    view.setRemoteDesktopOffered(true);
    EXPECT_TRUE(view.remoteDesktopSwitch()->isVisible());
    view.remoteDesktopSwitch()->click();
    EXPECT_TRUE(s.preferences->remoteDesktopKeys());
    // The desktop refused it: said under the switch, gone once it works.
    s.controller->setRemoteDesktopNote(
        "No está disponible. El escritorio no permitió enviar "
        "teclas.");
    EXPECT_TRUE(view.remoteDesktopNote()->isVisible());
    EXPECT_TRUE(view.remoteDesktopNote()->text().contains("no permitió enviar teclas"));
    s.controller->setRemoteDesktopNote({});
    EXPECT_FALSE(view.remoteDesktopNote()->isVisible());
    QSignalSpy permissions(s.controller.get(), &SettingsWindowController::permissionsRequested);
    view.permissionsButton()->click();
    EXPECT_EQ(permissions.count(), 1);

    service.refuseWith = HotKeyService::unavailable;
    registration.refresh();
    EXPECT_EQ(view.hotKeyStatus()->text(),
              "Este escritorio no permite atajos globales a las aplicaciones. Crea un atajo de "
              "teclado del escritorio que ejecute «" +
                  DesktopShortcut::toggleCommand() + "».");
    EXPECT_EQ(view.desktopShortcutButton()->isVisible(), shortcut.canCreate());

    service.refuseWith = 0;
    registration.refresh();
    emit service.refused(HotKeyService::refusedByDesktop);
    EXPECT_TRUE(view.hotKeyStatus()->text().startsWith("El escritorio no concedió Ctrl+Alt+V."));
    registration.refresh();
    emit service.refused(HotKeyService::noKeyAssigned);
    EXPECT_TRUE(view.hotKeyStatus()->text().contains("Preferencias del sistema → Accesos rápidos"));
    EXPECT_TRUE(view.hotKeyStatus()->text().endsWith(DesktopShortcut::toggleCommand() + "»."));
}
