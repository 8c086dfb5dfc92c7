// What every window of the program shares: Qt's own texts in Spanish, the program's icon, and a
// tray icon that shows on the panel's colours.
#include "app/AppIcon.h"
#include "app/Localization.h"
#include "app/StatusIcon.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace orv;

TEST(ShellLook, StandardButtonsSpeakSpanishAndTheIconIsThere) {
    ASSERT_TRUE(Localization::installQtTranslations(*qApp));
    QMessageBox alert;
    alert.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(alert.button(QMessageBox::Ok)->text().remove(u'&'), "Aceptar");
    EXPECT_EQ(alert.button(QMessageBox::Cancel)->text().remove(u'&'), "Cancelar");
    EXPECT_FALSE(AppIcon::icon().pixmap(64).isNull());
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
