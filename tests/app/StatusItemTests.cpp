// The tray icon's notices: a desktop notification where a server answers, the tray's balloon
// where none does. Under Xvfb with an XEmbed tray, on a private session bus where the test plays
// the notification server.
#include "app/StatusItem.h"
#include "clipboard/PasteSequence.h"
#include "support/FakeNotificationServer.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLabel>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// The balloon on screen, if it shows `text`.
bool balloonSays(const QString& text) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("QBalloonTip") && window->isVisible()) {
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                if (label->text() == text) {
                    return true;
                }
            }
        }
    }
    return false;
}

// In the tray, with a picture.
void showInTray(StatusItem& item) {
    QPixmap picture(22, 22);
    picture.fill(Qt::darkCyan);
    item.setIcon(QIcon(picture));
    item.setToolTip("Orvantide");
    item.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return item.isShown(); }, 10000)) << "the tray is there";
}

}  // namespace

TEST(StatusItem, TheCopyOnlyHintIsANotificationOfTheProgramWhereAServerAnswers) {
    FakeNotificationServer server;
    StatusItem item;
    showInTray(item);

    item.notify(PasteSequence::pasteByHandHint);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.notices.size() == 1; }, 10000));
    const Notice& notice = server.notices.first();
    EXPECT_EQ(notice.app, "Orvantide");
    EXPECT_EQ(notice.replaces, 0u);
    EXPECT_EQ(notice.icon, "com.quarnelbrisk.orvantide");
    EXPECT_EQ(notice.summary, "Orvantide");
    EXPECT_EQ(notice.body, "Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");
    EXPECT_TRUE(notice.actions.isEmpty());
    EXPECT_EQ(notice.hints.value("desktop-entry").toString(), "com.quarnelbrisk.orvantide");
    // GNOME Shell shows no banner for a low urgency.
    EXPECT_GE(notice.hints.value("urgency").toInt(), 1);
    EXPECT_GT(notice.timeout, 0);

    // Its answer is in by the time a second call arrives.
    item.notify("Otro aviso");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.notices.size() == 2; }, 10000));
    EXPECT_FALSE(balloonSays(PasteSequence::pasteByHandHint)) << "the tray says nothing";
}

TEST(StatusItem, WhereNoServerAnswersTheTrayBalloonSaysIt) {
    StatusItem item;
    showInTray(item);

    // No server on the bus at all.
    item.notify(PasteSequence::pasteByHandHint);
    EXPECT_TRUE(QTest::qWaitFor([] { return balloonSays(PasteSequence::pasteByHandHint); }, 10000));

    // A server that never answers: the balloon, once the wait is over.
    FakeNotificationServer silent(true);
    item.notify("Otro aviso");
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.notices.size() == 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([] { return balloonSays("Otro aviso"); }, 30000));
}

#include "StatusItemTests.moc"
