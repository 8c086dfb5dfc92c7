#include "settings/DesktopShortcut.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

QString gsettingsGet(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), QStringList{QStringLiteral("get")} + arguments);
    EXPECT_TRUE(process.waitForFinished(10000));
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Puts the variables back as they were when the test ends.
struct SavedEnvironment {
    QList<QPair<QByteArray, QByteArray>> saved;
    explicit SavedEnvironment(const QByteArrayList& names) {
        for (const QByteArray& name : names) {
            saved.append({name, qgetenv(name.constData())});
        }
    }
    ~SavedEnvironment() {
        for (const auto& [name, value] : saved) {
            qputenv(name.constData(), value);
        }
    }
};

}  // namespace

TEST(DesktopShortcut, WritesGnomesCustomShortcutBesideTheUsersOwnOnce) {
    EXPECT_EQ(DesktopShortcut::gnomeAccelerator(Qt::ControlModifier | Qt::AltModifier | Qt::Key_V),
              "<Control><Alt>v");
    EXPECT_EQ(DesktopShortcut::gnomeAccelerator(Qt::MetaModifier | Qt::ShiftModifier | Qt::Key_F5),
              "<Shift><Super>F5");
    EXPECT_TRUE(DesktopShortcut::toggleCommand().endsWith(" --toggle"));

    // GSettings kept in a file of a private configuration folder, as on a GNOME desktop.
    const SavedEnvironment restore(
        {"XDG_CONFIG_HOME", "GSETTINGS_BACKEND", "XDG_CURRENT_DESKTOP", "PATH"});
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    const QString schema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
    const QString userOwn =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/");
    ASSERT_EQ(QProcess::execute(QStringLiteral("gsettings"),
                                {"set", schema, "custom-keybindings", "['" + userOwn + "']"}),
              0);

    DesktopShortcut shortcut;
    ASSERT_TRUE(shortcut.canCreate());
    for (int round = 0; round < 2; ++round) {
        auto task = shortcut.create(Qt::ControlModifier | Qt::AltModifier | Qt::Key_V);
        ASSERT_TRUE(QTest::qWaitFor([&] { return task.isReady(); }, 30000));
        EXPECT_TRUE(shortcut.result().startsWith("Atajo de GNOME creado"))
            << shortcut.result().toStdString();
    }
    EXPECT_EQ(gsettingsGet({schema, "custom-keybindings"}),
              "['" + userOwn + "', '" + DesktopShortcut::gnomePath + "']");
    const QString binding = schema + ".custom-keybinding:" + DesktopShortcut::gnomePath;
    EXPECT_EQ(gsettingsGet({binding, "binding"}), "'<Control><Alt>v'");
    EXPECT_EQ(gsettingsGet({binding, "command"}), "'" + DesktopShortcut::toggleCommand() + "'");

    // A tool that fails is said, not taken for success.
    qputenv("PATH", config.path().toUtf8());
    auto failing = shortcut.create(Qt::ControlModifier | Qt::Key_B);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failing.isReady(); }, 30000));
    EXPECT_TRUE(shortcut.result().startsWith("No se pudo crear el atajo de GNOME"));
}
