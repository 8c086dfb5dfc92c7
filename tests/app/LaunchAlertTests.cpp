// The alert that ends a launch, for what really fails when the history is opened.
#include "app/LaunchAlert.h"

#include "store/HistoryStore.h"
#include "store/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace orv;

namespace {

struct Shown {
    QString text;
    QString informative;
    QString detail;

    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& shown, std::ostream* out) {
        *out << "{" << shown.text.toStdString() << " | " << shown.informative.toStdString() << " | "
             << shown.detail.toStdString() << "}";
    }
};

// The alert for the history's own failure at `database`, if it fails.
std::optional<Shown> alertOpening(const QString& database, const QString& images) {
    try {
        HistoryStore store(database, images);
    } catch (const std::exception& error) {
        const auto alert = LaunchAlert::create(error, database);
        return Shown{alert->text(), alert->informativeText(), alert->detailedText()};
    }
    return std::nullopt;
}

}  // namespace

TEST(LaunchAlert, SaysInSpanishWhatFailedAndKeepsTheSystemsOwnWordsAsDetails) {
    QTemporaryDir temp;
    const QString notADatabase = temp.filePath("history.db");
    {
        QFile file(notADatabase);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("esto no es una base de datos ").repeated(100));
    }
    EXPECT_EQ(alertOpening(notADatabase, temp.filePath("images")),
              (Shown{"No se pudo abrir el historial",
                     "«" + notADatabase +
                         "» no es un historial que Orvantide pueda leer: el archivo está dañado o "
                         "es de otro programa. Apártalo (muévelo a otra carpeta o cámbiale el "
                         "nombre) y vuelve a abrir Orvantide para empezar un historial nuevo.",
                     "file is not a database"}));

    // A folder where the database file should be.
    const QString folder = temp.filePath("folder.db");
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::optional<Shown> unopenable = alertOpening(folder, temp.filePath("images"));
    ASSERT_TRUE(unopenable);
    EXPECT_EQ(unopenable->text, "No se pudo abrir el historial");
    EXPECT_TRUE(unopenable->informative.startsWith("No se puede leer y escribir «" + folder + "»"))
        << unopenable->informative.toStdString();
    EXPECT_FALSE(unopenable->detail.isEmpty()) << "SQLite's message";
    EXPECT_FALSE(unopenable->informative.contains(unopenable->detail));

    // The folder itself cannot be made: the message already speaks Spanish, there is nothing more.
    QFile blocker(temp.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        makePrivateFolder(temp.filePath("blocked"));
        FAIL() << "a file stands where the folder goes";
    } catch (const std::exception& error) {
        const auto alert = LaunchAlert::create(error, QString());
        EXPECT_EQ(alert->informativeText(),
                  "No se pudo crear la carpeta «" + temp.filePath("blocked") + "».");
        EXPECT_EQ(alert->detailedText(), "");
    }
}
