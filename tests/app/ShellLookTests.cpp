// What every window of the program shares: Qt's own texts in Spanish, the program's icon, and a
// tray icon that shows on the panel's colours.
#include "app/AppIcon.h"
#include "app/Localization.h"
#include "app/StatusIcon.h"
#include "app/TrayMenu.h"
#include "model/PreferencesStore.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/xdg/ShortcutText.h"
#include "support/ControllableHistory.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace orv;

TEST(ShellLook, StandardButtonsSpeakSpanishAndTheIconIsThere) {
    ASSERT_TRUE(Localization::installQtTranslations(*qApp));
    QMessageBox alert;
    alert.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(alert.button(QMessageBox::Ok)->text().remove(u'&'), "Aceptar");
    EXPECT_EQ(alert.button(QMessageBox::Cancel)->text().remove(u'&'), "Cancelar");
    EXPECT_FALSE(AppIcon::icon().pixmap(64).isNull());
}

// What Qt writes after the tab of a menu item is the shortcut (QMenu draws the same text).
TEST(ShellLook, QtsMenusWriteShortcutsAsTheRestOfTheInterface) {
    ASSERT_TRUE(Localization::installQtTranslations(*qApp));
    QLineEdit searchField;
    const std::unique_ptr<QMenu> editMenu(searchField.createStandardContextMenu());
    QStringList items;
    for (const QAction* action : editMenu->actions()) {
        if (action->text().contains(u'\t')) {
            items.append(action->text().remove(u'&'));
        }
    }
    EXPECT_TRUE(items.contains("Pegar\tCtrl+V")) << items.join(" | ").toStdString();
    EXPECT_FALSE(items.join(u' ').contains("Control")) << items.join(" | ").toStdString();

    ControllableHistory history;
    InMemoryUserDefaults defaults;
    FakeLoginItemService login;
    PreferencesStore preferences(defaults, login);
    TrayMenu tray(history, preferences, nullptr);
    emit tray.menu()->aboutToShow();
    const QAction* quit = tray.menu()->actions().constLast();
    ASSERT_EQ(quit->iconText(), "Salir de Orvantide");
    EXPECT_EQ(quit->shortcut().toString(QKeySequence::NativeText), "Ctrl+Q");

    for (const QKeyCombination key :
         {Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace, Qt::CTRL | Qt::ALT | Qt::Key_Space}) {
        EXPECT_EQ(QKeySequence(key).toString(QKeySequence::NativeText), ShortcutText::of(key));
    }
}

TEST(ShellLook, TheTrayIconTakesThePanelsColourElseTheThemesElseTheTextColour) {
    const auto inkOf = [](const QIcon& icon) {
        const QImage image = icon.pixmap(22).toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).alpha() == 255) {
                    return image.pixelColor(x, y);
                }
            }
        }
        return QColor();
    };
    QPixmap themedPicture(22, 22);
    themedPicture.fill(Qt::blue);
    const QIcon themed(themedPicture);
    EXPECT_EQ(inkOf(StatusIcon::choose(QColor(Qt::white), themed, Qt::black)), QColor(Qt::white));
    EXPECT_EQ(inkOf(StatusIcon::choose(std::nullopt, themed, Qt::black)), QColor(Qt::blue));
    EXPECT_EQ(inkOf(StatusIcon::choose(std::nullopt, QIcon(), Qt::red)), QColor(Qt::red));
}
