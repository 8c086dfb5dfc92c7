#include "platform/xdg/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orv;

namespace {

using Status = LoginItemService::Status;

class XdgAutostartLoginItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", temp.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved); }

    QString autostart() const { return temp.filePath("autostart"); }
    QString entryPath() const { return autostart() + "/com.quarnelbrisk.orvantide.desktop"; }

    // desktop-file-validate's verdict on an entry; empty when it passes.
    static QString validate(const QString& path) {
        QProcess process;
        process.start("desktop-file-validate", {path});
        if (!process.waitForFinished(10000)) {
            return "desktop-file-validate did not run: " + process.errorString();
        }
        const QString output = process.readAllStandardOutput() + process.readAllStandardError();
        return process.exitCode() == 0 && output.trimmed().isEmpty() ? QString() : output;
    }

    QByteArray saved;
    QTemporaryDir temp;
};

}  // namespace

TEST_F(XdgAutostartLoginItemTest, EnablingWritesAValidEntryAfterThePanelAndDisablingRemovesIt) {
    EXPECT_EQ(XdgAutostartLoginItem::standardPath(), entryPath());
    XdgAutostartLoginItem item(XdgAutostartLoginItem::standardPath(), "/usr/bin/orvantide");
    EXPECT_EQ(item.status(), Status::notRegistered);

    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::enabled);
    EXPECT_EQ(validate(entryPath()), QString());
    QFile entry(entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.contains("\nExec=/usr/bin/orvantide\n"));
    // Started once the panel is up, so that the tray icon finds it at once.
    EXPECT_TRUE(text.contains("\nX-GNOME-Autostart-Delay=3\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nX-KDE-autostart-after=panel\n")) << text.toStdString();

    EXPECT_EQ(item.registerItem(), std::nullopt) << "registering twice is fine";
    EXPECT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::notRegistered);
    EXPECT_FALSE(QFile::exists(entryPath()));
    EXPECT_EQ(item.unregisterItem(), std::nullopt) << "nothing to remove is no error";
}

TEST_F(XdgAutostartLoginItemTest, ExecutablePathsWithSpacesAndSymbolsAreQuoted) {
    const QString odd = temp.filePath("Mis Programas/100% \"orv\"/$orvantide");
    XdgAutostartLoginItem item(entryPath(), odd);
    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(validate(entryPath()), QString());
    QFile entry(entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    const QString expected =
        "Exec=\"" + temp.path() + "/" + "Mis Programas/100%% \\\\\"orv\\\\\"/\\\\$orvantide\"";
    EXPECT_TRUE(text.contains(expected)) << text.toStdString();
}

TEST_F(XdgAutostartLoginItemTest, EntriesTurnedOffAreNotRegisteredUntilEnabledAgain) {
    QDir().mkpath(autostart());
    const auto statusOf = [&](const QByteArray& line) {
        QFile entry(entryPath());
        EXPECT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Orvantide\nExec=x\n" + line + "\n");
        entry.close();
        return XdgAutostartLoginItem(entryPath(), "x").status();
    };
    EXPECT_EQ(statusOf("Hidden = true"), Status::notRegistered);
    // How GNOME's own settings turn an entry off.
    EXPECT_EQ(statusOf("X-GNOME-Autostart-enabled=False"), Status::notRegistered);
    EXPECT_EQ(statusOf("X-GNOME-Autostart-enabled = false"), Status::notRegistered);
    EXPECT_EQ(statusOf("X-GNOME-Autostart-enabled=true"), Status::enabled);
    EXPECT_EQ(statusOf("X-GNOME-Autostart-enabled-later=false"), Status::enabled);

    XdgAutostartLoginItem item(entryPath(), "/usr/bin/orvantide");
    ASSERT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), Status::enabled);
    EXPECT_EQ(validate(entryPath()), QString());
}

TEST_F(XdgAutostartLoginItemTest, FailuresAreReported) {
    XdgAutostartLoginItem item(entryPath(), "/usr/bin/orvantide");
    // A read-only autostart folder stops everyone but root.
    QDir().mkpath(autostart());
    QFile::setPermissions(autostart(), QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(autostart()).isWritable()) {
        EXPECT_TRUE(item.registerItem());
        EXPECT_EQ(item.status(), Status::notRegistered);
    }
    QFile::setPermissions(autostart(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A file where the folder should be stops root as well.
    ASSERT_TRUE(QDir(autostart()).removeRecursively());
    QFile blocker(autostart());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::notRegistered);

    // An entry that cannot be removed.
    QFile::remove(autostart());
    QDir().mkpath(entryPath() + "/inside");
    EXPECT_TRUE(item.unregisterItem());
}
