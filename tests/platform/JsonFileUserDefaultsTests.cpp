#include "platform/xdg/JsonFileUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class JsonFileUserDefaultsTest : public ::testing::Test {
protected:
    QString path() const {
        return temp.filePath("config/com.quarnelbrisk.orvantide/defaults.json");
    }
    void write(const QByteArray& text) const {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray read(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir temp;
};

}  // namespace

TEST_F(JsonFileUserDefaultsTest, ValuesKeepTheirTypesAcrossReopening) {
    {
        JsonFileUserDefaults defaults(path());
        EXPECT_FALSE(defaults.integer("maxItems"));
        defaults.setInteger("maxItems", 500);
        defaults.setBool("paused", true);
        defaults.setStringArray("excludedApps", {"KeePassXC", "Terminal"});
        defaults.setInteger("hotKeyModifiers", 4294967295);
    }
    JsonFileUserDefaults defaults(path());
    EXPECT_EQ(defaults.integer("maxItems"), 500);
    EXPECT_EQ(defaults.boolean("paused"), true);
    EXPECT_EQ(defaults.stringArray("excludedApps"), (QStringList{"KeePassXC", "Terminal"}));
    EXPECT_EQ(defaults.integer("hotKeyModifiers"), 4294967295);
    // Other types do not pass for each other.
    EXPECT_FALSE(defaults.boolean("maxItems"));
    EXPECT_FALSE(defaults.integer("paused"));
    EXPECT_FALSE(defaults.stringArray("maxItems"));
    EXPECT_FALSE(QFile::exists(path() + ".corrupt"));
    // It may hold the desktop's token for sending keys.
    const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path()) & everyone,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(JsonFileUserDefaultsTest, AnUnreadableFileIsKeptAsideWhenFirstOverwritten) {
    const QByteArray broken = "{\"maxItems\": 500, \"paused\": tru";
    write(broken);
    JsonFileUserDefaults defaults(path());
    EXPECT_FALSE(defaults.integer("maxItems"));
    EXPECT_EQ(read(path()), broken) << "reading never rewrites";

    defaults.setBool("paused", false);
    EXPECT_EQ(read(path() + ".corrupt"), broken);
    EXPECT_EQ(QJsonDocument::fromJson(read(path())).object(), (QJsonObject{{"paused", false}}));

    // Later writes leave the kept copy alone.
    defaults.setInteger("maxItems", 100);
    EXPECT_EQ(read(path() + ".corrupt"), broken);
}

TEST_F(JsonFileUserDefaultsTest, WrongTypesAndNonObjectsCountAsUnreadable) {
    const QByteArray typed = "{\"autoPaste\": \"yes\", \"maxItems\": 2.5, \"other\": 1}";
    write(typed);
    {
        JsonFileUserDefaults defaults(path());
        EXPECT_FALSE(defaults.boolean("autoPaste"));
        EXPECT_FALSE(defaults.integer("maxItems"));
        EXPECT_EQ(read(path()), typed);
        defaults.setBool("autoPaste", true);
        EXPECT_EQ(read(path() + ".corrupt"), typed);
        EXPECT_EQ(defaults.integer("other"), 1) << "readable values survive the rewrite";
    }
    JsonFileUserDefaults reopened(path());
    EXPECT_EQ(reopened.boolean("autoPaste"), true);
    EXPECT_EQ(reopened.integer("other"), 1);

    write("[1, 2, 3]");
    JsonFileUserDefaults array(path());
    array.setInteger("maxItems", 300);
    EXPECT_EQ(read(path() + ".corrupt"), "[1, 2, 3]");

    write("{\"excludedApps\": [\"a\", 3]}");
    JsonFileUserDefaults mixed(path());
    EXPECT_FALSE(mixed.stringArray("excludedApps"));
}

TEST_F(JsonFileUserDefaultsTest, StandardPathFollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", temp.filePath("xdg").toUtf8());
    EXPECT_EQ(JsonFileUserDefaults::standardPath(),
              temp.filePath("xdg/com.quarnelbrisk.orvantide/defaults.json"));
    qputenv("XDG_CONFIG_HOME", saved);
}
